#!/usr/bin/env bash
# The house rules, checked: formatting (clang-format, .clang-format),
# clang-tidy (.clang-tidy) over the Linux build's sources, and shellcheck
# over every script. Needs build/dev configured (for compile_commands.json);
# configures it when it is not. Ends with "lint: N files clean".
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

zc_require_packages "${ZC_BUILD_PACKAGES[@]}" clang-format clang-tidy shellcheck
cd "$ZC_ROOT"

mapfile -t cxx < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
mapfile -t scripts < <(git ls-files '*.sh')

echo "== clang-format (${#cxx[@]} files)"
clang-format --dry-run -Werror "${cxx[@]}"

echo "== shellcheck (${#scripts[@]} scripts)"
shellcheck "${scripts[@]}"

# clang-tidy reads how each file is compiled from the Linux build; the Win32
# backend and the Windows entry point are compiled by mingw only, so they
# are left to the Windows build's warnings.
[[ -f build/dev/compile_commands.json ]] || cmake --preset dev >/dev/null
mapfile -t tidy < <(git ls-files 'src/*.cpp' | grep -v -e '^src/platform/win32/' -e '^src/main_windows.cpp$')
echo "== clang-tidy (${#tidy[@]} files)"
printf '%s\n' "${tidy[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p build/dev --quiet 2>&1 |
  { grep -v -e '^[0-9]* warnings\? generated\.$' -e '^Suppressed [0-9]* warnings' \
      -e '^Use -header-filter=' || true; } >build/lint-tidy.txt || true
if grep -q -e 'warning:' -e 'error:' build/lint-tidy.txt; then
  cat build/lint-tidy.txt
  echo "lint: clang-tidy found the above" >&2
  exit 1
fi

echo "lint: $((${#cxx[@]} + ${#scripts[@]})) files clean"
