#!/usr/bin/env bash
# Builds the Linux program and runs a silent dry run of all products on a
# fresh copy of the built-in demo machine, then shows the log.
# Further arguments go to the tool (bash scripts/demo.sh -folder).
# Exits 0 when the tool completed, else with the program's own status.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

zc_require_packages "${ZC_BUILD_PACKAGES[@]}"
zc_build dev

echo "== zentacleanup -all -dryrun $* (on a fresh copy of the demo machine)"
messages=$(mktemp)
trap 'rm -f "$messages"' EXIT
set +e
"$ZC_ROOT/build/dev/zentacleanup" -all -dryrun "$@" 2>"$messages"
status=$?
set -e
cat "$messages"
# The program's contract: "zentacleanup: log: PATH" names the log when the
# tool ran, and "exit status: N" tells the tool's own status.
log_path=$(zc_told "zentacleanup: log: " <"$messages")
tool_status=$(zc_told "exit status: " <"$messages")
echo "== exit status: $status (the tool's status: ${tool_status:-none told})"
if [[ -n $log_path && -f $log_path ]]; then
  echo "== the log ($log_path):"
  tr -d '\r' <"$log_path"
  echo
else
  echo "== no log was written"
fi
exit "$status"
