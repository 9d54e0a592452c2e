#!/usr/bin/env bash
# The demo: builds what it shows of both Windows builds (both DLLs, the 64-bit
# stand-in browser and Flash player stand-in, showsettings, the example's icon
# file; `make check` builds the rest), registers both kestrelgrove.dll (64-
# and 32-bit) with Wine's regsvr32 in a Wine prefix of the demo's own
# (build/demo/wineprefix, on an X server of its own unless DISPLAY is set; the
# tests' prefix is never touched), installs the example toolbar there, shows
# the settings the engine loads, then runs the 64-bit stand-in browser, which
# loads the band through COM, and takes a screenshot of it
# (build/demo/toolbar.png).
#
# The installed toolbar updates itself: its "Updates URL" names an update
# folder (build/demo/www) that the demo serves on 127.0.0.1 with python3's
# http.server. The folder holds the example's configuration with one more
# button, "Update added", as "toolbar.ini", and the example's icon file as
# "icons.bin"; the toolbar on the screenshot is the updated one. The update is
# signed: kgsign makes a key pair for the demo, the installed configuration
# names its public half as "Update Key", and the served folder carries
# "toolbar.ini.sig" and "icons.bin.sig".
#
# Its "Flash URL" names a movie in the same folder, and the prefix has the
# Flash player stand-in (scripts/flash-standin.sh), so the banner plays: a deep
# blue field with a moving orange stripe in place of the picture.
#
# The first showing of a day also shows the About window for 4 s as a splash
# (registration dates the last showing yesterday); the demo takes a picture of
# it (build/demo/splash.png), the band opens after it, and the toolbar's
# picture is taken after that.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh demo
jobs=$(nproc)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target kestrelgrove bandhost flashstandin showsettings kgsign example_icons
cmake --preset windows32 >/dev/null
cmake --build --preset windows32 -j "$jobs" --target kestrelgrove

root=$PWD/build/demo
export KG_WIN_BUILD=$root
unset WINEPREFIX
mkdir -p "$root"
scripts/wine-env.sh start
server_pid=
stop_server() { [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true; }
trap 'stop_server; scripts/wine-env.sh stop' EXIT
prefix=$root/wineprefix

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

echo
echo "== Registering the band (regsvr32) in the demo's prefix ($prefix)"
cmake/wine-run.sh regsvr32 /s "$(windows_path "$PWD/build/windows/kestrelgrove.dll")" </dev/null ||
  { echo "demo: regsvr32 of the 64-bit kestrelgrove.dll failed" >&2; exit 1; }
echo "64-bit: build/windows/kestrelgrove.dll registered"
. scripts/wine-loader.sh
if [ -n "$KG_WINE32" ] && scripts/can-run-32bit.sh; then
  cmake/wine-run.sh 'C:\windows\syswow64\regsvr32.exe' /s \
    "$(windows_path "$PWD/build/windows32/kestrelgrove.dll")" </dev/null ||
    { echo "demo: regsvr32 of the 32-bit kestrelgrove.dll failed" >&2; exit 1; }
  echo "32-bit: build/windows32/kestrelgrove.dll registered"
else
  echo "32-bit: build/windows32/kestrelgrove.dll built, not registered: this machine cannot run 32-bit programs, or has no 32-bit Wine"
fi
scripts/flash-standin.sh install "$prefix"

# The update folder, served on 127.0.0.1 until the demo ends.
# demo_options lists the "Options" lines that both the installed and the
# served configuration get, in place of the example's own; the example in
# examples/ stays as publishers see it.
www=$root/www
rm -rf "$www"
mkdir -p "$www"
python3 -u -m http.server --bind 127.0.0.1 --directory "$www" 0 >"$root/http.log" 2>&1 &
server_pid=$!
port=
for _ in $(seq 50); do
  port=$(sed -n 's/^Serving HTTP on [0-9.]* port \([0-9]*\).*/\1/p' "$root/http.log" | head -1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "demo: FAILED: the update folder could not be served" >&2; exit 1; }
www_url=http://127.0.0.1:$port
# The demo publisher's signing key (kgsign.exe, over the platform's CNG).
kgsign=build/windows/kgsign.exe
key_file=$root/signing-key.txt
rm -f "$key_file"
update_key=$(cmake/wine-run.sh "$kgsign" keygen "$(windows_path "$key_file")" </dev/null | tr -d '\r' |
  sed -n 's/^Update Key=//p')
[ -n "$update_key" ] || { echo "demo: FAILED: kgsign keygen made no key" >&2; exit 1; }
demo_options() {
  printf 'Updates URL=%s/\r\n' "$www_url"
  printf 'Update Key=%s\r\n' "$update_key"
  printf 'Flash URL=%s/banner.swf\r\n' "$www_url"
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
# The stand-in player only fetches the movie; it does not read it.
printf 'FWS Kestrelgrove demo movie\n' >"$www/banner.swf"
cmake/wine-run.sh "$kgsign" sign "$(windows_path "$key_file")" "$(windows_path "$www")" </dev/null >/dev/null ||
  { echo "demo: FAILED: kgsign could not sign the update folder" >&2; exit 1; }
cmake/wine-run.sh "$kgsign" verify "$(windows_path "$www")" </dev/null | tr -d '\r'
echo
echo "== Update folder and movie served at $www_url/ ($www)"

# The example as a publisher ships it, with the demo's Options.
staged=$root/toolbar
rm -rf "$staged"
mkdir -p "$staged"
with_demo_options <examples/Kestrelgrove.ini >"$staged/Kestrelgrove.ini"
cp examples/Kestrelgrove.bmp examples/Copyrights.txt build/windows/examples/Icons.bin "$staged/"
KG_TOOLBAR_SOURCE=$staged scripts/install-example.sh

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
shot=$root/toolbar.png
scripts/band-screenshot.sh "$shot" "$root/splash.png" || { echo "demo: FAILED" >&2; exit 1; }
requests=$(grep -c '"GET /' "$root/http.log" || true)
echo "Update folder requests: $requests ($(grep -o '"GET [^ ]*' "$root/http.log" | sed 's/"GET //' | paste -sd ' '))"
grep -q '"GET /toolbar.ini' "$root/http.log" ||
  { echo "demo: FAILED: the toolbar did not fetch its update" >&2; exit 1; }
grep -q '"GET /toolbar.ini.sig[^"]*" 200' "$root/http.log" ||
  { echo "demo: FAILED: the toolbar did not fetch the update's signature" >&2; exit 1; }
installed=$(find "$prefix/drive_c/Program Files" -name Kestrelgrove.ini -print -quit)
grep -q '^\[miUpdateAdded\]' "$installed" ||
  { echo "demo: FAILED: the signed update was not applied" >&2; exit 1; }
echo "Update: signed, verified against the installed \"Update Key\" and applied"
# The stand-in paints deep blue and orange, colours the banner picture does not have.
colours=$(convert "$shot" -unique-colors txt:- 2>/dev/null || true)
if grep -q '"GET /banner.swf[^"]*" 200' "$root/http.log" && grep -qi '#102060' <<<"$colours"; then
  echo "Banner: the Flash player stand-in is playing the movie"
else
  echo "demo: FAILED: the banner shows the picture: the player stand-in did not play the movie" >&2
  exit 1
fi
echo "Screenshot: $shot"
