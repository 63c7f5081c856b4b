#!/usr/bin/env bash
# Builds the test packages of packages/products.txt into OUTPUT_DIR, one
# <id>.msi each: wixl (32-bit, no -a x64) on packages/<id>.wxs with a few
# bytes of text for each file, then msibuild sets the two component
# attributes wixl 0.101 does not write: SharedDllRefCount (8) on the
# components named Shared_*, so that Windows Installer keeps their SharedDlls
# count, and Permanent (16) on Left_*, the settings file a product leaves
# behind when it is uninstalled.
#
# Usage: build-packages.sh OUTPUT_DIR
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT

while IFS='|' read -r id name _version _code _upgrade _maker _root _folder files _apppath; do
  [[ -z $id || $id == \#* ]] && continue
  mkdir -p "$work/$id"
  cp "$here/packages/$id.wxs" "$work/$id/"
  IFS=',' read -r -a list <<<"$files"
  for f in "${list[@]}"; do printf 'MZ test payload %s\r\n' "$f" > "$work/$id/$f"; done
  printf '<settings product="%s"/>\r\n' "$name" > "$work/$id/user.config"
  (cd "$work/$id" && wixl -o "$out/$id.msi" "$id.wxs")
  while IFS=$'\t' read -r component _; do
    attributes=
    case $component in
      Shared_*) attributes=8 ;;
      Left_*) attributes=16 ;;
    esac
    [[ -n $attributes ]] &&
      msibuild "$out/$id.msi" -q "UPDATE \`Component\` SET \`Attributes\` = $attributes WHERE \`Component\` = '$component'"
  done < <(msiinfo export "$out/$id.msi" Component | tail -n +4)
  # A package whose attributes did not take would test less than it claims.
  if ! msiinfo export "$out/$id.msi" Component | awk -F'\t' 'NR > 3 && $1 ~ /^Left_/ && $4 == 16 { ok = 1 } END { exit !ok }'; then
    echo "build-packages: $id.msi: the Permanent attribute was not set" >&2
    exit 1
  fi
done < "$here/packages/products.txt"
