// The uninstall command and MSIZap: their command lines, the program that
// really runs, the exit codes as the run records them, and their lines.
#include <gtest/gtest.h>

#include "removal/removal_support.h"

namespace zc::test {
namespace {

const std::wstring kCode = L"{4233A874-F8D9-4777-B94C-432B2889509D}";
const std::wstring kOther = L"{C5FCEA76-5728-4F57-9BEF-A12844413281}";
const std::wstring kFolder = L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\";

const sim::ProcessRun& LastRun(ScenarioMachine& m) { return m.machine().processes().runs().back(); }

TEST(RunMsiUninstall, QuietFormKeepsTwoBlanksAndRunsMsiexecFromTheSystemFolder) {
  Engine e;
  e.m.machine().msi().Register(VendorProduct(kCode, L"Quillo Software 10.8", kFolder));
  e.app.m_bSilent = true;
  EXPECT_TRUE(e.app.RunMsiUninstall(kCode, L""));
  const std::wstring command = L"MsiExec.exe /X" + kCode + L"  REBOOT=ReallySuppress /qn";
  EXPECT_EQ(LastRun(e.m).commandLine, command);
  EXPECT_EQ(LastRun(e.m).applicationName, L"C:\\WINDOWS\\system32\\msiexec.exe");
  EXPECT_EQ(e.Log(), "\r\nSuccessfully Executed Command:  " + ToLogBytes(command) + "\r\n");
  EXPECT_EQ(e.app.m_nLastExitCode, 0);
  EXPECT_FALSE(e.app.m_bRebootRequired);
  EXPECT_FALSE(e.app.IsProductRegistered(kCode));
  EXPECT_EQ(e.m.machine().processes().openHandles(), 0u);
}

TEST(RunMsiUninstall, QuietFormCarriesTheExtraPropertyAndBasicFormDropsIt) {
  Engine e;
  e.app.m_bSilent = true;
  e.app.RunMsiUninstall(kCode, L"UPGRADINGPRODUCTCODE=1");
  EXPECT_EQ(LastRun(e.m).commandLine, L"MsiExec.exe /X" + kCode + L" UPGRADINGPRODUCTCODE=1 REBOOT=ReallySuppress /qn");
  e.app.m_bSilent = false;
  e.app.RunMsiUninstall(kCode, L"UPGRADINGPRODUCTCODE=1");
  EXPECT_EQ(LastRun(e.m).commandLine, L"MsiExec.exe /X" + kCode + L" REBOOT=ReallySuppress /qb");
  // The product was not registered: msiexec says so, and that is its code.
  EXPECT_EQ(e.app.m_nLastExitCode, 1605);
}

TEST(RunMsiUninstall, ExitCode3010IsSuccessWithARestart) {
  Engine e;
  e.m.machine().msi().Register(VendorProduct(kCode, L"Quillo Software 10.8", kFolder));
  e.m.machine().config().msiexecExitCodes.push_back({kCode, 3010});
  e.app.m_bSilent = true;
  EXPECT_TRUE(e.app.RunMsiUninstall(kCode, L""));
  EXPECT_EQ(e.Log(), "\r\nSuccessfully Executed Command:  MsiExec.exe /X" + ToLogBytes(kCode) +
                         "  REBOOT=ReallySuppress /qn\r\n"
                         "A reboot will be required as the Uninstall return Code is: 3010\r\n");
  EXPECT_EQ(e.app.m_nLastExitCode, 0);
  EXPECT_TRUE(e.app.m_bRebootRequired);
}

TEST(RunMsiUninstall, ExitCode1603IsRecordedAndTheProductStays) {
  Engine e;
  e.m.machine().msi().Register(VendorProduct(kCode, L"Quillo Software 10.8", kFolder));
  e.m.machine().config().msiexecExitCodes.push_back({kCode, 1603});
  e.app.m_bSilent = true;
  EXPECT_TRUE(e.app.RunMsiUninstall(kCode, L""));
  EXPECT_EQ(e.Log(), "\r\nSuccessfully Executed Command:  MsiExec.exe /X" + ToLogBytes(kCode) +
                         "  REBOOT=ReallySuppress /qn\r\n");
  EXPECT_EQ(e.app.m_nLastExitCode, 1603);
  EXPECT_FALSE(e.app.m_bRebootRequired);
  EXPECT_TRUE(e.app.IsProductRegistered(kCode));
}

TEST(RunMsiUninstall, AStartFailureAfterASuccessLeavesMinusOneAndItsLine) {
  Engine e;
  e.m.machine().msi().Register(VendorProduct(kCode, L"Quillo Software 10.8", kFolder));
  e.app.m_bSilent = true;
  e.app.RunMsiUninstall(kCode, L"");
  ASSERT_EQ(e.app.m_nLastExitCode, 0);
  e.m.machine().faults().Add(sim::FaultRule{"CreateProcess", L"*", err::kFileNotFound, -1});
  const std::string before = e.Log();
  EXPECT_FALSE(e.app.RunMsiUninstall(kOther, L""));
  EXPECT_EQ(e.app.m_nLastExitCode, -1);
  EXPECT_EQ(e.Log().substr(before.size()), "\r\nProcess Error: 2 while executing command:  MsiExec.exe /X" +
                                               ToLogBytes(kOther) + "  REBOOT=ReallySuppress /qn\r\n");
}

TEST(RunMsiUninstall, AnMsiExecInTheCurrentDirectoryIsNeverRun) {
  // No msiexec.exe in the system folder, but one planted where the tool was
  // started: the start fails rather than run the planted one.
  ScenarioMachine m;
  m.WriteFile(L"C:\\Tools\\MsiExec.exe", "planted");
  m.WriteFile(L"C:\\Program.exe", "planted");
  VEZEZERidivorOde app(m.machine().platform());
  app.m_log.Open(m.machine().fs(), kEngineLog);
  app.m_bSilent = true;
  EXPECT_FALSE(app.RunMsiUninstall(kCode, L""));
  EXPECT_TRUE(m.machine().processes().runs().empty());
  EXPECT_EQ(m.ReadFile(kEngineLog), "\r\nProcess Error: 2 while executing command:  MsiExec.exe /X" +
                                        ToLogBytes(kCode) + "  REBOOT=ReallySuppress /qn\r\n");
}

TEST(RunMsiZap, RunsTheFileInTheCurrentDirectoryAndRemovesTheRegistration) {
  Engine e;
  e.m.machine().msi().Register(VendorProduct(kCode, L"Quillo Software 10.8", kFolder));
  EXPECT_TRUE(e.app.RunMsiZap(kCode));
  EXPECT_EQ(LastRun(e.m).applicationName, L"C:\\Tools\\MSIZap.exe");
  // Quoted, so that MSIZap reads its own path as one argument.
  EXPECT_EQ(LastRun(e.m).commandLine, L"\"C:\\Tools\\MSIZap.exe\" TWG! " + kCode);
  EXPECT_EQ(e.Log(), "\r\nRunning MSI Zap Command: \"C:\\Tools\\MSIZap.exe\" TWG! " + ToLogBytes(kCode) + "\r\n");
  EXPECT_FALSE(e.app.IsProductRegistered(kCode));
  // Files stay: MSIZap only takes registration away.
  EXPECT_TRUE(e.m.Exists(kFolder + L"main.exe"));
}

// A missing MSIZap is said to be missing, with the path it was looked for
// at: the left-over registration was not cleaned.
TEST(RunMsiZap, AMissingMsiZapIsToldWithItsPath) {
  Engine e;
  std::filesystem::remove(e.m.Host(L"C:\\Tools\\MSIZap.exe"));
  EXPECT_FALSE(e.app.RunMsiZap(kCode));
  EXPECT_EQ(e.Log(),
            "The MSIZAP Tool was not found at C:\\Tools\\MSIZap.exe: left over MSI entries were not cleaned up.\r\n");
  // Any other reason it cannot start is told with its error.
  e.m.WriteFile(L"C:\\Tools\\MSIZap.exe", "MZ");
  e.m.machine().faults().Add(sim::FaultRule{"CreateProcess", L"*", err::kAccessDenied, 1});
  const std::string before = e.Log();
  EXPECT_FALSE(e.app.RunMsiZap(kCode));
  EXPECT_EQ(e.Log().substr(before.size()),
            "The MSIZAP Tool could not be started from C:\\Tools\\MSIZap.exe (error 5): left over MSI entries were "
            "not cleaned up.\r\n");
}

TEST(RunMsiZap, ADriveRootGetsNoSecondBackslash) {
  auto config = ScenarioMachine::DefaultConfig();
  config.currentDirectory = L"C:\\";
  Engine e(config);
  e.m.WriteFile(L"C:\\MSIZap.exe", "MZ");
  EXPECT_EQ(e.app.GetMsiZapPath(), L"C:\\MSIZap.exe");
  EXPECT_TRUE(e.app.RunMsiZap(kCode));
  EXPECT_EQ(e.Log(), "\r\nRunning MSI Zap Command: \"C:\\MSIZap.exe\" TWG! " + ToLogBytes(kCode) + "\r\n");
}

TEST(RunMsiZap, ABlankInTheCurrentDirectoryCannotRunAnotherProgram) {
  auto config = ScenarioMachine::DefaultConfig();
  config.currentDirectory = L"C:\\Program Files\\Tools";
  Engine e(config);
  e.m.WriteFile(L"C:\\Program.exe", "planted");
  e.m.WriteFile(L"C:\\Program Files\\Tools\\MSIZap.exe", "MZ");
  EXPECT_TRUE(e.app.RunMsiZap(kCode));
  EXPECT_EQ(LastRun(e.m).applicationName, L"C:\\Program Files\\Tools\\MSIZap.exe");
  EXPECT_EQ(LastRun(e.m).program, L"msizap");
  EXPECT_EQ(LastRun(e.m).commandLine, L"\"C:\\Program Files\\Tools\\MSIZap.exe\" TWG! " + kCode);
  // MSIZap reads the product code as its second argument, not a piece of its own path.
  EXPECT_FALSE(e.app.IsProductRegistered(kCode));
}

TEST(RunMsiZap, AnUnreadableCurrentDirectoryIsReportedOnce) {
  Engine e;
  e.m.machine().faults().Add(sim::FaultRule{"GetCurrentDirectory", L"*", err::kAccessDenied, -1});
  EXPECT_FALSE(e.app.RunMsiZap(kCode));
  EXPECT_EQ(e.Log(), CrLf({"GetCurrentDirectory failed with error code: 5",
                           "The MSIZAP Tool could not be located: left over MSI entries were not cleaned up.", ""}));
  EXPECT_TRUE(e.m.machine().processes().runs().empty());
}

TEST(RunMsiZap, ACurrentDirectoryLongerThanTheBufferIsReportedWithItsSize) {
  auto config = ScenarioMachine::DefaultConfig();
  config.currentDirectory = L"C:\\" + std::wstring(300, L'a');
  Engine e(config);
  EXPECT_EQ(e.app.GetMsiZapPath(), L"");
  EXPECT_EQ(e.Log(), "GetCurrentDirectory failed (buffer too small, need 304 chars)\r\n");
}

TEST(IsProductRegistered, EitherTheUninstallKeyOrTheClassesKeyIsEnough) {
  Engine e;
  auto& reg = e.m.machine().nativeRegistry();
  EXPECT_FALSE(e.app.IsProductRegistered(kCode));
  sim::EnsureKey(reg, kHkeyLocalMachine, L"SOFTWARE\\Classes\\Installer\\Products\\" + kCode);
  EXPECT_TRUE(e.app.IsProductRegistered(kCode));
  EXPECT_FALSE(e.app.IsProductRegistered(kOther));
  sim::EnsureKey(reg, kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kOther);
  EXPECT_TRUE(e.app.IsProductRegistered(kOther));
}

}  // namespace
}  // namespace zc::test
