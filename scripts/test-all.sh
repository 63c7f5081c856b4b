#!/usr/bin/env bash
# Installs whatever is missing and runs every test:
#   1. the house rules (scripts/lint.sh): clang-format, clang-tidy, shellcheck;
#   2. the unit and scenario tests on the simulated machine (the fault sweep included);
#   3. the same tests under AddressSanitizer and UndefinedBehaviorSanitizer;
#   4. the fuzzers, each for a bounded time (ZC_FUZZ_SECONDS, default 60);
#   5. the Windows programs and the Wine suite (scripts/wine-suite.sh), the
#      release artefact under 32-bit Wine included.
# Each stage prints its time and the number of tests it ran; the last line
# is "test-all: N passed, 0 failed" (N stages). Any failure stops the run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

zc_require_packages "${ZC_BUILD_PACKAGES[@]}"

stages=0
summary=()
output=$(mktemp)
trap 'rm -f "$output"' EXIT

# stage NAME COUNT_COMMAND COMMAND...: runs COMMAND with its output shown and
# kept; COUNT_COMMAND reads the kept output on stdin and prints how many
# tests ran.
stage() {
  local name=$1 count=$2 start=$SECONDS tests
  shift 2
  echo "== $name"
  "$@" 2>&1 | tee "$output"
  tests=$("$count" <"$output")
  stages=$((stages + 1))
  summary+=("$(printf '%-44s %5d s  %6s tests' "$name" $((SECONDS - start)) "$tests")")
  echo "== $name: $((SECONDS - start)) s, $tests tests"
}

# Counters for each runner's closing lines.
count_ctest() { sed -nE 's/.* tests passed, [0-9]+ tests failed out of ([0-9]+)$/\1/p' | tail -n 1; }
count_fuzz() { grep -c '^== fuzzing ' || true; }
count_wine() { sed -nE 's/^wine-suite: ([0-9]+) passed, [0-9]+ failed$/\1/p' | tail -n 1; }
count_lint() { sed -nE 's/^lint: ([0-9]+) files clean$/\1/p'; }

build_and_test() {
  zc_build "$1"
  (cd "$ZC_ROOT" && ctest --preset "$1")
}

stage "lint (clang-format, clang-tidy, shellcheck)" count_lint bash "$ZC_ROOT/scripts/lint.sh"
stage "unit and scenario tests" count_ctest build_and_test dev
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  stage "the same tests under ASan and UBSan" count_ctest build_and_test asan
stage "fuzzers" count_fuzz bash "$ZC_ROOT/scripts/fuzz.sh"
stage "the Windows programs and the Wine suite" count_wine bash "$ZC_ROOT/scripts/wine-suite.sh"

echo "== stages"
printf '  %s\n' "${summary[@]}"
echo "test-all: $stages passed, 0 failed"
