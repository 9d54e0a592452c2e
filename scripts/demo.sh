#!/usr/bin/env bash
# The demo: builds both Windows builds, registers both kestrelgrove.dll (64-
# and 32-bit) with Wine's regsvr32, installs the example toolbar into the Wine
# prefix, shows the settings the engine loads, then runs the 64-bit stand-in
# browser, which loads the band through COM, and takes a screenshot of it
# (build/demo/toolbar.png).
#
# The installed toolbar updates itself: its "Updates URL" names an update
# folder (build/demo/www) that the demo serves on 127.0.0.1 with python3's
# http.server. The folder holds the example's configuration with one more
# button, "Update added", as "toolbar.ini", and the example's icon file as
# "icons.bin"; the toolbar on the screenshot is the updated one. The first
# showing of a day also shows the About window for 4 s as a splash; the band
# opens after it, and the picture is taken after that.
set -euo pipefail
cd "$(dirname "$0")/.."
export KG_WIN_BUILD=$PWD/build/windows

scripts/deps.sh
scripts/build.sh windows windows32
scripts/wine-env.sh start
trap 'scripts/wine-env.sh stop' EXIT

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

echo
echo "== Registering the band (regsvr32)"
cmake/wine-run.sh regsvr32 /s "$(windows_path "$PWD/build/windows/kestrelgrove.dll")" </dev/null ||
  { echo "demo: regsvr32 of the 64-bit kestrelgrove.dll failed" >&2; exit 1; }
echo "64-bit: build/windows/kestrelgrove.dll registered"
if scripts/can-run-32bit.sh; then
  cmake/wine-run.sh 'C:\windows\syswow64\regsvr32.exe' /s \
    "$(windows_path "$PWD/build/windows32/kestrelgrove.dll")" </dev/null ||
    { echo "demo: regsvr32 of the 32-bit kestrelgrove.dll failed" >&2; exit 1; }
  echo "32-bit: build/windows32/kestrelgrove.dll registered"
else
  echo "32-bit: build/windows32/kestrelgrove.dll built, not registered: this machine cannot run 32-bit programs"
fi

# The update folder, served on 127.0.0.1 until the demo ends. Files put into
# $www are reachable at $www_url/<name> (a movie for "Flash URL", say).
# demo_options lists the "Options" lines that both the installed and the
# served configuration get, in place of the example's own; the example in
# examples/ stays as publishers see it.
www=$PWD/build/demo/www
rm -rf "$www"
mkdir -p "$www"
server_pid=
stop_server() { [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true; }
trap 'stop_server; scripts/wine-env.sh stop' EXIT
python3 -u -m http.server --bind 127.0.0.1 --directory "$www" 0 >build/demo/http.log 2>&1 &
server_pid=$!
port=
for _ in $(seq 50); do
  port=$(sed -n 's/^Serving HTTP on [0-9.]* port \([0-9]*\).*/\1/p' build/demo/http.log | head -1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "demo: FAILED: the update folder could not be served" >&2; exit 1; }
www_url=http://127.0.0.1:$port
demo_options() {
  printf 'Updates URL=%s/\r\n' "$www_url"
}
# A configuration on standard input with demo_options in its "Options".
with_demo_options() {
  awk -v options="$(demo_options)" '
    BEGIN { n = split(options, lines, "\n"); for (i = 1; i <= n; i++) { k = lines[i]; sub(/=.*/, "", k); keys[k] = 1 } }
    /^\[/ { in_options = ($0 ~ /^\[Options\]\r?$/) }
    in_options { k = $0; sub(/=.*/, "", k); if (k in keys) next }
    { print }
    /^\[Options\]\r?$/ { print options }'
}
# The served configuration: the example with a first toolbar button that only the update brings.
with_demo_options <examples/Kestrelgrove.ini | awk '
  { print }
  /^\[Toolbar Items\]\r?$/ { print "miUpdateAdded=\r" }
  END {
    print "\r"
    print "[miUpdateAdded]\r"
    print "Caption=Update added\r"
    print "ImageIndex=4\r"
    print "URL=http://www.kestrelgrove.example/updated\r"
    print "Parent=Toolbar\r"
  }' >"$www/toolbar.ini"
cp build/windows/examples/Icons.bin "$www/icons.bin"
echo
echo "== Update folder served at $www_url/ ($www)"

scripts/install-example.sh
installed="${WINEPREFIX:-$KG_WIN_BUILD/wineprefix}/drive_c/Program Files/Kestrelgrove Example/Kestrelgrove.ini"
with_demo_options <"$installed" >"$installed.demo" && mv "$installed.demo" "$installed"

echo
echo "== Toolbar settings, loaded as the engine loads them"
settings=$(cmake/wine-run.sh build/windows/showsettings.exe | tr -d '\r')
echo "$settings"
if ! grep -Eq '^ *Toolbar Name += .*\(registry\)' <<<"$settings"; then
  echo >&2
  echo "demo: FAILED: the 64-bit programs do not see the toolbar key: \"Toolbar Name\" does not come from the registry." >&2
  echo "demo: the installation wrote it where a 64-bit process does not look (the 32-bit registry view?)." >&2
  exit 1
fi

echo
echo "== The example toolbar in the stand-in browser (64-bit, the band loaded by COM)"
# The display the programs run on: the X server started above, else the user's.
display=${DISPLAY:-}
# Under the X server started above nobody can close the browser: it ends by
# itself 15 s after it starts, and the picture is taken meanwhile. On the
# user's own display it stays until the user closes it.
lifetime=()
if [ -f "$KG_WIN_BUILD/xvfb.display" ]; then
  display=$(cat "$KG_WIN_BUILD/xvfb.display")
  lifetime=(--screenshot-after 15000)
else
  echo "Close the stand-in browser window to end the demo."
fi
mkdir -p build/demo
shot=$PWD/build/demo/toolbar.png
out=$PWD/build/demo/bandhost.out
err=$PWD/build/demo/bandhost.err
rm -f "$shot" "$out" "$err"
cmake/wine-run.sh build/windows/bandhost.exe "${lifetime[@]}" </dev/null >"$out" 2>"$err" &
host=$!
# The picture is taken 2 s after the band opened, or, when a box holds the
# band's build up, shortly before the browser's own end.
opened=0
for _ in $(seq 48); do
  if tr -d '\r' <"$out" | grep -q '^bandhost: band open'; then opened=1; break; fi
  kill -0 "$host" 2>/dev/null || break
  sleep 0.25
done
[ $opened -eq 1 ] && sleep 2
if kill -0 "$host" 2>/dev/null; then
  DISPLAY=$display import -window root "$shot"
fi
status=0
wait "$host" || status=$?
tr -d '\r' <"$out"
tr -d '\r' <"$err" >&2
if grep -q '^bandhost: error box:' "$err"; then
  echo "demo: the toolbar showed an error box (its text is above)" >&2
fi
if [ $status -ne 0 ] || ! tr -d '\r' <"$out" | grep -q '^bandhost: band open'; then
  echo "demo: FAILED: the stand-in browser could not show the band (exit $status)" >&2
  exit 1
fi
if [ ! -f "$shot" ]; then
  echo "demo: FAILED: no screenshot taken" >&2
  exit 1
fi
requests=$(grep -c '"GET /' build/demo/http.log || true)
echo "Update folder requests: $requests ($(grep -o '"GET [^ ]*' build/demo/http.log | sed 's/"GET //' | paste -sd ' '))"
grep -q '"GET /toolbar.ini' build/demo/http.log ||
  { echo "demo: FAILED: the toolbar did not fetch its update" >&2; exit 1; }
echo "Screenshot: $shot"
