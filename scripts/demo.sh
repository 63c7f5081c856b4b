#!/usr/bin/env bash
# Builds the Linux program and runs a silent dry run of all products on a
# fresh copy of the built-in demo machine, then shows the log.
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
log_path=$(tail -n 1 "$messages")
echo "== exit status: $status"
echo "== the log ($log_path):"
tr -d '\r' < "$log_path"
echo
