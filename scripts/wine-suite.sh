#!/usr/bin/env bash
# The Wine suite: the real Windows program against real Windows Installer
# packages, in fresh 64-bit Wine prefixes.
#
#  1. installs what is missing, builds ZENTACleanup.exe for x86_64 (the twin
#     that runs under wine64) and for i686 (the release artefact, checked by
#     its headers: it cannot run here), the test packages (tests/wine), the
#     stand-in MSIZap.exe and the dialog probe;
#  2. runs each scenario in a prefix of its own: the packages installed by
#     Wine's msiexec, the tool started from C:\Tools with the stand-in beside
#     it, its log (C:\zc.log) and the machine checked afterwards;
#  3. for -all -dryrun and -all -folder, runs the same arguments on the
#     simulated machine made from the prefix as it was after the install, and
#     compares the two logs line for line (tests/wine/parity.sh);
#  4. drives the dialogs under Xvfb and keeps screenshots in
#     build/wine-artifacts/.
#
# Usage: scripts/wine-suite.sh [SCENARIO...]
#   scenarios: dryrun-all folder-all links family family-dryrun help interactive
#   (default: all of them)
# Environment: ZC_WINE_NO_BUILD=1 uses the programs already built;
#   ZC_WINE_X64, ZC_WINE_I686, ZC_LINUX name other builds of the programs.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

WINE_DIR="$ZC_ROOT/tests/wine"
ARTIFACTS="$ZC_ROOT/build/wine-artifacts"
X64_EXE=${ZC_WINE_X64:-$ZC_ROOT/build/win-x64/ZENTACleanup.exe}
I686_EXE=${ZC_WINE_I686:-$ZC_ROOT/build/win-i686/ZENTACleanup.exe}
LINUX_TOOL=${ZC_LINUX:-$ZC_ROOT/build/dev/zentacleanup}
SCENARIOS=("$@")
((${#SCENARIOS[@]})) || SCENARIOS=(dryrun-all folder-all links family family-dryrun help interactive)

suite_start=$SECONDS
failures=0
timings=()

fail() {
  echo "  FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "  ok: $*"; }

# ---------------------------------------------------------------- set-up

zc_require_packages "${ZC_BUILD_PACKAGES[@]}" wine wine64 wixl msitools xvfb xauth xdotool imagemagick \
  g++-mingw-w64-x86-64 g++-mingw-w64-i686

if [[ ${ZC_WINE_NO_BUILD:-0} != 1 ]]; then
  echo "== build (Windows, x86_64 and i686; Linux for the parity runs)"
  zc_build win-x64
  zc_build win-i686
  [[ -x $LINUX_TOOL ]] || zc_build dev
fi
for f in "$X64_EXE" "$I686_EXE" "$LINUX_TOOL"; do
  [[ -f $f ]] || { echo "wine-suite: $f is missing" >&2; exit 1; }
done

echo "== the i686 program's headers"
headers=$(i686-w64-mingw32-objdump -f -p "$I686_EXE")
grep -q 'file format pei-i386' <<<"$headers" && pass "32-bit (pei-i386)" || fail "$I686_EXE is not pei-i386"
grep -Eq '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' <<<"$headers" &&
  pass "Windows GUI subsystem" || fail "$I686_EXE is not a Windows GUI program"
# The resource type table's entry 0x18 (RT_MANIFEST).
grep -Eq '^0[0-9a-f]{2}   Entry: ID: 0x000018,' <<<"$headers" && pass "manifest resource" ||
  fail "$I686_EXE has no manifest resource"
if grep -Eio 'DLL Name: (libstdc|libgcc|libwinpthread)[^ ]*' <<<"$headers"; then
  fail "$I686_EXE needs a MinGW DLL beside it"
else
  pass "no MinGW DLL needed"
fi

WORK=$(mktemp -d)
XVFB_PID=
cleanup() {
  if [[ -n ${WINEPREFIX:-} && -d ${WINEPREFIX:-} ]]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf -- "$WINEPREFIX"
  fi
  [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf -- "$WORK"
}
trap cleanup EXIT

echo "== test packages, stand-in MSIZap.exe, dialog probe"
"$WINE_DIR/make-wxs.sh" --check
"$WINE_DIR/build-packages.sh" "$WORK/packages"
x86_64-w64-mingw32-g++ -std=c++20 -O1 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror -static -municode \
  -o "$WORK/MSIZap.exe" "$WINE_DIR/msizap/msizap.cpp"
x86_64-w64-mingw32-g++ -std=c++20 -O1 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror -static -municode \
  -o "$WORK/dlgprobe.exe" "$WINE_DIR/dlgprobe/dlgprobe.cpp"

# The product table: ids, names, codes, folders (products.txt).
declare -A NAME CODE FOLDER
ZENTA_IDS=()
while IFS='|' read -r id name _version code _upgrade maker root folder _files _apppath; do
  [[ -z $id || $id == \#* ]] && continue
  NAME[$id]=$name
  CODE[$id]=$code
  case $root in
    ProgramFilesFolder) FOLDER[$id]="Program Files (x86)/${folder//\\//}" ;;
    CommonFilesFolder) FOLDER[$id]="Program Files (x86)/Common Files/${folder//\\//}" ;;
  esac
  [[ $maker == "ZENTA Technologies Inc" ]] && ZENTA_IDS+=("$id")
done < "$WINE_DIR/packages/products.txt"

# An X server for the dialogs and message boxes, on a free display.
display=77
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$display"
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done

export WINEDEBUG=-all WINEARCH=win64
unset WINEPREFIX

# ---------------------------------------------------------------- helpers

C=                    # the prefix's drive C:, a host path
# new_prefix: a fresh 64-bit prefix with every test package installed by
# Wine's msiexec, the tool and the stand-in MSIZap.exe in C:\Tools.
new_prefix() {
  WINEPREFIX=$(mktemp -d)
  export WINEPREFIX
  C="$WINEPREFIX/drive_c"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  mkdir -p "$C/Packages" "$C/Tools"
  cp "$WORK"/packages/*.msi "$C/Packages/"
  local pkg rc
  for pkg in "$C"/Packages/*.msi; do
    rc=0
    (cd "$C/Packages" && wine msiexec /i "$(basename "$pkg")" /qn) || rc=$?
    [[ $rc -eq 0 ]] || { echo "wine-suite: msiexec /i $(basename "$pkg") ended with $rc" >&2; return 1; }
  done
  wineserver -w
  cp "$X64_EXE" "$C/Tools/ZENTACleanup.exe"
  cp "$WORK/MSIZap.exe" "$WORK/dlgprobe.exe" "$C/Tools/"
}

drop_prefix() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf -- "$WINEPREFIX"
  unset WINEPREFIX
}

# run_tool ARGS...: runs the tool from C:\Tools with the log at C:\zc.log;
# RC is its exit status, LOG the log with CR LF line ends taken off.
run_tool() {
  RC=0
  (cd "$C/Tools" && timeout 300 wine ZENTACleanup.exe "$@" -log 'C:\zc.log') || RC=$?
  wineserver -w
  LOG=$(tr -d '\r' < "$C/zc.log" 2>/dev/null || true)
}

expect_rc() {
  [[ $RC -eq $1 ]] && pass "exit status $1" || fail "exit status $RC, expected $1"
}

# has_line TEXT: the log holds a line exactly TEXT.
has_line() { grep -qxF -- "$1" <<<"$LOG"; }
expect_line() { has_line "$1" && pass "log: $1" || fail "log lacks the line: $1"; }
expect_no_line() { has_line "$1" && fail "log holds the line: $1" || pass "log has no line: $1"; }
expect_count() {  # expect_count PATTERN N: N lines match the regular expression
  local n
  n=$(grep -cE -- "$1" <<<"$LOG" || true)
  [[ $n -eq $2 ]] && pass "$2 log lines match /$1/" || fail "$n log lines match /$1/, expected $2"
}

# The byte form every log shares: CR LF line ends only, no byte-order mark,
# the start line first.
check_log_form() {
  local f="$C/zc.log"
  [[ -s $f ]] || { fail "no log at C:\\zc.log"; return; }
  [[ $(head -c 3 "$f" | od -An -tx1 | tr -d ' \n') != efbbbf* ]] || fail "the log starts with a byte-order mark"
  # Every line feed comes after a carriage return (the last line may have no end).
  local lf crlf
  lf=$(tr -cd '\n' < "$f" | wc -c)
  crlf=$(head -n "$lf" "$f" | LC_ALL=C grep -c $'\r$' || true)
  [[ $lf -eq $crlf ]] || fail "the log has $((lf - crlf)) line end(s) that are not CR LF"
  head -n 1 "$f" | grep -Eq $'^ZENTA Cleanup Tool started at [0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\r$' &&
    pass "log form: start line, CR LF" || fail "the log's first line is not the start line"
}

# registered_codes: the braced product codes registered in the 32-bit
# Uninstall key, and the packed codes under Windows Installer's Products key.
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
registered_snapshot() {
  UNINSTALLED_VIEW=$(wine reg query "$UNINSTALL_KEY" /reg:32 2>/dev/null | tr -d '\r' || true)
  PRODUCTS_VIEW=$(wine reg query 'HKLM\Software\Classes\Installer\Products' /reg:64 2>/dev/null | tr -d '\r' || true)
}
packed() {  # the packed form of a braced code
  local g=${1//[\{\}-]/} out='' i
  out+=$(rev <<<"${g:0:8}")$(rev <<<"${g:8:4}")$(rev <<<"${g:12:4}")
  for ((i = 16; i < 32; i += 2)); do out+=${g:i+1:1}${g:i:1}; done
  printf '%s' "$out"
}
is_registered() {
  grep -qiF "\\Uninstall\\$1" <<<"$UNINSTALLED_VIEW" || grep -qiF "\\Products\\$(packed "$1")" <<<"$PRODUCTS_VIEW"
}
expect_registered() {
  local id
  for id in "$@"; do is_registered "${CODE[$id]}" && pass "registered: ${NAME[$id]}" || fail "not registered: ${NAME[$id]}"; done
}
expect_unregistered() {
  local id
  for id in "$@"; do is_registered "${CODE[$id]}" && fail "still registered: ${NAME[$id]}" || pass "gone: ${NAME[$id]}"; done
}
expect_dir() { [[ -d "$C/$1" ]] && pass "folder kept: C:/$1" || fail "folder missing: C:/$1"; }
expect_no_dir() { [[ ! -e "$C/$1" ]] && pass "folder removed: C:/$1" || fail "folder left: C:/$1"; }

# msizap_calls: the stand-in's record, CR LF taken off.
msizap_calls() { tr -d '\r' < "$C/msizap-calls.txt" 2>/dev/null || true; }

# make_sim DIR: the simulated machine of the prefix as it is now.
make_sim() { "$WINE_DIR/sim-from-prefix.sh" "$WINEPREFIX" "$1"; }

# parity NAME ARGS...: the same run on the simulated machine in
# $WORK/sim-NAME, its log compared with the Wine log just written.
parity() {
  local name=$1 sim="$WORK/sim-$1" rc=0
  shift
  cp "$C/zc.log" "$WORK/wine-$name.log"
  "$LINUX_TOOL" --machine "$sim" "$@" -log 'C:\zc.log' >/dev/null 2>&1 || rc=$?
  [[ $rc -eq $RC ]] && pass "parity: same exit status ($rc)" || fail "parity: the simulated run ended with $rc, Wine with $RC"
  cp "$sim/drive_c/zc.log" "$WORK/sim-$name.log" 2>/dev/null || { fail "parity: the simulated run wrote no log"; return; }
  mkdir -p "$ARTIFACTS"
  cp "$WORK/wine-$name.log" "$ARTIFACTS/$name.wine.log"
  cp "$WORK/sim-$name.log" "$ARTIFACTS/$name.sim.log"
  if "$WINE_DIR/parity.sh" "$WORK/wine-$name.log" "$WORK/sim-$name.log"; then
    pass "parity: the logs agree, apart from the differences named"
  else
    fail "parity: the Wine and simulated logs of $name differ (see above)"
  fi
  # The comparison itself must notice what no named difference explains: a
  # line of a file outside the packages, and a named line on the wrong side.
  local odd="$WORK/odd-$name.log"
  { cat "$WORK/sim-$name.log"; printf '\r\nRemoved Entry : C:\\Other\\x.dll  -- Shared Count: 1\r\n'; } > "$odd"
  "$WINE_DIR/parity.sh" "$WORK/wine-$name.log" "$odd" >/dev/null 2>&1 &&
    fail "parity.sh let an unexplained SharedDlls line pass"
  { cat "$WORK/wine-$name.log"
    printf '\r\nRemoved Entry : C:\\Program Files (x86)\\ZENTA Technologies\\ZENTA Vexil\\VexilCore.dll  -- Shared Count: 1\r\n'
  } > "$odd"
  "$WINE_DIR/parity.sh" "$odd" "$WORK/sim-$name.log" >/dev/null 2>&1 &&
    fail "parity.sh let a Wine-only SharedDlls line pass"
  true
}

# scenario NAME: runs the function scenario_NAME, timed, in a fresh prefix.
scenario() {
  local name=$1 start=$SECONDS
  echo "== scenario $name"
  new_prefix
  echo "  prefix ready in $((SECONDS - start)) s"
  "scenario_${name//-/_}"
  drop_prefix
  timings+=("$name $((SECONDS - start)) s")
}

zenta_names_found() {
  local id
  for id in "${ZENTA_IDS[@]}"; do
    grep -qF -- "Found Product: ${NAME[$id]}  -- GUID: ${CODE[$id]} -- " <<<"$LOG" ||
      fail "discovery did not log ${NAME[$id]}"
  done
  grep -qF 'Harbor Lane' <<<"$LOG" && fail "discovery listed the other publisher's product" ||
    pass "discovery: the ${#ZENTA_IDS[@]} ZENTA products, not the other publisher's"
}

# ---------------------------------------------------------------- scenarios

scenario_dryrun_all() {
  make_sim "$WORK/sim-dryrun-all"
  run_tool -all -dryrun
  expect_rc 0
  check_log_form
  zenta_names_found
  expect_line "*** Silent ZENTA Cleanup Tool Dry run for all ZENTA Products installed"
  expect_count '^[0-9/]{10} [0-9:]{8} Cleaning up ' "${#ZENTA_IDS[@]}"
  expect_count '^Successfully Executed Command:' 0
  grep -qE '^[0-9/]{10} [0-9:]{8} \*\*\*\* List of ZENTA folders in the default location that need to be cleaned up$' <<<"$LOG" &&
    pass "log: default-location listing" || fail "log lacks the default-location listing"
  [[ $(tail -n 1 <<<"$LOG") == "**** Exiting the ZENTA Cleanup Tool Application *****" ]] &&
    pass "log ends with the exit line" || fail "log does not end with the exit line"
  registered_snapshot
  expect_registered "${ZENTA_IDS[@]}" harborlane
  local id
  for id in "${ZENTA_IDS[@]}"; do expect_dir "${FOLDER[$id]}"; done
  [[ ! -e $C/msizap-calls.txt ]] && pass "MSIZap was not run" || fail "MSIZap ran in a dry run"
  parity dryrun-all -all -dryrun
}

scenario_folder_all() {
  make_sim "$WORK/sim-folder-all"
  run_tool -all -folder
  expect_rc 0
  check_log_form
  zenta_names_found
  expect_line "*** Silent ZENTA Cleanup Tool Cleaning up all ZENTA Products installed"
  local id extra
  for id in "${ZENTA_IDS[@]}"; do
    extra='  '  # empty extra properties leave two blanks
    [[ ${NAME[$id]} == *Quillo* ]] && extra=' UPGRADINGPRODUCTCODE=1 '
    expect_line "Successfully Executed Command:  MsiExec.exe /X${CODE[$id]}${extra}REBOOT=ReallySuppress /qn"
  done
  expect_count '^An MSI uninstall operation was performed successfully$' "${#ZENTA_IDS[@]}"
  expect_count '^MSI uninstall operation failed' 0
  expect_count '^\*\*Action not permitted' 0
  registered_snapshot
  expect_unregistered "${ZENTA_IDS[@]}"
  expect_registered harborlane
  expect_no_dir "Program Files (x86)/ZENTA Technologies"
  expect_no_dir "Program Files (x86)/ZENTA Technologies Inc"
  expect_no_dir "Program Files (x86)/Common Files/ZENTA Technologies"
  expect_dir "${FOLDER[harborlane]}"
  [[ -f "$C/${FOLDER[harborlane]}/hlcore.dll" ]] && pass "the other publisher's files stay" ||
    fail "the other publisher's hlcore.dll is gone"
  local calls
  calls=$(msizap_calls)
  for id in "${ZENTA_IDS[@]}"; do
    grep -qxF "C:\\Tools\\MSIZap.exe TWG! ${CODE[$id]}" <<<"$calls" && pass "MSIZap TWG! for ${NAME[$id]}" ||
      fail "no MSIZap call for ${NAME[$id]}"
  done
  grep -qF "${CODE[harborlane]}" <<<"$calls" && fail "MSIZap ran for the other publisher's product" || true
  local shared
  shared=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDlls' /reg:32 2>/dev/null | tr -d '\r')
  grep -qi 'ZENTA Technologies' <<<"$shared" && fail "SharedDlls still names ZENTA files" ||
    pass "no SharedDlls entry of ZENTA files"
  grep -qF 'Harbor Lane\Notes\hlcore.dll' <<<"$shared" && pass "the other publisher's SharedDlls entry stays" ||
    fail "the other publisher's SharedDlls entry is gone"
  parity folder-all -all -folder
}

# A link inside a vendor folder to the user's data (a Unix symbolic link is
# what Windows programs under Wine see as a junction): the tool removes the
# link and never enters it. Named Wine difference "wine-keeps-folder-links":
# Wine 8 cannot delete a symbolic link to a folder through RemoveDirectoryW
# (nor DeleteFileW, nor a delete-on-close handle opened on the link), where
# Windows removes a junction with RemoveDirectoryW; so under Wine the link
# and the folders above it stay. What it points at stays in both.
scenario_links() {
  mkdir -p "$C/UserData/Sentinel"
  echo keep > "$C/UserData/Sentinel/keep.txt"
  ln -s ../../../UserData "$C/${FOLDER[quillo]}/Linked"
  run_tool -quillo -folder
  expect_rc 0
  check_log_form
  [[ -f "$C/UserData/Sentinel/keep.txt" ]] && pass "the data behind a link in a vendor folder stays" ||
    fail "the data behind a link in a vendor folder is gone"
  has_line "Removing Link: C:\\${FOLDER[quillo]//\//\\}\\Linked" && pass "log: the link is named, not entered" ||
    fail "log does not name the link"
  grep -qF 'UserData' <<<"$LOG" && fail "the log shows the tool entered the link" || pass "nothing behind the link is named"
  [[ -L "$C/${FOLDER[quillo]}/Linked" ]] && pass "wine-keeps-folder-links: the link stays under Wine" ||
    pass "the link itself was removed"
}

scenario_family() {
  run_tool -vexil
  expect_rc 0
  check_log_form
  expect_line "*** Silent Cleanup"
  expect_line "Successfully Executed Command:  MsiExec.exe /X${CODE[vexil]}  REBOOT=ReallySuppress /qn"
  expect_count '^Successfully Executed Command:' 1
  registered_snapshot
  expect_unregistered vexil
  local others=() id
  for id in "${ZENTA_IDS[@]}"; do [[ $id == vexil ]] || others+=("$id"); done
  expect_registered "${others[@]}" harborlane
  for id in "${others[@]}"; do expect_dir "${FOLDER[$id]}"; done
  # Without -folder the leftover folder is only listed.
  expect_dir "${FOLDER[vexil]}/Settings"
  local calls
  calls=$(msizap_calls)
  grep -qxF "C:\\Tools\\MSIZap.exe TWG! ${CODE[vexil]}" <<<"$calls" && pass "MSIZap TWG! for ${NAME[vexil]}" ||
    fail "no MSIZap call for ${NAME[vexil]}"
  [[ $(grep -c . <<<"$calls") -eq $(grep -c 'TWG! ' <<<"$calls") ]] || fail "an MSIZap call without TWG!"
}

scenario_family_dryrun() {
  run_tool -vexil -dryrun
  expect_rc 0
  check_log_form
  expect_line "*** Silent ZENTA Cleanup Tool Dry run for selected products"
  expect_line "*** List of folders for Vexil: "
  expect_count '^Successfully Executed Command:' 0
  registered_snapshot
  expect_registered "${ZENTA_IDS[@]}" harborlane
  expect_dir "${FOLDER[vexil]}"
  [[ ! -e $C/msizap-calls.txt ]] && pass "MSIZap was not run" || fail "MSIZap ran in a dry run"
}

scenario_help() {
  local pid rc=0 texts
  (cd "$C/Tools" && exec timeout 120 wine ZENTACleanup.exe -help -all -log 'C:\zc.log') &
  pid=$!
  if wine "$C/Tools/dlgprobe.exe" wait "ZENTA Cleanup Tool Help" 60; then
    texts=$(wine "$C/Tools/dlgprobe.exe" controls "ZENTA Cleanup Tool Help" | tr -d '\r')
    grep -q -- 'dryrun' <<<"$texts" && pass "the help box names the options" ||
      fail "the help box does not list the options: $texts"
    shot help
    close_box "ZENTA Cleanup Tool Help"
  else
    fail "no help box appeared"
  fi
  wait "$pid" || rc=$?
  RC=$rc
  wineserver -w
  LOG=$(tr -d '\r' < "$C/zc.log" 2>/dev/null || true)
  expect_rc 0
  check_log_form
  [[ $(grep -c . <<<"$LOG") -eq 1 ]] && pass "the log holds the start line only" ||
    fail "the help run wrote more than its start line"
  [[ $(tail -c 4 "$C/zc.log" | od -An -tx1 | tr -d ' \n') == 0d0a0d0a ]] && pass "two ends of line after it" ||
    fail "the start line is not followed by two ends of line"
  registered_snapshot
  expect_registered "${ZENTA_IDS[@]}"
}

# close_box TITLE: presses the OK button (id 1) of the message box or dialog
# of that title, and waits until it has gone and its owner is usable again.
close_box() {
  click_control "$1" 1 || return
  wine "$C/Tools/dlgprobe.exe" gone "$1" 10 || fail "the window \"$1\" did not close"
  sleep 1
}

# control_centre TITLE ID: screen coordinates of a control's centre.
control_centre() {
  wine "$C/Tools/dlgprobe.exe" controls "$1" | tr -d '\r' |
    awk -v id="$2" '$1 == id { printf "%d %d\n", $4 + $6 / 2, $5 + $7 / 2; exit }'
}
control_enabled() {
  wine "$C/Tools/dlgprobe.exe" controls "$1" | tr -d '\r' | awk -v id="$2" '$1 == id { print $2; exit }'
}
click_control() {
  local xy
  xy=$(control_centre "$1" "$2")
  [[ -n $xy ]] || { fail "no control $2 in \"$1\""; return 1; }
  # shellcheck disable=SC2086
  xdotool mousemove $xy click 1
}
shot() {
  mkdir -p "$ARTIFACTS"
  import -window root "$ARTIFACTS/$1.png" && pass "screenshot $1.png"
}

scenario_interactive() {
  local pid rc=0 basic="ZENTA Cleanup Tool" custom="ZENTA Cleanup Tool (Custom Mode)" entries expected id
  local probe="$C/Tools/dlgprobe.exe"
  (cd "$C/Tools" && exec timeout 300 wine ZENTACleanup.exe -log 'C:\zc.log') &
  pid=$!
  wine "$probe" wait "$basic" 60 || { fail "the basic-mode dialog did not appear"; kill "$pid"; return; }
  entries=$(wine "$probe" list "$basic" 1000 | tr -d '\r')
  expected=$(printf 'All ZENTA Products\n'; for id in "${ZENTA_IDS[@]}"; do printf '%s\n' "${NAME[$id]}"; done)
  [[ $(head -n 1 <<<"$entries") == "All ZENTA Products" ]] && pass "first entry: All ZENTA Products" ||
    fail "the first entry is not All ZENTA Products"
  [[ $(sort <<<"$entries") == $(sort <<<"$expected") ]] && pass "the list holds the installed ZENTA products" ||
    fail "the basic-mode list differs: $(tr '\n' ';' <<<"$entries")"
  [[ $(control_enabled "$basic" 1) == 0 && $(control_enabled "$basic" 1005) == 0 ]] &&
    pass "Remove and Dry Run disabled without a selection" || fail "Remove or Dry Run enabled without a selection"
  shot basic-mode

  # The about box, from the system menu's item.
  wine "$probe" syscommand "$basic" 16
  if wine "$probe" wait "About ZENTA Cleanup Tool" 20; then
    shot about
    close_box "About ZENTA Cleanup Tool"
  else
    fail "the about box did not appear"
  fi

  # Select the first entry with a click: Remove and Dry Run come alive.
  local xy
  xy=$(wine "$probe" controls "$basic" | tr -d '\r' | awk '$1 == 1000 { printf "%d %d\n", $4 + 20, $5 + 6; exit }')
  for _ in 1 2 3; do
    # shellcheck disable=SC2086
    xdotool mousemove $xy click 1
    sleep 0.5
    [[ $(control_enabled "$basic" 1005) == 1 ]] && break
  done
  [[ $(control_enabled "$basic" 1) == 1 && $(control_enabled "$basic" 1005) == 1 ]] &&
    pass "a selection enables Remove and Dry Run" || fail "Remove or Dry Run still disabled after a selection"
  shot basic-mode-selected

  click_control "$basic" 1005
  if wine "$probe" wait "Operation Completed" 60; then
    local text
    text=$(wine "$probe" controls "Operation Completed" | tr -d '\r')
    grep -qF "Dry Run operation performed on All ZENTA Products" <<<"$text" &&
      pass "Operation Completed: Dry Run operation performed on All ZENTA Products" ||
      fail "the Operation Completed box says: $text"
    shot operation-completed
    close_box "Operation Completed"
  else
    fail "no Operation Completed box after Dry Run"
  fi

  wine "$probe" wait "$basic" 60 || fail "the basic-mode dialog did not come back"
  click_control "$basic" 1004
  if wine "$probe" wait "$custom" 60; then
    entries=$(wine "$probe" list "$custom" 1001 | tr -d '\r')
    expected=$(printf '%s\n' "Common Files" "Convexa" "Convexa PE" "Quillo Software" "Quorix/Teviro" \
      "Tavlo/Product Drivers" "Vexil")
    [[ $entries == "$expected" ]] && pass "custom mode lists the seven families, sorted" ||
      fail "the custom-mode list is: $(tr '\n' ';' <<<"$entries")"
    shot custom-mode
    click_control "$custom" 2
  else
    fail "the custom-mode dialog did not appear"
  fi
  wait "$pid" || rc=$?
  RC=$rc
  wineserver -w
  LOG=$(tr -d '\r' < "$C/zc.log" 2>/dev/null || true)
  expect_rc 0
  check_log_form
  expect_line "*****Performing Dry Run for All ZENTA Products"
  expect_line "Dry Run operation performed on All ZENTA Products"
  expect_line "==Running in Custom Mode=="
  [[ $(tail -n 1 <<<"$LOG") == "**** Exiting the ZENTA Cleanup Tool Application *****" ]] &&
    pass "Cancel ended the run" || fail "the log does not end with the exit line"
  registered_snapshot
  expect_registered "${ZENTA_IDS[@]}" harborlane
}

for s in "${SCENARIOS[@]}"; do
  declare -F "scenario_${s//-/_}" >/dev/null || { echo "wine-suite: no scenario $s" >&2; exit 2; }
  scenario "$s"
done

echo "== timings"
printf '  %s\n' "${timings[@]}"
echo "  whole suite: $((SECONDS - suite_start)) s"
if ((failures)); then
  echo "== wine suite: $failures check(s) failed" >&2
  exit 1
fi
echo "== wine suite: all checks passed"
