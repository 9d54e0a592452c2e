#!/usr/bin/env bash
# OUT.png [SPLASH.png]: runs the 64-bit stand-in browser in the prefix of
# $KG_WIN_BUILD (or $WINEPREFIX), lets it load the band through COM, and
# saves a picture of the screen 2 s after the band opened. On the X server
# that scripts/wine-env.sh started for that build the browser ends by itself
# after 15 s; on the user's own display it stays until the user closes it.
# With SPLASH.png, the About window that the first showing of a day opens
# before the band is pictured too, and a line says whether it closed by itself.
# Prints what the browser printed; fails when the band did not open.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KG_WIN_BUILD:-$here/build/windows}
shot=${1:?usage: band-screenshot.sh OUT.png [SPLASH.png]}
splash_shot=${2:-}
lifetime=()
if [ -f "$build/xvfb.display" ]; then
  display=$(cat "$build/xvfb.display")
  lifetime=(--screenshot-after 15000)
elif [ -n "${DISPLAY:-}" ]; then
  display=$DISPLAY
  echo "Close the stand-in browser window to go on."
else
  echo "band-screenshot: no display: no X server of $build (scripts/wine-env.sh start) and no DISPLAY" >&2
  exit 1
fi
out=${shot%.png}.out
err=${shot%.png}.err
rm -f "$shot" "$out" "$err" ${splash_shot:+"$splash_shot"}
mkdir -p "$(dirname "$shot")"
DISPLAY=$display "$here/cmake/wine-run.sh" "$here/build/windows/bandhost.exe" "${lifetime[@]}" \
  </dev/null >"$out" 2>"$err" &
host=$!
band_open() { tr -d '\r' <"$out" | grep -q '^bandhost: band open'; }
about_window() { DISPLAY=$display xdotool search --name '^About ' 2>/dev/null | head -1; }
splash_seen=
for _ in $(seq 48); do
  if [ -n "$splash_shot" ] && [ -z "$splash_seen" ] && [ -n "$(about_window)" ]; then
    splash_seen=$(date +%s.%N)
    sleep 0.5
    DISPLAY=$display import -window root "$splash_shot"
  fi
  band_open && break
  kill -0 "$host" 2>/dev/null || break
  sleep 0.25
done
opened=0
band_open && opened=1
if [ -n "$splash_shot" ]; then
  if [ -z "$splash_seen" ]; then
    echo "Splash: none (the toolbar was shown today already)"
  elif [ -n "$(about_window)" ]; then
    echo "Splash: the About window was still open when the band opened"
  else
    awk -v a="$splash_seen" -v b="$(date +%s.%N)" -v f="$splash_shot" \
      'BEGIN { printf "Splash: the About window appeared and closed by itself (seen for %.1f s): %s\n", b - a, f }'
  fi
fi
[ $opened -eq 1 ] && sleep 2
if kill -0 "$host" 2>/dev/null; then
  DISPLAY=$display import -window root "$shot"
fi
status=0
wait "$host" || status=$?
tr -d '\r' <"$out"
tr -d '\r' <"$err" >&2
if grep -q '^bandhost: error box:' "$err"; then
  echo "band-screenshot: the toolbar showed an error box (its text is above)" >&2
fi
if [ $status -ne 0 ] || [ $opened -ne 1 ]; then
  echo "band-screenshot: the stand-in browser could not show the band (exit $status)" >&2
  exit 1
fi
[ -f "$shot" ] || { echo "band-screenshot: no screenshot taken" >&2; exit 1; }
