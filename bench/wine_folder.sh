#!/usr/bin/env bash
# The Windows program under Wine removing a vendor folder of FILES files,
# against Wine's own `cmd /c rd /s /q` of an identical copy, in one fresh
# 64-bit prefix. Prints one line of key=value pairs, or "skipped=REASON".
#
#   bench/wine_folder.sh EXE TREE_BENCH [FILES]
#
# EXE is the x86_64 ZENTACleanup.exe, TREE_BENCH the Linux helper that
# writes the tree. Nothing is registered in the prefix: `-quillo -folder`
# then removes the Quillo folder it knows by default,
# C:\Program Files (x86)\ZENTA Technologies\Quillo Software.
set -euo pipefail

exe=$1
tree_bench=$2
files=${3:-20000}
folders=$((files / 10))

if ! command -v wine >/dev/null 2>&1 || ! command -v wineserver >/dev/null 2>&1; then
  echo "skipped=wine-not-installed"
  exit 0
fi
if [ ! -f "$exe" ]; then
  echo "skipped=no-windows-build"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zc-winebench-XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf -- "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }

wineboot -i >/dev/null 2>&1
wineserver -w
# One server for both runs, so that neither pays for starting it.
wineserver -p >/dev/null 2>&1

drive=$WINEPREFIX/drive_c
vendor="$drive/Program Files (x86)/ZENTA Technologies/Quillo Software"
mkdir -p "$drive/Tools" "$drive/Temp"
cp "$exe" "$drive/Tools/ZENTACleanup.exe"
"$tree_bench" tree "$vendor" "$folders" 10 >/dev/null
"$tree_bench" tree "$drive/rdcopy" "$folders" 10 >/dev/null
sync

# Warm start: one trivial run of each program, so that loading Wine's own
# DLLs is not counted against the first one timed.
(cd "$drive" && wine cmd /c "echo" >/dev/null 2>&1) || true

t0=$(now)
(cd "$drive" && wine cmd /c rd /s /q 'C:\rdcopy' >/dev/null 2>&1) || true
t1=$(now)
(cd "$drive/Tools" && wine 'C:\Tools\ZENTACleanup.exe' -quillo -folder -log 'C:\zc-bench.log' >/dev/null 2>&1) || true
t2=$(now)

count_files() { if [ -d "$1" ]; then find "$1" -type f | wc -l; else echo 0; fi; }
rd_left=$(count_files "$drive/rdcopy")
tool_left=$(count_files "$vendor")
log=$drive/zc-bench.log
removing=$(grep -c "^Removing Folder: C:\\\\Program Files (x86)\\\\ZENTA Technologies\\\\Quillo Software" "$log" 2>/dev/null || true)
rd_seconds=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
tool_seconds=$(awk -v a="$t1" -v b="$t2" 'BEGIN { printf "%.2f", b - a }')
[ -z "${ZC_WINE_KEEP_LOG:-}" ] || cp "$log" "$ZC_WINE_KEEP_LOG" 2>/dev/null || true
echo "files=$files rd_seconds=$rd_seconds tool_seconds=$tool_seconds rd_left=$rd_left tool_left=$tool_left" \
  "log_removing_folder_lines=${removing:-0}"
