#!/usr/bin/env bash
# fuzz.sh [seconds]: runs every libFuzzer target of the native build for that
# long (60 s by default), one after the other in one process each, so that no
# two share the cores. Each grows its own corpus, kept outside the sources in
# $KG_FUZZ_CORPUS/<target> (build/fuzz-corpus by default) and seeded from
# fuzz/seeds/<target>/ and the example toolbar's files. Fails when any target
# reports a finding; findings and logs go to build/native/fuzz-run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
corpora=${KG_FUZZ_CORPUS:-build/fuzz-corpus}
out=build/native/fuzz-run
mkdir -p "$out" "$corpora"
status=0
ran=0
for exe in build/native/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  corpus=$corpora/$name
  mkdir -p "$corpus"
  [ -d "fuzz/seeds/$name" ] && cp -n fuzz/seeds/"$name"/* "$corpus"/ 2>/dev/null || true
  case "$name" in
    fuzz_bigini) cp -n examples/*.ini "$corpus"/ 2>/dev/null || true ;;
    fuzz_iconfile) cp -n build/native/examples/Icons.bin examples/*.bin "$corpus"/ 2>/dev/null || true ;;
  esac
  ran=$((ran + 1))
  if "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$out/$name-" "$corpus" >"$out/$name.log" 2>&1; then
    final=$(grep -E '^#[0-9]+.*DONE' "$out/$name.log" | tail -1 | sed -E 's/^#([0-9]+)\s+DONE\s+//; s/ lim:.*exec\/s/, exec\/s/; s/ rss:.*//')
    echo "fuzz $name: $(grep -E 'stat::number_of_executed_units' "$out/$name.log" | awk '{print $2}') runs in ${seconds}s, no finding ($final; corpus $corpus)"
  else
    echo "fuzz $name: FINDING (log: $out/$name.log)"
    tail -40 "$out/$name.log"
    status=1
  fi
done
[ "$ran" -gt 0 ] || { echo "no fuzz targets built"; status=1; }
exit $status
