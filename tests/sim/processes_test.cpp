#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/sim/installer_layout.h"
#include "platform/sim/msi_registration.h"
#include "platform/sim/registry_util.h"
#include "platform/sim/sim_processes.h"
#include "platform/sim/sim_registry.h"
#include "support/temp_dir.h"

namespace zc::sim {
namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kCode = L"{4233A874-F8D9-4777-B94C-432B2889509D}";
constexpr const wchar_t* kOther = L"{C5FCEA76-5728-4F57-9BEF-A12844413281}";

class SimProcessesTest : public ::testing::Test {
 protected:
  SimProcessesTest() {
    fs::create_directories(dir_ / "drive_c" / "Tools");
    for (const wchar_t* code : {kCode, kOther}) {
      ProductSpec p;
      p.productCode = code;
      p.upgradeCode = L"{3AB63D1F-F485-4F22-9492-77271BE1F4AF}";
      p.name = L"Product";
      p.version = L"10.8.0.0";
      p.components = {ComponentSpec{
          code == kCode ? L"{D3E0C0DE-0000-4000-8000-000000000001}" : L"{D3E0C0DE-0000-4000-8000-000000000002}",
          std::wstring(L"C:\\Program Files\\P\\") + (code == kCode ? L"a.dll" : L"b.dll"), "MZ"}};
      msi_.Register(p);
    }
  }

  // Starts a command, waits for it and gives its exit code; the handles
  // are closed when it returns.
  WinError Run(std::wstring_view commandLine, std::uint32_t* exitCode, std::wstring_view applicationName = {}) {
    ProcessHandles handles;
    const WinError e = processes_.StartProcess(applicationName, commandLine, &handles);
    if (e != err::kSuccess) {
      EXPECT_EQ(handles.process, 0u);
      EXPECT_EQ(handles.thread, 0u);
      return e;
    }
    UniqueProcessHandle process(processes_), thread(processes_);
    *process.put() = handles.process;
    *thread.put() = handles.thread;
    EXPECT_EQ(processes_.Wait(process.get(), kInfinite), kWaitObject0);
    EXPECT_EQ(processes_.GetExitCode(process.get(), exitCode), err::kSuccess);
    return e;
  }

  bool Exists(const char* relative) const { return fs::exists(dir_ / "drive_c" / relative); }

  test::TempDir dir_;
  FaultPlan faults_;
  RegStore store_;
  SimRegistry reg_{store_, false};
  SimFileSystem fs_{dir_.path(), [] { return std::wstring(L"C:\\Tools"); }, &faults_};
  MsiRegistration msi_{reg_, fs_, false};
  MachineConfig config_;
  SimProcesses processes_{msi_, fs_, config_, &faults_};
};

TEST_F(SimProcessesTest, MsiExecRemovesTheProduct) {
  std::uint32_t exitCode = 99;
  ASSERT_EQ(Run(std::wstring(L"MsiExec.exe /X") + kCode + L" /qn REBOOT=ReallySuppress", &exitCode), err::kSuccess);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(msi_.IsRegistered(kCode));
  EXPECT_FALSE(Exists("Program Files/P/a.dll"));
  EXPECT_FALSE(KeyExists(reg_, kHkeyLocalMachine, msilayout::UninstallKey(kCode, false)));
  EXPECT_TRUE(msi_.IsRegistered(kOther)) << "only the named product";
  EXPECT_TRUE(Exists("Program Files/P/b.dll"));

  // The code may follow as the next argument, in any case; msiexec is found without a folder.
  ASSERT_EQ(Run(std::wstring(L"msiexec /x ") + L"{c5fcea76-5728-4f57-9bef-a12844413281} /quiet", &exitCode),
            err::kSuccess);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(msi_.IsRegistered(kOther));

  // Gone now: msiexec ends with 1605, as it does for a product it does not know.
  ASSERT_EQ(Run(std::wstring(L"MsiExec.exe /X") + kCode + L" /qn", &exitCode), err::kSuccess);
  EXPECT_EQ(exitCode, err::kUnknownProduct);
  ASSERT_EQ(processes_.runs().size(), 3u);
  EXPECT_EQ(processes_.runs()[0].program, L"msiexec");
  EXPECT_EQ(processes_.openHandles(), 0u);
}

TEST_F(SimProcessesTest, ExitCodesFromMachineIni) {
  config_.msiexecExitCodes = {{L"{4233a874-f8d9-4777-b94c-432b2889509d}", 1603}, {kOther, 3010}};
  std::uint32_t exitCode = 0;
  ASSERT_EQ(Run(std::wstring(L"MsiExec.exe /X") + kCode + L" /qn", &exitCode), err::kSuccess);
  EXPECT_EQ(exitCode, 1603u);
  EXPECT_TRUE(msi_.IsRegistered(kCode)) << "a failed uninstall rolls back";
  EXPECT_TRUE(Exists("Program Files/P/a.dll"));
  ASSERT_EQ(Run(std::wstring(L"MsiExec.exe /X") + kOther + L" /qn", &exitCode), err::kSuccess);
  EXPECT_EQ(exitCode, 3010u);
  EXPECT_FALSE(msi_.IsRegistered(kOther)) << "removed, with a restart to follow";
  EXPECT_FALSE(Exists("Program Files/P/b.dll"));
  EXPECT_EQ(processes_.openHandles(), 0u);
}

TEST_F(SimProcessesTest, MsiZapRunsOnlyWhereItsFileIs) {
  std::uint32_t exitCode = 99;
  const std::wstring zap = std::wstring(L"C:\\Tools\\MSIZap.exe TWG! ") + kCode;
  EXPECT_EQ(Run(zap, &exitCode), err::kFileNotFound);
  EXPECT_EQ(Run(std::wstring(L"C:\\Missing\\MSIZap.exe TWG! ") + kCode, &exitCode), err::kPathNotFound);
  EXPECT_TRUE(msi_.IsRegistered(kCode));

  test::WriteHostFile(dir_ / "drive_c" / "Tools" / "MSIZap.exe", "MZ");
  ASSERT_EQ(Run(zap, &exitCode), err::kSuccess);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(msi_.IsRegistered(kCode));
  EXPECT_FALSE(KeyExists(reg_, kHkeyLocalMachine, msilayout::UserDataProductKey(kCode)));
  EXPECT_TRUE(Exists("Program Files/P/a.dll")) << "MSIZap leaves files";
  EXPECT_TRUE(msi_.IsRegistered(kOther));

  // Quoted, and from the current directory without a folder.
  test::WriteHostFile(dir_ / "drive_c" / "Program Files" / "Zap Tools" / "msizap.exe", "MZ");
  ASSERT_EQ(Run(std::wstring(L"\"c:\\program files\\zap tools\\MSIZAP.EXE\" TWG! ") + kOther, &exitCode),
            err::kSuccess);
  EXPECT_FALSE(msi_.IsRegistered(kOther));
  ASSERT_EQ(Run(std::wstring(L"MSIZap.exe TWG! ") + kOther, &exitCode), err::kSuccess);
  // With an application name, exactly that file runs, whatever the command line's first word.
  EXPECT_EQ(Run(std::wstring(L"MSIZap.exe TWG! ") + kOther, &exitCode, L"C:\\Elsewhere\\MSIZap.exe"),
            err::kPathNotFound);
  EXPECT_EQ(Run(std::wstring(L"MSIZap.exe TWG! ") + kOther, &exitCode, L"C:\\Tools"), err::kAccessDenied);
  ASSERT_EQ(Run(std::wstring(L"MSIZap.exe TWG! ") + kOther, &exitCode, L"c:\\tools\\msizap.exe"), err::kSuccess);
  EXPECT_EQ(processes_.openHandles(), 0u);
}

TEST_F(SimProcessesTest, AnyOtherProgramFailsToStart) {
  test::WriteHostFile(dir_ / "drive_c" / "Tools" / "setup.exe", "MZ");
  std::uint32_t exitCode = 0;
  EXPECT_EQ(Run(L"C:\\Tools\\setup.exe /uninstall", &exitCode), err::kFileNotFound);
  EXPECT_EQ(Run(L"notepad.exe", &exitCode), err::kFileNotFound);
  EXPECT_EQ(Run(L"", &exitCode), err::kFileNotFound);
  EXPECT_EQ(Run(L"C:\\Tools /x", &exitCode), err::kAccessDenied) << "a folder";
  EXPECT_TRUE(processes_.runs().empty());
  EXPECT_EQ(processes_.openHandles(), 0u);
}

TEST_F(SimProcessesTest, HandlesAndFaults) {
  ProcessHandles handles;
  ASSERT_EQ(processes_.StartProcess(L"", std::wstring(L"MsiExec.exe /X") + kCode, &handles), err::kSuccess);
  EXPECT_NE(handles.process, handles.thread);
  EXPECT_EQ(processes_.openHandles(), 2u);
  processes_.CloseHandle(handles.thread);
  std::uint32_t exitCode = 99;
  EXPECT_EQ(processes_.GetExitCode(handles.process, &exitCode), err::kSuccess);
  EXPECT_EQ(exitCode, 0u);
  processes_.CloseHandle(handles.process);
  EXPECT_EQ(processes_.openHandles(), 0u);
  EXPECT_EQ(processes_.Wait(handles.process, 1000), kWaitFailed);
  EXPECT_EQ(processes_.GetExitCode(handles.process, &exitCode), err::kInvalidHandle);

  faults_.Add(FaultRule{"CreateProcess", L"MsiExec.exe", 1455, 1});
  faults_.Add(FaultRule{"WaitForSingleObject", L"msiexec", kWaitTimeout, 1});
  EXPECT_EQ(processes_.StartProcess(L"", std::wstring(L"MsiExec.exe /X") + kOther, &handles), 1455u);
  EXPECT_TRUE(msi_.IsRegistered(kOther)) << "a program that did not start removed nothing";
  ASSERT_EQ(processes_.StartProcess(L"", std::wstring(L"MsiExec.exe /X") + kOther, &handles), err::kSuccess);
  EXPECT_EQ(processes_.Wait(handles.process, 5000), kWaitTimeout);
  EXPECT_EQ(processes_.Wait(handles.process, 5000), kWaitObject0);
  processes_.CloseHandle(handles.process);
  processes_.CloseHandle(handles.thread);
  EXPECT_EQ(processes_.openHandles(), 0u);
}

}  // namespace
}  // namespace zc::sim
