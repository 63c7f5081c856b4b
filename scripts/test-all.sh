#!/usr/bin/env bash
# Installs whatever is missing and runs every test: the unit and scenario
# tests on the simulated machine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

zc_require_packages "${ZC_BUILD_PACKAGES[@]}"

echo "== build (Linux, tests)"
zc_build dev

echo "== unit and scenario tests"
ctest --test-dir "$ZC_ROOT/build/dev" -j "$(nproc)" --output-on-failure
