// The scope guard against what an attacker or a careless package author
// leaves on a machine: install locations that reach guarded places through
// links, short names or odd spellings, that name files or missing paths in
// the system folder, profiles, the tool's own folders, the log. Each case
// runs the whole tool, as `-all -folder` and as the custom clean of the
// family, with sentinels behind the attempt that must survive byte for byte.
#include <gtest/gtest.h>

#include <functional>

#include "removal/removal_support.h"
#include "safety/protected_folders.h"
#include "safety/win_path.h"
#include "safety/machine_snapshot.h"

namespace zc::test {
namespace {

namespace fs = std::filesystem;

const std::wstring kQuilloCode = L"{4233A874-F8D9-4777-B94C-432B2889509D}";
const std::wstring kVendor = L"C:\\Program Files\\ZENTA Technologies";
const std::wstring kQuilloFolder = kVendor + L"\\Quillo Software";

void MakeLink(ScenarioMachine& m, const std::wstring& link, const std::wstring& target) {
  fs::create_directories(m.Host(link).parent_path());
  fs::create_directory_symlink(m.Host(target), m.Host(link));
}

// The things of a machine that are nobody's to remove.
void SeedSentinels(ScenarioMachine& m) {
  m.WriteFile(L"C:\\WINDOWS\\system32\\kernel32.dll", "kernel");
  m.WriteFile(L"C:\\WINDOWS\\notepad.exe", "notepad");
  m.WriteFile(L"C:\\Users\\Admin\\Documents\\thesis.docx", "thesis");
  m.WriteFile(L"C:\\Users\\Admin\\Desktop\\todo.txt", "todo");
  m.WriteFile(L"C:\\Users\\Admin\\AppData\\Roaming\\mail.db", "mail");
  m.WriteFile(L"C:\\Users\\Public\\Documents\\shared.xlsx", "shared");
  m.WriteFile(L"C:\\Users\\Bob\\Music\\song.mp3", "song");
  m.WriteFile(L"C:\\Temp\\work.tmp", "tmp");
  m.WriteFile(L"C:\\Tools\\notes.txt", "tools");
  m.WriteFile(L"C:\\ProgramData\\Other\\state.bin", "state");
  m.WriteFile(L"C:\\Program Files\\Harbor Lane\\hl.dll", "harbor");
  m.WriteFile(L"C:\\boot.ini", "boot");
  SetSharedCount(m, L"C:\\WINDOWS\\system32\\msvcr90.dll", 7);
  SetSharedCount(m, L"C:\\WINDOWS\\system32\\missing\\x.dll", 2);
  SetSharedCount(m, L"C:\\Program Files\\Harbor Lane\\hl.dll", 3);
  SetSharedCount(m, L"D:\\Shared\\d.dll", 4);
  SetSharedCount(m, L"C:\\Users\\Admin\\Documents\\macro.dll", 5);
}

struct Case {
  const char* name;
  std::function<void(ScenarioMachine&)> seed;  // links and files the case needs
  std::wstring location;                       // the Quillo product's install location
};

void RunCase(const Case& c, const wchar_t* arguments) {
  SCOPED_TRACE(std::string(c.name) + " / " + ToUtf8(arguments));
  ScenarioMachine m;
  AddRemovalPrograms(m);
  SeedSentinels(m);
  m.WriteFile(kQuilloFolder + L"\\Quillo.exe", "MZ");
  if (c.seed) c.seed(m);
  // A product whose package put no file of its own where the location
  // points: whatever changes there, the clean-up changed.
  auto product = VendorProduct(kQuilloCode, L"Quillo Software 10.8", c.location);
  product.components.clear();
  m.machine().msi().Register(product);
  const MachineSnapshot before = MachineSnapshot::Take(m.machine());
  const auto codes = VendorCodes(m.machine());
  // The product's own component file goes with its uninstall, wherever its
  // package put it; the log is written.
  auto upper = [](std::wstring text) {
    for (auto& ch : text) ch = UpcaseChar(ch);
    return text;
  };
  // The vendor's folder (the Quillo folder in it, its links) may go; the
  // log is written.
  const std::vector<std::wstring> entitled = {upper(kVendor), L"C:\\TEMP\\GUARD.LOG"};

  const RunResult r = RunTool(m, std::wstring(arguments) + L" -log C:\\Temp\\guard.log");
  EXPECT_TRUE(r.log.ends_with("**** Exiting the ZENTA Cleanup Tool Application *****")) << r.log;
  const MachineSnapshot after = MachineSnapshot::Take(m.machine());
  for (const auto& change : Differences(before, after)) {
    EXPECT_TRUE(EntitledToChange(change, codes, entitled, before)) << "changed: " << ToUtf8(change.what) << "\n"
                                                                   << r.log;
  }
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class GuardedLocation : public ::testing::TestWithParam<Case> {};

TEST_P(GuardedLocation, LeavesEverythingOutsideTheVendorsScopeAsItWas) {
  RunCase(GetParam(), L"-all -folder");
  RunCase(GetParam(), L"-quillo -folder");
}

const Case kCases[] = {
    // Links on the way to the location.
    {"a junction in the vendor folder into the Windows folder",
     [](ScenarioMachine& m) { MakeLink(m, kQuilloFolder + L"\\lnk", L"C:\\WINDOWS"); },
     kQuilloFolder + L"\\lnk\\system32\\"},
    {"a junction in the vendor folder into the profiles root",
     [](ScenarioMachine& m) { MakeLink(m, kQuilloFolder + L"\\users", L"C:\\Users"); },
     kQuilloFolder + L"\\users\\Admin"},
    {"the same junction, into the Public profile's documents",
     [](ScenarioMachine& m) { MakeLink(m, kQuilloFolder + L"\\users", L"C:\\Users"); },
     kQuilloFolder + L"\\users\\Public\\Documents\\"},
    {"a junction to the drive's root", [](ScenarioMachine& m) { MakeLink(m, kQuilloFolder + L"\\root", L"C:\\"); },
     kQuilloFolder + L"\\root\\"},
    // Files and missing paths in the system folder.
    {"a file in the system folder", nullptr, L"C:\\WINDOWS\\system32\\kernel32.dll"},
    {"a missing folder in the system folder", nullptr, L"C:\\WINDOWS\\system32\\missing\\"},
    {"a missing folder spelled around the Windows folder", nullptr, L"C:\\Program Files\\..\\WINDOWS\\gone\\"},
    // Profiles, the tool's folders.
    {"a user's profile", nullptr, L"C:\\Users\\Admin\\"},
    {"another user's profile", nullptr, L"C:\\Users\\Bob"},
    {"a known folder", nullptr, L"C:\\Users\\Admin\\Documents\\"},
    {"the roaming application data", nullptr, L"C:\\Users\\Admin\\AppData\\Roaming"},
    {"the Public profile", nullptr, L"C:\\Users\\Public\\"},
    {"ProgramData", nullptr, L"C:\\ProgramData\\"},
    {"the current directory, where MSIZap lives", nullptr, L"C:\\Tools\\"},
    {"the TMP folder", nullptr, L"C:\\Temp"},
    // A guarded folder that is itself a link.
    {"Documents and Settings as a junction to the profiles root",
     [](ScenarioMachine& m) { MakeLink(m, L"C:\\Documents and Settings", L"C:\\Users"); },
     L"C:\\Documents and Settings\\"},
    {"a profile reached through that junction",
     [](ScenarioMachine& m) { MakeLink(m, L"C:\\Documents and Settings", L"C:\\Users"); },
     L"C:\\Documents and Settings\\Admin\\"},
    // Short names and other spellings Windows resolves.
    {"the programs folder by its short name", nullptr, L"C:\\PROGRA~1\\"},
    {"a profile's known folder by its short name", nullptr, L"C:\\Users\\Admin\\DOCUME~1"},
    {"the Windows folder with a trailing period", nullptr, L"C:\\WINDOWS.\\system32\\"},
    {"the programs folder with forward slashes", nullptr, L"c:/program files/"},
    {"the programs folder, climbing out of the vendor folder", nullptr, kQuilloFolder + L"\\..\\..\\"},
    {"the root of a drive the machine does not have", nullptr, L"D:\\"},
    {"a long-path prefix to the Windows folder", nullptr, L"\\\\?\\C:\\WINDOWS\\"},
};

INSTANTIATE_TEST_SUITE_P(Attempts, GuardedLocation, ::testing::ValuesIn(kCases));

// The refusals are told with the lines the log already knows.
TEST(ScopeGuard, RefusalsAreLoggedWithTheSensitiveLines) {
  ScenarioMachine m;
  AddRemovalPrograms(m);
  SeedSentinels(m);
  MakeLink(m, kQuilloFolder + L"\\lnk", L"C:\\WINDOWS");
  m.machine().msi().Register(VendorProduct(kQuilloCode, L"Quillo Software 10.8", kQuilloFolder + L"\\lnk\\system32\\"));
  const RunResult r = RunTool(m, L"-quillo -folder");
  EXPECT_NE(
      r.log.find("Sensitive Folder! Will not remove contents of: " + ToUtf8(kQuilloFolder) + "\\lnk\\system32\\\r\n"),
      std::string::npos)
      << r.log;
  EXPECT_NE(r.log.find("Sensitive Path! Will not remove Shared DLL registry entries for: " + ToUtf8(kQuilloFolder) +
                       "\\lnk\\system32\\\r\n"),
            std::string::npos);
  // A file is refused with the folder line and the file's path.
  ScenarioMachine file;
  AddRemovalPrograms(file);
  SeedSentinels(file);
  file.machine().msi().Register(VendorProduct(kQuilloCode, L"Quillo Software 10.8", L"C:\\Tools\\MSIZap.exe"));
  const RunResult f = RunTool(file, L"-quillo -folder");
  EXPECT_NE(f.log.find("Sensitive Folder! Will not remove contents of: C:\\Tools\\MSIZap.exe\r\n"), std::string::npos)
      << f.log;
  EXPECT_EQ(file.ReadFile(L"C:\\Tools\\MSIZap.exe"), "MZ");
}

// What a removal may take is still taken: a vendor folder deeper inside a
// profile, or spelled with short names, goes.
TEST(ScopeGuard, VendorFoldersInsideProfilesOrBehindShortNamesStayRemovable) {
  for (const std::wstring& location : {std::wstring(L"C:\\Users\\Admin\\AppData\\Local\\ZENTA Technologies\\Quillo\\"),
                                       std::wstring(L"C:\\PROGRA~1\\ZENTAT~1\\QUILLO~1\\")}) {
    SCOPED_TRACE(ToUtf8(location));
    ScenarioMachine m;
    AddRemovalPrograms(m);
    SeedSentinels(m);
    m.WriteFile(L"C:\\Users\\Admin\\AppData\\Local\\ZENTA Technologies\\Quillo\\cache.bin", "cache");
    m.WriteFile(kQuilloFolder + L"\\Quillo.exe", "MZ");
    m.machine().msi().Register(VendorProduct(kQuilloCode, L"Quillo Software 10.8", location));
    const RunResult r = RunTool(m, L"-quillo -folder");
    EXPECT_EQ(r.log.find("Sensitive"), std::string::npos) << r.log;
    EXPECT_FALSE(m.Exists(location));
    EXPECT_EQ(m.ReadFile(L"C:\\Users\\Admin\\AppData\\Roaming\\mail.db"), "mail");
    EXPECT_EQ(m.ReadFile(L"C:\\Users\\Admin\\Documents\\thesis.docx"), "thesis");
  }
}

// The open log is never deleted: the walk passes over it, and the folders
// that hold it stay; the run still ends with its closing line.
TEST(ScopeGuard, TheOpenLogInsideAVendorFolderSurvivesItsRemoval) {
  ScenarioMachine m;
  AddRemovalPrograms(m);
  m.WriteFile(kQuilloFolder + L"\\Quillo.exe", "MZ");
  m.WriteFile(kQuilloFolder + L"\\Logs\\old.txt", "old");
  m.machine().msi().Register(VendorProduct(kQuilloCode, L"Quillo Software 10.8", kQuilloFolder + L"\\"));
  const std::wstring log = kQuilloFolder + L"\\Logs\\zc.log";
  const RunResult r = RunTool(m, L"-all -folder -log \"" + log + L"\"");
  EXPECT_EQ(r.logPath, log);
  EXPECT_TRUE(r.log.ends_with("**** Exiting the ZENTA Cleanup Tool Application *****")) << r.log;
  EXPECT_NE(r.log.find("Sensitive Folder! Will not remove contents of: " + ToUtf8(log) + "\r\n"), std::string::npos);
  EXPECT_FALSE(m.Exists(kQuilloFolder + L"\\Logs\\old.txt"));
  EXPECT_FALSE(m.Exists(kQuilloFolder + L"\\Quillo.exe"));
  EXPECT_TRUE(m.Exists(log));
}

// The gallery step of a product without a location names no file at the
// root of the drive.
TEST(ScopeGuard, AnEmptyInstallLocationIsNeverAPathAtTheDriveRoot) {
  for (const wchar_t* arguments : {L"-all -folder", L"-all -dryrun"}) {
    ScenarioMachine m;
    AddRemovalPrograms(m);
    m.WriteFile(L"C:\\gallery setup.exe", "root");
    m.WriteFile(L"C:\\Tools\\gallery setup.exe", "tools");
    m.machine().msi().Register(
        VendorProduct(L"{8D3E5A20-6B1C-4F7E-A2D9-3C4B5E6F7A81}", L"ZENTA Brevano Suite 3.0", L""));
    const RunResult r = RunTool(m, arguments);
    EXPECT_EQ(r.log.find("Gallery Setup"), std::string::npos) << r.log;
    EXPECT_EQ(m.ReadFile(L"C:\\gallery setup.exe"), "root");
    EXPECT_EQ(m.ReadFile(L"C:\\Tools\\gallery setup.exe"), "tools");
  }
}

// The side-by-side clean-up never enters a link in the store.
TEST(ScopeGuard, TheSideBySideCleanUpNeverEntersALink) {
  auto config = ScenarioMachine::DefaultConfig();
  config.version = OsVersion{5, 1};
  ScenarioMachine m(config);
  AddRemovalPrograms(m);
  m.WriteFile(L"C:\\Documents and Settings\\Admin\\My Documents\\a.dll", "mine");
  m.WriteFile(L"C:\\WINDOWS\\winsxs\\x86_zentatech.quillo_1.0\\q.dll", "MZ");
  MakeLink(m, L"C:\\WINDOWS\\winsxs\\x86_zentatech.evil_1.0", L"C:\\Documents and Settings\\Admin\\My Documents");
  MakeLink(m, L"C:\\WINDOWS\\winsxs\\Policies\\x86_policy.zentatech.evil",
           L"C:\\Documents and Settings\\Admin\\My Documents");
  const RunResult r = RunTool(m, L"-all -folder");
  EXPECT_EQ(m.ReadFile(L"C:\\Documents and Settings\\Admin\\My Documents\\a.dll"), "mine");
  EXPECT_FALSE(m.Exists(L"C:\\WINDOWS\\winsxs\\x86_zentatech.quillo_1.0"));
  EXPECT_EQ(r.log.find("My Documents\\a.dll"), std::string::npos) << r.log;
  EXPECT_EQ(r.log.find("evil_1.0\\a.dll"), std::string::npos) << r.log;
}

// Each destructive call of the guard holds its permit to what it covers: a
// call outside it is a slip, refused with 5, and changes nothing.
struct GuardCall {
  const char* name;
  std::function<WinError(ScopeGuard&, Engine&)> call;
  std::wstring untouched;  // the file that must still be there
};

class GuardCalls : public testing::TestWithParam<GuardCall> {};

const std::wstring kOther = L"C:\\Program Files\\Harbor Lane\\hl.dll";
const std::wstring kQuilloExe = kQuilloFolder + L"\\Quillo.exe";
const std::wstring kGuardLog = kQuilloFolder + L"\\Logs\\zc.log";

TEST_P(GuardCalls, ACallOutsideItsPermitIsRefusedAsASlip) {
  Engine e;
  e.m.WriteFile(kOther, "harbor");
  e.m.WriteFile(kQuilloExe, "MZ");
  e.m.WriteFile(kGuardLog, "log");
  SetSharedCount(e.m, kOther, 3);
  ScopeGuard& guard = e.app.Guard();
  guard.SetLogFile(kGuardLog);
  SlipCatcher slips;
  EXPECT_EQ(GetParam().call(guard, e), err::kAccessDenied);
  EXPECT_EQ(slips.slips().size(), 1u);
  EXPECT_EQ(guard.slips(), 1);
  EXPECT_TRUE(e.m.Exists(GetParam().untouched));
  EXPECT_EQ(SharedDllNames(e.m).size(), 1u);
}

ScopeGuard::Permit Tree(ScopeGuard& guard, const std::wstring& folder) {
  auto permit = guard.PermitTree(folder);
  EXPECT_TRUE(permit.has_value());
  return permit.value_or(*guard.PermitTree(kQuilloFolder));
}

INSTANTIATE_TEST_SUITE_P(
    ScopeGuard, GuardCalls,
    testing::Values(
        GuardCall{"DeleteFileOutsideTheTree",
                  [](ScopeGuard& g, Engine&) { return g.DeleteFile(Tree(g, kQuilloFolder), kOther); }, kOther},
        GuardCall{"DeleteFileBelowAFilePermit",
                  [](ScopeGuard& g, Engine&) { return g.DeleteFile(*g.PermitFile(kQuilloFolder), kQuilloExe); },
                  kQuilloExe},
        GuardCall{"DeleteFileOfTheOpenLog",
                  [](ScopeGuard& g, Engine&) { return g.DeleteFile(Tree(g, kQuilloFolder), kGuardLog); }, kGuardLog},
        GuardCall{"SetAttributesOfTheOpenLog",
                  [](ScopeGuard& g, Engine&) {
                    return g.SetAttributes(Tree(g, kQuilloFolder), kGuardLog, fileattr::kNormal);
                  },
                  kGuardLog},
        GuardCall{"RemoveFolderOutsideTheTree",
                  [](ScopeGuard& g, Engine&) {
                    return g.RemoveFolder(Tree(g, kQuilloFolder), L"C:\\Program Files\\Harbor Lane");
                  },
                  kOther},
        GuardCall{"DeleteAtRestartOutsideTheTree",
                  [](ScopeGuard& g, Engine&) { return g.ScheduleDeleteAtReboot(Tree(g, kQuilloFolder), kOther); },
                  kOther},
        GuardCall{"SharedDllsValueOutsideItsFolder",
                  [](ScopeGuard& g, Engine& e) {
                    UniqueRegKey key(e.m.machine().registry());
                    e.m.machine().registry().OpenKey(kHkeyLocalMachine, kSharedDlls, RegAccess::kAllAccess, key.put());
                    return g.DeleteSharedDllsValue(e.m.machine().registry(), key.get(), kQuilloFolder, kOther);
                  },
                  kOther}),
    [](const testing::TestParamInfo<GuardCall>& call) { return std::string(call.param.name); });

// The guard's own judgement, asked directly: what it refuses whatever the
// steps before it have checked, and what it still allows.
struct Judgement {
  const char* name;
  enum Kind { kTree, kFile, kAssembly } kind;
  std::wstring path;
  bool permitted;
  const char* failing = nullptr;  // a call that fails with 5 on `failingTarget`
  std::wstring failingTarget = {};
};

class GuardJudgements : public testing::TestWithParam<Judgement> {};

TEST_P(GuardJudgements, PermitsExactlyWhatIsTheVendors) {
  ScenarioMachine m;
  m.MakeFolder(L"C:\\WINDOWS\\system32\\drivers");
  m.MakeFolder(L"C:\\Users\\Admin\\Documents");
  m.WriteFile(L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Quillo.exe", "MZ");
  m.WriteFile(L"C:\\Program Files\\Harbor Lane\\hl.dll", "harbor");
  m.WriteFile(L"C:\\Program Files\\readme.txt", "programs");
  m.WriteFile(L"C:\\boot.ini", "boot");
  m.WriteFile(kGuardLog, "log");
  m.WriteFile(L"C:\\WINDOWS\\winsxs\\x86_zentatech.quillo_1.0\\q.dll", "MZ");
  m.WriteFile(L"C:\\WINDOWS\\winsxs\\x86_other.vendor_1.0\\o.dll", "MZ");
  m.WriteFile(L"C:\\Users\\Admin\\Documents\\a.dll", "mine");
  // A profile that only the registry knows of, outside the profiles root.
  m.MakeFolder(L"C:\\Home\\Bob\\Documents");
  sim::WriteText(m.machine().nativeRegistry(), kHkeyLocalMachine,
                 L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-7-7-7-1002",
                 L"ProfileImagePath", L"C:\\Home\\Bob");
  fs::create_directory_symlink(m.Host(L"C:\\Users\\Admin\\Documents"),
                               m.Host(L"C:\\WINDOWS\\winsxs\\x86_zentatech.evil_1.0"));
  VEZEZERidivorOde app(m.machine().platform());
  ScopeGuard& guard = app.Guard();
  guard.SetLogFile(kGuardLog);
  const Judgement& j = GetParam();
  if (j.failing) m.machine().faults().Add(sim::FaultRule{j.failing, j.failingTarget, err::kAccessDenied, -1});
  bool permitted = false;
  switch (j.kind) {
    case Judgement::kTree: permitted = guard.PermitTree(j.path).has_value(); break;
    case Judgement::kFile: permitted = guard.PermitFile(j.path).has_value(); break;
    case Judgement::kAssembly:
      permitted = guard.PermitAssembly(j.path, L"C:\\WINDOWS\\winsxs", L"zentatech").has_value();
      break;
  }
  EXPECT_EQ(permitted, j.permitted) << ToUtf8(j.path);
}

INSTANTIATE_TEST_SUITE_P(
    ScopeGuard, GuardJudgements,
    testing::Values(
        Judgement{"AFolderInsideTheSystemFolder", Judgement::kTree, L"C:\\WINDOWS\\system32\\drivers", false},
        Judgement{"AMissingFolderInsideTheWindowsFolder", Judgement::kTree, L"C:\\WINDOWS\\ZENTA", false},
        Judgement{"TheDrivesRoot", Judgement::kTree, L"C:\\", false},
        Judgement{"AMissingDrivesRoot", Judgement::kTree, L"Q:\\", false},
        Judgement{"TheProgramsFolder", Judgement::kTree, L"C:\\Program Files", false},
        Judgement{"AProfile", Judgement::kTree, L"C:\\Users\\Admin", false},
        Judgement{"AKnownFolder", Judgement::kTree, L"C:\\Users\\Admin\\Documents", false},
        Judgement{"TheTmpFolder", Judgement::kTree, L"C:\\Temp", false},
        Judgement{"ARegisteredProfileOutsideTheProfilesRoot", Judgement::kTree, L"C:\\Home\\Bob", false},
        Judgement{"ItsKnownFolder", Judgement::kTree, L"C:\\Home\\Bob\\Documents", false},
        Judgement{"TheCurrentDirectory", Judgement::kTree, L"C:\\Tools", false},
        Judgement{"TheVendorsFolder", Judgement::kTree, L"C:\\Program Files\\ZENTA Technologies\\Quillo Software",
                  true},
        Judgement{"AFolderInsideTheTmpFolder", Judgement::kTree, L"C:\\Temp\\ZENTA", true},
        Judgement{"AFileInsideTheWindowsFolder", Judgement::kFile, L"C:\\WINDOWS\\system32\\drivers\\x.sys", false},
        Judgement{"AFileInTheDrivesRoot", Judgement::kFile, L"C:\\boot.ini", false},
        Judgement{"AFileDirectlyInTheProgramsFolder", Judgement::kFile, L"C:\\Program Files\\readme.txt", false},
        Judgement{"TheOpenLog", Judgement::kFile, kGuardLog, false},
        Judgement{"TheOpenLogSpelledInOtherCase", Judgement::kFile,
                  L"c:\\program files\\zenta technologies\\QUILLO SOFTWARE\\logs\\ZC.LOG", false},
        Judgement{"AVendorFile", Judgement::kFile,
                  L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Quillo.exe", true},
        Judgement{"AVendorFolderThatCannotBeResolved", Judgement::kTree, kQuilloFolder, false,
                  "GetFinalPathNameByHandle", kQuilloFolder},
        Judgement{"AMissingFolderBelowOneThatCannotBeResolved", Judgement::kTree, kQuilloFolder + L"\\Missing", false,
                  "GetFinalPathNameByHandle", kQuilloFolder},
        Judgement{"AVendorFolderWhoseAttributesCannotBeRead", Judgement::kTree, kQuilloFolder, false,
                  "GetFileAttributes", kQuilloFolder},
        Judgement{"TheVendorsAssembly", Judgement::kAssembly, L"C:\\WINDOWS\\winsxs\\x86_zentatech.quillo_1.0\\q.dll",
                  true},
        Judgement{"AnotherVendorsAssembly", Judgement::kAssembly, L"C:\\WINDOWS\\winsxs\\x86_other.vendor_1.0\\o.dll",
                  false},
        Judgement{"AnAssemblyThroughALink", Judgement::kAssembly, L"C:\\WINDOWS\\winsxs\\x86_zentatech.evil_1.0\\a.dll",
                  false},
        Judgement{"AnAssemblyOutsideTheStore", Judgement::kAssembly, L"C:\\WINDOWS\\x86_zentatech.quillo_1.0\\q.dll",
                  false},
        Judgement{"AnAssemblyInAFolderSpelledLikeTheStore", Judgement::kAssembly,
                  L"C:\\WINDOWS\\winsxx\\x86_zentatech.quillo_1.0\\q.dll", false},
        Judgement{"AFileOutsideEveryProtectedFolder", Judgement::kFile, L"C:\\Program Files\\Harbor Lane\\hl.dll",
                  true}),
    [](const testing::TestParamInfo<Judgement>& judgement) { return std::string(judgement.param.name); });

// Run as SYSTEM, whose own profile lies under the Windows folder, every
// user's profile and its known folders stay protected.
TEST(ProtectedFolders, AsSystemEveryProfileIsStillProtected) {
  auto config = ScenarioMachine::DefaultConfig();
  config.user = sim::kSystemSid;
  ScenarioMachine m(config);
  m.MakeFolder(L"C:\\Users\\Admin\\Documents");
  m.MakeFolder(L"C:\\Users\\Pat\\AppData\\Local");
  m.MakeFolder(L"C:\\WINDOWS\\system32\\config\\systemprofile");
  auto platform = m.machine().platform();
  const ProtectedFolders folders = GatherProtectedFolders(platform);
  const auto has = [&](const std::wstring& path) {
    return std::any_of(folders.itself.begin(), folders.itself.end(),
                       [&](const std::wstring& f) { return EqualsNoCase(f, path); });
  };
  for (const wchar_t* path :
       {L"C:\\Users\\Admin", L"C:\\Users\\Admin\\Documents", L"C:\\Users\\Pat", L"C:\\Users\\Pat\\AppData\\Local"}) {
    EXPECT_TRUE(has(path)) << ToUtf8(path);
  }
}

}  // namespace
}  // namespace zc::test
