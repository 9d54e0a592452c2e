#!/usr/bin/env bash
# End to end, one bitness: kestrelgrove.dll registered with regsvr32, a small
# test toolbar installed in that bitness's registry view, the band loaded by
# bandhost through COM, "Close Toolbar" chosen from the toolbar window's
# context menu with real mouse input. Then the band must be closed, the
# search state ("Search Type", "Search") stored in the per-user key, and the DLL
# unloaded after the last release.
#
#   close_toolbar.sh BUILD_DIR 64|32
#
# Then, with a corrupt banner, the error box of the build must be reported and
# closed by bandhost's --screenshot-after timer.
#
# Needs the prefix and display of scripts/wine-env.sh start. Exits 77 (a
# skip) when the machine cannot run programs of that bitness at all.
. "$(dirname "$0")/common.sh" "$@"

install_toolbar <<'EOF'
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
register_dll

# The browser, ended by its own timer at the latest.
start_host --screenshot-after 120000 --quit-after-close

# "Close Toolbar" from the toolbar window's context menu.
close_from_menu
say "band closed"
wait_host_end 300
output
tr -d '\r' <"$work/err" >&2
output | grep -qx 'bandhost: kestrelgrove.dll unloaded' || fail "kestrelgrove.dll stayed loaded after the last release"

for value in "Search Type" "Search"; do
  string_value "$user_key" "$value" >/dev/null || fail "\"$value\" not stored in the per-user key"
  if string_value "$key" "$value" >/dev/null || string_value "$key" "$value" reg_other >/dev/null; then
    fail "\"$value\" written into the toolbar key by the $bits-bit band"
  fi
done
say "\"Search Type\" and \"Search\" stored in the per-user key, not in the toolbar key of either view"

# A corrupt banner: the build's error box, which nobody can press here, is
# reported and closed when the browser's own timer ends it.
printf 'BM not a bitmap' >"$install_unix/E2E.bmp"
host_rc=0
timeout 120 "$run" "$host" --screenshot-after 5000 </dev/null >"$work/out" 2>"$work/err" || host_rc=$?
[ $host_rc -eq 0 ] || { tr -d '\r' <"$work/err" >&2; fail "bandhost with a corrupt banner exited with $host_rc"; }
box=$(tr -d '\r' <"$work/err" | sed -n 's/^bandhost: error box: //p' | head -1)
[ -n "$box" ] || { tr -d '\r' <"$work/err" >&2; fail "no error box reported for a corrupt banner"; }
say "error box reported and closed: $box"

unregister_dll
say "passed"
