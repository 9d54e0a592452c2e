#!/usr/bin/env bash
# Every test: native core tests under sanitizers, the Windows tests under Wine
# and Xvfb, and a bounded fuzz run of every parser.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh native windows

status=0
echo "== Native core tests (AddressSanitizer, UBSan)"
ctest --test-dir build/native --output-on-failure -j "$(nproc)" || status=1

echo "== Windows tests under Wine"
scripts/wine-env.sh start
trap 'scripts/wine-env.sh stop' EXIT
ctest --test-dir build/windows --output-on-failure -j "$(nproc)" --timeout 600 || status=1
scripts/wine-env.sh stop
trap - EXIT

echo "== Fuzz run"
scripts/fuzz.sh "${KG_FUZZ_SECONDS:-60}" || status=1

if [ $status -eq 0 ]; then echo "All checks passed."; else echo "Some checks FAILED."; fi
exit $status
