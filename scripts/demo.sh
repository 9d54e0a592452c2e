#!/usr/bin/env bash
# The demo: builds the Windows programs, installs the example toolbar into the
# Wine prefix of the Windows build, shows the settings the engine loads, then
# runs the toolbar in the stand-in browser and takes a screenshot of it
# (build/demo/toolbar.png).
set -euo pipefail
cd "$(dirname "$0")/.."
export KG_WIN_BUILD=$PWD/build/windows

scripts/deps.sh
scripts/build.sh windows
scripts/wine-env.sh start
trap 'scripts/wine-env.sh stop' EXIT

scripts/install-example.sh

echo
echo "== Toolbar settings, loaded as the engine loads them"
cmake/wine-run.sh build/windows/showsettings.exe | tr -d '\r'

echo
echo "== The example toolbar in the stand-in browser"
# The display the programs run on: the X server started above, else the user's.
display=${DISPLAY:-}
# Under the X server started above nobody can close the browser: it ends by
# itself 6 s after its window is up, and the picture is taken meanwhile. On
# the user's own display it stays until the user closes it.
lifetime=()
if [ -f "$KG_WIN_BUILD/xvfb.display" ]; then
  display=$(cat "$KG_WIN_BUILD/xvfb.display")
  lifetime=(--screenshot-after 6000)
else
  echo "Close the stand-in browser window to end the demo."
fi
mkdir -p build/demo
shot=$PWD/build/demo/toolbar.png
rm -f "$shot"
cmake/wine-run.sh build/windows/bandhost.exe "${lifetime[@]}" | tr -d '\r' &
host=$!
for _ in $(seq 40); do
  DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q "Kestrelgrove stand-in browser" && break
  sleep 0.25
done
sleep 2  # let the toolbar paint
DISPLAY=$display import -window root "$shot"
echo "Screenshot: $shot"
wait "$host"
