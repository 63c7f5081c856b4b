#!/usr/bin/env bash
# Compares the log of a run under Wine with the log of the same run on the
# simulated machine made from that prefix (sim-from-prefix.sh), line for
# line, after replacing every time stamp (MM/DD/YYYY hh:mm:ss) by "TS".
#
# A differing line passes only when one of the named differences below
# explains it; each is something Wine and the simulated machine do
# differently, with the reason. Any other difference fails the comparison.
#
# Usage: parity.sh WINE_LOG SIM_LOG
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_log=$1
sim_log=$2

normalise() {
  # The last line has no end of line of its own; give it one for diff.
  tr -d '\r' < "$1" | sed -E -e 's#[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}#TS#g' -e '$a\'
}

# Named differences. Each takes a diff line ("-" only in the Wine log, "+"
# only in the simulated one) and succeeds when it explains it. None is
# known today: the one there was (Windows Installer gives back its SharedDlls
# references at uninstall, which the simulated msiexec did not) was a fault
# of the simulation and is mended. Where Wine differs from Windows in what
# these logs show, a rule goes here, named after the difference, with its
# reason.
RULES=()

status=0
declare -A used=()
while IFS= read -r line; do
  explained=
  for rule in ${RULES[@]+"${RULES[@]}"}; do
    if "$rule" "$line"; then explained=$rule; break; fi
  done
  if [[ -n $explained ]]; then
    used[$explained]=$((${used[$explained]:-0} + 1))
  else
    echo "parity: unexplained difference (- Wine, + simulated): $line" >&2
    status=1
  fi
done < <(diff --unchanged-line-format= --old-line-format='-%L' --new-line-format='+%L' \
           <(normalise "$wine_log") <(normalise "$sim_log") || true)

for rule in "${!used[@]}"; do
  echo "  parity: ${used[$rule]} line(s) differ as named: ${rule//_/-}"
done
exit $status
