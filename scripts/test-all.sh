#!/usr/bin/env bash
# Installs whatever is missing and runs every test:
#   1. the house rules (scripts/lint.sh): clang-format, clang-tidy, shellcheck;
#   2. the README's first command as a newcomer runs it (scripts/demo.sh,
#      plain and with -folder), checked for what it must show;
#   3. the unit and scenario tests on the simulated machine (the fault sweep included);
#   4. the same tests under AddressSanitizer and UndefinedBehaviorSanitizer;
#   5. the safety core's mutants (scripts/mutants.py): each rule broken in a
#      copy of the tree must make a test fail;
#   6. the fuzzers, each for a bounded time (ZC_FUZZ_SECONDS, default 60);
#   7. the Windows programs and the Wine suite (scripts/wine-suite.sh), the
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
count_mutants() { sed -nE 's/^mutants: ([0-9]+) passed, 0 failed$/\1/p'; }
count_demo() { sed -nE 's/^demo: ([0-9]+) passed, 0 failed$/\1/p'; }

# What a newcomer must see from scripts/demo.sh: the log from its start line
# to its closing line, every product of the demo machine found, exit 0; and
# that further arguments reach the tool.
demo_products=("ZENTA Brevano Suite 3.0" "ZENTA Convexa PE 1.0" "ZENTA Platform 2.0" "Quillo Software 10.8"
  "ZENTA Quorix 4.5" "ZENTA Vexil 1.5" "ZENTA Common Files 11.2" "Product Drivers 10.8"
  "ZENTA Tavlo Software 9.7" "ZENTA Convexa 3.1 SP1" "ZENTA Lumio Reader 2.0")
# Checks on the demo's output, called through demo_expect.
demo_shows() { grep -qxF -- "$1" <<<"$demo_shown"; }
demo_shows_start() { grep -qE '^ZENTA Cleanup Tool started at [0-9]{2}/[0-9]{2}/[0-9]{4} [0-9:]{8}$' <<<"$demo_shown"; }
demo_finds() { grep -qF -- "Found Product: $1  -- GUID: {" <<<"$demo_shown"; }
demo_expect() {
  if "$@"; then
    demo_passed=$((demo_passed + 1))
  else
    demo_failed=$((demo_failed + 1))
    echo "demo ${demo_args:-(no arguments)}: FAILED: $*"
  fi
}
check_demo() {
  demo_passed=0 demo_failed=0
  local status product
  for demo_args in "" "-folder"; do
    set +e
    # shellcheck disable=SC2086 # no argument, or one word
    demo_shown=$(bash "$ZC_ROOT/scripts/demo.sh" $demo_args 2>&1)
    status=$?
    set -e
    printf '%s\n' "$demo_shown"
    demo_expect test "$status" -eq 0
    demo_expect demo_shows_start
    for product in "${demo_products[@]}"; do demo_expect demo_finds "$product"; done
    demo_expect demo_shows "Installed for another user: ZENTA Lumio Reader 2.0 -- GUID: {5A1D3C7E-2B4F-4E69-8C0A-1D2E3F4A5B6C} -- User: S-1-5-21-1004336348-1177238915-682003330-1002"
    demo_expect demo_shows "*** Silent ZENTA Cleanup Tool Dry run for all ZENTA Products installed"
    demo_expect demo_shows "**** Exiting the ZENTA Cleanup Tool Application *****"
  done
  # Further arguments reach the tool: one it does not know refuses the run,
  # and the demo exits with the program's status for it (7).
  demo_args="-x"
  set +e
  demo_shown=$(bash "$ZC_ROOT/scripts/demo.sh" -x 2>&1)
  status=$?
  set -e
  printf '%s\n' "$demo_shown"
  demo_expect test "$status" -eq 7
  demo_expect demo_shows "Unknown command line option: -x"
  echo "demo: $demo_passed passed, $demo_failed failed"
  [[ $demo_failed -eq 0 ]]
}

build_and_test() {
  zc_build "$1"
  (cd "$ZC_ROOT" && ctest --preset "$1")
}

stage "lint (clang-format, clang-tidy, shellcheck)" count_lint bash "$ZC_ROOT/scripts/lint.sh"
stage "the README's first command (scripts/demo.sh)" count_demo check_demo
stage "unit and scenario tests" count_ctest build_and_test dev
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  stage "the same tests under ASan and UBSan" count_ctest build_and_test asan
zc_require_packages python3
stage "the safety core's mutants" count_mutants python3 "$ZC_ROOT/scripts/mutants.py"
stage "fuzzers" count_fuzz bash "$ZC_ROOT/scripts/fuzz.sh"
stage "the Windows programs and the Wine suite" count_wine bash "$ZC_ROOT/scripts/wine-suite.sh"

echo "== stages"
printf '  %s\n' "${summary[@]}"
echo "test-all: $stages passed, 0 failed"
