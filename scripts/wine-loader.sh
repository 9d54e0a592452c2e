# Sourced by the Wine scripts: picks Wine's loader. Debian's `wine` starts the
# 32-bit loader whenever it is installed, but some machines cannot run 32-bit
# programs at all; there the 64-bit loader runs everything 64-bit and 32-bit
# programs cannot run.
if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  KG_WINE=/usr/lib/wine/wine
  KG_WINE32=/usr/lib/wine/wine
elif [ -x /usr/lib/wine/wine64 ]; then
  KG_WINE=/usr/lib/wine/wine64
  KG_WINE32=
  # The loader Wine itself uses for the processes it starts.
  export WINELOADER=/usr/lib/wine/wine64
else
  KG_WINE=wine
  KG_WINE32=
fi
