#!/usr/bin/env bash
# Builds setup.exe for one published toolbar with NSIS (makensis).
#
#   installer/build-setup.sh [options] [TOOLBAR_DIR]
#
# TOOLBAR_DIR (default examples/) holds "<file>.ini", "<file>.bmp",
# "Copyrights.txt" and "Icons.bin". Options:
#   --out FILE       the setup program (default build/dist/setup.exe)
#   --file NAME      "Toolbar File" (default: the folder's only *.ini)
#   --name TEXT      "Toolbar Name" (default: "Toolbar Name" of its "Options")
#   --icons FILE     the icon file (default: TOOLBAR_DIR/Icons.bin)
#   --dll64 FILE     default build/windows/kestrelgrove.dll
#   --dll32 FILE     default build/windows32/kestrelgrove.dll
#   --version TEXT   "DisplayVersion" (default: from git, else 0.0.0)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

die() { echo "build-setup: $*" >&2; exit 1; }

out=$here/build/dist/setup.exe
file= name= icons= version=
dll64=$here/build/windows/kestrelgrove.dll
dll32=$here/build/windows32/kestrelgrove.dll
dir=
while [ $# -gt 0 ]; do
  case $1 in
  --out|--file|--name|--icons|--dll64|--dll32|--version)
    [ $# -ge 2 ] || die "$1 needs a value"
    declare "${1#--}=$2"
    shift 2 ;;
  -*) die "unknown option $1 (see the head of $0)" ;;
  *) [ -z "$dir" ] || die "one toolbar folder only"; dir=$1; shift ;;
  esac
done
dir=${dir:-$here/examples}
[ -d "$dir" ] || die "no toolbar folder $dir"
dir=$(cd "$dir" && pwd)
command -v makensis >/dev/null || die "makensis not found (Debian package nsis)"

if [ -z "$file" ]; then
  shopt -s nullglob
  inis=("$dir"/*.ini)
  shopt -u nullglob
  [ ${#inis[@]} -eq 1 ] || die "$dir holds ${#inis[@]} .ini files; name the configuration with --file"
  file=$(basename "${inis[0]}" .ini)
fi

# "Toolbar Name" of section "Options", read as the engine reads it: names
# without regard to letter case, the first one wins, blanks kept.
ini_option() {
  tr -d '\r' <"$1" | awk -v want="$(tr '[:upper:]' '[:lower:]' <<<"$2")" '
    /^\[.*\]/ { section = tolower(substr($0, 2, index($0, "]") - 2)); next }
    section == "options" && index($0, "=") {
      key = tolower(substr($0, 1, index($0, "=") - 1))
      if (key == want) { print substr($0, index($0, "=") + 1); exit }
    }'
}
[ -f "$dir/$file.ini" ] || die "no configuration $dir/$file.ini"
[ -n "$name" ] || name=$(ini_option "$dir/$file.ini" "Toolbar Name")
[ -n "$name" ] || die "$dir/$file.ini has no \"Toolbar Name\" in section \"Options\"; give one with --name"
publisher=$(ini_option "$dir/$file.ini" "Company Name")
publisher=${publisher:-Kestrelgrove}

# The name becomes a folder, a file ("<name>.txt") and a registry key name.
bad='[\\/:*?"<>|$]'
for text in "$name" "$file"; do
  [[ ! $text =~ $bad ]] || die "\"$text\" cannot name a file or a registry key (no \\ / : * ? \" < > | \$)"
  [[ $text == "${text#[ .]}" && $text == "${text%[ .]}" ]] || die "\"$text\" may not begin or end with a blank or a dot"
done

icons=${icons:-$dir/Icons.bin}
missing=()
for f in "$dir/$file.bmp" "$dir/Copyrights.txt" "$icons" "$dll64" "$dll32"; do
  [ -f "$f" ] || missing+=("$f")
done
[ ${#missing[@]} -eq 0 ] || die "missing: ${missing[*]}"
file -b "$dll64" | grep -q 'PE32+ .*x86-64' || die "$dll64 is not an x86_64 DLL"
file -b "$dll32" | grep -q 'PE32 .*80386' || die "$dll32 is not an i686 DLL"

clsid=$(sed -n 's/.*ClassIdText\[\] = "\({[0-9A-F-]*}\)";.*/\1/p' "$here/config/Settings.h")
[ -n "$clsid" ] || die "class identifier not found in config/Settings.h"
if [ -z "$version" ]; then
  version=$(git -C "$here" describe --tags --always --dirty 2>/dev/null || echo 0.0.0)
fi

# The builds keep their debugging information; what a publisher ships does not.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
x86_64-w64-mingw32-strip --strip-debug -o "$stage/kestrelgrove64.dll" "$dll64"
i686-w64-mingw32-strip --strip-debug -o "$stage/kestrelgrove32.dll" "$dll32"

mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
# makensis reads paths with either separator; "$" is its variable sign and
# $\" its quote inside a string.
nsis_text() { local t=${1//\$/\$\$}; printf '%s' "${t//\"/\$\\\"}"; }
makensis -V2 -INPUTCHARSET UTF8 \
  "-DTOOLBAR_DIR=$(nsis_text "$dir")" \
  "-DTOOLBAR_FILE=$(nsis_text "$file")" \
  "-DTOOLBAR_NAME=$(nsis_text "$name")" \
  "-DICONS=$(nsis_text "$(cd "$(dirname "$icons")" && pwd)/$(basename "$icons")")" \
  "-DDLL64=$(nsis_text "$stage/kestrelgrove64.dll")" \
  "-DDLL32=$(nsis_text "$stage/kestrelgrove32.dll")" \
  "-DCLSID=$clsid" \
  "-DPUBLISHER=$(nsis_text "$publisher")" \
  "-DVERSION=$(nsis_text "$version")" \
  "-DOUTFILE=$(nsis_text "$out")" \
  "$here/installer/kestrelgrove.nsi"
echo "build-setup: $out (\"$name\", \"Toolbar File\" $file, version $version)"
