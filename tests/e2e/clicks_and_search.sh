#!/usr/bin/env bash
# End to end, one bitness: kestrelgrove.dll registered with regsvr32, a test
# toolbar with a "Home" button and a search button of two engines, the band
# loaded by bandhost through COM, and every step done with real mouse and
# keyboard input (xdotool on the X display):
#   - a click on "Home" makes the browser navigate to its URL;
#   - a query typed into the search box and sent with Enter navigates to the
#     selected engine's template with the query, and the history file beside
#     the configuration gains the query;
#   - choosing the second engine from the search button's drop-down menu
#     changes the button's caption (its text in the toolbar control), navigates
#     nowhere, and the next search uses that engine's template;
#   - "About Toolbar..." from the band's context menu (a right click on the
#     gripper) opens the About window, and Esc closes it;
#   - "Close Toolbar" then closes the band, the chosen engine and the last
#     query are stored, and the DLL is unloaded.
#
#   clicks_and_search.sh BUILD_DIR 64|32
#
# With KG_E2E_SHOTS set to a folder, a screenshot of the display is saved
# there at each step.
#
# Needs the prefix and display of scripts/wine-env.sh start. Exits 77 (a
# skip) when the machine cannot run programs of that bitness at all.
. "$(dirname "$0")/common.sh" "$@"

home_url='http://home.kestrelgrove.example/start?from=toolbar'
web_template='http://www.kestrelgrove.example/search?q=[SEARCH]&src=kg'
images_template='http://images.kestrelgrove.example/find?kind=photo&[Search]'
install_toolbar <<EOF
[Options]
Toolbar Name=$toolbar_name
Company Name=Kestrelgrove
Home Page URL=http://www.kestrelgrove.example/
Search URL=http://options.kestrelgrove.example/?q=[SEARCH]
Toolbar Full Size=1
Search Dynamic=1

[Toolbar Items]
miHome=
miSearch=
miSearchWeb=
miSearchImages=

[miHome]
Caption=Home
ImageIndex=0
URL=$home_url
Parent=Toolbar

[miSearch]
Caption=Search
ImageIndex=8
Count=2
Parent=Toolbar

[miSearchWeb]
Caption=Web
ImageIndex=2
URL=$web_template
Tag=1
GroupIndex=1
Parent=miSearch

[miSearchImages]
Caption=Images
ImageIndex=3
URL=$images_template
Tag=2
GroupIndex=1
Parent=miSearch
EOF
history_file="$user_unix/$toolbar_name.txt"
register_dll

shot() {
  [ -n "${KG_E2E_SHOTS:-}" ] || return 0
  mkdir -p "$KG_E2E_SHOTS"
  import -window root "$KG_E2E_SHOTS/$bits-$1.png" 2>/dev/null || true
}

# x y width height [kind] of the visible toolbar button with this text.
button() {
  layout | sed -n "s/^layout: button \"$1\" at \(-*[0-9]*\),\(-*[0-9]*\) size \([0-9]*\)x\([0-9]*\)\(.*\)\$/\1 \2 \3 \4\5/p" | head -1
}
wait_button() {  # text, tenths of a second
  for _ in $(seq "$2"); do
    [ -n "$(button "$1")" ] && return 0
    sleep 0.1
  done
  return 1
}
navigations() { output | grep '^navigate: ' || true; }
wait_navigation() {  # url, tenths of a second
  for _ in $(seq "$2"); do
    navigations | grep -qxF "navigate: $1" && return 0
    kill -0 "$host_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# The history file's bytes, CR and LF written out, for messages.
history_bytes() {
  if [ -f "$history_file" ]; then od -An -c "$history_file" | tr -s ' \n' ' '; else echo '(no file)'; fi
}
# Clicks at the left end of the search box, empties it and types TEXT, then
# sends it with Enter.
search_for() {
  type_into_search_box "$1"
  shot "typed-$2"
  xdotool key Return
}

# The browser, ended by its own timer at the latest.
start_host --screenshot-after 240000 --quit-after-close --print-layout
wait_button Home 300 || { output >&2; fail "no \"Home\" button in the band's layout"; }
wait_button Web 300 || { layout >&2; fail "no search button showing the first engine \"Web\""; }
say "layout: $(layout | tr '\n' ';')"
shot started

# 1. "Home".
read -r hx hy hw hh _ < <(button Home)
xdotool mousemove $((hx + hw / 2)) $((hy + hh / 2)) click 1
wait_navigation "$home_url" 300 || { output >&2; fail "a click on \"Home\" did not navigate to $home_url"; }
[ "$(navigations | wc -l)" -eq 1 ] || { navigations >&2; fail "a click on \"Home\" navigated more than once"; }
say "\"Home\" navigated to $home_url"
shot home

# 2. A search with the first engine, typed and sent with Enter.
[ ! -e "$history_file" ] || fail "a history file exists before the first search: $(history_bytes)"
search_for 'kestrel wings' web
web_url='http://www.kestrelgrove.example/search?q=kestrel+wings&src=kg'
wait_navigation "$web_url" 300 || { output >&2; shot search-failed; fail "Enter in the search box did not navigate to $web_url"; }
say "Enter searched: $web_url"
shot searched-web
printf 'kestrel wings\r\n' >"$work/history.expected"
cmp -s "$history_file" "$work/history.expected" ||
  fail "the history file does not hold the query: $(history_bytes)"
say "the history file holds the query"

# 3. The second engine, from the search button's drop-down arrow.
read -r wx wy ww wh wkind < <(button Web)
[ "$wkind" = split ] || fail "the search button \"Web\" has no separate drop-down arrow (kind \"$wkind\")"
before_choice=$(navigations | wc -l)
viewable_windows >"$work/before"
xdotool mousemove $((wx + ww - 5)) $((wy + wh / 2)) click 1
menu=$(new_window)
[ -n "$menu" ] || { shot no-engine-menu; fail "the search button's arrow opened no menu"; }
read -r menu_id mw mh mx my <<<"$menu"
say "engine menu $menu_id at $mx,$my size ${mw}x$mh"
shot engine-menu
# Two entries, "Web" and "Images": the lower half is the second.
xdotool mousemove $((mx + mw / 2)) $((my + mh * 3 / 4)) click 1
wait_button Images 300 || { layout >&2; shot no-images; fail "choosing the second engine did not change the search button's caption to \"Images\""; }
[ -z "$(button Web)" ] || { layout >&2; fail "the search button still shows \"Web\" beside \"Images\""; }
say "the search button now reads \"Images\""
shot engine-chosen
[ "$(navigations | wc -l)" -eq "$before_choice" ] || { navigations >&2; fail "choosing an engine navigated"; }

search_for falcon images
images_url='http://images.kestrelgrove.example/find?kind=photo&falcon'
wait_navigation "$images_url" 300 || { output >&2; shot search2-failed; fail "a search after choosing \"Images\" did not navigate to $images_url"; }
say "the next search used the second engine: $images_url"
printf 'falcon\r\nkestrel wings\r\n' >"$work/history.expected"
cmp -s "$history_file" "$work/history.expected" ||
  fail "the history file does not hold both queries in order: $(history_bytes)"
say "the history file holds both queries in order"

# 4. "About Toolbar..." from the band's context menu, on the gripper left of
# the band's window; the band's menu reads "Update Bandinfo", "About
# Toolbar...", "Toolbar Website", "Toolbar Support".
about_title="About $toolbar_name"
[ -z "$(xdotool search --onlyvisible --name "^$about_title\$" 2>/dev/null)" ] || fail "an About window is open already"
before_about=$(navigations | wc -l)
viewable_windows >"$work/before"
xdotool mousemove $((bx - 4)) $((by + bh / 2)) click 3
menu=$(new_window)
[ -n "$menu" ] || { shot no-band-menu; fail "a right click on the gripper opened no menu"; }
read -r menu_id mw mh mx my <<<"$menu"
say "band menu $menu_id at $mx,$my size ${mw}x$mh"
shot band-menu
viewable_windows >"$work/before"
xdotool mousemove $((mx + mw / 2)) $((my + mh * 3 / 8)) click 1
about=
for _ in $(seq 100); do
  about=$(xdotool search --onlyvisible --name "^$about_title\$" 2>/dev/null | head -1 || true)
  [ -n "$about" ] && break
  sleep 0.1
done
[ -n "$about" ] || { viewable_windows >&2; shot no-about; fail "\"About Toolbar...\" opened no window titled \"$about_title\""; }
about_geometry=$(xwininfo -id "$about" | awk '/^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print w "x" h}')
say "About window $about ($about_geometry) open"
shot about
# Esc, with the pointer over the About window.
read -r _ aw ah ax ay < <(viewable_windows | awk -v id="$(printf '0x%x' "$about")" '$1 == id')
[ -n "${ay:-}" ] || fail "the About window is not mapped"
xdotool mousemove $((ax + aw / 2)) $((ay + ah / 4))
sleep 0.3
xdotool key Escape
for _ in $(seq 100); do
  [ -z "$(xdotool search --onlyvisible --name "^$about_title\$" 2>/dev/null)" ] && break
  sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name "^$about_title\$" 2>/dev/null)" ] || { shot about-stays; fail "Esc did not close the About window"; }
kill -0 "$host_pid" 2>/dev/null || fail "bandhost ended with the About window"
[ "$(navigations | wc -l)" -eq "$before_about" ] || { navigations >&2; fail "the About window navigated"; }
say "Esc closed the About window"
shot about-closed

# 5. "Close Toolbar", the toolbar window's context menu's last entry, on the
# band's right end away from its buttons; the search state is stored.
close_from_menu
wait_host_end 300
output | grep -v '^layout: '
tr -d '\r' <"$work/err" >&2
output | grep -qx 'bandhost: kestrelgrove.dll unloaded' || fail "kestrelgrove.dll stayed loaded after the last release"
[ "$(string_value "$user_key" "Search Type")" = 2 ] ||
  fail "\"Search Type\" is not 2 after choosing the second engine: $(reg query "$user_key" /v "Search Type")"
[ "$(string_value "$user_key" Search)" = falcon ] ||
  fail "\"Search\" is not the last query: $(reg query "$user_key" /v "Search")"
say "\"Search Type\" 2 and \"Search\" \"falcon\" stored in the per-user key"

unregister_dll
say "passed"
