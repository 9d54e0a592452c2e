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
# The 32-bit figures, where the machine has 32-bit Wine (wine-run answers 77 where it has not).
for exe in build/windows32/kg_bench_*.exe; do
  [ -f "$exe" ] || continue
  echo "== $(basename "$exe" .exe) (Windows 32-bit, under Wine)"
  rc=0
  cmake/wine-run.sh "$exe" | tr -d '\r' || rc=${PIPESTATUS[0]}
  if [ "$rc" -eq 77 ]; then echo "skipped: no 32-bit Wine on this machine"; elif [ "$rc" -ne 0 ]; then status=1; fi
done
exit $status
