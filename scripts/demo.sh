#!/usr/bin/env bash
# The demo: builds the Windows programs, installs the example toolbar into the
# Wine prefix of the Windows build and shows the settings the engine loads.
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
