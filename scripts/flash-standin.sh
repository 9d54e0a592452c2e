#!/usr/bin/env bash
# install | remove <wine prefix> [flashstandin.dll]
# The Flash player stand-in, for the tests and the demo only: install
# registers it with the prefix's regsvr32 and puts a placeholder player file
# at C:\windows\system32\Macromed\Flash\flash.ocx, where the toolbar looks for
# an installed player; remove undoes both. Never run it against a real
# Windows installation: it takes the Flash player's class identifier.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
action=${1:-}
prefix=${2:-}
dll=${3:-$here/build/windows/flashstandin.dll}
if [ -z "$prefix" ] || { [ "$action" != install ] && [ "$action" != remove ]; }; then
  echo "usage: $0 install|remove <wine prefix> [flashstandin.dll]" >&2
  exit 2
fi
if [ ! -f "$prefix/system.reg" ]; then
  echo "flash-standin: $prefix is no Wine prefix (start it with scripts/wine-env.sh start)" >&2
  exit 1
fi
export WINEPREFIX=$prefix
dll=$(cd "$(dirname "$dll")" && pwd)/$(basename "$dll")
windows_dll="Z:${dll//\//\\}"
placeholder="$prefix/drive_c/windows/system32/Macromed/Flash/flash.ocx"

case "$action" in
install)
  [ -f "$dll" ] || { echo "flash-standin: $dll is not built" >&2; exit 1; }
  "$here/cmake/wine-run.sh" regsvr32 /s "$windows_dll" </dev/null ||
    { echo "flash-standin: regsvr32 of $dll failed" >&2; exit 1; }
  mkdir -p "$(dirname "$placeholder")"
  [ -f "$placeholder" ] || echo "placeholder: the Flash player stand-in is registered in this prefix" >"$placeholder"
  echo "flash-standin: registered $dll; placeholder $placeholder"
  ;;
remove)
  if [ -f "$dll" ]; then
    "$here/cmake/wine-run.sh" regsvr32 /s /u "$windows_dll" </dev/null ||
      echo "flash-standin: regsvr32 /u of $dll failed" >&2
  fi
  rm -f "$placeholder"
  echo "flash-standin: removed"
  ;;
esac
