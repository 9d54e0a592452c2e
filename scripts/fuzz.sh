#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time on its seed corpus (the
# example toolbar's files plus what earlier runs found), side by side.
# Fails when any target reports a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build/native/fuzz-run
mkdir -p "$out"
pids=()
names=()
for exe in build/native/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  corpus=$out/$name-corpus
  mkdir -p "$corpus"
  # Seeds: fuzz/seeds/<target>/ and the example toolbar's files.
  [ -d "fuzz/seeds/$name" ] && cp -n fuzz/seeds/"$name"/* "$corpus"/ 2>/dev/null || true
  case "$name" in
    fuzz_bigini) cp -n examples/*.ini "$corpus"/ 2>/dev/null || true ;;
    fuzz_iconfile) cp -n build/native/examples/Icons.bin examples/*.bin "$corpus"/ 2>/dev/null || true ;;
  esac
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
         -artifact_prefix="$out/$name-" "$corpus" >"$out/$name.log" 2>&1 &
  pids+=($!)
  names+=("$name")
done
status=0
for i in "${!pids[@]}"; do
  if wait "${pids[$i]}"; then
    echo "fuzz ${names[$i]}: $(grep -E 'stat::number_of_executed_units' "$out/${names[$i]}.log" | awk '{print $2}') runs, no finding"
  else
    echo "fuzz ${names[$i]}: FINDING (log: $out/${names[$i]}.log)"
    tail -40 "$out/${names[$i]}.log"
    status=1
  fi
done
[ ${#pids[@]} -gt 0 ] || { echo "no fuzz targets built"; status=1; }
exit $status
