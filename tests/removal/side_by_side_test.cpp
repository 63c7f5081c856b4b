// Side-by-side assemblies on Windows before Vista (a locked file goes at the
// next restart), the gallery content of the Brevano Suite, and the custom
// clean's family steps.
#include <gtest/gtest.h>

#include "removal/removal_support.h"
#include "removal/side_by_side.h"
#include "catalogue/families.h"

namespace zc::test {
namespace {

const std::wstring kStore = L"C:\\WINDOWS\\winsxs\\";
const std::wstring kAssembly = kStore + L"x86_zentatech.quillo_1.0";
const std::wstring kLocked = kAssembly + L"\\a.dll";

sim::MachineConfig WindowsXp() {
  auto config = ScenarioMachine::DefaultConfig();
  config.version = OsVersion{5, 1};
  return config;
}

void SeedStore(ScenarioMachine& m) {
  m.WriteFile(kLocked, "MZ");
  m.WriteFile(kAssembly + L"\\b.dll", "MZ");
  m.WriteFile(kStore + L"Policies\\x86_policy.1.0.zentatech.quillo\\1.0.policy", "<policy/>");
  m.WriteFile(kStore + L"Manifests\\x86_zentatech.quillo_1.0.manifest", "<assembly/>");
  m.WriteFile(kStore + L"Manifests\\x86_other.vendor_1.0.manifest", "<assembly/>");
}

// The store cleaned as the removal run cleans it, under a scope guard.
int CleanStore(Engine& e, bool& restart, bool apply) {
  return CleanSideBySideAssemblies(restart, apply, e.app.m_log, e.m.machine().fs(), e.m.machine().system(),
                                   e.app.Guard());
}

const std::vector<std::string> kListing = {
    " -- C:\\WINDOWS\\winsxs\\x86_zentatech.quillo_1.0\\a.dll",
    " -- C:\\WINDOWS\\winsxs\\x86_zentatech.quillo_1.0\\b.dll",
    " - C:\\WINDOWS\\winsxs\\x86_zentatech.quillo_1.0",
};

TEST(SideBySide, ALockedAssemblyFileIsScheduledForTheRestart) {
  Engine e(WindowsXp());
  SeedStore(e.m);
  e.m.machine().faults().Add(sim::FaultRule{"DeleteFile", kLocked, err::kSharingViolation, -1});
  bool restart = false;
  EXPECT_EQ(CleanStore(e, restart, true), 0);
  EXPECT_TRUE(restart);
  EXPECT_EQ(e.m.machine().PendingDeletes(), std::vector<std::wstring>{kLocked});
  EXPECT_TRUE(e.m.Exists(kLocked));
  EXPECT_FALSE(e.m.Exists(kAssembly + L"\\b.dll"));
  EXPECT_TRUE(e.m.Exists(kAssembly));  // not empty: stays, and is not scheduled
  EXPECT_FALSE(e.m.Exists(kStore + L"Policies\\x86_policy.1.0.zentatech.quillo"));
  EXPECT_FALSE(e.m.Exists(kStore + L"Manifests\\x86_zentatech.quillo_1.0.manifest"));
  EXPECT_TRUE(e.m.Exists(kStore + L"Manifests\\x86_other.vendor_1.0.manifest"));
  EXPECT_EQ(e.Log(), CrLf({"", "**** Applying ZENTA Assembly cleanup in folder: C:\\WINDOWS\\winsxs\\",
                           "     List of files being removed:", "", kListing[0], kListing[1], kListing[2], "",
                           "**** Applying ZENTA Policy cleanup in folder: C:\\WINDOWS\\winsxs\\Policies\\",
                           "     List of files being removed:", "",
                           " -- C:\\WINDOWS\\winsxs\\Policies\\x86_policy.1.0.zentatech.quillo\\1.0.policy",
                           " - C:\\WINDOWS\\winsxs\\Policies\\x86_policy.1.0.zentatech.quillo", "",
                           "**** Applying ZENTA Assembly cleanup in folder: C:\\WINDOWS\\winsxs\\Manifests\\",
                           "     List of files being removed:", "",
                           " -- C:\\WINDOWS\\winsxs\\Manifests\\x86_zentatech.quillo_1.0.manifest", ""}));
}

// A file that can be neither deleted nor scheduled stays, says so, and asks
// for no restart that would finish nothing.
TEST(SideBySide, AFileThatCannotBeScheduledIsToldAndAsksForNoRestart) {
  Engine e(WindowsXp());
  SeedStore(e.m);
  e.m.machine().faults().Add(sim::FaultRule{"DeleteFile", kLocked, err::kSharingViolation, -1});
  e.m.machine().faults().Add(sim::FaultRule{"MoveFileEx", kLocked, err::kAccessDenied, -1});
  bool restart = false;
  CleanStore(e, restart, true);
  EXPECT_FALSE(restart);
  EXPECT_TRUE(e.m.machine().PendingDeletes().empty());
  EXPECT_TRUE(e.m.Exists(kLocked));
  EXPECT_NE(e.Log().find(CrLf({kListing[0], "Cannot delete file: C:\\WINDOWS\\winsxs\\x86_zentatech.quillo_1.0\\a.dll",
                               kListing[1]})),
            std::string::npos)
      << e.Log();
}

TEST(SideBySide, ListOnlyWritesTheSameNamesAndTouchesNothing) {
  Engine e(WindowsXp());
  SeedStore(e.m);
  bool restart = false;
  CleanStore(e, restart, false);
  EXPECT_FALSE(restart);
  EXPECT_TRUE(e.m.Exists(kAssembly + L"\\b.dll"));
  EXPECT_TRUE(e.m.Exists(kStore + L"Manifests\\x86_zentatech.quillo_1.0.manifest"));
  EXPECT_EQ(e.Log().substr(0, 120),
            CrLf({"", "**** List of ZENTA Assembly files in folder: C:\\WINDOWS\\winsxs\\ that need to be cleaned up:",
                  "", kListing[0]})
                .substr(0, 120));
}

TEST(SideBySide, VistaAndLaterLeaveTheStoreAlone) {
  Engine e;
  SeedStore(e.m);
  bool restart = false;
  CleanStore(e, restart, true);
  EXPECT_EQ(e.Log(), "Inside ZENTA Assembly cleanup Vista or higher\r\n");
  EXPECT_TRUE(e.m.Exists(kLocked));
}

TEST(SideBySide, AnAllProductsRemovalWithALockedAssemblyEndsInARestart) {
  ScenarioMachine m(WindowsXp());
  AddRemovalPrograms(m);
  SeedStore(m);
  m.machine().faults().Add(sim::FaultRule{"DeleteFile", kLocked, err::kSharingViolation, -1});
  const auto r = RunTool(m, L"-all -folder");
  EXPECT_EQ(m.machine().PendingDeletes(), std::vector<std::wstring>{kLocked});
  EXPECT_NE(r.log.find("\r\n\r\n*** A system reboot will be triggered ***\r\n"
                       "*** Exiting the ZENTA Cleanup Tool Application ***"),
            std::string::npos)
      << r.log;
  EXPECT_EQ(r.exitStatus, exitstatus::kRestartInitiated);
}

// The gallery content of the Brevano Suite.
class Gallery : public ::testing::Test {
 protected:
  Gallery() {
    InstalledProduct p;
    p.m_strName = L"ZENTA Brevano Suite 3.0";
    p.m_strProductCode = L"{8D3E5A20-6B1C-4F7E-A2D9-3C4B5E6F7A81}";
    p.m_strInstallLocation = L"C:\\Program Files\\ZENTA Technologies\\Brevano Suite";
    e.app.m_installedProducts.push_back(p);
    e.m.WriteFile(kSetup, "MZ");
  }
  void Manifest(const std::wstring& value) {
    sim::WriteText(e.m.machine().nativeRegistry(), kHkeyLocalMachine,
                   std::wstring(L"SOFTWARE\\ZENTA Technologies Inc.\\Gallery\\TeamContent\\") + kGalleryServerHost,
                   L"imsmanifestxml", value);
  }
  const std::wstring kSetup = L"C:\\Program Files\\ZENTA Technologies\\Brevano Suite\\gallery setup.exe";
  Engine e;
};

TEST_F(Gallery, ReadOnlySetupIsDeletedAndTheContentFolderTakesThePlace) {
  e.m.machine().fs().SetAttributes(kSetup, fileattr::kReadOnly);
  Manifest(L"C:\\Program Files\\ZENTA Technologies\\Brevano Suite\\Gallery Content\\IMSManifest.XML");
  e.app.GalleryCleanup(0, true);
  EXPECT_FALSE(e.m.Exists(kSetup));
  EXPECT_EQ(
      e.Log(),
      CrLf({"Gallery Setup", "Deleting file: C:\\Program Files\\ZENTA Technologies\\Brevano Suite\\gallery setup.exe",
            "Gallery Content", "Path Found:  c:\\program files\\zenta technologies\\brevano suite\\gallery content\\",
            ""}));
  EXPECT_EQ(e.app.m_installedProducts[0].m_strInstallLocation,
            L"c:\\program files\\zenta technologies\\brevano suite\\gallery content\\");
}

// A setup program that cannot be deleted is told as still there, never as
// deleted.
TEST_F(Gallery, ASetupThatCannotBeDeletedIsToldAsSuch) {
  e.m.machine().faults().Add(sim::FaultRule{"DeleteFile", kSetup, err::kSharingViolation, -1});
  e.app.GalleryCleanup(0, true);
  EXPECT_TRUE(e.m.Exists(kSetup));
  EXPECT_EQ(e.Log(),
            CrLf({"Gallery Setup",
                  "Cannot delete file: C:\\Program Files\\ZENTA Technologies\\Brevano Suite\\gallery setup.exe", ""}));
}

TEST_F(Gallery, ListOnlyKeepsTheFileAndAValueWithoutTheManifestEmptiesTheLocation) {
  Manifest(L"C:\\Content\\index.html");
  e.app.GalleryCleanup(0, false);
  EXPECT_TRUE(e.m.Exists(kSetup));
  EXPECT_EQ(e.Log(),
            CrLf({"Gallery Setup",
                  "File to be removed: C:\\Program Files\\ZENTA Technologies\\Brevano Suite\\gallery setup.exe", ""}));
  EXPECT_EQ(e.app.m_installedProducts[0].m_strInstallLocation, L"");
}

// The custom clean.
TEST(CustomClean, ALabelOfNoFamilyWritesNothing) {
  Engine e;
  EXPECT_TRUE(e.app.CustomClean(L"", true, true));
  EXPECT_TRUE(e.app.CustomClean(L"quillo software", true, true));
  EXPECT_EQ(e.Log(), "");
}

TEST(CustomClean, QuilloInListOnlyModeIsRefusedWhileANewerQuorixRemains) {
  Engine e;
  e.app.m_bSilent = true;
  e.app.m_bQuorixNewerFound = true;
  EXPECT_FALSE(e.app.CustomClean(L"Quillo Software", false, false));
  e.app.m_log.Close();
  EXPECT_EQ(e.Log(), "\r\n04/12/2013 09:30:15 Custom cleaning: Quillo \r\n" +
                         CrLf({"**Action not permitted** ",
                               "Cannot custom clean Quillo. The following products need to be removed first:",
                               "- ZENTA Quorix Software", ""}));
  EXPECT_TRUE(e.m.machine().ui().shown().empty());
}

TEST(CustomClean, DriversWhileANewerDriversProductRemainsDeletesTheKeyButNotTheFolder) {
  Engine e;
  e.app.m_bSilent = true;
  e.app.m_bTavloDriversNewerFound = true;
  e.app.m_strTavloDriversFolder = L"C:\\Program Files\\ZENTA Technologies\\ZENTA Product Drivers";
  e.m.WriteFile(e.app.m_strTavloDriversFolder + L"\\d.sys");
  sim::WriteText(e.m.machine().nativeRegistry(), kHkeyLocalMachine, L"SOFTWARE\\ZENTA Technologies\\ZNTTavDriver",
                 L"Version", L"10.8");
  e.app.CustomClean(L"Tavlo/Product Drivers", true, true);
  EXPECT_FALSE(
      sim::KeyExists(e.m.machine().nativeRegistry(), kHkeyLocalMachine, L"SOFTWARE\\ZENTA Technologies\\ZNTTavDriver"));
  EXPECT_TRUE(e.m.Exists(e.app.m_strTavloDriversFolder + L"\\d.sys"));
  EXPECT_EQ(e.Log().find("folder"), std::string::npos);
}

TEST(CustomClean, InteractiveQuestionAnsweredNoLeavesTheFolderAndYesWithoutApplyOnlyLists) {
  Engine e;
  e.app.m_strConvexaFolder = L"C:\\Program Files\\ZENTA Technologies\\ZENTA Convexa";
  e.m.WriteFile(e.app.m_strConvexaFolder + L"\\c.dll");
  e.m.machine().ui().SetAnswers({"no", "yes"});
  EXPECT_TRUE(e.app.CustomClean(L"Convexa", true, true));
  EXPECT_TRUE(e.app.CustomClean(L"Convexa", false, true));
  const auto& shown = e.m.machine().ui().shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text,
            L"Convexa has been uninstalled. Would you like to remove the install folder:C:\\Program "
            L"Files\\ZENTA Technologies\\ZENTA Convexa from your system?");
  EXPECT_EQ(shown[0].caption, L"Folder Deletion Confirmation");
  EXPECT_TRUE(e.m.Exists(e.app.m_strConvexaFolder + L"\\c.dll"));
  const std::string log = e.Log();
  EXPECT_NE(log.find("\r\n\r\n**** List of folders that need to be Cleaned up\r\n\r\nFolder found: "),
            std::string::npos);
  EXPECT_EQ(log.find("**** Applying folder Cleanup"), std::string::npos);
}

}  // namespace
}  // namespace zc::test
