#!/usr/bin/env bash
# [demo|check]: installs the Debian packages that `make demo` needs, or those
# of the whole build and every test (the default; a superset of the demo's),
# as root, only when something is missing.
set -euo pipefail
set_name=${1:-check}
# The demo: both Windows DLLs, the stand-in browser and player, the example's
# icon file (packed by a copy of iconpack built for this machine), all run
# under Wine on an X server of its own, the update folder served by python3,
# the screenshots taken and their colours read with ImageMagick.
pkgs=(cmake ninja-build make g++
      g++-mingw-w64-x86-64 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
      wine wine64 xvfb imagemagick xdotool python3
      # What Wine only recommends but the tests and the demo rely on: its fonts
      # (text sizes decide button widths) and the X extensions its driver uses.
      fonts-wine fonts-liberation libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1
      libxcomposite1 libxfixes3 libgl1 libgnutls30)
case "$set_name" in
demo) ;;
check)
  # The native core under sanitizers, the fuzzers and benchmarks, the tests'
  # framework, the end-to-end tests' window probes.
  pkgs+=(clang libclang-rt-14-dev googletest libbenchmark-dev libinih-dev x11-utils
         # makensis, for setup.exe (make dist, the installer's test).
         nsis
         # OpenSSL's libcrypto, for the native kgsign (the Windows one uses CNG).
         libssl-dev) ;;
*) echo "usage: $0 [demo|check]" >&2; exit 2 ;;
esac
# The 32-bit DLL runs under Wine's 32-bit loader, which Debian ships as i386;
# it is only worth installing where 32-bit programs can run at all.
here=$(cd "$(dirname "$0")" && pwd)
if "$here/can-run-32bit.sh"; then
  pkgs+=(wine32:i386)
else
  echo "deps: this machine cannot run 32-bit programs; the 32-bit DLL is built but not run here" >&2
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [[ " ${missing[*]} " == *":i386 "* ]]; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails an index now and then: try again, then go on
  # with what was fetched (the install below says whether it sufficed).
  for attempt in 1 2 3; do
    if apt-get update -qq 2>/tmp/kg-apt-update.err && ! grep -q '^E:' /tmp/kg-apt-update.err; then break; fi
    [ "$attempt" -lt 3 ] && sleep 5
  done
  grep '^E:' /tmp/kg-apt-update.err >&2 || true
  if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    # Without 32-bit Wine the 32-bit DLL is still built and checked, and its
    # runs under Wine are reported as skipped: better than no run at all.
    [[ " ${missing[*]} " == *" wine32:i386 "* ]] || exit 1
    echo "deps: wine32:i386 could not be installed (see the apt errors above); the 32-bit DLL is built but not run" >&2
    rest=()
    for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
    [ ${#rest[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${rest[@]}" >/dev/null
  fi
fi
