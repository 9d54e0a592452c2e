#!/usr/bin/env bash
# End to end, one bitness: kestrelgrove.dll registered with regsvr32, a small
# test toolbar installed in that bitness's registry view, the band loaded by
# bandhost through COM, "Close Toolbar" chosen from the toolbar window's
# context menu with real mouse input. Then the band must be closed, the
# search state ("Search Type", "Search") stored in that view, and the DLL
# unloaded after the last release.
#
#   close_toolbar.sh BUILD_DIR 64|32
#
# Then, with a corrupt banner, the error box of the build must be reported and
# closed by bandhost's --screenshot-after timer.
#
# Needs the prefix and display of scripts/wine-env.sh start. Exits 77 (a
# skip) when the machine cannot run programs of that bitness at all.
set -euo pipefail
export LC_ALL=C
build=$(cd "$1" && pwd)
bits=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
run=$here/cmake/wine-run.sh
# One prefix and one display for both bitnesses: the 64-bit build's.
export KG_WIN_BUILD=${KG_WIN_BUILD:-$here/build/windows}
export WINEPREFIX=${WINEPREFIX:-$KG_WIN_BUILD/wineprefix}
if [ -z "${DISPLAY:-}" ]; then
  DISPLAY=$(cat "$KG_WIN_BUILD/xvfb.display" 2>/dev/null || true)
fi
export DISPLAY
[ -n "$DISPLAY" ] || { echo "e2e: no display (run scripts/wine-env.sh start)" >&2; exit 1; }

fail() { echo "e2e ($bits-bit): FAIL: $*" >&2; exit 1; }
say() { echo "e2e ($bits-bit): $*"; }

case $bits in
64) regsvr32=regsvr32 ;;
32) regsvr32='C:\windows\syswow64\regsvr32.exe' ;;
*) echo "usage: $0 BUILD_DIR 64|32" >&2; exit 2 ;;
esac
dll=$build/kestrelgrove.dll
host=$build/bandhost.exe
[ -f "$dll" ] && [ -f "$host" ] || fail "$dll or $host not built"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

clsid=$(sed -n 's/.*ClassIdText\[\] = "\({[0-9A-F-]*}\)";.*/\1/p' "$here/config/Settings.h")
[ -n "$clsid" ] || fail "class identifier not found in config/Settings.h"
key="HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\$clsid"
reg() { "$run" reg "$@" "/reg:$bits" </dev/null 2>&1 | tr -d '\r'; }
other_bits=$((96 - bits))
reg_other() { "$run" reg "$@" "/reg:$other_bits" </dev/null 2>&1 | tr -d '\r'; }

work=$(mktemp -d)
install_unix="$WINEPREFIX/drive_c/kg-e2e-$bits"
install_win="C:\\kg-e2e-$bits"
host_pid=
registered=0
cleanup() {
  if [ -n "$host_pid" ] && kill -0 "$host_pid" 2>/dev/null; then kill "$host_pid" 2>/dev/null || true; fi
  if [ $registered -eq 1 ]; then "$run" "$regsvr32" /u /s "$(windows_path "$dll")" </dev/null >/dev/null 2>&1 || true; fi
  reg delete "$key" /f >/dev/null || true
  rm -rf "$install_unix" "$work"
}
trap cleanup EXIT

# A program of this bitness that cannot start at all (no 32-bit support in
# the kernel or in Wine) makes the whole run meaningless: skip, loudly.
probe_rc=0
"$run" "$host" --no-such-option </dev/null >"$work/probe.out" 2>&1 || probe_rc=$?
if [ $probe_rc -ne 2 ]; then
  if [ "$bits" = 32 ]; then
    echo "e2e (32-bit): SKIPPED: 32-bit programs do not start here (exit $probe_rc):" >&2
    head -3 "$work/probe.out" >&2
    exit 77
  fi
  fail "bandhost.exe does not start (exit $probe_rc): $(head -3 "$work/probe.out")"
fi

# The test toolbar: its own install folder and toolbar key in this view.
reg delete "$key" /f >/dev/null || true
rm -rf "$install_unix"
mkdir -p "$install_unix"
cat >"$install_unix/E2E.ini" <<'EOF'
[Options]
Toolbar Name=E2E Toolbar
Company Name=Kestrelgrove
Home Page URL=http://www.kestrelgrove.example/
Search URL=http://www.kestrelgrove.example/search?q=[SEARCH]
Toolbar Full Size=1
Search Dynamic=1

[Toolbar Items]
miHome=
miSearch=
miSearchWeb=

[miHome]
Caption=Home
ImageIndex=0
URL=http://www.kestrelgrove.example/
Parent=Toolbar

[miSearch]
Caption=Search
ImageIndex=8
Count=1
Parent=Toolbar

[miSearchWeb]
Caption=Web
ImageIndex=2
URL=http://www.kestrelgrove.example/search?q=[SEARCH]
Tag=1
GroupIndex=1
Parent=miSearch
EOF
cp "$here/examples/Kestrelgrove.bmp" "$install_unix/E2E.bmp"
cp "$here/examples/Copyrights.txt" "$install_unix/"
for icons in "$build/examples/Icons.bin" "$KG_WIN_BUILD/examples/Icons.bin"; do
  [ -f "$icons" ] && { cp "$icons" "$install_unix/"; break; }
done
# The search state of the other view must stay untouched by this bitness.
for value in "Search Type" "Search"; do reg_other delete "$key" /v "$value" /f >/dev/null || true; done
reg add "$key" /v InstallPath /t REG_SZ /d "$install_win" /f >/dev/null
reg add "$key" /v "Toolbar Name" /t REG_SZ /d "E2E Toolbar" /f >/dev/null
reg add "$key" /v "Toolbar File" /t REG_SZ /d "E2E" /f >/dev/null

"$run" "$regsvr32" /s "$(windows_path "$dll")" </dev/null >/dev/null 2>&1 || fail "regsvr32 $dll failed"
registered=1
say "registered $dll"

# The browser, ended by its own timer at the latest.
"$run" "$host" --screenshot-after 120000 --quit-after-close </dev/null >"$work/out" 2>"$work/err" &
host_pid=$!
output() { tr -d '\r' <"$work/out"; }
wait_for() {  # pattern, tenths of a second
  for _ in $(seq "$2"); do
    output | grep -q "$1" && return 0
    kill -0 "$host_pid" 2>/dev/null || { output | grep -q "$1"; return; }
    sleep 0.1
  done
  return 1
}
if ! wait_for '^bandhost: band open at' 900; then
  output >&2; tr -d '\r' <"$work/err" >&2
  fail "the band did not open"
fi
read -r bx by bw bh < <(output | sed -n 's/^bandhost: band open at \(-*[0-9]*\),\(-*[0-9]*\) size \([0-9]*\)x\([0-9]*\).*/\1 \2 \3 \4/p')
say "band window at $bx,$by size ${bw}x$bh"
[ "$bh" -gt 0 ] && [ "$bw" -gt 100 ] || fail "the band window has no size"
for _ in $(seq 100); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Kestrelgrove stand-in browser"' && break
  sleep 0.1
done
xwininfo -root -tree | grep -q '"Kestrelgrove stand-in browser"' || fail "no browser window on $DISPLAY"
sleep 1  # the first paint

# Right click on the toolbar window near its right end, away from its buttons.
viewable_windows() {  # id width height x y, one line per mapped top-level window
  local id info
  for id in $(xwininfo -root -children 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'); do
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    awk -v id="$id" '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
      /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print id, w, h, x, y}' <<<"$info"
  done | sort
}
viewable_windows >"$work/before"
xdotool mousemove $((bx + bw - 12)) $((by + bh / 2)) click 3
menu=
for _ in $(seq 50); do
  sleep 0.1
  viewable_windows >"$work/after"
  # The tallest window that was not there before: the menu, not a tooltip.
  menu=$(join -v 2 "$work/before" "$work/after" | sort -k3,3n | tail -1)
  [ -n "$menu" ] && break
done
[ -n "$menu" ] || fail "no context menu appeared"
read -r menu_id mw mh mx my <<<"$menu"
say "context menu $menu_id at $mx,$my size ${mw}x$mh"
# "Close Toolbar" is the menu's last entry.
xdotool mousemove $((mx + mw / 2)) $((my + mh - 8)) click 1

wait_for '^bandhost: band closed' 300 || { output >&2; fail "the band did not close"; }
say "band closed"
for _ in $(seq 300); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$host_pid" 2>/dev/null && fail "bandhost did not end after the band closed"
host_rc=0
wait "$host_pid" || host_rc=$?
host_pid=
output
tr -d '\r' <"$work/err" >&2
[ $host_rc -eq 0 ] || fail "bandhost exited with $host_rc"
output | grep -qx 'bandhost: kestrelgrove.dll unloaded' || fail "kestrelgrove.dll stayed loaded after the last release"

for value in "Search Type" "Search"; do
  reg query "$key" /v "$value" | grep -Eq "^ *$value +REG_SZ" || fail "\"$value\" not stored in the $bits-bit view"
done
for value in "Search Type" "Search"; do
  if reg_other query "$key" /v "$value" | grep -Eq "^ *$value +REG_SZ"; then
    fail "\"$value\" written into the $other_bits-bit view by the $bits-bit band"
  fi
done
say "\"Search Type\" and \"Search\" stored in the $bits-bit view, not in the $other_bits-bit view"

# A corrupt banner: the build's error box, which nobody can press here, is
# reported and closed when the browser's own timer ends it.
printf 'BM not a bitmap' >"$install_unix/E2E.bmp"
host_rc=0
timeout 120 "$run" "$host" --screenshot-after 5000 </dev/null >"$work/out" 2>"$work/err" || host_rc=$?
[ $host_rc -eq 0 ] || { tr -d '\r' <"$work/err" >&2; fail "bandhost with a corrupt banner exited with $host_rc"; }
box=$(tr -d '\r' <"$work/err" | sed -n 's/^bandhost: error box: //p' | head -1)
[ -n "$box" ] || { tr -d '\r' <"$work/err" >&2; fail "no error box reported for a corrupt banner"; }
say "error box reported and closed: $box"

"$run" "$regsvr32" /u /s "$(windows_path "$dll")" </dev/null >/dev/null 2>&1 || fail "regsvr32 /u failed"
registered=0
say "passed"
