#!/usr/bin/env bash
# Builds the core optimised (preset bench) and runs every benchmark program.
# Extra arguments go to each program (e.g. --benchmark_filter=BigIni).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)"
status=0
found=0
for exe in build/bench/bench_*; do
  [ -x "$exe" ] && [ -f "$exe" ] || continue
  found=1
  echo "== $(basename "$exe")"
  "$exe" "$@" || status=1
done
[ $found -eq 1 ] || { echo "no benchmark programs built"; status=1; }
exit $status
