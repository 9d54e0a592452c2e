#!/usr/bin/env bash
# Installs the example toolbar into the Windows build's Wine prefix, as a
# publisher's installer would: the files into the install folder, then the
# values "InstallPath", "Toolbar Name" and "Toolbar File" into the toolbar key,
# in both registry views: the 64-bit DLL reads the one, the 32-bit DLL the other.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KG_WIN_BUILD:-$here/build/windows}
export KG_WIN_BUILD=$build
prefix=${WINEPREFIX:-$build/wineprefix}

install_dir='C:\Program Files\Kestrelgrove Example'
target="$prefix/drive_c/Program Files/Kestrelgrove Example"
clsid=$(sed -n 's/.*ClassIdText\[\] = "\({[0-9A-F-]*}\)";.*/\1/p' "$here/config/Settings.h")
[ -n "$clsid" ] || { echo "install-example: class identifier not found in config/Settings.h" >&2; exit 1; }
toolbar_key="HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\$clsid"

mkdir -p "$target"
cp "$here/examples/Kestrelgrove.ini" "$here/examples/Kestrelgrove.bmp" "$here/examples/Copyrights.txt" "$target/"
# Earlier updates and their backups belong to an earlier installation.
rm -f "$target/Kestrelgrove Internet.ini" "$target/Kestrelgrove Default.ini" \
  "$target/Internet Icons.bin" "$target/Icons Default.bin"
if [ -f "$build/examples/Icons.bin" ]; then
  cp "$build/examples/Icons.bin" "$target/"
else
  echo "install-example: $build/examples/Icons.bin not built; the toolbar will have no icons" >&2
fi

reg_sz() {
  local view
  for view in 64 32; do
    "$here/cmake/wine-run.sh" reg add "$toolbar_key" /v "$1" /t REG_SZ /d "$2" /f /reg:$view >/dev/null
  done
}
reg_sz "InstallPath" "$install_dir"
reg_sz "Toolbar Name" "Kestrelgrove Example Toolbar"
reg_sz "Toolbar File" "Kestrelgrove"
echo "Installed the example toolbar into $install_dir (toolbar key $clsid, 64- and 32-bit views)"
