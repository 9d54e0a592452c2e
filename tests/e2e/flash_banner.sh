#!/usr/bin/env bash
# End to end, 64-bit: the banner's Flash player through the DLL. The Flash
# player stand-in is registered in the prefix with its placeholder player file
# (scripts/flash-standin.sh, a CTest fixture), the test toolbar names a movie
# served by a local python3 http.server, and bandhost loads the band. The
# player must fetch the movie, take the picture's place and play: the banner's
# pixels turn into the stand-in's moving stripe (build/e2e/flash_banner.png).
#
#   flash_banner.sh BUILD_DIR 64
. "$(dirname "$0")/common.sh" "$@"

served=$work/www
mkdir -p "$served"
printf 'FWS stand-in movie\n' >"$served/banner.swf"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$served" >"$work/http.log" 2>&1 &
server_pid=$!
stop_server() { kill "$server_pid" 2>/dev/null || true; }
trap 'stop_server; cleanup' EXIT
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^Serving HTTP on .* port \([0-9]*\).*/\1/p' "$work/http.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "the HTTP server did not start: $(cat "$work/http.log")"
movie="http://127.0.0.1:$port/banner.swf"
say "movie served at $movie"

install_toolbar <<EOF2
[Options]
Toolbar Name=E2E Toolbar
Flash URL=$movie
Toolbar Full Size=1

[Toolbar Items]
miHome=

[miHome]
Caption=Home
URL=http://www.kestrelgrove.example/
Parent=Toolbar
EOF2
register_dll
start_host --screenshot-after 60000

for _ in $(seq 100); do grep -q '"GET /banner.swf' "$work/http.log" && break; sleep 0.1; done
grep -q '"GET /banner.swf[^"]*" 200' "$work/http.log" || fail "the player did not fetch the movie: $(cat "$work/http.log")"
say "the player fetched the movie"

# The banner is the band's first 105 pixels; the stand-in fills it with deep
# blue and an orange stripe while it plays, colours the picture does not have.
shots=$build/e2e
mkdir -p "$shots"
found=0
for _ in $(seq 30); do
  sleep 0.2
  import -window root "$work/shot.png" 2>/dev/null || continue
  colours=$(convert "$work/shot.png" -crop "105x22+$((bx + 2))+$((by + 2))" txt:- 2>/dev/null | tr 'A-F' 'a-f')
  if grep -q '#102060' <<<"$colours" && grep -q '#ffa000' <<<"$colours"; then found=1; break; fi
done
import -window root "$shots/flash_banner.png"
[ $found -eq 1 ] || fail "the banner does not show the playing player (screenshot $shots/flash_banner.png)"
say "the banner shows the playing player (screenshot $shots/flash_banner.png)"
grep -q '^bandhost: error box' <(tr -d '\r' <"$work/err") && fail "an error box was shown"
kill "$host_pid" 2>/dev/null || true
exit 0
