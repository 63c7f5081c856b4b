#!/usr/bin/env bash
# Builds the libFuzzer targets (clang with ASan and UBSan) and runs each for
# a bounded time from the seed corpus in tests/fuzz/corpus. A crash fails
# the run; its input is kept in build/fuzz/artifacts for a regression test.
#   ZC_FUZZ_SECONDS  time per target (default 60)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

zc_require_packages "${ZC_BUILD_PACKAGES[@]}" clang libclang-rt-dev
zc_build fuzz

seconds=${ZC_FUZZ_SECONDS:-60}
artifacts="$ZC_ROOT/build/fuzz/artifacts"
mkdir -p "$artifacts"
status=0
for target in command_line version reg_file machine_ini attributes hive; do
  work=$(mktemp -d)
  cp -r "$ZC_ROOT/tests/fuzz/corpus/$target/." "$work/"
  echo "== fuzzing $target for ${seconds}s"
  if ! "$ZC_ROOT/build/fuzz/fuzz_$target" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" >"$work.log" 2>&1; then
    tail -n 40 "$work.log"
    echo "fuzz: $target found a failure; its input is in $artifacts" >&2
    status=1
  else
    grep -E "^(stat::number_of_executed_units|Done)" "$work.log" | tail -n 2 || true
  fi
  rm -rf "$work" "$work.log"
done
exit $status
