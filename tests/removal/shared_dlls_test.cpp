// SharedDlls references of a folder: the walk by index that re-reads the
// value moved into a freed index, list-only mode, and the sensitive test.
#include <gtest/gtest.h>

#include "removal/removal_support.h"

namespace zc::test {
namespace {

const std::wstring kFolder = L"C:\\Program Files\\ZENTA Technologies\\Quillo Software";
const std::string kHeader =
    "\r\n*** List of ZENTA Related Shared DLL registry entries for path  C:\\Program Files\\ZENTA Technologies\\Quillo "
    "Software\r\n";

TEST(CleanSharedDlls, ConsecutiveMatchesAreAllRemovedAndNoneIsSkipped) {
  Engine e;
  SetSharedCount(e.m, kFolder + L"\\a.dll", 1);
  SetSharedCount(e.m, kFolder + L"\\b.dll", 2);
  SetSharedCount(e.m, kFolder + L"\\c.dll", 3);
  SetSharedCount(e.m, L"C:\\Program Files\\Harbor Lane\\hl.dll", 4);
  SetSharedCount(e.m, kFolder + L"\\d.dll", 5);
  EXPECT_TRUE(e.app.CleanSharedDlls(kSharedDlls, kFolder, true));
  EXPECT_EQ(
      e.Log(),
      kHeader +
          CrLf({"Removed Entry : C:\\Program Files\\ZENTA Technologies\\Quillo Software\\a.dll  -- Shared Count: 1",
                "Removed Entry : C:\\Program Files\\ZENTA Technologies\\Quillo Software\\b.dll  -- Shared Count: 2",
                "Removed Entry : C:\\Program Files\\ZENTA Technologies\\Quillo Software\\c.dll  -- Shared Count: 3",
                "Removed Entry : C:\\Program Files\\ZENTA Technologies\\Quillo Software\\d.dll  -- Shared Count: 5",
                ""}));
  EXPECT_EQ(SharedDllNames(e.m), std::vector<std::wstring>{L"C:\\Program Files\\Harbor Lane\\hl.dll"});
}

TEST(CleanSharedDlls, ListOnlyWritesEachMatchInItsOwnCaseAndChangesNothing) {
  Engine e;
  SetSharedCount(e.m, L"C:\\PROGRAM FILES\\ZENTA TECHNOLOGIES\\QUILLO SOFTWARE\\A.DLL", 1);
  SetSharedCount(e.m, L"C:\\WINDOWS\\system32\\msvcr90.dll", 7);
  SetSharedCount(e.m, kFolder + L"\\b.dll", 0xFFFFFFFFu);
  const auto before = SharedDllNames(e.m);
  EXPECT_TRUE(e.app.CleanSharedDlls(kSharedDlls, L"c:\\program files\\zenta technologies\\quillo software", false));
  EXPECT_EQ(e.Log(),
            "\r\n*** List of ZENTA Related Shared DLL registry entries for path  c:\\program files\\zenta "
            "technologies\\quillo software\r\n" +
                CrLf({"Entry Found: C:\\PROGRAM FILES\\ZENTA TECHNOLOGIES\\QUILLO SOFTWARE\\A.DLL  -- Shared Count: 1",
                      "Entry Found: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\b.dll  -- Shared Count: -1",
                      ""}));
  EXPECT_EQ(SharedDllNames(e.m), before);
}

TEST(CleanSharedDlls, AFolderRemovedJustBeforeIsStillCleaned) {
  Engine e;
  SetSharedCount(e.m, kFolder + L"\\a.dll", 1);
  ASSERT_FALSE(e.m.Exists(kFolder));
  EXPECT_TRUE(e.app.CleanSharedDlls(kSharedDlls, kFolder + L"\\", true));
  EXPECT_TRUE(SharedDllNames(e.m).empty());
}

TEST(CleanSharedDlls, AValueThatCannotBeDeletedLeavesAnEmptyLineAndTheWalkGoesOn) {
  Engine e;
  SetSharedCount(e.m, kFolder + L"\\a.dll", 1);
  SetSharedCount(e.m, kFolder + L"\\b.dll", 2);
  e.m.machine().faults().Add(sim::FaultRule{"RegDeleteValue", L"*", err::kAccessDenied, 1});
  EXPECT_TRUE(e.app.CleanSharedDlls(kSharedDlls, kFolder, true));
  EXPECT_EQ(e.Log(), kHeader +
                         "\r\nRemoved Entry : C:\\Program Files\\ZENTA Technologies\\Quillo Software\\b.dll  -- "
                         "Shared Count: 2\r\n");
  EXPECT_EQ(SharedDllNames(e.m), std::vector<std::wstring>{kFolder + L"\\a.dll"});
}

TEST(CleanSharedDlls, SensitiveFoldersAreRefusedBeforeTheRegistryIsTouched) {
  Engine e;
  SetSharedCount(e.m, L"C:\\WINDOWS\\system32\\msvcr90.dll", 7);
  SetSharedCount(e.m, L"C:\\Program Files\\Harbor Lane\\hl.dll", 1);
  e.m.MakeFolder(L"C:\\WINDOWS\\system32");
  EXPECT_FALSE(e.app.CleanSharedDlls(kSharedDlls, L"C:\\WINDOWS", true));
  EXPECT_FALSE(e.app.CleanSharedDlls(kSharedDlls, L"C:\\", true));
  EXPECT_FALSE(e.app.CleanSharedDlls(kSharedDlls, L"C:\\Program Files", true));
  EXPECT_EQ(e.Log(),
            CrLf({"Sensitive Path! Will not remove Shared DLL registry entries for: C:\\WINDOWS\\",
                  "Sensitive Path! Will not remove Shared DLL registry entries for: C:\\",
                  "Sensitive Path! Will not remove Shared DLL registry entries for: C:\\Program Files\\", ""}));
  EXPECT_EQ(SharedDllNames(e.m).size(), 2u);
}

TEST(CleanSharedDlls, ARelativeFolderIsRefusedEvenWhenItDoesNotExist) {
  Engine e;
  SetSharedCount(e.m, L"C:\\Program Files\\Harbor Lane\\Notes\\hlcore.dll", 1);
  SetSharedCount(e.m, L"C:\\WINDOWS\\system32\\msvcr90.dll", 7);
  EXPECT_FALSE(e.app.CleanSharedDlls(kSharedDlls, L"Notes", true));
  EXPECT_FALSE(e.app.CleanSharedDlls(kSharedDlls, L".", true));
  EXPECT_FALSE(e.app.CleanSharedDlls(kSharedDlls, L"\\", true));
  EXPECT_EQ(e.Log(), CrLf({"Sensitive Path! Will not remove Shared DLL registry entries for: Notes\\",
                           "Sensitive Path! Will not remove Shared DLL registry entries for: .\\",
                           "Sensitive Path! Will not remove Shared DLL registry entries for: \\", ""}));
  EXPECT_EQ(SharedDllNames(e.m).size(), 2u);
}

TEST(CleanSharedDlls, AnEmptyOrMissingKeyLeavesTheHeaderAlone) {
  Engine e;
  EXPECT_FALSE(e.app.CleanSharedDlls(kSharedDlls, kFolder, true));
  sim::EnsureKey(e.m.machine().nativeRegistry(), kHkeyLocalMachine, kSharedDlls);
  EXPECT_TRUE(e.app.CleanSharedDlls(kSharedDlls, kFolder, true));
  EXPECT_EQ(e.Log(), kHeader + kHeader);
}

// A value matches a folder only at a name boundary: the counts of a sibling
// whose name merely begins the same are another product's, and a lost count
// lets another uninstaller delete a file a third product still uses.
TEST(CleanSharedDlls, MatchesOnlyFilesBelowTheFolderNeverASiblingThatBeginsAlike) {
  Engine e;
  for (const wchar_t* name :
       {L"C:\\Program Files\\ZENTA Technologies Inc\\t.dll", L"C:\\Program Files\\ZENTA Technologies Partner\\p.dll",
        L"C:\\Program Files\\ZENTA Technologies.dll", L"C:\\Program Files\\ZENTA Technologies\\a.dll",
        L"c:\\program files\\zenta technologies\\Sub\\b.dll"}) {
    SetSharedCount(e.m, name, 1);
  }
  e.app.CleanSharedDlls(kSharedDlls, L"C:\\Program Files\\ZENTA Technologies", true);
  EXPECT_EQ(SharedDllNames(e.m), (std::vector<std::wstring>{L"C:\\Program Files\\ZENTA Technologies Inc\\t.dll",
                                                            L"C:\\Program Files\\ZENTA Technologies Partner\\p.dll",
                                                            L"C:\\Program Files\\ZENTA Technologies.dll"}));
  // With or without its trailing backslash, the folder means the same.
  SetSharedCount(e.m, L"C:\\Program Files\\ZENTA Technologies\\c.dll", 1);
  e.app.CleanSharedDlls(kSharedDlls, L"C:\\Program Files\\ZENTA Technologies\\", true);
  EXPECT_EQ(SharedDllNames(e.m).size(), 3u);
}

}  // namespace
}  // namespace zc::test
