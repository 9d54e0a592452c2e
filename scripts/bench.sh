#!/usr/bin/env bash
# Builds the core optimised (preset bench) and runs every benchmark program,
# then the Windows benchmarks (bench/win) under Wine and Xvfb.
# Extra arguments go to each native program (e.g. --benchmark_filter=BigIni).
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

scripts/build.sh windows windows32
scripts/wine-env.sh start
trap 'scripts/wine-env.sh stop' EXIT
for exe in build/windows/kg_bench_*.exe; do
  [ -f "$exe" ] || continue
  echo "== $(basename "$exe" .exe) (Windows, under Wine)"
  cmake/wine-run.sh "$exe" | tr -d '\r' || status=1
done
exit $status
