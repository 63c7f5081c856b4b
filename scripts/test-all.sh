#!/usr/bin/env bash
# Installs whatever is missing and runs every test:
#   1. the unit and scenario tests on the simulated machine (the fault sweep included);
#   2. the same tests under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the fuzzers, each for a bounded time (ZC_FUZZ_SECONDS, default 60);
#   4. the Windows programs and the Wine suite (scripts/wine-suite.sh).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

zc_require_packages "${ZC_BUILD_PACKAGES[@]}"

echo "== build (Linux, tests)"
zc_build dev

echo "== unit and scenario tests"
ctest --test-dir "$ZC_ROOT/build/dev" -j "$(nproc)" --output-on-failure

echo "== the same tests under ASan and UBSan"
zc_build asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$ZC_ROOT/build/asan" -j "$(nproc)" --output-on-failure

echo "== fuzzers"
bash "$ZC_ROOT/scripts/fuzz.sh"

if [ -f "$ZC_ROOT/scripts/wine-suite.sh" ]; then
  echo "== the Windows programs and the Wine suite"
  bash "$ZC_ROOT/scripts/wine-suite.sh"
fi

stages=3
[ -f "$ZC_ROOT/scripts/wine-suite.sh" ] && stages=4
echo "test-all: $stages passed, 0 failed"
