#!/usr/bin/env bash
# start | stop: the X server (when no display is set) and the Wine prefix of
# the Windows build, once per run. Both are stopped by their own process ids.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KG_WIN_BUILD:-$here/build/windows}
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
. "$here/scripts/wine-loader.sh"
case "${1:-}" in
start)
  mkdir -p "$build"
  # A second start reuses the X server of the first instead of leaving it behind.
  if [ -z "${DISPLAY:-}" ] && [ -f "$build/xvfb.pid" ] && [ -f "$build/xvfb.display" ] &&
     kill -0 "$(cat "$build/xvfb.pid")" 2>/dev/null; then
    export DISPLAY=$(cat "$build/xvfb.display")
  elif [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 91 140); do
      [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
      Xvfb :$n -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
      echo $! > "$build/xvfb.pid"
      echo ":$n" > "$build/xvfb.display"
      for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
      break
    done
    export DISPLAY=$(cat "$build/xvfb.display")
  else
    rm -f "$build/xvfb.display" "$build/xvfb.pid"
  fi
  # A prefix made before Wine's 32-bit loader was installed (or after it was
  # removed) no longer starts: make it anew when the loaders changed.
  loaders="$KG_WINE $KG_WINE32 $(dpkg-query -W -f='${Package}:${Architecture} ${Version} ' wine64 wine32:i386 2>/dev/null || true)"
  if [ -f "$WINEPREFIX/system.reg" ] && [ "$(cat "$WINEPREFIX/.kg-loaders" 2>/dev/null)" != "$loaders" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$KG_WINE" wineboot.exe -i >/dev/null 2>&1 || true
    wineserver -w
    printf '%s' "$loaders" > "$WINEPREFIX/.kg-loaders"
  fi
  # A persistent server keeps every later wine start fast, and the prefix's
  # services are started here, detached from any test runner's output pipes.
  wineserver -p >/dev/null 2>&1 </dev/null || true
  "$KG_WINE" wineboot.exe >/dev/null 2>&1 </dev/null || true
  # Xvfb has no window manager: unmanaged windows hide and close at once
  # instead of waiting two seconds for a withdrawn state that never comes.
  "$KG_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f /reg:64 >/dev/null 2>&1 </dev/null || true
  ;;
stop)
  wineserver -k >/dev/null 2>&1 || true
  if [ -f "$build/xvfb.pid" ]; then
    kill "$(cat "$build/xvfb.pid")" 2>/dev/null || true
    rm -f "$build/xvfb.pid" "$build/xvfb.display"
  fi
  ;;
*) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
