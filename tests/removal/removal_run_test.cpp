// The removal run: dependency refusals and their lines, the outcome lines,
// the folder question and folder loop in both modes, and the closing stage.
#include <gtest/gtest.h>

#include "removal/removal_support.h"

namespace zc::test {
namespace {

const std::string kStamp = "04/12/2013 09:30:15 ";
// Outside the vendor folders, which the closing stage removes as a whole.
const std::wstring kVendor = L"C:\\ZApps\\";

struct Seed {
  const wchar_t* code;
  const wchar_t* name;
  const wchar_t* folder;  // below the vendor folder
};

const Seed kCorvel{L"{11111111-1111-4111-8111-111111111111}", L"ZENTA Corvel Teacher 3.0", L"Corvel"};
const Seed kPlatform{L"{22222222-2222-4222-8222-222222222222}", L"ZENTA Platform 2.0", L"Platform"};
const Seed kVexil{L"{33333333-3333-4333-8333-333333333333}", L"ZENTA Vexil 1.5", L"Vexil"};
const Seed kQuillo{L"{44444444-4444-4444-8444-444444444444}", L"Quillo Software 10.8", L"Quillo"};
const Seed kQuorix{L"{55555555-5555-4555-8555-555555555555}", L"ZENTA Quorix 4.5", L"Quorix"};
const Seed kDrivers{L"{66666666-6666-4666-8666-666666666666}", L"Product Drivers 10.8", L"Drivers"};

std::string Str(const std::wstring& w) { return ToLogBytes(w); }
bool Has(const std::string& log, const std::string& part) { return log.find(part) != std::string::npos; }

class RemovalRun : public ::testing::Test {
 protected:
  // Registers the products (each with a file and a leftover in its folder)
  // and makes them the run's list, in this order.
  void Install(std::initializer_list<Seed> seeds) {
    for (const auto& s : seeds) {
      const std::wstring folder = kVendor + s.folder + L"\\";
      e.m.machine().msi().Register(VendorProduct(s.code, s.name, folder));
      e.m.WriteFile(folder + L"Logs\\leftover.log", "left");
      SetSharedCount(e.m, folder + L"main.exe", 1);
      InstalledProduct p;
      p.m_strName = s.name;
      p.m_strProductCode = s.code;
      p.m_strInstallLocation = folder;
      e.app.m_installedProducts.push_back(p);
    }
  }
  std::string Uninstalled(const Seed& s) {
    const std::string code = Str(s.code);
    return "\r\n" + kStamp + "Cleaning up " + Str(s.name) + "\r\n\r\nSuccessfully Executed Command:  MsiExec.exe /X" +
           code + "  REBOOT=ReallySuppress /qn\r\nAn MSI uninstall operation was performed successfully\r\n" +
           "\r\nRunning MSI Zap Command: \"C:\\Tools\\MSIZap.exe\" TWG! " + code +
           "\r\nThe MSIZAP Tool was run to cleanup left over MSI entries.\r\n";
  }
  void AllFlags() {
    e.app.m_bCorvelTeacherNewerFound = e.app.m_bQuorixNewerFound = e.app.m_bTavloDriversNewerFound =
        e.app.m_bQuilloNewerFound = true;
  }

  Engine e;
};

TEST_F(RemovalRun, PlatformIsRefusedWithOneLinePerFlagInTheFixedOrder) {
  Install({kPlatform, kVexil});
  AllFlags();
  e.app.m_bSilent = true;
  EXPECT_FALSE(e.app.RunRemoval(true, true, VEZEZERidivorOde::kAllProducts));
  EXPECT_EQ(
      e.Finish(),
      "\r\n" + kStamp + "Cleaning up ZENTA Platform 2.0\r\n" +
          CrLf({"**Action not permitted** ",
                "Cannot clean up ZENTA Platform 2.0. The following products need to be removed first:",
                "- ZENTA Corvel Teacher", "- ZENTA Quorix Software", "- ZENTA Product Drivers", "- ZENTA Quillo", ""}));
  EXPECT_EQ(e.app.m_nLastExitCode, -1);
  // Nothing after the refusal: no MSIZap, no next product, no folders.
  EXPECT_TRUE(e.m.machine().processes().runs().empty());
  EXPECT_TRUE(e.app.IsProductRegistered(kVexil.code));
  EXPECT_TRUE(e.m.Exists(kVendor + L"Vexil\\Logs\\leftover.log"));
  EXPECT_EQ(e.app.ExitStatus(), exitstatus::kRefused);
  EXPECT_TRUE(e.m.machine().ui().shown().empty());
}

TEST_F(RemovalRun, APlatformRefusalInAnInteractiveRunShowsTheMessage) {
  Install({kPlatform});
  e.app.m_bQuorixNewerFound = true;
  e.m.machine().ui().SetAnswers({"ok"});
  EXPECT_FALSE(e.app.RunRemoval(false, true, 0));
  ASSERT_EQ(e.m.machine().ui().shown().size(), 1u);
  EXPECT_EQ(e.m.machine().ui().shown()[0].caption, L"Action not permitted");
  EXPECT_EQ(e.m.machine().ui().shown()[0].text,
            L"Cannot clean up ZENTA Platform 2.0. The following products need to be removed first:\n"
            L"- ZENTA Quorix Software\n");
  EXPECT_EQ(e.m.machine().ui().shown()[0].kind, MessageBoxKind::kOk);
}

TEST_F(RemovalRun, ProductsRemovedFirstClearTheirFlagsAndThePlatformThenGoes) {
  Install({kCorvel, kQuorix, kDrivers, kQuillo, kPlatform});
  AllFlags();
  e.app.m_bSilent = true;
  EXPECT_TRUE(e.app.RunRemoval(false, true, VEZEZERidivorOde::kAllProducts));
  EXPECT_FALSE(e.app.m_bCorvelTeacherNewerFound || e.app.m_bQuorixNewerFound || e.app.m_bTavloDriversNewerFound ||
               e.app.m_bQuilloNewerFound);
  const std::string log = e.Log();
  EXPECT_TRUE(Has(log, Uninstalled(kPlatform))) << log;
  EXPECT_FALSE(e.app.IsProductRegistered(kPlatform.code));
  EXPECT_EQ(e.app.ExitStatus(), exitstatus::kCompleted);
}

TEST_F(RemovalRun, AFlagStillSetAfterEarlierProductsNamesOnlyWhatIsLeft) {
  Install({kCorvel, kPlatform});
  AllFlags();
  e.app.m_bSilent = true;
  EXPECT_FALSE(e.app.RunRemoval(false, true, VEZEZERidivorOde::kAllProducts));
  EXPECT_EQ(e.Finish(),
            Uninstalled(kCorvel) + "\r\n" + kStamp + "Cleaning up ZENTA Platform 2.0\r\n" +
                CrLf({"**Action not permitted** ",
                      "Cannot clean up ZENTA Platform 2.0. The following products need to be removed first:",
                      "- ZENTA Quorix Software", "- ZENTA Product Drivers", "- ZENTA Quillo", ""}));
  // The product handled before the refusal stays removed.
  EXPECT_FALSE(e.app.IsProductRegistered(kCorvel.code));
}

TEST_F(RemovalRun, PlatformPassesInAnAllProductsDryRunButNotInASingleOne) {
  Install({kPlatform});
  AllFlags();
  e.app.m_bSilent = true;
  EXPECT_TRUE(e.app.RunRemoval(false, false, VEZEZERidivorOde::kAllProducts));
  EXPECT_FALSE(Has(e.Log(), "Action not permitted"));
  EXPECT_FALSE(e.app.RunRemoval(false, false, 0));
  EXPECT_TRUE(Has(e.Finish(), "- ZENTA Corvel Teacher\r\n"));
  EXPECT_TRUE(e.app.IsProductRegistered(kPlatform.code));
  EXPECT_TRUE(e.m.machine().processes().runs().empty());
}

TEST_F(RemovalRun, QuilloIsRefusedWhileANewerQuorixRemains) {
  Install({kQuillo});
  e.app.m_bQuorixNewerFound = true;
  e.app.m_bSilent = true;
  EXPECT_FALSE(e.app.RunRemoval(false, true, VEZEZERidivorOde::kAllProducts));
  EXPECT_EQ(e.Finish(),
            "\r\n" + kStamp + "Cleaning up Quillo Software 10.8\r\n" +
                CrLf({"**Action not permitted** ",
                      "Cannot clean up Quillo Software 10.8. The following products need to be removed first:",
                      "- ZENTA Quorix Software", ""}));
  EXPECT_TRUE(e.app.IsProductRegistered(kQuillo.code));
}

TEST_F(RemovalRun, ASingleProductDryRunOfQuilloIsRefusedSilently) {
  Install({kQuillo});
  e.app.m_bQuorixNewerFound = true;
  e.app.m_bSilent = true;  // as the interactive dry run runs
  EXPECT_FALSE(e.app.RunRemoval(false, false, 0));
  // In an all-products dry run the Quillo record is passed over instead.
  EXPECT_TRUE(e.app.RunRemoval(false, false, VEZEZERidivorOde::kAllProducts));
  const std::string log = e.Finish();
  EXPECT_EQ(log.substr(0, log.find("\r\n\r\n" + kStamp + "Cleaning up")),
            "\r\n" + kStamp + "Cleaning up Quillo Software 10.8\r\n" +
                CrLf({"**Action not permitted** ",
                      "Cannot clean up Quillo Software 10.8. The following products need to be removed first:",
                      "- ZENTA Quorix Software"}));
  EXPECT_TRUE(e.m.machine().ui().shown().empty());
}

TEST_F(RemovalRun, AnUnregisteredProductGetsItsLineAndStillMsiZap) {
  Install({kQuillo});
  e.app.m_installedProducts[0].m_strProductCode = L"{99999999-9999-4999-8999-999999999999}";
  e.app.m_bQuilloNewerFound = true;
  e.app.m_bSilent = true;
  e.app.RunRemoval(false, true, 0);
  EXPECT_EQ(
      e.Log().rfind("\r\n" + kStamp + "Cleaning up Quillo Software 10.8\r\n" +
                        "Did not execute the uninstall for this product\r\n"
                        "\r\nRunning MSI Zap Command: \"C:\\Tools\\MSIZap.exe\" TWG! "
                        "{99999999-9999-4999-8999-999999999999}"
                        "\r\nThe MSIZAP Tool was run to cleanup left over MSI entries.\r\n"
                        "\r\n\r\n" +
                        kStamp + "**** List of folders that need to be cleaned up for Quillo Software 10.8\r\n\r\n",
                    0),
      0u)
      << e.Log();
  EXPECT_FALSE(e.app.m_bQuilloNewerFound);
}

TEST_F(RemovalRun, AnMsiexecThatCannotStartIsReportedWithMinusOneUnsigned) {
  Install({kVexil});
  e.m.machine().faults().Add(
      sim::FaultRule{"CreateProcess", L"C:\\WINDOWS\\system32\\msiexec.exe", err::kFileNotFound, -1});
  e.app.m_bSilent = true;
  e.app.RunRemoval(false, true, 0);
  const std::string code = Str(kVexil.code);
  EXPECT_TRUE(Has(e.Log(), "\r\nProcess Error: 2 while executing command:  MsiExec.exe /X" + code +
                               "  REBOOT=ReallySuppress /qn\r\nMSI uninstall operation failed with error code: "
                               "4294967295\r\n\r\nRunning MSI Zap Command: "))
      << e.Log();
  EXPECT_EQ(e.app.m_nLastExitCode, -1);
}

TEST_F(RemovalRun, ANameWithBothQuilloAndBrevanoSuiteHasNoGalleryCleanup) {
  const Seed both{L"{77777777-7777-4777-8777-777777777777}", L"Quillo Brevano Suite", L"Both"};
  Install({both});
  e.m.WriteFile(kVendor + L"Both\\gallery setup.exe", "MZ");
  e.app.m_bSilent = true;
  e.app.RunRemoval(false, true, 0);
  EXPECT_FALSE(Has(e.Log(), "Gallery"));
  EXPECT_TRUE(Has(e.Log(), "UPGRADINGPRODUCTCODE=1 REBOOT=ReallySuppress /qn"));
}

// Folders in silent runs.
TEST_F(RemovalRun, SilentFolderLoopListsOrRemovesAndHonoursTheCleanupFlag) {
  Install({kVexil, kQuorix});
  e.app.m_installedProducts[1].m_bFolderCleanupAllowed = false;
  e.app.m_bSilent = true;
  e.app.RunRemoval(true, true, VEZEZERidivorOde::kAllProducts);
  const std::string log = e.Log();
  EXPECT_TRUE(Has(log, "\r\n\r\n" + kStamp + "**** Applying folder Cleanup for ZENTA Vexil 1.5\r\n\r\n" +
                           "Removing Folder: C:\\ZApps\\Vexil\\*.*\r\n"))
      << log;
  EXPECT_TRUE(Has(log, kStamp + "**** Cannot Apply folder Cleanup for ZENTA Quorix 4.5 as the folder contains files "
                                "used by other applications\r\n"));
  EXPECT_FALSE(e.m.Exists(kVendor + L"Vexil")) << log;
  EXPECT_TRUE(e.m.Exists(kVendor + L"Quorix\\Logs\\leftover.log"));
}

TEST_F(RemovalRun, AllProductsDryRunSaysNothingAboutFoldersThatMustStay) {
  Install({kVexil, kQuorix});
  e.app.m_installedProducts[1].m_bFolderCleanupAllowed = false;
  e.app.m_bSilent = true;
  e.app.RunRemoval(false, false, VEZEZERidivorOde::kAllProducts);
  const std::string log = e.Log();
  EXPECT_FALSE(Has(log, "Cannot Apply folder Cleanup"));
  EXPECT_TRUE(Has(log, "**** List of folders that need to be cleaned up for ZENTA Vexil 1.5\r\n\r\nFolder found: "));
  EXPECT_TRUE(Has(log, "**** List of Common ZENTA folders that need to be cleaned up\r\n"));
  EXPECT_TRUE(Has(log, "**** List of ZENTA folders in the default location that need to be cleaned up\r\n"));
  EXPECT_TRUE(Has(log, "Inside ZENTA Assembly cleanup Vista or higher\r\n"));
  EXPECT_FALSE(Has(log, "Custom cleaning"));
  EXPECT_TRUE(e.m.machine().processes().runs().empty());
  EXPECT_TRUE(e.app.IsProductRegistered(kVexil.code));
  EXPECT_TRUE(e.m.Exists(kVendor + L"Vexil\\Logs\\leftover.log"));
}

// The interactive folder question.
TEST_F(RemovalRun, InteractiveAllProductsYesRemovesEveryFolder) {
  Install({kVexil});
  e.m.WriteFile(L"C:\\Program Files\\Common Files\\ZENTA Technologies\\c.dll");
  e.m.machine().ui().SetAnswers({"yes"});
  EXPECT_TRUE(e.app.RunRemoval(false, true, VEZEZERidivorOde::kAllProducts));
  const auto& shown = e.m.machine().ui().shown();
  ASSERT_GE(shown.size(), 1u);
  EXPECT_EQ(shown[0].text,
            L"Would you like to remove all leftover ZENTA Install folders, ZENTA assemblies and corresponding shared "
            L"dll registry entries from your system?");
  EXPECT_EQ(shown[0].caption, L"Folder Deletion Confirmation");
  EXPECT_EQ(shown[0].kind, MessageBoxKind::kYesNo);
  EXPECT_EQ(shown.size(), 1u);  // the family folders do not exist: no more questions
  const std::string log = e.Log();
  EXPECT_TRUE(Has(log, "**** Applying folder Cleanup for ZENTA Vexil 1.5\r\n"));
  EXPECT_TRUE(Has(log, "**** Applying folder Cleanup for Common ZENTA folders\r\n"));
  EXPECT_FALSE(e.m.Exists(kVendor + L"Vexil"));
  EXPECT_FALSE(e.m.Exists(L"C:\\Program Files\\Common Files\\ZENTA Technologies"));
  // The interactive uninstall shows its basic progress.
  EXPECT_TRUE(Has(log, "MsiExec.exe /X" + Str(kVexil.code) + " REBOOT=ReallySuppress /qb\r\n"));
}

TEST_F(RemovalRun, InteractiveAllProductsNoLeavesProductFoldersAndOnlyListsTheRest) {
  Install({kVexil});
  e.m.WriteFile(L"C:\\Program Files\\Common Files\\ZENTA Technologies\\c.dll");
  e.m.machine().ui().SetAnswers({"no"});
  e.app.RunRemoval(false, true, VEZEZERidivorOde::kAllProducts);
  const std::string log = e.Log();
  EXPECT_FALSE(Has(log, "folder Cleanup for ZENTA Vexil"));
  EXPECT_FALSE(Has(log, "folders that need to be cleaned up for"));
  EXPECT_TRUE(Has(log, "**** List of Common ZENTA folders that need to be cleaned up\r\n"));
  EXPECT_TRUE(e.m.Exists(kVendor + L"Vexil\\Logs\\leftover.log"));
  EXPECT_TRUE(e.m.Exists(L"C:\\Program Files\\Common Files\\ZENTA Technologies\\c.dll"));
  // The four custom cleans still ran.
  EXPECT_TRUE(Has(log, "Custom cleaning: Quorix/Teviro \r\n"));
  EXPECT_TRUE(Has(log, "Custom cleaning: Tavlo Software \r\n"));
}

TEST_F(RemovalRun, InteractiveAllProductsNoWithTheFolderSwitchRemovesOnlyTheCommonFolders) {
  Install({kVexil});
  e.m.WriteFile(L"C:\\Program Files\\Common Files\\ZENTA Technologies\\c.dll");
  e.m.machine().ui().SetAnswers({"no"});
  e.app.RunRemoval(true, true, VEZEZERidivorOde::kAllProducts);
  EXPECT_TRUE(e.m.Exists(kVendor + L"Vexil\\Logs\\leftover.log"));
  EXPECT_FALSE(e.m.Exists(L"C:\\Program Files\\Common Files\\ZENTA Technologies")) << e.Log();
  EXPECT_TRUE(Has(e.Log(), "**** Applying folder Cleanup for all the folders in the default ZENTA Install location"));
}

TEST_F(RemovalRun, InteractiveSingleProductWithTheFolderSwitchAsksAboutItsFolder) {
  Install({kVexil, kQuorix});
  e.m.machine().ui().SetAnswers({"yes", "no"});
  e.app.RunRemoval(true, true, 0);
  e.app.RunRemoval(true, true, 1);
  const auto& shown = e.m.machine().ui().shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text,
            L"Would you like to remove the leftover install folder:C:\\ZApps\\Vexil\\ and "
            L"corresponding shared dll registry entries from your system?");
  EXPECT_EQ(shown[0].caption, L"Folder Deletion Confirmation");
  EXPECT_FALSE(e.m.Exists(kVendor + L"Vexil"));
  EXPECT_TRUE(e.m.Exists(kVendor + L"Quorix\\Logs\\leftover.log"));
  const std::string log = e.Log();
  EXPECT_TRUE(Has(log, "**** Applying folder Cleanup for ZENTA Vexil 1.5\r\n"));
  EXPECT_FALSE(Has(log, "folder Cleanup for ZENTA Quorix"));
  // A single product has no closing stage.
  EXPECT_FALSE(Has(log, "Common ZENTA folders"));
}

TEST_F(RemovalRun, InteractiveSingleProductWithoutTheSwitchOrWithFoldersToKeepAsksNothing) {
  Install({kVexil, kQuorix});
  e.app.m_installedProducts[1].m_bFolderCleanupAllowed = false;
  e.m.machine().ui().SetAnswers({"yes", "yes"});
  e.app.RunRemoval(false, true, 0);
  e.app.RunRemoval(true, true, 1);
  EXPECT_TRUE(e.m.machine().ui().shown().empty());
  EXPECT_FALSE(Has(e.Log(), "folder Cleanup"));
  EXPECT_TRUE(e.m.Exists(kVendor + L"Vexil\\Logs\\leftover.log"));
  EXPECT_TRUE(e.m.Exists(kVendor + L"Quorix\\Logs\\leftover.log"));
}

TEST_F(RemovalRun, AnEmptyListStillAsksAndRunsTheClosingStage) {
  e.m.machine().ui().SetAnswers({"no"});
  EXPECT_TRUE(e.app.RunRemoval(false, true, VEZEZERidivorOde::kAllProducts));
  EXPECT_EQ(e.m.machine().ui().shown().size(), 1u);
  EXPECT_TRUE(Has(e.Log(), "**** List of ZENTA folders in the default location that need to be cleaned up"));
}

TEST_F(RemovalRun, AnInstallLocationOfTheDriveRootCostsNothing) {
  Install({kVexil});
  e.app.m_installedProducts[0].m_strInstallLocation = L"C:\\";
  e.m.WriteFile(L"C:\\Users\\Admin\\Documents\\Quarterly report.docx", "report");
  SetSharedCount(e.m, L"C:\\WINDOWS\\system32\\msvcr90.dll", 7);
  e.app.m_bSilent = true;
  e.app.RunRemoval(true, true, VEZEZERidivorOde::kAllProducts);
  EXPECT_EQ(e.m.ReadFile(L"C:\\Users\\Admin\\Documents\\Quarterly report.docx"), "report");
  EXPECT_TRUE(e.m.Exists(L"C:\\Tools\\MSIZap.exe"));
  const auto names = SharedDllNames(e.m);
  EXPECT_NE(std::find(names.begin(), names.end(), L"C:\\WINDOWS\\system32\\msvcr90.dll"), names.end());
  EXPECT_TRUE(Has(e.Log(), "Sensitive Folder! Will not remove contents of: C:\\\r\n"));
  EXPECT_TRUE(Has(e.Log(), "Sensitive Path! Will not remove Shared DLL registry entries for: C:\\\r\n"));
}

TEST_F(RemovalRun, ARelativeInstallLocationCostsNothing) {
  Install({kVexil});
  e.app.m_installedProducts[0].m_strInstallLocation = L".";
  SetSharedCount(e.m, L"C:\\WINDOWS\\system32\\msvcr90.dll", 7);
  e.app.m_bSilent = true;
  e.app.RunRemoval(true, true, 0);
  EXPECT_TRUE(e.m.Exists(L"C:\\Tools\\MSIZap.exe"));
  const auto names = SharedDllNames(e.m);
  EXPECT_NE(std::find(names.begin(), names.end(), L"C:\\WINDOWS\\system32\\msvcr90.dll"), names.end());
}

}  // namespace
}  // namespace zc::test
