#!/usr/bin/env bash
# OUT.png: runs the 64-bit stand-in browser on the X server that
# scripts/wine-env.sh started for $KG_WIN_BUILD, in that build's prefix (or
# $WINEPREFIX), lets it load the band through COM, and saves a picture of the
# screen 2 s after the band opened. The browser ends by itself after 15 s.
# Prints what the browser printed; fails when the band did not open.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KG_WIN_BUILD:-$here/build/windows}
shot=${1:?usage: band-screenshot.sh OUT.png}
[ -f "$build/xvfb.display" ] || { echo "band-screenshot: no X server of $build (scripts/wine-env.sh start)" >&2; exit 1; }
display=$(cat "$build/xvfb.display")
out=${shot%.png}.out
err=${shot%.png}.err
rm -f "$shot" "$out" "$err"
mkdir -p "$(dirname "$shot")"
DISPLAY=$display "$here/cmake/wine-run.sh" "$here/build/windows/bandhost.exe" --screenshot-after 15000 \
  </dev/null >"$out" 2>"$err" &
host=$!
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
  echo "band-screenshot: the toolbar showed an error box (its text is above)" >&2
fi
if [ $status -ne 0 ] || ! tr -d '\r' <"$out" | grep -q '^bandhost: band open'; then
  echo "band-screenshot: the stand-in browser could not show the band (exit $status)" >&2
  exit 1
fi
[ -f "$shot" ] || { echo "band-screenshot: no screenshot taken" >&2; exit 1; }
