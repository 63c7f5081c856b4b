// Folder removal: the depth-first walk, list-only mode, read-only files,
// the sensitive-folder rule, and links and too-wide folders, which must
// never cost the user anything behind them.
#include <gtest/gtest.h>

#include "removal/removal_support.h"

namespace zc::test {
namespace {

namespace fs = std::filesystem;

const std::wstring kVendor = L"C:\\Program Files\\ZENTA Technologies";
const std::wstring kProduct = kVendor + L"\\Quillo Software";
const std::wstring kDocuments = L"C:\\Users\\Admin\\Documents";
const std::wstring kSentinel = kDocuments + L"\\Quarterly report.docx";

std::uint32_t Attributes(ScenarioMachine& m, const std::wstring& path) {
  std::uint32_t a = 0;
  EXPECT_EQ(m.machine().fs().GetAttributes(path, &a), err::kSuccess) << ToUtf8(path);
  return a;
}

void MakeLink(ScenarioMachine& m, const std::wstring& link, const std::wstring& target) {
  fs::create_directories(m.Host(link).parent_path());
  fs::create_directory_symlink(m.Host(target), m.Host(link));
}

void SeedTree(ScenarioMachine& m) {
  m.WriteFile(kProduct + L"\\Quillo.exe", "MZ");
  m.WriteFile(kProduct + L"\\Settings\\license.dat", "licence");
  m.MakeFolder(kProduct + L"\\Empty");
  m.machine().fs().SetAttributes(kProduct + L"\\Settings\\license.dat", fileattr::kReadOnly | fileattr::kArchive);
}

TEST(RemoveFolderTree, ListOnlyNamesEveryFolderParentFirstAndChangesNothing) {
  Engine e;
  SeedTree(e.m);
  const auto before = Attributes(e.m, kProduct + L"\\Settings\\license.dat");
  EXPECT_TRUE(e.app.RemoveFolderTree(kProduct, false));
  EXPECT_EQ(e.Log(), CrLf({"Folder found: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\*.*",
                           "Folder found: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Empty\\*.*",
                           "Folder found: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Settings\\*.*", ""}));
  EXPECT_EQ(e.m.ReadFile(kProduct + L"\\Quillo.exe"), "MZ");
  EXPECT_EQ(Attributes(e.m, kProduct + L"\\Settings\\license.dat"), before);
  EXPECT_TRUE(e.m.Exists(kProduct + L"\\Empty"));
}

TEST(RemoveFolderTree, RemovalClearsReadOnlyAndRemovesBottomUp) {
  Engine e;
  SeedTree(e.m);
  e.app.RemoveFolderTree(kProduct, true);
  EXPECT_EQ(e.Log(),
            CrLf({"Removing Folder: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\*.*",
                  "Removing Folder: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Empty\\*.*",
                  "Removing Folder: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Settings\\*.*", ""}));
  EXPECT_FALSE(e.m.Exists(kProduct));
  EXPECT_TRUE(e.m.Exists(kVendor));
}

TEST(RemoveFolderTree, AMissingOrEmptyFolderIsReported) {
  Engine e;
  e.app.RemoveFolderTree(kProduct, true);
  e.app.RemoveFolderTree(L"", false);
  EXPECT_EQ(e.Log(), CrLf({"Folder not found: \"C:\\Program Files\\ZENTA Technologies\\Quillo Software\"",
                           "Folder not found: \"\"", ""}));
}

TEST(RemoveFolderTree, APathNamingAFileDeletesItWithoutALine) {
  Engine e;
  e.m.WriteFile(kProduct + L"\\a.dll");
  e.app.RemoveFolderTree(kProduct + L"\\a.dll", true);
  EXPECT_FALSE(e.m.Exists(kProduct + L"\\a.dll"));
  EXPECT_EQ(e.Log(), "");
}

TEST(RemoveFolderTree, ASystemSubFolderStaysWithItsParentAndTheRestGoes) {
  Engine e;
  e.m.WriteFile(kProduct + L"\\a.dll");
  e.m.WriteFile(kProduct + L"\\Cache\\index.dat");
  e.m.WriteFile(kProduct + L"\\Sys\\keep.bin", "keep");
  e.m.machine().fs().SetAttributes(kProduct + L"\\Sys", fileattr::kDirectory | fileattr::kSystem);
  e.app.RemoveFolderTree(kProduct, true);
  EXPECT_EQ(e.Log(), CrLf({"Removing Folder: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\*.*",
                           "Removing Folder: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Cache\\*.*",
                           "Sensitive Folder! Will not remove contents of: C:\\Program Files\\ZENTA "
                           "Technologies\\Quillo Software\\Sys\\",
                           ""}));
  EXPECT_EQ(e.m.ReadFile(kProduct + L"\\Sys\\keep.bin"), "keep");
  EXPECT_TRUE(e.m.Exists(kProduct));
  EXPECT_FALSE(e.m.Exists(kProduct + L"\\a.dll"));
  EXPECT_FALSE(e.m.Exists(kProduct + L"\\Cache"));
}

// Inside a tree, a file's attributes come from its folder's listing: the
// walk makes no call for a file but the ones that change it. This is what
// keeps the removal of a large tree close to the cost of its deletions.
TEST(RemoveFolderTree, AFileInsideTheTreeCostsOnlyItsDeletion) {
  Engine e;
  SeedTree(e.m);
  e.m.WriteFile(kProduct + L"\\Settings\\user.ini", "u");
  auto& faults = e.m.machine().faults();
  faults.RecordCalls(true);
  e.app.RemoveFolderTree(kProduct, true);
  std::vector<std::string> fileCalls;
  for (const auto& [operation, target] : faults.recorded()) {
    if (target.ends_with(L".exe") || target.ends_with(L".dat") || target.ends_with(L".ini")) {
      fileCalls.push_back(operation.name() + " " + ToUtf8(target.substr(kProduct.size() + 1)));
    }
  }
  EXPECT_EQ(fileCalls, (std::vector<std::string>{"DeleteFile Quillo.exe", "SetFileAttributes Settings\\license.dat",
                                                 "DeleteFile Settings\\license.dat", "DeleteFile Settings\\user.ini"}));
  EXPECT_FALSE(e.m.Exists(kProduct));
}

TEST(RemoveFolderTree, AReadOnlyFileThatCannotBeMadeWritableStaysWithItsFolders) {
  Engine e;
  SeedTree(e.m);
  e.m.machine().faults().Add({"SetFileAttributes", kProduct + L"\\Settings\\license.dat", err::kAccessDenied});
  e.app.RemoveFolderTree(kProduct, true);
  EXPECT_EQ(e.m.ReadFile(kProduct + L"\\Settings\\license.dat"), "licence");
  EXPECT_FALSE(e.m.Exists(kProduct + L"\\Quillo.exe"));
  EXPECT_FALSE(e.m.Exists(kProduct + L"\\Empty"));
  EXPECT_TRUE(e.m.Exists(kProduct + L"\\Settings"));
}
TEST(RemoveFolderTree, TheProgramsFolderIsGuardedAndAVendorFolderBelowItIsNot) {
  Engine e;
  e.m.WriteFile(kVendor + L"\\x.dll");
  e.app.RemoveFolderTree(L"C:\\Program Files\\", true);
  e.app.RemoveFolderTree(L"c:\\PROGRAM FILES", true);
  EXPECT_TRUE(e.m.Exists(kVendor + L"\\x.dll"));
  e.app.RemoveFolderTree(kVendor, true);
  EXPECT_FALSE(e.m.Exists(kVendor));
  EXPECT_EQ(e.Log(), CrLf({"Sensitive Folder! Will not remove contents of: C:\\Program Files\\",
                           "Sensitive Folder! Will not remove contents of: c:\\PROGRAM FILES\\",
                           "Removing Folder: C:\\Program Files\\ZENTA Technologies\\*.*", ""}));
}

TEST(RemoveFolderTree, AnythingInsideTheWindowsFolderIsGuardedWhateverItsCase) {
  Engine e;
  e.m.WriteFile(L"C:\\WINDOWS\\ZENTA\\z.dll");
  e.app.RemoveFolderTree(L"c:\\windows\\zenta", true);
  EXPECT_TRUE(e.m.Exists(L"C:\\WINDOWS\\ZENTA\\z.dll"));
  EXPECT_EQ(e.Log(), "Sensitive Folder! Will not remove contents of: c:\\windows\\zenta\\\r\n");
}

// Links: the link goes, what it points at stays, in both modes.
TEST(RemoveFolderTree, AJunctionInsideAVendorFolderIsRemovedWithoutEnteringIt) {
  Engine e;
  e.m.WriteFile(kSentinel, "report");
  e.m.WriteFile(kProduct + L"\\a.dll");
  MakeLink(e.m, kProduct + L"\\Docs", kDocuments);

  e.app.RemoveFolderTree(kProduct, false);
  EXPECT_EQ(e.Log(), CrLf({"Folder found: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\*.*",
                           "Link found: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Docs", ""}));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(e.m.Host(kProduct + L"\\Docs"))));

  const std::string listed = e.Log();
  e.app.RemoveFolderTree(kProduct, true);
  EXPECT_EQ(e.Log().substr(listed.size()),
            CrLf({"Removing Folder: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\*.*",
                  "Removing Link: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Docs", ""}));
  EXPECT_FALSE(e.m.Exists(kProduct));
  EXPECT_EQ(e.m.ReadFile(kSentinel), "report");
}

TEST(RemoveFolderTree, AVendorFolderThatIsItselfALinkIsJudgedByWhereItLeads) {
  // Into a vendor's other folder: the link goes, and what it leads to stays.
  {
    Engine e;
    e.m.WriteFile(L"C:\\Program Files\\ZENTA Technologies Inc\\keep.dll", "inc");
    MakeLink(e.m, kVendor, L"C:\\Program Files\\ZENTA Technologies Inc");
    e.app.RemoveFolderTree(kVendor, true);
    EXPECT_EQ(e.Log(), "Removing Link: C:\\Program Files\\ZENTA Technologies\r\n");
    EXPECT_FALSE(e.m.Exists(kVendor));
    EXPECT_EQ(e.m.ReadFile(L"C:\\Program Files\\ZENTA Technologies Inc\\keep.dll"), "inc");
  }
  // Into the user's Documents: refused, the link and the documents stay.
  {
    Engine e;
    e.m.WriteFile(kSentinel, "report");
    MakeLink(e.m, kVendor, kDocuments);
    e.app.RemoveFolderTree(kVendor, true);
    EXPECT_EQ(e.Log(), "Sensitive Folder! Will not remove contents of: C:\\Program Files\\ZENTA Technologies\\\r\n");
    EXPECT_TRUE(e.m.Exists(kVendor));
    EXPECT_EQ(e.m.ReadFile(kSentinel), "report");
  }
}

TEST(RemoveFolderTree, ALinkToAFileIsRemovedAndTheFileStays) {
  Engine e;
  e.m.WriteFile(kSentinel, "report");
  e.m.MakeFolder(kProduct);
  fs::create_symlink(e.m.Host(kSentinel), e.m.Host(kProduct) / "report.lnk");
  e.app.RemoveFolderTree(kProduct, true);
  EXPECT_FALSE(e.m.Exists(kProduct));
  EXPECT_EQ(e.m.ReadFile(kSentinel), "report");
}

// Install locations too wide to be any product's: each is refused with the
// sensitive-folder line and everything below it stays.
struct WideFolder {
  const wchar_t* location;
  const char* line;
};

class TooWideFolder : public ::testing::TestWithParam<WideFolder> {};

TEST_P(TooWideFolder, IsRefusedAndTheSentinelSurvives) {
  Engine e;
  e.m.WriteFile(kSentinel, "report");
  e.m.WriteFile(L"C:\\Tools\\sentinel.txt", "tools");
  e.m.WriteFile(L"C:\\Program Files\\Harbor Lane\\hl.dll", "MZ");
  e.m.WriteFile(L"C:\\ProgramData\\Harbor\\data.bin", "data");
  e.m.WriteFile(L"C:\\Program Files\\Common Files\\System\\s.dll", "MZ");
  e.app.RemoveFolderTree(GetParam().location, true);
  EXPECT_EQ(e.Log(), std::string("Sensitive Folder! Will not remove contents of: ") + GetParam().line + "\r\n");
  EXPECT_EQ(e.m.ReadFile(kSentinel), "report");
  EXPECT_EQ(e.m.ReadFile(L"C:\\Tools\\sentinel.txt"), "tools");
  EXPECT_EQ(e.m.ReadFile(L"C:\\Program Files\\Harbor Lane\\hl.dll"), "MZ");
  EXPECT_EQ(e.m.ReadFile(L"C:\\ProgramData\\Harbor\\data.bin"), "data");
  EXPECT_EQ(e.m.ReadFile(L"C:\\Program Files\\Common Files\\System\\s.dll"), "MZ");
}

INSTANTIATE_TEST_SUITE_P(
    Locations, TooWideFolder,
    ::testing::Values(
        WideFolder{L"C:\\", "C:\\"}, WideFolder{L"C:", "C:\\"}, WideFolder{L"C:\\Users", "C:\\Users\\"},
        WideFolder{L"C:\\Users\\", "C:\\Users\\"}, WideFolder{L"C:\\Program Files", "C:\\Program Files\\"},
        WideFolder{L"C:\\Program Files\\Common Files", "C:\\Program Files\\Common Files\\"},
        WideFolder{L"C:\\ProgramData", "C:\\ProgramData\\"}, WideFolder{L"C:\\WINDOWS\\..", "C:\\WINDOWS\\..\\"},
        WideFolder{L"C:\\Program Files\\ZENTA Technologies\\..\\..", "C:\\Program Files\\ZENTA Technologies\\..\\..\\"},
        WideFolder{L"C:\\Users\\.", "C:\\Users\\.\\"}, WideFolder{L"C:\\Users.", "C:\\Users.\\"},
        WideFolder{L"C:/", "C:/\\"}, WideFolder{L"..", "..\\"}, WideFolder{L".", ".\\"},
        WideFolder{L"..\\Tools", "..\\Tools\\"}, WideFolder{L"C:.", "C:.\\"}, WideFolder{L"\\", "\\"},
        WideFolder{L"\\Users", "\\Users\\"}));

TEST(RemoveFolderTree, AnAncestorOfTheWindowsFolderIsGuarded) {
  auto config = ScenarioMachine::DefaultConfig();
  config.windowsFolder = L"C:\\OS\\WINDOWS";
  config.systemFolder = L"C:\\OS\\WINDOWS\\system32";
  Engine e(config);
  e.m.WriteFile(L"C:\\OS\\boot.ini", "boot");
  e.app.RemoveFolderTree(L"C:\\OS", true);
  EXPECT_EQ(e.m.ReadFile(L"C:\\OS\\boot.ini"), "boot");
  EXPECT_EQ(e.Log(), "Sensitive Folder! Will not remove contents of: C:\\OS\\\r\n");
}

TEST(RemoveFolderTree, OnA64BitMachineTheOtherProgramsFolderIsGuarded) {
  auto config = ScenarioMachine::DefaultConfig();
  config.bits = 64;
  config.programsFolder.clear();
  config.ApplyDefaults();
  Engine e(config);
  e.m.WriteFile(L"C:\\Program Files\\Harbor Lane\\hl.dll", "MZ");
  e.m.WriteFile(L"C:\\Program Files (x86)\\ZENTA Technologies\\z.dll", "MZ");
  e.m.WriteFile(L"C:\\Program Files (x86)\\Common Files\\System\\s.dll", "MZ");
  e.app.RemoveFolderTree(L"C:\\Program Files", true);
  e.app.RemoveFolderTree(L"C:\\Program Files (x86)", true);
  e.app.RemoveFolderTree(L"C:\\Program Files (x86)\\Common Files\\", true);
  EXPECT_TRUE(e.m.Exists(L"C:\\Program Files\\Harbor Lane\\hl.dll"));
  EXPECT_TRUE(e.m.Exists(L"C:\\Program Files (x86)\\ZENTA Technologies\\z.dll"));
  EXPECT_EQ(e.Log(),
            CrLf({"Sensitive Folder! Will not remove contents of: C:\\Program Files\\",
                  "Sensitive Folder! Will not remove contents of: C:\\Program Files (x86)\\",
                  "Sensitive Folder! Will not remove contents of: C:\\Program Files (x86)\\Common Files\\", ""}));
  e.app.RemoveFolderTree(L"C:\\Program Files (x86)\\ZENTA Technologies", true);
  EXPECT_FALSE(e.m.Exists(L"C:\\Program Files (x86)\\ZENTA Technologies"));
}

TEST(IsFolderRemovable, RefusesOnlyWhatItMustAndNeverNeedsANormalisedTwin) {
  Engine e;
  e.m.MakeFolder(kProduct);
  e.m.MakeFolder(L"C:\\Users\\Admin\\Documents");
  e.m.MakeFolder(L"C:\\Program Files\\Common Files\\ZENTA Technologies");
  EXPECT_TRUE(e.app.IsFolderRemovable(kProduct + L"\\"));
  EXPECT_TRUE(e.app.IsFolderRemovable(L"C:\\Program Files\\Common Files\\ZENTA Technologies\\"));
  // A folder whose attributes cannot be read is refused.
  EXPECT_FALSE(e.app.IsFolderRemovable(L"C:\\Program Files\\Nowhere\\"));
  EXPECT_FALSE(e.app.IsFolderRemovable(L"C:\\WINDOWS\\system32\\"));
  EXPECT_FALSE(e.app.IsFolderRemovable(L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\..\\..\\"));
}

}  // namespace
}  // namespace zc::test
