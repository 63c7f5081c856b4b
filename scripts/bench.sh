#!/usr/bin/env bash
# Builds the release preset and runs every benchmark of bench/, then prints
# the table of figures against their targets (docs/PERFORMANCE.md).
#
#   bash scripts/bench.sh
#
# ZC_BENCH_DIR     where the file trees are made (default: /tmp, the disk
#                  machines live on); a tmpfs at /dev/shm, when there is one,
#                  is measured too, where the cost is the program's own.
# ZC_BENCH_ROUNDS  rounds of the folder cases; the median is kept (default 3).
# ZC_BENCH_NO_WINE=1  leaves out the Wine row.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

zc_require_packages "${ZC_BUILD_PACKAGES[@]}" findutils
echo "== building (preset release)"
(cd "$ZC_ROOT" && cmake --preset release >/dev/null && cmake --build --preset release -j2 >/dev/null)
B=$ZC_ROOT/build/release
rounds=${ZC_BENCH_ROUNDS:-3}

work=$(mktemp -d "${ZC_BENCH_DIR:-/tmp}/zc-bench-XXXXXX")
shm=""
if [ -d /dev/shm ] && [ -w /dev/shm ]; then shm=$(mktemp -d /dev/shm/zc-bench-XXXXXX); fi
cleanup() { rm -rf -- "$work" ${shm:+"$shm"}; }
trap cleanup EXIT

now() { date +%s.%N; }
# key=value out of a line of them
field() { sed -n "s/.*\\b$2=\\([^ ]*\\).*/\\1/p" <<<"$1"; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

rows=()
row() { rows+=("$1|$2|$3|$4"); }
verdict() { awk "BEGIN { print (($1) ? \"yes\" : \"NO\") }"; }

leftovers='C:\Program Files\ZENTA Technologies\Quillo Software\Leftovers'
leftovers_host='drive_c/Program Files/ZENTA Technologies/Quillo Software/Leftovers'

# The folder cases in one directory: $1 the directory, $2 its label.
# Sets remove_s rm_s list_s find_s rss_mib flush_* for the caller.
folder_cases() {
  local dir=$1 label=$2 r
  local machine=$dir/machine copy=$dir/copy
  "$B/zentacleanup" --make-demo "$machine" 2>/dev/null
  local removes=() rms=() lists=() finds=() rss=()
  for r in $(seq "$rounds"); do
    "$B/tree_bench" tree "$machine/$leftovers_host" >/dev/null
    "$B/tree_bench" tree "$copy" >/dev/null
    sync
    local t0 t1 out
    t0=$(now); find "$copy" >/dev/null; t1=$(now)
    finds+=("$(calc %.4f "$t1 - $t0")")
    out=$("$B/tree_bench" walk "$machine" "$leftovers" list)
    lists+=("$(field "$out" seconds)"); rss+=("$(field "$out" peak_rss_mib)")
    if [ "$r" = 1 ]; then
      # What the flush at every end of line costs: the same walk with the
      # log flushed only at its close, and with no log at all.
      flush_lines=$(field "$out" log_lines)
      flush_flushed=$(field "$out" seconds)
      flush_buffered=$(field "$("$B/tree_bench" walk "$machine" "$leftovers" list buffered)" seconds)
      flush_none=$(field "$("$B/tree_bench" walk "$machine" "$leftovers" list none)" seconds)
    fi
    t0=$(now); rm -rf "$copy"; t1=$(now)
    rms+=("$(calc %.4f "$t1 - $t0")")
    out=$("$B/tree_bench" walk "$machine" "$leftovers" remove)
    [ "$(field "$out" folder_gone)" = 1 ] || { echo "error: the folder was not removed ($label)" >&2; exit 1; }
    removes+=("$(field "$out" seconds)"); rss+=("$(field "$out" peak_rss_mib)")
    echo "   $label round $r: remove ${removes[-1]} s, rm -rf ${rms[-1]} s, list ${lists[-1]} s, find ${finds[-1]} s"
  done
  remove_s=$(median "${removes[@]}"); rm_s=$(median "${rms[@]}")
  list_s=$(median "${lists[@]}"); find_s=$(median "${finds[@]}")
  rss_mib=$(printf '%s\n' "${rss[@]}" | sort -g | tail -n 1)
  rm -rf "$machine"
}

echo "== folder walks: 100,000 files in 10,000 folders, $rounds rounds (median)"
folder_cases "$work" disk
disk_remove=$remove_s disk_rm=$rm_s disk_list=$list_s disk_find=$find_s disk_rss=$rss_mib
disk_flush=("$flush_lines" "$flush_flushed" "$flush_buffered" "$flush_none")
ratio=$(calc %.2f "$disk_remove / $disk_rm")
row "folder removal, 100k files / 10k folders (disk)" "${disk_remove} s vs rm -rf ${disk_rm} s = ${ratio}x" "<= 1.5x" \
  "$(verdict "$ratio <= 1.5")"
ratio=$(calc %.2f "$disk_list / $disk_find")
row "list-only walk of the same tree (disk)" "${disk_list} s vs find ${disk_find} s = ${ratio}x" "<= 2x" \
  "$(verdict "$ratio <= 2")"
if [ -n "$shm" ]; then
  folder_cases "$shm" tmpfs
  shm_remove=$remove_s shm_rm=$rm_s shm_list=$list_s shm_find=$find_s
  shm_flush=("$flush_lines" "$flush_flushed" "$flush_buffered" "$flush_none")
  ratio=$(calc %.2f "$shm_remove / $shm_rm")
  row "folder removal, same tree (tmpfs: no disk waits)" "${shm_remove} s vs rm -rf ${shm_rm} s = ${ratio}x" "<= 1.5x" \
    "$(verdict "$ratio <= 1.5")"
  ratio=$(calc %.2f "$shm_list / $shm_find")
  row "list-only walk, same tree (tmpfs)" "${shm_list} s vs find ${shm_find} s = ${ratio}x" "<= 2x" \
    "$(verdict "$ratio <= 2")"
  rss_mib=$(printf '%s\n' "$disk_rss" "$rss_mib" | sort -g | tail -n 1)
else
  rss_mib=$disk_rss
fi
row "peak RSS of either walk (own process)" "${rss_mib} MiB" "< 64 MB" "$(verdict "$rss_mib * 1048576 < 64000000")"

echo "== SharedDlls clean-up and discovery (engine_bench)"
# Each size in a process of its own, so that none inherits the heap of another.
engine=""
for case in SharedDllsRemoval/200000/ SharedDllsRemoval/400000/ SharedDllsUnmatched/180000/ Discovery/5000/ \
  Discovery/10000/; do
  engine+="$("$B/engine_bench" --benchmark_filter="BM_$case" --benchmark_format=console 2>/dev/null | grep '^BM_')"$'\n'
done
sed -n 's/^BM/   BM/p' <<<"$engine"
ms() { awk -v n="$1" '$1 ~ n { print $2 }' <<<"$engine"; }
sd1=$(ms "BM_SharedDllsRemoval/200000/"); sd2=$(ms "BM_SharedDllsRemoval/400000/")
sd_none=$(ms "BM_SharedDllsUnmatched/180000/")
di1=$(ms "BM_Discovery/5000/"); di2=$(ms "BM_Discovery/10000/")
ratio=$(calc %.2f "$sd2 / $sd1")
row "SharedDlls removal, 200,000 values (20,000 match)" "${sd1} ms" "<= 1 s" "$(verdict "$sd1 <= 1000")"
row "SharedDlls removal, 400,000 values (40,000 match)" "${sd2} ms = ${ratio}x" "<= 2.2x" "$(verdict "$ratio <= 2.2")"
ratio=$(calc %.2f "$di2 / $di1")
row "discovery, 5,000 products (500 of the vendor)" "${di1} ms" "<= 1 s" "$(verdict "$di1 <= 1000")"
row "discovery, 10,000 products (1,000 of the vendor)" "${di2} ms = ${ratio}x" "linear (<= 2.2x)" \
  "$(verdict "$ratio <= 2.2")"

echo "== registry files (registry_bench, one case a process)"
# Prints the case's line; sets case_ms and case_rss.
reg_case() {
  local line
  line=$("$B/registry_bench" --benchmark_filter="$1" --benchmark_format=console 2>/dev/null | grep '^BM_')
  echo "   $line"
  case_ms=$(awk '{ print $2 }' <<<"$line")
  case_rss=$(sed -n 's/.*peak_rss_MiB=\([0-9.]*\).*/\1/p' <<<"$line")
}
reg_case 'BM_LoadRegFile/'
row "registry of 1.2M values: load" "${case_ms} ms, peak ${case_rss} MiB" "<= 300 MiB" \
  "$(verdict "$case_rss <= 300")"
reg_case 'BM_LoadAndWriteBack/'
row "registry of 1.2M values: load + write back" "${case_ms} ms, peak ${case_rss} MiB" "<= 10 s, <= 2 GiB" \
  "$(verdict "$case_ms <= 10000 && $case_rss <= 2048")"
reg_case 'BM_LoadExport/'
row "100 MB UTF-16 export of a whole machine: load" "${case_ms} ms, peak ${case_rss} MiB" "<= 250 MiB" \
  "$(verdict "$case_rss <= 250")"

# The whole program on a large demo machine, in the directory where the
# folder figures are steadiest, against the sum of the parts measured there.
# The run walks SharedDlls once for every folder it cleans: one walk removes
# the leftovers' 20,000 values, the others find nothing, and each counts as
# the walk it is. Discovery is not counted: the demo registers only a
# handful of products, so what it costs is left among the steps outside.
big_dir=${shm:-$work}
if [ -n "$shm" ]; then part_remove=$shm_remove; else part_remove=$disk_remove; fi
echo "== -all -folder on a large demo machine (in $big_dir)"
big=$big_dir/big
wholes=() regios=() walks=0
for r in $(seq "$rounds"); do
  rm -rf "$big"
  "$B/zentacleanup" --make-demo "$big" 2>/dev/null
  "$B/tree_bench" grow "$big" 100000 200000 >/dev/null
  regios+=("$(field "$("$B/tree_bench" regio "$big")" seconds)")
  sync
  t0=$(now)
  "$B/zentacleanup" --machine "$big" -all -folder -log 'C:\Temp\bench.log' >/dev/null 2>&1 || true
  t1=$(now)
  wholes+=("$(calc %.3f "$t1 - $t0")")
  [ ! -e "$big/$leftovers_host" ] || { echo "error: the large demo's leftovers were not removed" >&2; exit 1; }
  walks=$(grep -c 'List of ZENTA Related Shared DLL registry entries' "$big/drive_c/Temp/bench.log" || true)
  echo "   round $r: whole ${wholes[-1]} s, registry load + write ${regios[-1]} s"
done
whole=$(median "${wholes[@]}"); regio_s=$(median "${regios[@]}")
[ "$walks" -ge 1 ] || { echo "error: the large demo's run made no SharedDlls walk" >&2; exit 1; }
sd_all=$(calc %.3f "($sd1 + ($walks - 1) * $sd_none) / 1000")
sum=$(calc %.3f "$part_remove + $sd_all + $regio_s")
outside=$(calc %.1f "($whole - $sum) / $whole * 100")
echo "   whole $whole s; parts: folder removal $part_remove s, SharedDlls $sd_all s ($walks walks: one removing" \
  "$(calc %.1f "$sd1") ms, $((walks - 1)) finding nothing $(calc %.1f "$sd_none") ms each)," \
  "registry load + write $regio_s s = $sum s"
row "-all -folder, large demo (100k files, 200k values)" "${whole} s vs parts ${sum} s: ${outside}% outside" \
  "<= 10% outside" "$(verdict "$outside <= 10")"
rm -rf "$big"

if [ "${ZC_BENCH_NO_WINE:-}" = 1 ]; then
  row "Wine: 20,000-file vendor folder vs cmd /c rd /s /q" "not run (ZC_BENCH_NO_WINE=1)" "<= 1.5x" "-"
else
  echo "== Wine: the x86_64 program removing a 20,000-file vendor folder"
  if command -v wine >/dev/null 2>&1 && command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1; then
    (cd "$ZC_ROOT" && cmake --preset win-x64 >/dev/null && cmake --build --preset win-x64 -j2 >/dev/null)
  fi
  wine_out=$(bash "$ZC_ROOT/bench/wine_folder.sh" "$ZC_ROOT/build/win-x64/ZENTACleanup.exe" "$B/tree_bench" 20000)
  echo "   $wine_out"
  if [ -n "$(field "$wine_out" skipped)" ]; then
    row "Wine: 20,000-file vendor folder vs cmd /c rd /s /q" "skipped: $(field "$wine_out" skipped)" "<= 1.5x" "-"
  else
    w_tool=$(field "$wine_out" tool_seconds); w_rd=$(field "$wine_out" rd_seconds)
    ratio=$(calc %.2f "$w_tool / $w_rd")
    ok=$(verdict "$ratio <= 1.5 && $(field "$wine_out" tool_left) == 0 && $(field "$wine_out" rd_left) == 0")
    row "Wine: 20,000-file vendor folder (x86_64 exe)" "${w_tool} s vs rd /s /q ${w_rd} s = ${ratio}x" "<= 1.5x" "$ok"
  fi
fi

flush_note() {
  local label=$1 lines=$2 flushed=$3 buffered=$4 none=$5
  echo "   $label: list walk with the log flushed at every line $flushed s, flushed once $buffered s," \
    "no log $none s; $lines lines: $(calc %.1f "($flushed - $buffered) / $lines * 1000000") us a line for the flush"
}

echo
echo "== the log's flush at every end of line"
flush_note disk "${disk_flush[@]}"
[ -z "$shm" ] || flush_note tmpfs "${shm_flush[@]}"
echo
echo "== machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== disk of $work: $(df -hT "$work" | awk 'NR == 2 { print $1, $2, $3 }')"
echo
printf '| %-52s | %-50s | %-17s | %-4s |\n' case figure target met?
printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..54})" "$(printf -- '-%.0s' {1..52})" "$(printf -- '-%.0s' {1..19})" \
  "------"
for r in "${rows[@]}"; do
  IFS='|' read -r c f t m <<<"$r"
  printf '| %-52s | %-50s | %-17s | %-4s |\n' "$c" "$f" "$t" "$m"
done
