#!/usr/bin/env bash
# Every test: native core tests under sanitizers, the Windows tests under Wine
# and Xvfb, and a bounded fuzz run of every parser.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh native windows windows32

passed=0
failed=0
skipped=0
stage() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi; }

echo "== Native core tests (AddressSanitizer, UBSan)"
stage ctest --test-dir build/native --output-on-failure -j "$(nproc)"

echo "== Windows tests under Wine"
scripts/wine-env.sh start
trap 'scripts/wine-env.sh stop' EXIT
stage ctest --test-dir build/windows --output-on-failure -j "$(nproc)" --timeout 600
echo "== Windows tests under Wine, 32-bit"
# The DLL's imports and exports are checked everywhere; what runs under Wine
# needs its 32-bit loader, and skips where the machine cannot run it.
stage ctest --test-dir build/windows32 --output-on-failure -j "$(nproc)" --timeout 600
. scripts/wine-loader.sh
if [ -z "$KG_WINE32" ]; then
  echo "skipped: the 32-bit tests under Wine (this machine cannot run 32-bit programs, or has no 32-bit Wine); the 32-bit build was made and checked"
  skipped=$((skipped + 1))
fi
scripts/wine-env.sh stop
trap - EXIT

echo "== Fuzz run"
stage scripts/fuzz.sh "${KG_FUZZ_SECONDS:-60}"

# Four stages: native tests, Windows tests (64 and 32 bits), fuzz run.
echo "checks: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
