#!/usr/bin/env bash
# End to end as a standard user sees the machine: kestrelgrove.dll registered
# with regsvr32, a test toolbar whose toolbar key refuses writes (a read-only
# access list, which Wine enforces while its wineserver runs) and whose
# install folder is a read-only bind mount (root ignores permission bits).
# bandhost loads the band through COM under Xvfb, with real input:
#   1. the first window on a new day shows the splash once and no error box,
#      and stores "Date" in the per-user key;
#   2. a search typed into the search box goes out and lands in the per-user
#      history file; "Close Toolbar" stores "Search Type" and "Search" in the
#      per-user key, again with no error box;
#   3. the next window shows no splash and no error box, and restores the
#      search text.
# The toolbar key and the install folder are unchanged at the end.
#
#   standard_user.sh BUILD_DIR 64|32
#
# Every error box bandhost saw is listed at the end; any at all fails the run.
# Needs the prefix and display of scripts/wine-env.sh start. Exits 77 (a
# skip) when the machine cannot run programs of that bitness at all.
. "$(dirname "$0")/common.sh" "$@"

keyacl=$build/keyacl.exe
[ -f "$keyacl" ] || fail "$keyacl not built"
key_path="SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\$clsid"
about_title="About $toolbar_name"

install_toolbar <<EOF
[Options]
Toolbar Name=$toolbar_name
Company Name=Kestrelgrove
Home Page URL=http://www.kestrelgrove.example/
Search URL=http://www.kestrelgrove.example/search?q=[SEARCH]
Toolbar Full Size=1
Search Dynamic=1

[Toolbar Items]
miSearch=
miSearchWeb=

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
register_dll  # stamps yesterday's "Date" in the toolbar key: the next showing is a new day


mounted=0
locked=0
poller=
standard_user_cleanup() {
  [ -z "$poller" ] || kill "$poller" 2>/dev/null || true
  # What a failed run saw, for its log.
  if [ -s "$work/boxes" ] || grep -q '^bandhost: error box: ' "$work/err" 2>/dev/null; then
    echo "e2e ($bits-bit): error boxes seen:" >&2
    cat "$work/boxes" >&2 2>/dev/null || true
    tr -d '\r' <"$work/err" 2>/dev/null | sed -n 's/^bandhost: error box: /last window: /p' >&2 || true
  fi
  [ $locked -eq 0 ] || "$run" "$keyacl" writable "$key_path" </dev/null >/dev/null 2>&1 || true
  [ $mounted -eq 0 ] || umount "$install_unix" 2>/dev/null || umount -l "$install_unix" 2>/dev/null || true
  cleanup
}
trap standard_user_cleanup EXIT

reg query "$key" >"$work/key.before"
(cd "$install_unix" && find . -printf '%s %p\n' | sort) >"$work/folder.before"
"$run" "$keyacl" read-only "$key_path" </dev/null || fail "the toolbar key could not be made read-only"
locked=1
mount --bind "$install_unix" "$install_unix" && mount -o remount,ro,bind "$install_unix" "$install_unix" ||
  fail "the install folder could not be made read-only"
mounted=1
if reg add "$key" /v Probe /t REG_SZ /d x /f >/dev/null; then fail "the toolbar key still takes writes"; fi
if touch "$install_unix/probe" 2>/dev/null; then fail "the install folder still takes writes"; fi
say "toolbar key read-only, install folder read-only"

: >"$work/boxes"
# Each error box bandhost saw: it reports those still open when its timer ends it.
collect_boxes() {  # SESSION
  tr -d '\r' <"$work/err" | sed -n "s/^bandhost: error box: /$1: /p" >>"$work/boxes"
}
# Counts the showings of the About window while bandhost starts (the splash
# runs inside the band's creation, before start_host returns).
watch_about() {
  : >"$work/about"
  (
    seen=0
    while :; do
      if xdotool search --onlyvisible --name "^$about_title\$" >/dev/null 2>&1; then
        [ $seen -eq 1 ] || echo shown >>"$work/about"
        seen=1
      else
        seen=0
      fi
      sleep 0.1
    done
  ) &
  poller=$!
}
stop_watch() { kill "$poller" 2>/dev/null || true; wait "$poller" 2>/dev/null || true; poller=; }
user_value() { string_value "$user_key" "$1"; }  # NAME: a string value of the per-user key

# 1 and 2: the first window of the day, a search, "Close Toolbar".
watch_about
start_host --screenshot-after 60000 --quit-after-close --print-layout
sleep 5  # a splash still showing
stop_watch
splashes=$(wc -l <"$work/about")
[ "$splashes" -eq 1 ] || fail "the first window of the day showed the splash $splashes times, not once"
say "the first window of the day showed the splash once"
today=$(user_value Date) || fail "\"Date\" not stored in the per-user key"
say "\"Date\" stored per-user: $today"

for _ in $(seq 100); do layout | grep -q '^layout: combobox at' && break; sleep 0.1; done
type_into_search_box 'red kites'
xdotool key Return
url='http://www.kestrelgrove.example/search?q=red+kites'
for _ in $(seq 300); do output | grep -qxF "navigate: $url" && break; sleep 0.1; done
output | grep -qxF "navigate: $url" || fail "the search did not navigate to $url"
say "searched: $url"
history="$user_unix/$toolbar_name.txt"
printf 'red kites\r\n' >"$work/history.expected"
cmp -s "$history" "$work/history.expected" || fail "the per-user history does not hold the search ($history)"
say "the per-user history holds the search"

close_from_menu
wait_host_end 300
collect_boxes "first window"
[ "$(user_value Search)" = "red kites" ] || fail "\"Search\" not stored per-user"
[ "$(user_value 'Search Type')" = "1" ] || fail "\"Search Type\" not stored per-user"
say "\"Search Type\" and \"Search\" stored per-user"

# 3: the next window that day.
watch_about
start_host --screenshot-after 60000 --quit-after-close --print-layout
sleep 2
stop_watch
[ ! -s "$work/about" ] || fail "a second window on the same day showed the splash"
for _ in $(seq 100); do layout | grep -q '^layout: combobox at' && break; sleep 0.1; done
close_from_menu
wait_host_end 300
collect_boxes "second window"
say "the second window showed no splash"

# The search text came back: the box's edit control holds it when the band closes.
[ "$(user_value Search)" = "red kites" ] || fail "the second window did not restore the search text"

reg query "$key" >"$work/key.after"
diff "$work/key.before" "$work/key.after" >/dev/null || fail "the toolbar key changed: $(diff "$work/key.before" "$work/key.after")"
(cd "$install_unix" && find . -printf '%s %p\n' | sort) >"$work/folder.after"
diff "$work/folder.before" "$work/folder.after" >/dev/null || fail "the install folder changed"
say "the toolbar key and the install folder are unchanged"

[ ! -s "$work/boxes" ] || fail "$(wc -l <"$work/boxes") error box(es) shown"
say "no error box at any point"
unregister_dll
say "passed"
