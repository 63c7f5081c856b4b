// The install-folder catalogue: registered locations, App Paths, default
// folders, the vendor and guard folders, and the path-state query.
#include <algorithm>

#include <gtest/gtest.h>

#include "catalogue/catalogue_support.h"

namespace zc::test {
namespace {

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kAppPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const std::wstring kPrograms = L"C:\\Program Files";

void SetAppPath(ScenarioMachine& m, const std::wstring& programFile, const std::wstring& value) {
  sim::WriteText(m.machine().registry(), kHkeyLocalMachine, kAppPaths + programFile, L"", value);
}

void SetUninstallLocation(ScenarioMachine& m, const std::wstring& code, const std::wstring& location) {
  sim::WriteText(m.machine().registry(), kHkeyLocalMachine, kUninstall + code, L"InstallLocation", location);
}

// How often the run asked for the attributes of `path`, or opened `key`.
int Calls(ScenarioMachine& m, const char* operation, const std::wstring& target) {
  const auto& calls = m.machine().faults().recorded();
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const auto& c) {
    return c.first == operation && EqualsNoCase(c.second, target);
  }));
}

class FolderCatalogue : public ::testing::Test {
 protected:
  ScenarioMachine m;
  VEZEZERidivorOde app{m.machine().platform()};
};

TEST_F(FolderCatalogue, RegisteredLocationIsKeptAsItIs) {
  m.machine().msi().Register(
      Product(1, L"ZENTA Quillo", L"10.7.0.0", L"C:\\Apps\\Q\\", kVendor, UpgradeCodeOf(kFamilyQuillo)));
  SetAppPath(m, L"Quillo.exe", L"C:\\Elsewhere\\Quillo.exe");
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strQuilloFolder, L"C:\\Apps\\Q\\");
}

TEST_F(FolderCatalogue, AppPathsResultIsLowerCasedAndCutBeforeTheProgramFile) {
  m.machine().msi().Register(Product(1, L"ZENTA Quillo", L"10.7.0.0", L"", kVendor, UpgradeCodeOf(kFamilyQuillo)));
  SetAppPath(m, L"Quillo.exe", L"C:\\Apps\\Q\\QUILLO.exe");
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strQuilloFolder, L"c:\\apps\\q\\");
}

TEST_F(FolderCatalogue, AppPathsValueWithoutTheProgramFileIsReturnedWholeInLowerCase) {
  SetAppPath(m, L"QuorixTools.exe", L"D:\\Teviro\\Run.EXE");
  EXPECT_EQ(app.LookupInstallLocation(L"", L"QuorixTools.exe"), L"d:\\teviro\\run.exe");
  // The uninstall registration goes first and is returned unchanged.
  SetUninstallLocation(m, Code(4), L"D:\\Mixed Case");
  EXPECT_EQ(app.LookupInstallLocation(Code(4), L"QuorixTools.exe"), L"D:\\Mixed Case");
  EXPECT_EQ(app.LookupInstallLocation(Code(5), L""), L"");
  EXPECT_EQ(app.LookupInstallLocation(L"", L""), L"");
}

TEST_F(FolderCatalogue, FallbackCodesConsultAppPathsThroughTheFirstCode) {
  SetAppPath(m, L"ZENTATavloService.exe", L"C:\\Drivers\\ZENTATavloService.exe");
  SetAppPath(m, L"Convexa.exe", L"C:\\Convexa\\Convexa.exe");
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strTavloDriversFolder, L"c:\\drivers\\");
  EXPECT_EQ(app.m_strConvexaFolder, L"c:\\convexa\\");
}

TEST_F(FolderCatalogue, EmptyConvexaListLeavesTheFolderEmptyWithoutAskingAppPaths) {
  SetAppPath(m, L"Convexa.exe", L"C:\\Convexa\\Convexa.exe");
  SetAppPath(m, L"ConvexaPE.exe", L"C:\\ConvexaPE\\ConvexaPE.exe");
  m.machine().faults().RecordCalls(true);
  app.BuildProductCodeLists(false);
  EXPECT_EQ(app.m_strConvexaFolder, L"");
  EXPECT_EQ(app.m_strConvexaPEFolder, L"");
  EXPECT_EQ(Calls(m, "RegOpenKey", L"HKEY_LOCAL_MACHINE\\" + kAppPaths + L"Convexa.exe"), 0);
  EXPECT_EQ(Calls(m, "RegOpenKey", L"HKEY_LOCAL_MACHINE\\" + kAppPaths + L"ConvexaPE.exe"), 0);
  // With empty lists, drivers, Quillo and Quorix still ask App Paths.
  EXPECT_EQ(Calls(m, "RegOpenKey", L"HKEY_LOCAL_MACHINE\\" + kAppPaths + L"Quillo.exe"), 1);
}

TEST_F(FolderCatalogue, LastDefaultFolderIsTakenWhetherOrNotItExists) {
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strQuilloFolder, kPrograms + L"\\ZENTA Technologies\\ZENTA Quillo");
  EXPECT_EQ(app.m_strTavloDriversFolder, kPrograms + L"\\ZENTA Technologies Inc\\Tavlo Drivers");
  EXPECT_EQ(app.m_strQuorixFolder, kPrograms + L"\\ZENTA Technologies Inc\\Teviro");
  // A single default folder is taken as it is.
  EXPECT_EQ(app.m_strTavloSoftwareFolder, kPrograms + L"\\ZENTA Technologies Inc\\ZENTA Tavlo Software");
  EXPECT_EQ(app.m_strConvexaFolder, L"");
  EXPECT_EQ(app.m_strConvexaPEFolder, L"");
}

TEST_F(FolderCatalogue, FirstExistingDefaultFolderIsTakenAndTheOthersAreNotTested) {
  const std::wstring first = kPrograms + L"\\ZENTA Technologies\\ZENTA Tavlo Drivers";
  const std::wstring second = kPrograms + L"\\ZENTA Technologies\\ZENTA Product Drivers";
  m.MakeFolder(first);
  m.MakeFolder(second);
  m.machine().faults().RecordCalls(true);
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strTavloDriversFolder, first);
  EXPECT_EQ(Calls(m, "GetFileAttributes", second), 0);
}

TEST_F(FolderCatalogue, ALaterDefaultIsTakenWhenTheEarlierOnesAreMissing) {
  // A file counts as much as a folder.
  m.WriteFile(kPrograms + L"\\ZENTA Technologies Inc\\Quillo Software");
  m.MakeFolder(kPrograms + L"\\ZENTA Technologies\\Teviro");
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strQuilloFolder, kPrograms + L"\\ZENTA Technologies Inc\\Quillo Software");
  EXPECT_EQ(app.m_strQuorixFolder, kPrograms + L"\\ZENTA Technologies\\Teviro");
}

TEST_F(FolderCatalogue, DefaultFolderWhoseStateCannotBeLearnedIsAccepted) {
  const std::wstring first = kPrograms + L"\\ZENTA Technologies\\ZENTA Quorix";
  m.machine().faults().Add(sim::FaultRule{"GetFileAttributes", first, err::kAccessDenied});
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strQuorixFolder, first);
}

TEST_F(FolderCatalogue, TavloSoftwareTriesEachCodesRegistrationInTurn) {
  const auto& rows = kProductFamilies[kFamilyTavloSoftware].fallbackRows;
  SetUninstallLocation(m, rows[0].productCode, L"");
  SetUninstallLocation(m, rows[1].productCode, L"E:\\Tavlo 9.5\\");
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strTavloSoftwareFolder, L"E:\\Tavlo 9.5\\");
}

TEST_F(FolderCatalogue, AFolderFoundOnceIsKeptByLaterCalls) {
  m.machine().msi().Register(
      Product(1, L"ZENTA Quillo", L"10.7.0.0", L"C:\\Apps\\Q\\", kVendor, UpgradeCodeOf(kFamilyQuillo)));
  app.BuildProductCodeLists(true);
  ASSERT_EQ(app.m_strQuilloFolder, L"C:\\Apps\\Q\\");
  const std::wstring drivers = app.m_strTavloDriversFolder;

  m.machine().msi().Uninstall(Code(1));
  m.machine().msi().Register(
      Product(2, L"ZENTA Quillo", L"10.8.0.0", L"C:\\Apps\\Q2\\", kVendor, UpgradeCodeOf(kFamilyQuillo)));
  m.MakeFolder(kPrograms + L"\\ZENTA Technologies\\ZENTA Tavlo Drivers");
  m.machine().faults().RecordCalls(true);
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strQuilloFolder, L"C:\\Apps\\Q\\");
  EXPECT_EQ(app.m_strTavloDriversFolder, drivers);
  EXPECT_EQ(Calls(m, "RegOpenKey", L"HKEY_LOCAL_MACHINE\\" + kUninstall + Code(2)), 0);
}

TEST_F(FolderCatalogue, VendorAndGuardFoldersFollowTheMachineFolders) {
  app.m_strVendorFolder = L"stale";
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strCommonFilesFolder, L"C:\\Program Files\\Common Files\\ZENTA Technologies");
  EXPECT_EQ(app.m_strCommonFilesIncFolder, L"C:\\Program Files\\Common Files\\ZENTA Technologies Inc");
  EXPECT_EQ(app.m_strVendorFolder, L"C:\\Program Files\\ZENTA Technologies");
  EXPECT_EQ(app.m_strVendorIncFolder, L"C:\\Program Files\\ZENTA Technologies Inc");
  EXPECT_EQ(app.m_strProgramFilesFolder, L"c:\\program files\\");
  EXPECT_EQ(app.m_strWindowsFolder, L"c:\\windows\\");
  EXPECT_EQ(app.m_strSystemFolder, L"c:\\windows\\system32\\");
}

TEST(FolderCatalogue64, A64BitMachineUsesTheX86ProgramsFolderAndThe32BitView) {
  auto config = ScenarioMachine::DefaultConfig();
  config.bits = 64;
  config.programsFolder.clear();
  config.ApplyDefaults();
  ScenarioMachine m(config);
  m.machine().msi().Register(
      Product(1, L"ZENTA Quorix", L"4.0.0.0", L"C:\\Quorix\\", kVendor, UpgradeCodeOf(kFamilyQuorix)));
  VEZEZERidivorOde app(m.machine().platform());
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_strQuorixFolder, L"C:\\Quorix\\");
  EXPECT_EQ(app.m_strVendorFolder, L"C:\\Program Files (x86)\\ZENTA Technologies");
  EXPECT_EQ(app.m_strProgramFilesFolder, L"c:\\program files (x86)\\");
  EXPECT_EQ(app.m_strQuilloFolder, L"C:\\Program Files (x86)\\ZENTA Technologies\\ZENTA Quillo");
}

TEST_F(FolderCatalogue, NothingIsLogged) {
  m.machine().msi().Register(
      Product(1, L"ZENTA Quillo", L"10.7.0.0", L"C:\\Q\\", kVendor, UpgradeCodeOf(kFamilyQuillo)));
  app.m_log.Open(m.machine().fs(), kLogPath);
  app.BuildProductCodeLists(true);
  app.m_log.Close();
  EXPECT_EQ(m.ReadFile(kLogPath), "");
}

TEST_F(FolderCatalogue, PathState) {
  m.MakeFolder(L"C:\\Data");
  m.WriteFile(L"C:\\Data\\a.txt");
  EXPECT_EQ(app.GetPathState(L"C:\\Data"), VEZEZERidivorOde::PathState::kFolder);
  EXPECT_EQ(app.GetPathState(L"C:\\Data\\a.txt"), VEZEZERidivorOde::PathState::kFile);
  EXPECT_EQ(app.GetPathState(L"C:\\Data\\missing.txt"), VEZEZERidivorOde::PathState::kAbsent);
  EXPECT_EQ(app.GetPathState(L"C:\\Missing\\a.txt"), VEZEZERidivorOde::PathState::kAbsent);
  m.machine().faults().Add(sim::FaultRule{"GetFileAttributes", L"C:\\Data\\a.txt", err::kAccessDenied});
  EXPECT_EQ(app.GetPathState(L"C:\\Data\\a.txt"), VEZEZERidivorOde::PathState::kUnknown);
}

}  // namespace
}  // namespace zc::test
