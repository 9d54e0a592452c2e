#!/usr/bin/env bash
# Installs the example toolbar into the Windows build's Wine prefix, as a
# publisher's installer would: the files into the install folder, then the
# values "InstallPath", "Toolbar Name" and "Toolbar File" into the toolbar key,
# in both registry views: the 64-bit DLL reads the one, the 32-bit DLL the other.
# With KG_TOOLBAR_SOURCE set to a toolbar's folder as installed (its one *.ini,
# "Icons.bin", banner, "Copyrights.txt"), installs that toolbar instead; the
# prefix is $WINEPREFIX when set.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KG_WIN_BUILD:-$here/build/windows}
export KG_WIN_BUILD=$build
prefix=${WINEPREFIX:-$build/wineprefix}

source_dir=${KG_TOOLBAR_SOURCE:-}
if [ -n "$source_dir" ]; then
  inis=("$source_dir"/*.ini)
  [ ${#inis[@]} -eq 1 ] && [ -f "${inis[0]}" ] ||
    { echo "install-example: $source_dir needs exactly one configuration file (*.ini)" >&2; exit 1; }
  toolbar_file=$(basename "${inis[0]}" .ini)
  toolbar_name=$(tr -d '\r' <"${inis[0]}" | sed -n 's/^Toolbar Name=//p' | head -n 1)
  toolbar_name=${toolbar_name:-$toolbar_file}
  folder_name=$toolbar_file
else
  toolbar_file=Kestrelgrove
  toolbar_name="Kestrelgrove Example Toolbar"
  folder_name="Kestrelgrove Example"
fi
install_dir="C:\\Program Files\\$folder_name"
target="$prefix/drive_c/Program Files/$folder_name"
clsid=$(sed -n 's/.*ClassIdText\[\] = "\({[0-9A-F-]*}\)";.*/\1/p' "$here/config/Settings.h")
[ -n "$clsid" ] || { echo "install-example: class identifier not found in config/Settings.h" >&2; exit 1; }
toolbar_key="HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\$clsid"

mkdir -p "$target"
# Earlier updates and their backups belong to an earlier installation.
rm -f "$target/$toolbar_file Internet.ini" "$target/$toolbar_file Default.ini" \
  "$target/Internet Icons.bin" "$target/Icons Default.bin"
if [ -n "$source_dir" ]; then
  find "$source_dir" -maxdepth 1 -type f -exec cp {} "$target/" \;
else
  cp "$here/examples/Kestrelgrove.ini" "$here/examples/Kestrelgrove.bmp" "$here/examples/Copyrights.txt" "$target/"
  if [ -f "$build/examples/Icons.bin" ]; then
    cp "$build/examples/Icons.bin" "$target/"
  else
    echo "install-example: $build/examples/Icons.bin not built; the toolbar will have no icons" >&2
  fi
fi

reg_sz() {
  local view
  for view in 64 32; do
    "$here/cmake/wine-run.sh" reg add "$toolbar_key" /v "$1" /t REG_SZ /d "$2" /f /reg:$view >/dev/null
  done
}
reg_sz "InstallPath" "$install_dir"
reg_sz "Toolbar Name" "$toolbar_name"
reg_sz "Toolbar File" "$toolbar_file"
echo "Installed the toolbar \"$toolbar_name\" into $install_dir (toolbar key $clsid, 64- and 32-bit views)"
