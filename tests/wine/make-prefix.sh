#!/usr/bin/env bash
# Makes a Wine prefix for the Wine suite and installs packages into it with
# Windows Installer, then waits until every process of the prefix has ended,
# so that the prefix can be copied for each scenario.
#
# Usage: make-prefix.sh [--wow64 ENV_FILE] [--from BASE] [--msiexec 32|64] [--version VER]
#                       PREFIX [PACKAGE.msi...]
#   --wow64 ENV_FILE  a 64-bit prefix with its 32-bit half (WoW64), with the
#                     loader and variables that scripts/wine32-setup.sh wrote
#                     into ENV_FILE; without it a plain 64-bit prefix of the
#                     system's wine64 (its 32-bit half empty)
#   --from BASE       starts from a copy of the prefix BASE (made by this
#                     script, of the same kind) instead of a new one
#   --msiexec 32      installs with the 32-bit msiexec (C:\windows\syswow64),
#                     which only a WoW64 prefix has; 64 (default) the native one
#   --version VER     the Windows version Wine reports (winecfg /v VER), set
#                     before the packages are installed
# The packages are copied into C:\Packages and installed in the order given
# with /qn. Exit status: 0, or 1 with the package and msiexec's status named.
set -euo pipefail

wow64_env=
base=
msiexec=64
version=
while (($#)); do
  case $1 in
    --wow64) wow64_env=$2; shift 2 ;;
    --from) base=$2; shift 2 ;;
    --msiexec) msiexec=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    -*) echo "make-prefix: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
(($#)) || { echo "usage: make-prefix.sh [--wow64 ENV_FILE] [--from BASE] [--msiexec 32|64] [--version VER] PREFIX [PACKAGE.msi...]" >&2; exit 2; }
prefix=$1
shift

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
# No menu entries or desktop files in the host's home; no Mono or Gecko
# installer prompts.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
loader=wine
server=wineserver
if [[ -n $wow64_env ]]; then
  set -a
  # shellcheck disable=SC1090
  source "$wow64_env"
  set +a
  loader=$WINELOADER
  server=$WINESERVER
fi
case $msiexec in
  64) installer=msiexec ;;
  32)
    [[ -n $wow64_env ]] || { echo "make-prefix: the 32-bit msiexec needs --wow64" >&2; exit 2; }
    installer='C:\windows\syswow64\msiexec.exe'
    ;;
  *) echo "make-prefix: --msiexec is 32 or 64" >&2; exit 2 ;;
esac

[[ ! -e $prefix ]] || { echo "make-prefix: $prefix exists" >&2; exit 2; }
if [[ -n $base ]]; then
  cp -a -- "$base" "$prefix"
else
  # Wine's own fonts (package fonts-wine) in C:\windows\Fonts before the
  # first boot: this Wine never finds them in its data folder, and without
  # Tahoma (what "MS Shell Dlg" stands for) each half falls back to a host
  # face of its own choosing (the 32-bit one to a math face three times as
  # tall), and wineboot keeps caption and menu heights measured with it.
  fonts=/usr/share/wine/fonts
  [[ -f $fonts/tahoma.ttf ]] || { echo "make-prefix: Wine's fonts are missing from $fonts (package fonts-wine)" >&2; exit 1; }
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp -- "$fonts"/* "$prefix/drive_c/windows/Fonts/"
  "$loader" wineboot -i >/dev/null 2>&1
  "$server" -w
fi
if [[ -n $version ]]; then
  "$loader" winecfg /v "$version" >/dev/null 2>&1
  "$server" -w
fi

C="$prefix/drive_c"
mkdir -p "$C/Packages"
(($#)) && cp -- "$@" "$C/Packages/"
for package in "$@"; do
  name=$(basename "$package")
  rc=0
  (cd "$C/Packages" && "$loader" "$installer" /i "$name" /qn) >/dev/null 2>&1 || rc=$?
  if ((rc)); then
    echo "make-prefix: $installer /i $name ended with $rc" >&2
    exit 1
  fi
done
"$server" -w
