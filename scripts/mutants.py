#!/usr/bin/env python3
"""The safety core's mutants: each rule of the scope guard, the Windows-path
module, the protected set and the dry-run view broken on purpose, one at a
time, in a copy of the tree (the working tree is never touched). Each mutant
is built incrementally and the tests are run against it; a mutant that no
test kills is a rule that no test holds, and fails the stage.

Usage: scripts/mutants.py [--only N[,N...]] [--keep]
Ends with "mutants: N passed, M failed" (passed: killed).
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "build" / "mutants"
TREE = WORK / "tree"
BUILD = WORK / "build"
DIRTY = WORK / "mutated-file"
# The tests run in two rounds, each stopping at its first failure: the
# safety core's own and those of the steps that delete, where most mutants
# die within seconds; then every other test. The fault sweep, which repeats
# whole runs once per platform call, is left out: the rules are held by the
# other tests.
FIRST_ROUND = ("ScopeGuard*:Attempts/GuardedLocation*:WinPath*:DryRunByConstruction*:SourceScan*:Contained*:"
               "HostileMachine*:Locations/TooWideFolder*:RemoveFolderTree*:IsFolderRemovable*:CleanSharedDlls*:"
               "SideBySide*:Gallery*:Paths*:CaseRules*")
SECOND_ROUND = "-" + FIRST_ROUND + ":*FaultSweep*"
TEST_TIMEOUT = 300


@dataclass
class Mutant:
    file: str  # below src/
    find: str  # the text to break; it must occur exactly once in the file
    replace: str
    rule: str  # the rule the mutant breaks


GUARD = "safety/scope_guard.cpp"
PATHS = "safety/win_path.cpp"
VIEW = "safety/dry_run_view.cpp"
SET = "safety/protected_folders.cpp"

MUTANTS = [
    # The permit bounds what the destructive calls may touch.
    Mutant(GUARD, "bool ScopeGuard::Covers(const Permit& permit, std::wstring_view path, bool treeItselfToo) const {",
           "bool ScopeGuard::Covers(const Permit& permit, std::wstring_view path, bool treeItselfToo) const {\n"
           "  return true;",
           "a permit covers every path"),
    Mutant(GUARD, "  if (permit.kind_ == Permit::Kind::kTree) return winpath::IsSameOrBelow(normal, top);\n"
           "  return winpath::SamePath(normal, top);",
           "  return winpath::IsSameOrBelow(normal, top);",
           "a file's permit covers what lies below it"),
    Mutant(GUARD, "if (!Covers(permit, path, true) || PassesOver(permit, path)) return Slip(\"DeleteFile\", path);",
           "if (!Covers(permit, path, true)) return Slip(\"DeleteFile\", path);",
           "the file deletion no longer passes over the open log"),
    Mutant(GUARD, "if (!Covers(permit, path, true) || PassesOver(permit, path)) return Slip(\"SetFileAttributes\", path);",
           "if (!Covers(permit, path, true)) return Slip(\"SetFileAttributes\", path);",
           "clearing attributes no longer passes over the open log"),
    Mutant(GUARD, "if (!Covers(permit, path, true)) return Slip(\"RemoveDirectory\", path);",
           "", "folder removal without a covering permit"),
    Mutant(GUARD, "if (!Covers(permit, path, true)) return Slip(\"MoveFileEx\", path);",
           "", "delete-at-restart without a covering permit"),
    Mutant(GUARD, "if (!PermitsSharedDllsValue(folder, name)) return Slip(\"RegDeleteValue\", name);",
           "", "a SharedDlls value deleted without judgement"),
    # The protected set as the guard reads it.
    Mutant(GUARD, "bool ScopeGuard::InSystemFolders(std::wstring_view path) const {\n  if (winpath::IsRoot(path)) return true;",
           "bool ScopeGuard::InSystemFolders(std::wstring_view path) const {",
           "a drive's root is a folder like any other"),
    Mutant(GUARD, "    if (winpath::IsSameOrBelow(path, folder) || winpath::IsBelow(folder, path)) return true;",
           "    if (winpath::IsSameOrBelow(path, folder)) return true;",
           "an ancestor of the Windows folder may be removed"),
    Mutant(GUARD, "    if (winpath::IsSameOrBelow(path, folder) || winpath::IsBelow(folder, path)) return true;",
           "    if (winpath::SamePath(path, folder) || winpath::IsBelow(folder, path)) return true;",
           "what lies inside the Windows folder may be removed"),
    Mutant(GUARD, "  for (const auto& folder : itself_) {\n    if (winpath::IsSameOrBelow(folder, path)) return true;\n  }\n"
           "  return false;",
           "  return false;",
           "the folders kept as themselves (profiles, programs, TMP) may be removed"),
    Mutant(GUARD, "    if (winpath::SamePath(path, log)) return true;", "",
           "the open log file may be deleted"),
    Mutant(GUARD, "  const std::wstring parent = winpath::ParentOf(path);\n  if (winpath::IsRoot(parent)) return true;",
           "  const std::wstring parent = winpath::ParentOf(path);",
           "a file in a drive's root may be deleted"),
    Mutant(GUARD, "    if (winpath::SamePath(parent, folder) || winpath::IsSameOrBelow(folder, path)) return true;",
           "    if (winpath::IsSameOrBelow(folder, path)) return true;",
           "a file directly in a protected folder may be deleted"),
    # Resolution: what a path is, not how it is spelled.
    Mutant(GUARD, "      r.forms.push_back(std::move(target));", "",
           "a link is not judged by where it leads"),
    Mutant(GUARD, "  if (!winpath::SamePath(own, lexical)) r.forms.push_back(own);", "",
           "a path is judged as spelled, not as it resolves"),
    Mutant(GUARD, "      if (!IsMissing(e)) return r;", "      if (!IsMissing(e)) break;",
           "a path whose folders cannot be resolved is judged anyway"),
    Mutant(GUARD, "  } else {\n    return r;\n  }\n  if (!winpath::SamePath(own, lexical))",
           "  } else {\n    own = lexical;\n  }\n  if (!winpath::SamePath(own, lexical))",
           "a path that cannot be resolved is judged as spelled"),
    Mutant(GUARD, "    if (fs_.GetAttributes(lexical, &attributes) != err::kSuccess) return r;",
           "    (void)fs_.GetAttributes(lexical, &attributes);",
           "a path whose attributes cannot be read counts as no link"),
    Mutant(GUARD, " &&\n        AnyFormIs(r, &ScopeGuard::FileIsProtected)) {", " && false) {",
           "a tree whose top is a file is not judged as that file"),
    Mutant(GUARD, "    if ((this->*rule)(form)) return true;", "    if ((this->*rule)(form) && &form == &r.forms.front()) return true;",
           "only the path as spelled is judged, not its other forms"),
    # The side-by-side store.
    Mutant(GUARD, "  if (ToLowerAscii(first).find(lowerPattern) == std::wstring::npos) return std::nullopt;", "",
           "any entry of the side-by-side store may be removed"),
    Mutant(GUARD, "  if (ownForms != 1) return std::nullopt;", "",
           "an assembly path through a link or a short name may be removed"),
    Mutant(GUARD, "  if (store.empty() || !r.ok || !winpath::IsBelow(r.forms.front(), store)) return std::nullopt;",
           "  if (store.empty() || !r.ok) return std::nullopt;",
           "an assembly permit outside the store"),
    # SharedDlls values.
    Mutant(GUARD, "  if (top.empty() || !winpath::IsBelow(value, top)) return false;",
           "  if (top.empty() || value.find(top) == std::wstring::npos) return false;",
           "a SharedDlls value matched by substring, not below the folder"),
    Mutant("removal/shared_dlls.cpp", "    if (!winpath::IsBelow(name, top)) continue;",
           "    if (name.find(top) == std::wstring::npos) continue;",
           "the SharedDlls walk matches its folder as a substring"),
    # The Windows-path module.
    Mutant(PATHS, "bool SamePath(std::wstring_view a, std::wstring_view b) { return EqualsNoCase(a, b); }",
           "bool SamePath(std::wstring_view a, std::wstring_view b) { return a == b; }",
           "paths compared case-sensitively"),
    Mutant(PATHS, "  if (folder.empty() || !EqualsNoCaseAt(path, 0, folder)) return false;",
           "  if (folder.empty() || path.substr(0, folder.size()) != folder) return false;",
           "ancestors compared case-sensitively"),
    Mutant(PATHS, "  return folder.back() == L'\\\\' || path[folder.size()] == L'\\\\';",
           "  return true;",
           "ancestor and descendant without a name boundary"),
    Mutant(PATHS, "  return IsSameOrBelow(path, folder) && path.size() > folder.size();",
           "  return IsSameOrBelow(path, folder) && path.size() + 1 > folder.size();",
           "a folder counts as below itself"),
    Mutant(PATHS, "    if (part.size() >= 2 && part.back() == L'.' && part[part.size() - 2] != L'.') part.remove_suffix(1);",
           "", "trailing dots kept as Windows drops them"),
    Mutant(PATHS, "      if (!path->names.empty() && path->names.back() != L\"..\") {",
           "      if (false) {", "\"..\" not resolved"),
    # What the steps that delete may claim, and the guard's making.
    Mutant("removal/gallery.cpp", "ClearReadOnlyAttribute(*permit, setup) && Guard().DeleteFile(*permit, setup) == err::kSuccess",
           "ClearReadOnlyAttribute(*permit, setup) && (static_cast<void>(Guard().DeleteFile(*permit, setup)), true)",
           "a gallery setup program that could not be deleted is logged as deleted"),
    Mutant("removal/side_by_side.cpp", "    if (guard_.ScheduleDeleteAtReboot(*permit, path) == err::kSuccess) {",
           "    if (static_cast<void>(guard_.ScheduleDeleteAtReboot(*permit, path)), true) {",
           "an assembly file that could not be scheduled still asks for a restart"),
    Mutant("app/application.cpp", "m_guard.emplace(m_platform.fs, GatherProtectedFolders(m_platform), std::move(current));",
           "m_guard.emplace(m_platform.fs, ProtectedFolders{}, std::move(current));",
           "the guard made with an empty protected set"),
    # The protected set as gathered.
    Mutant(SET, "    Itself(env(L\"TMP\"));", "", "the TMP folder not protected"),
    Mutant(SET, "    if (p_.system.GetCurrentDir(32768, &current, &error) > 0) Itself(current);", "",
           "the current directory not protected"),
    Mutant(SET, "      for (const wchar_t* known : kKnownFolderNames) Itself(winpath::Join(profile, known));", "",
           "a profile's known folders not protected"),
    Mutant(SET, "    for (const auto& image : RegisteredProfiles()) profiles.push_back(image);", "",
           "a profile registered outside the profiles root not protected"),
    Mutant(SET, "      roots.push_back(windows.substr(0, 2) + L\"\\\\Users\");", "",
           "the Users folder not a profiles root (SYSTEM's own profile lies elsewhere)"),
    # The dry-run view: one kind of change let through.
    Mutant(VIEW, "    if (view_.active()) return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "    if (view_.active() && WindowsCall::k##Call != WindowsCall::kDeleteFile) \\\n"
           "      return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "a dry run may delete files"),
    Mutant(VIEW, "    if (view_.active()) return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "    if (view_.active() && WindowsCall::k##Call != WindowsCall::kRemoveDirectory) \\\n"
           "      return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "a dry run may remove folders"),
    Mutant(VIEW, "    if (view_.active()) return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "    if (view_.active() && WindowsCall::k##Call != WindowsCall::kRegDeleteValue) \\\n"
           "      return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "a dry run may delete registry values"),
    Mutant(VIEW, "    if (view_.active()) return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "    if (view_.active() && WindowsCall::k##Call != WindowsCall::kSHDeleteKey) \\\n"
           "      return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "a dry run may delete registry keys"),
    Mutant(VIEW, "    if (view_.active()) return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "    if (view_.active() && WindowsCall::k##Call != WindowsCall::kCreateProcess) \\\n"
           "      return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "a dry run may start programs"),
    Mutant(VIEW, "    if (view_.active()) return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "    if (view_.active() && WindowsCall::k##Call != WindowsCall::kDeletePrinter) \\\n"
           "      return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "a dry run may delete the printer"),
    Mutant(VIEW, "    if (view_.active()) return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "    if (view_.active() && WindowsCall::k##Call != WindowsCall::kInitiateSystemShutdown) \\\n"
           "      return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \\",
           "a dry run may restart the machine"),
]


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def copy_tree():
    """The tree as git knows it (tracked and new files), copied once; later
    runs only refresh what changed, so the build stays incremental."""
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "src", "tests", "cmake", "CMakeLists.txt",
                            "README.md", "docs", "scripts"],
                           cwd=ROOT, check=True, capture_output=True, text=True).stdout.split("\n")
    wanted = set(filter(None, files))
    for top in ("src", "tests"):
        for copied in (TREE / top).rglob("*") if (TREE / top).exists() else []:
            if copied.is_file() and str(copied.relative_to(TREE)) not in wanted:
                copied.unlink()
    for name in wanted:
        src, dst = ROOT / name, TREE / name
        if not src.is_file():
            continue
        if dst.exists() and dst.read_bytes() == src.read_bytes():
            continue
        dst.parent.mkdir(parents=True, exist_ok=True)
        # A fresh modification time: the build must see the file as changed
        # even where the copy it replaces (a mutant) is newer than the source.
        shutil.copyfile(src, dst)


def build():
    return subprocess.run(["cmake", "--build", str(BUILD), "--target", "zc_tests", "-j", str(os.cpu_count() or 2)],
                          capture_output=True, text=True)


def first_failure(output):
    m = re.search(r"^\[  FAILED  \] ([^\s,]+)", output, re.MULTILINE)
    return m.group(1) if m else None


def run_tests():
    """(passed, killer): the name of the first failing test, or how the run
    ended without one."""
    for test_filter in (FIRST_ROUND, SECOND_ROUND):
        try:
            proc = subprocess.run([str(BUILD / "zc_tests"), f"--gtest_filter={test_filter}", "--gtest_fail_fast",
                                   "--gtest_brief=1"], capture_output=True, text=True, timeout=TEST_TIMEOUT)
        except subprocess.TimeoutExpired:
            return False, f"(time-out after {TEST_TIMEOUT} s)"
        if proc.returncode != 0:
            return False, first_failure(proc.stdout) or f"(the tests ended with status {proc.returncode})"
    return True, None


def main():
    # Stopped from outside, the copy still gets its unmutated file back.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", help="comma-separated mutant numbers (from 1)")
    args = parser.parse_args()
    chosen = range(1, len(MUTANTS) + 1)
    if args.only:
        chosen = [int(n) for n in args.only.split(",")]

    start = time.monotonic()
    WORK.mkdir(parents=True, exist_ok=True)
    copy_tree()
    if DIRTY.exists():
        Path(DIRTY.read_text()).touch()
    # Every mutant must apply to today's sources: a text that moved is the
    # list's fault, and said before anything is built.
    stale = []
    for n in chosen:
        m = MUTANTS[n - 1]
        count = (TREE / "src" / m.file).read_text().count(m.find)
        if count != 1:
            stale.append(f"mutant {n} ({m.file}: {m.rule}): its text occurs {count} times")
    if stale:
        print("\n".join(stale))
        print(f"mutants: 0 passed, {len(chosen)} failed")
        return 1

    if not (BUILD / "build.ninja").exists():
        run(["cmake", "-S", str(TREE), "-B", str(BUILD), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
             "-DZC_BUILD_TESTS=ON", "-DZC_WERROR=OFF",
             # No debug information: the links of each mutant's build are most of its time.
             "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g0"], stdout=subprocess.DEVNULL)
    built = build()
    if built.returncode != 0:
        print(built.stdout[-3000:], built.stderr[-3000:])
        print("mutants: the unmutated tree does not build")
        return 1
    passed, why = run_tests()
    if not passed:
        print(f"mutants: the unmutated tree fails its tests: {why}")
        return 1
    print(f"== the unmutated tree builds and passes ({time.monotonic() - start:.0f} s)")

    killed, survived = 0, []
    for n in chosen:
        m = MUTANTS[n - 1]
        path = TREE / "src" / m.file
        original = path.read_text()
        t = time.monotonic()
        # Should this run be stopped before the file is back and built, the
        # next run rebuilds it first.
        DIRTY.write_text(str(path))
        try:
            path.write_text(original.replace(m.find, m.replace, 1))
            built = build()
            if built.returncode != 0:
                verdict, by = False, "(does not compile)"
            else:
                verdict, by = run_tests()
        finally:
            path.write_text(original)
        # A mutant that does not compile proves nothing about the tests.
        if not verdict and by != "(does not compile)":
            killed += 1
            print(f"mutant {n:2} killed   {time.monotonic() - t:4.0f} s  {m.file}: {m.rule}\n"
                  f"                          by {by}")
        else:
            survived.append(n)
            print(f"mutant {n:2} SURVIVED {time.monotonic() - t:4.0f} s  {m.file}: {m.rule}"
                  + (f" {by}" if by else ""))
            if by == "(does not compile)":
                print(built.stderr[-2000:] or built.stdout[-2000:])
    build()  # leave the copy built unmutated for the next run
    DIRTY.unlink(missing_ok=True)
    print(f"== {len(chosen)} mutants in {time.monotonic() - start:.0f} s")
    print(f"mutants: {killed} passed, {len(survived)} failed")
    return 0 if not survived else 1


if __name__ == "__main__":
    sys.exit(main())
