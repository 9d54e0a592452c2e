#!/usr/bin/env bash
# make preview DIR=folder: checks a toolbar's folder with kgcheck, then shows
# that toolbar in the 64-bit stand-in browser in a Wine prefix made fresh for
# the preview (build/preview/wineprefix, removed afterwards; never the user's
# nor the tests' prefix) on an X server of its own, and saves a screenshot:
# build/preview/<folder name>.png.
# The folder holds the toolbar as a publisher ships it: one *.ini, the banner
# picture, "Copyrights.txt" and "Icons.bin"; without "Icons.bin", its icons are
# packed from the folder's icons/*.bmp (in file-name order), as the example's are.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-}
[ -n "$dir" ] && [ -d "$dir" ] || { echo "usage: make preview DIR=path/to/toolbar-folder" >&2; exit 2; }
name=$(basename "$(cd "$dir" && pwd)")
root=$PWD/build/preview
staged=$root/$name
shot=$root/$name.png

scripts/build.sh native windows

echo "== The toolbar's files, as they are installed"
rm -rf "$staged"
mkdir -p "$staged"
find "$dir" -maxdepth 1 -type f -exec cp {} "$staged/" \;
if ! ls "$staged" | grep -qi '^icons\.bin$'; then
  icons=$(find "$dir/icons" -maxdepth 1 -iname '*.bmp' 2>/dev/null | LC_ALL=C sort)
  if [ -n "$icons" ]; then
    mapfile -t icon_list <<<"$icons"
    build/native/iconpack pack "$staged/Icons.bin" "${icon_list[@]}"
    echo "Packed ${#icon_list[@]} icons from $dir/icons into Icons.bin"
  fi
fi
ls "$staged"

echo
echo "== kgcheck $dir"
status=0
findings=$(build/native/kgcheck "$staged") || status=$?
[ $status -eq 2 ] && exit 2
echo "${findings:-no findings}"
[ $status -eq 0 ] || echo "preview: kgcheck found errors; the preview shows what the engine makes of them"

echo
echo "== The toolbar in the stand-in browser (fresh prefix $root/wineprefix)"
export KG_WIN_BUILD=$root
unset DISPLAY WINEPREFIX
rm -rf "$root/wineprefix"
scripts/wine-env.sh start
trap 'scripts/wine-env.sh stop; rm -rf "$root/wineprefix"' EXIT
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
cmake/wine-run.sh regsvr32 /s "$(windows_path "$PWD/build/windows/kestrelgrove.dll")" </dev/null ||
  { echo "preview: regsvr32 of build/windows/kestrelgrove.dll failed" >&2; exit 1; }
KG_TOOLBAR_SOURCE=$staged scripts/install-example.sh
scripts/band-screenshot.sh "$shot"
echo "Screenshot: $shot"
