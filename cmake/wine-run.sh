#!/usr/bin/env bash
# Runs a cross-built program under Wine in the build's own prefix (the 64-bit
# build's, which the 32-bit build shares). A 32-bit program needs Wine's
# 32-bit loader: where the machine cannot run it, this says so and exits 77.
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
. "$here/scripts/wine-loader.sh"
if [ -f "${1:-}" ] && file -b "$1" | grep -q '^PE32 executable.*80386'; then
  if [ -z "$KG_WINE32" ]; then
    echo "wine-run: $1 is a 32-bit program and this machine has no usable 32-bit Wine loader" >&2
    exit 77
  fi
  exec "$KG_WINE32" "$@"
fi
exec "$KG_WINE" "$@"
