#!/usr/bin/env bash
# Configures and builds one or both builds: native (portable core under
# sanitizers, fuzzers, benchmarks) and windows (cross-built, run under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
for preset in "${@:-native windows}"; do
  for p in $preset; do
    cmake --preset "$p" >/dev/null
    cmake --build --preset "$p" -j "$jobs"
  done
done
