#!/usr/bin/env bash
# Makes a simulated machine folder from a Wine prefix, for the parity runs:
#
#   registry.reg  the whole of HKEY_LOCAL_MACHINE, as Wine's regedit /E
#                 exports it (UTF-16LE with BOM, both registry views:
#                 Wow6432Node is part of the export);
#   drive_c/      drive C: without the windows folder, whose 700 MB the tool
#                 never reads, and without the links Wine makes from the
#                 user's folders into the host's home; of the windows folder
#                 only what the tool may look at: msiexec.exe (a placeholder)
#                 and the spooler's driver and processor folders;
#   machine.ini   what the prefix reports and the registry does not hold: a
#                 64-bit Windows 7 (Wine 8's default version, 6.1; checked
#                 with `ver` below), the x86 programs folder that the
#                 x86_64 build asks for, C:\windows and C:\windows\system32
#                 as GetWindowsDirectory and GetSystemDirectory give them, the
#                 tool's working folder C:\Tools, and TMP.
#
# Usage: sim-from-prefix.sh PREFIX OUTPUT_DIR
set -euo pipefail

prefix=$1
out=$2
rm -rf -- "$out"
mkdir -p "$out/drive_c"

version=$(WINEPREFIX=$prefix wine cmd /c ver 2>/dev/null | tr -d '\r' | sed -nE 's/.*Windows ([0-9]+)\.([0-9]+)\..*/\1.\2/p')
[[ -n $version ]] || { echo "sim-from-prefix: cannot read the Windows version of $prefix" >&2; exit 1; }

rm -f -- "$prefix/drive_c/hklm-export.reg"
(cd "$prefix/drive_c" && WINEPREFIX=$prefix wine regedit /E 'C:\hklm-export.reg' HKEY_LOCAL_MACHINE) >/dev/null 2>&1 || true
[[ -s $prefix/drive_c/hklm-export.reg ]] || { echo "sim-from-prefix: regedit exported nothing" >&2; exit 1; }
mv -- "$prefix/drive_c/hklm-export.reg" "$out/registry.reg"

(cd "$prefix/drive_c" && tar --exclude=./windows -cf - .) | (cd "$out/drive_c" && tar -xf -)
find "$out/drive_c" -type l -delete
mkdir -p "$out/drive_c/windows/system32/spool/drivers/x64" "$out/drive_c/windows/system32/spool/prtprocs/x64"
printf 'MZ' > "$out/drive_c/windows/system32/msiexec.exe"

cat > "$out/machine.ini" <<INI
; Made by tests/wine/sim-from-prefix.sh from a Wine prefix.
[system]
bits = 64
version = $version
current_directory = C:\\Tools
programs = C:\\Program Files (x86)
windows = C:\\windows
system = C:\\windows\\system32

[environment]
TMP = C:\\users\\$(id -un)\\Temp
INI
