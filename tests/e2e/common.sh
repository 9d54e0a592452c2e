# The set-up the end-to-end tests share, sourced by each with its own
# arguments (BUILD_DIR 64|32): the Wine prefix and display, the DLL and
# bandhost of that build, the toolbar key in that bitness's registry view, a
# test toolbar in its own install folder, registration with regsvr32, bandhost
# started and its output read, the top-level windows on the display, the
# band's layout, typing into its search box, "Close Toolbar" from its context
# menu, and string values of a key. Every process started here is stopped by
# its pid, and the key, the folder and the registration are taken away on exit.
#
# Exits 77 (a skip) when the machine cannot run programs of that bitness.
set -euo pipefail
export LC_ALL=C
build=$(cd "$1" && pwd)
bits=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
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

# The per-user key and folder of the installing user (the toolbar's run-time state).
user_key="HKCU\\SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\$clsid"
user_unix=

work=$(mktemp -d)
install_unix="$WINEPREFIX/drive_c/kg-e2e-$bits"
install_win="C:\\kg-e2e-$bits"
toolbar_name="E2E Toolbar"
host_pid=
registered=0
cleanup() {
  if [ -n "$host_pid" ] && kill -0 "$host_pid" 2>/dev/null; then kill "$host_pid" 2>/dev/null || true; fi
  if [ $registered -eq 1 ]; then "$run" "$regsvr32" /u /s "$(windows_path "$dll")" </dev/null >/dev/null 2>&1 || true; fi
  reg delete "$key" /f >/dev/null || true
  reg delete "$user_key" /f >/dev/null || true
  [ -z "$user_unix" ] || rm -rf "$user_unix"
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

# The test toolbar, its configuration read from standard input: its own
# install folder ("E2E.ini", the example's banner, legal notice and icon
# file) and toolbar key in this view, with no search state in either view.
install_toolbar() {
  reg delete "$key" /f >/dev/null || true
  reg delete "$user_key" /f >/dev/null || true
  if [ -z "$user_unix" ]; then
    local appdata
    appdata=$("$run" cmd /c 'echo %LOCALAPPDATA%' </dev/null 2>/dev/null | tr -d '\r')
    user_unix=$("$run" winepath -u "$appdata\\$toolbar_name" </dev/null 2>/dev/null | tr -d '\r')
    [ -n "$appdata" ] && [ -n "$user_unix" ] || fail "the per-user folder could not be found"
  fi
  rm -rf "$user_unix"
  rm -rf "$install_unix"
  mkdir -p "$install_unix"
  cat >"$install_unix/E2E.ini"
  cp "$here/examples/Kestrelgrove.bmp" "$install_unix/E2E.bmp"
  cp "$here/examples/Copyrights.txt" "$install_unix/"
  local icons
  for icons in "$build/examples/Icons.bin" "$KG_WIN_BUILD/examples/Icons.bin"; do
    [ -f "$icons" ] && { cp "$icons" "$install_unix/"; break; }
  done
  # The search state of the other view must stay untouched by this bitness.
  local value
  for value in "Search Type" "Search"; do reg_other delete "$key" /v "$value" /f >/dev/null || true; done
  reg add "$key" /v InstallPath /t REG_SZ /d "$install_win" /f >/dev/null
  reg add "$key" /v "Toolbar Name" /t REG_SZ /d "$toolbar_name" /f >/dev/null
  reg add "$key" /v "Toolbar File" /t REG_SZ /d "E2E" /f >/dev/null
}

register_dll() {
  "$run" "$regsvr32" /s "$(windows_path "$dll")" </dev/null >/dev/null 2>&1 || fail "regsvr32 $dll failed"
  registered=1
  say "registered $dll"
}

unregister_dll() {
  "$run" "$regsvr32" /u /s "$(windows_path "$dll")" </dev/null >/dev/null 2>&1 || fail "regsvr32 /u failed"
  registered=0
}

output() { tr -d '\r' <"$work/out"; }
wait_for() {  # pattern, tenths of a second
  for _ in $(seq "$2"); do
    output | grep -q "$1" && return 0
    kill -0 "$host_pid" 2>/dev/null || { output | grep -q "$1"; return; }
    sleep 0.1
  done
  return 1
}

# The browser with bandhost's options ARGS..., in the background; returns once
# the band is open and the browser window is on the display, with the band
# window's screen rectangle in bx, by, bw, bh.
start_host() {
  "$run" "$host" "$@" </dev/null >"$work/out" 2>"$work/err" &
  host_pid=$!
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
}

# Waits up to TENTHS tenths of a second for bandhost to end, and checks
# that it ended with status 0.
wait_host_end() {
  for _ in $(seq "$1"); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$host_pid" 2>/dev/null && fail "bandhost did not end"
  local host_rc=0
  wait "$host_pid" || host_rc=$?
  host_pid=
  [ $host_rc -eq 0 ] || { output >&2; tr -d '\r' <"$work/err" >&2; fail "bandhost exited with $host_rc"; }
}

viewable_windows() {  # id width height x y, one line per mapped top-level window
  local id info
  for id in $(xwininfo -root -children 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'); do
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    awk -v id="$id" '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
      /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print id, w, h, x, y}' <<<"$info"
  done | sort
}

# After viewable_windows >"$work/before" and an action: the tallest mapped
# top-level window that was not there before (a menu rather than a tooltip),
# waited for up to five seconds; empty when none came.
new_window() {
  local found=
  for _ in $(seq 50); do
    sleep 0.1
    viewable_windows >"$work/after"
    found=$(join -v 2 "$work/before" "$work/after" | sort -k3,3n | tail -1)
    [ -n "$found" ] && break
  done
  printf '%s' "$found"
}

# The last complete layout bandhost printed (--print-layout).
layout() {
  output | awk '/^layout: end$/ {last = cur; cur = ""; next} /^layout: / {cur = cur $0 "\n"} END {printf "%s", last}'
}

# Clicks at the left end of the search box in the last layout, empties the
# box and types TEXT (without Enter).
type_into_search_box() {  # TEXT
  local sx sy sw sh
  read -r sx sy sw sh < <(layout | sed -n 's/^layout: combobox at \(-*[0-9]*\),\(-*[0-9]*\) size \([0-9]*\)x\([0-9]*\)$/\1 \2 \3 \4/p' | head -1)
  [ -n "${sh:-}" ] || { layout >&2; fail "no search box in the band's layout"; }
  xdotool mousemove $((sx + 12)) $((sy + sh / 2)) click 1
  sleep 0.3
  xdotool key --delay 20 End
  xdotool key --delay 20 --repeat 40 BackSpace
  xdotool type --delay 40 "$1"
}

# "Close Toolbar", the last entry of the toolbar window's context menu, opened
# by a right click on the band's right end away from its buttons; returns once
# bandhost reports the band closed.
close_from_menu() {
  viewable_windows >"$work/before"
  xdotool mousemove $((bx + bw - 12)) $((by + bh / 2)) click 3
  local menu menu_id mw mh mx my
  menu=$(new_window)
  [ -n "$menu" ] || fail "no context menu appeared on the toolbar"
  read -r menu_id mw mh mx my <<<"$menu"
  say "context menu $menu_id at $mx,$my size ${mw}x$mh"
  xdotool mousemove $((mx + mw / 2)) $((my + mh - 8)) click 1
  wait_for '^bandhost: band closed' 300 || { output >&2; fail "the band did not close"; }
}

# The data of a string value of KEY, read with QUERY (reg, the default, or
# reg_other for the other view); status 1 when there is no such string value.
string_value() {  # KEY NAME [QUERY]
  "${3:-reg}" query "$1" /v "$2" | awk -v p="    $2    REG_SZ" 'index($0, p) == 1 {
      rest = substr($0, length(p) + 1); sub(/^ +/, "", rest); print rest; found = 1 } END { exit !found }'
}
