#!/usr/bin/env bash
# Runs a cross-built program under Wine in the build's own prefix.
# The prefix and the X display are started once per test run by scripts/wine-env.sh.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KG_WIN_BUILD:-$here/build/windows}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -z "${DISPLAY:-}" ] && [ -f "$build/xvfb.display" ]; then
  export DISPLAY=$(cat "$build/xvfb.display")
fi
exec wine "$@"
