#!/usr/bin/env bash
# The Wine suite: the real Windows programs against real Windows Installer
# packages, in Wine prefixes, as a pytest program (tests/wine/test_*.py).
#
# This script only gets things ready, then hands over to pytest:
#  1. installs what is missing and builds ZENTACleanup.exe for i686 (the
#     release artefact) and for x86_64 (its twin), and the Linux program for
#     the parity runs;
#  2. sets up the 32-bit side of Wine under build/wine32
#     (scripts/wine32-setup.sh; cached, seconds once made);
#  3. starts Xvfb on a free display for the dialogs;
#  4. runs /usr/bin/python3 -m pytest tests/wine, one test per check, named
#     Scenario::check[variant]; prefixes are made by tests/wine/make-prefix.sh.
#
# Usage: scripts/wine-suite.sh [SCENARIO[:VARIANT]...] [-- PYTEST-ARGS...]
#   scenarios: artefact packages self-check dryrun-all folder-all family
#              family-dryrun links help interactive twin-probe
#   variants:  x64 (the twin, wine64 prefix), i686-msi32, i686-msi64,
#              i686-xp64 (the release artefact on a WoW64 prefix)
#   e.g. scripts/wine-suite.sh folder-all:i686-msi32 help
#        scripts/wine-suite.sh -- -k log_form
#   (default: every scenario)
# Environment: ZC_WINE_NO_BUILD=1 uses the programs already built;
#   ZC_WINE_X64, ZC_WINE_I686, ZC_LINUX name other builds of the programs.
# Ends with "wine-suite: N passed, M failed"; build/wine-artifacts keeps the
# logs, screenshots and junit.xml.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

suite_start=$SECONDS
pytest_args=()
while (($#)); do
  if [[ $1 == -- ]]; then
    shift
    pytest_args+=("$@")
    break
  fi
  pytest_args+=(--scenario "$1")
  shift
done

zc_require_packages "${ZC_BUILD_PACKAGES[@]}" wine wine64 fonts-wine wixl msitools xvfb xauth xdotool imagemagick \
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 python3-pytest

export ZC_WINE_X64=${ZC_WINE_X64:-$ZC_ROOT/build/win-x64/ZENTACleanup.exe}
export ZC_WINE_I686=${ZC_WINE_I686:-$ZC_ROOT/build/win-i686/ZENTACleanup.exe}
export ZC_LINUX=${ZC_LINUX:-$ZC_ROOT/build/dev/zentacleanup}
if [[ ${ZC_WINE_NO_BUILD:-0} != 1 ]]; then
  echo "== build (Windows, i686 and x86_64; Linux for the parity runs)"
  zc_build win-i686
  zc_build win-x64
  # The Linux program, and the helper that writes a machine as a Windows volume.
  [[ -x $ZC_LINUX && -x $(dirname "$ZC_LINUX")/zc_make_volume ]] || zc_build dev
fi

echo "== the 32-bit side of Wine"
setup_start=$SECONDS
bash "$ZC_ROOT/scripts/wine32-setup.sh"
export ZC_WINE32_ENV=$ZC_ROOT/build/wine32/env
echo "  set-up: $((SECONDS - setup_start)) s"

WORK=$(mktemp -d /tmp/zc-wine.XXXXXX)
export ZC_WINE_WORK=$WORK
XVFB_PID=
cleanup() {
  [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf -- "$WORK"
}
trap cleanup EXIT

# An X server for the dialogs and message boxes, on a free display.
display=77
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1600x1600x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$display"
for _ in $(seq 50); do
  [[ -e /tmp/.X11-unix/X$display ]] && break
  sleep 0.1
done

echo "== the scenarios (pytest)"
mkdir -p "$ZC_ROOT/build/wine-artifacts"
junit=$ZC_ROOT/build/wine-artifacts/junit.xml
rm -f -- "$junit"
status=0
(cd "$ZC_ROOT/tests/wine" && PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m pytest -p no:cacheprovider -v -rfE \
  --junitxml="$junit" ${pytest_args[@]+"${pytest_args[@]}"} .) || status=$?

counts=$(/usr/bin/python3 - "$junit" <<'PY' || true
import sys, xml.etree.ElementTree as ET
suite = ET.parse(sys.argv[1]).getroot()
suite = suite if suite.tag == "testsuite" else suite[0]
tests, failures, errors, skipped = (int(suite.get(k, 0)) for k in ("tests", "failures", "errors", "skipped"))
print(tests - failures - errors - skipped, failures + errors)
PY
)
read -r passed failed <<<"${counts:-0 1}"
echo "  whole suite: $((SECONDS - suite_start)) s"
# pytest's 5 (nothing collected) is a failure here: a suite that ran nothing proves nothing.
if ((status != 0 || passed == 0)); then
  ((failed > 0)) || failed=1
fi
echo "wine-suite: $passed passed, $failed failed"
((failed == 0))
