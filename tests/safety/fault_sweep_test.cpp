// The fault sweep: the silent all-products removal with folder clean-up,
// and the dry run, on the demo machine, once for every platform call the
// run makes, with that one call failing as Windows makes it fail. Each run
// must finish, close its log, and change nothing it was not entitled to.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <map>
#include <set>

#include "app/application.h"
#include "platform/sim/demo_machine.h"
#include "platform/sim/installer_layout.h"
#include "platform/text.h"
#include "safety/machine_snapshot.h"
#include "support/temp_dir.h"

namespace zc::test {
namespace {

namespace fs = std::filesystem;

// The error Windows really gives when the call fails, by call.
WinError ErrorFor(const std::string& operation) {
  static const std::map<std::string, WinError> kErrors = {
      {"GetFileAttributes", err::kAccessDenied},
      {"SetFileAttributes", err::kAccessDenied},
      {"DeleteFile", err::kSharingViolation},
      {"RemoveDirectory", err::kDirNotEmpty},
      {"FindFirstFile", err::kPathNotFound},
      {"FindNextFile", err::kAccessDenied},
      {"MoveFileEx", err::kAccessDenied},
      {"CreateFile", err::kSharingViolation},
      {"RegOpenKey", err::kAccessDenied},
      {"RegCreateKey", err::kAccessDenied},
      {"RegQueryValue", err::kMoreData},
      {"RegSetValue", err::kAccessDenied},
      {"RegQueryInfoKey", err::kAccessDenied},
      {"RegEnumValue", err::kMoreData},
      {"RegEnumKey", err::kAccessDenied},
      {"RegDeleteValue", err::kAccessDenied},
      {"SHDeleteKey", err::kAccessDenied},
      {"MsiEnumProducts", err::kBadConfiguration},
      {"MsiGetProductInfo", err::kUnknownProduct},
      {"MsiEnumRelatedProducts", err::kBadConfiguration},
      {"CreateProcess", err::kFileNotFound},
      {"WaitForSingleObject", 258},
      {"GetExitCodeProcess", err::kInvalidHandle},
      {"EnumPrinters", err::kAccessDenied},
      {"EnumPorts", err::kAccessDenied},
      {"EnumMonitors", err::kAccessDenied},
      {"EnumPrinterDrivers", err::kAccessDenied},
      {"OpenPrinter", err::kAccessDenied},
      {"DeletePrinter", err::kAccessDenied},
      {"DeletePort", err::kAccessDenied},
      {"DeletePrinterDriver", err::kPrinterDriverInUse},
      {"DeleteMonitor", err::kAccessDenied},
      {"DeletePrintProcessor", err::kAccessDenied},
      {"GetPrinterDriverDirectory", err::kInsufficientBuffer},
      {"GetPrintProcessorDirectory", err::kInsufficientBuffer},
      {"OpenSCManager", err::kAccessDenied},
      {"OpenService", err::kServiceDoesNotExist},
      {"QueryServiceStatusEx", err::kInvalidHandle},
      {"StartService", err::kServiceAlreadyRunning},
      {"ControlService", err::kServiceCannotAcceptCtrl},
      {"SHGetFolderPath", err::kAccessDenied},
      {"GetWindowsDirectory", err::kAccessDenied},
      {"GetSystemDirectory", err::kAccessDenied},
      {"GetCurrentDirectory", err::kAccessDenied},
      {"GetVersionEx", err::kAccessDenied},
      {"ExpandEnvironmentStrings", err::kNotEnoughMemory},
      {"OpenProcessToken", err::kAccessDenied},
      {"AdjustTokenPrivileges", err::kNotAllAssigned},
      {"InitiateSystemShutdown", err::kAccessDenied},
  };
  const auto it = kErrors.find(operation);
  return it == kErrors.end() ? err::kAccessDenied : it->second;
}

// Where a failure shows in the log, for the calls whose failure the log names.
std::string ExpectedLogLine(const std::string& operation, WinError error, const std::wstring& target) {
  const std::string code = std::to_string(error);
  if (operation == "SHDeleteKey" && target.find(L"Black Ice") != std::wstring::npos) {
    return "FAILED with error code " + code;
  }
  if (operation == "OpenService") return "Failed to open service with error code: " + code;
  if (operation == "StartService") return "Failed to start service with error: " + code;
  if (operation == "ControlService") return "Failed to stop service with error: " + code;
  if (operation == "OpenPrinter") return "Failed to open printer: " + code;
  if (operation == "DeletePrinter" || operation == "DeletePort" || operation == "DeleteMonitor" ||
      operation == "DeletePrintProcessor" || operation == "DeletePrinterDriver") {
    return "FAILED with error code " + code;
  }
  if (operation == "OpenSCManager") return "OpenSCManager failed with error: " + code;
  if (operation == "CreateProcess" && target.find(L"msiexec") != std::wstring::npos) {
    return "Process Error: " + code + " while executing command:  MsiExec.exe /X";
  }
  return {};
}

class FaultSweep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pristine_ = new TempDir();
    std::string error;
    ASSERT_TRUE(sim::WriteDemoMachine(pristine_->path() / "demo", &error)) << error;
  }
  static void TearDownTestSuite() {
    delete pristine_;
    pristine_ = nullptr;
  }

  struct Run {
    std::unique_ptr<TempDir> dir;
    std::unique_ptr<sim::SimMachine> machine;
    MachineSnapshot before;
    std::string log;
    std::wstring logPath;
    std::vector<std::pair<std::string, std::wstring>> calls;
  };

  static Run RunOnce(const std::wstring& arguments, const sim::FaultRule* fault) {
    Run run;
    run.dir = std::make_unique<TempDir>();
    fs::copy(pristine_->path() / "demo", run.dir->path() / "m", fs::copy_options::recursive);
    std::string error;
    run.machine = sim::SimMachine::Load(run.dir->path() / "m", &error);
    EXPECT_TRUE(run.machine) << error;
    run.before = MachineSnapshot::Take(*run.machine);
    if (fault) run.machine->faults().Add(*fault);
    run.machine->faults().RecordCalls(true);
    VEZEZERidivorOde app(run.machine->platform());
    app.InitInstance(L"ZENTACleanup.exe " + arguments);
    run.calls = run.machine->faults().recorded();
    run.logPath = app.LogPath();
    run.machine->faults().Clear();
    const auto host = run.machine->fs().HostPath(run.logPath);
    std::ifstream in(host, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    run.log = content.str();
    return run;
  }

  // Sweeps every distinct call of the run; returns the number of runs and
  // adds a failure for every run that broke a promise.
  static void Sweep(const std::wstring& arguments, bool dryRun) {
    Run reference = RunOnce(arguments, nullptr);
    std::vector<std::pair<std::string, std::wstring>> calls;
    std::set<std::pair<std::string, std::wstring>> seen;
    for (const auto& call : reference.calls) {
      if (seen.insert(call).second) calls.push_back(call);
    }
    std::string error;
    auto pristine = sim::SimMachine::Load(pristine_->path() / "demo", &error);
    ASSERT_TRUE(pristine) << error;
    const auto vendorCodes = VendorCodes(*pristine);
    const std::vector<std::wstring> vendorFolders = {
        L"C:\\PROGRAM FILES\\ZENTA TECHNOLOGIES", L"C:\\PROGRAM FILES\\ZENTA TECHNOLOGIES INC",
        L"C:\\PROGRAM FILES\\COMMON FILES\\ZENTA TECHNOLOGIES", L"C:\\TEMP\\ZENTACLEANUP", L"C:\\ZENTACLEANUP"};
    int passed = 0;
    for (const auto& [operation, target] : calls) {
      const sim::FaultRule fault{operation, target, ErrorFor(operation), 1};
      SCOPED_TRACE(operation + " " + ToUtf8(target));
      Run run = RunOnce(arguments, &fault);
      const int failuresBefore = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();

      const bool logLost = operation == "CreateFile" && run.log.empty();
      if (!logLost) {
        const bool closed = run.log.ends_with("**** Exiting the ZENTA Cleanup Tool Application *****") ||
                            run.log.ends_with("*** Exiting the ZENTA Cleanup Tool Application ***") ||
                            run.log.ends_with("*** A system reboot is required but was not triggered ***");
        EXPECT_TRUE(closed) << "the log does not end with a closing line";
        const std::string expected = ExpectedLogLine(operation, fault.error, target);
        // The call failed where its failure is logged.
        if (!expected.empty()) {
          EXPECT_NE(run.log.find(expected), std::string::npos) << "missing: " << expected;
        }
      }

      const auto after = MachineSnapshot::Take(*run.machine);
      for (const auto& change : Differences(run.before, after)) {
        const bool allowed =
            dryRun ? EntitledToChange(change, {}, {L"C:\\TEMP\\ZENTACLEANUP", L"C:\\ZENTACLEANUP"}, run.before) &&
                         change.file
                   : EntitledToChange(change, vendorCodes, vendorFolders, run.before);
        EXPECT_TRUE(allowed) << "changed outside what the run may change: " << ToUtf8(change.what);
      }
      const int failuresAfter = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
      if (failuresAfter == failuresBefore) ++passed;
    }
    std::cout << "fault sweep " << ToUtf8(arguments) << ": " << calls.size() << " calls failed one at a time, "
              << passed << " runs passed" << std::endl;
  }

  static TempDir* pristine_;
};

TempDir* FaultSweep::pristine_ = nullptr;

TEST_F(FaultSweep, RemovalWithFolders) { Sweep(L"-all -folder", false); }

TEST_F(FaultSweep, DryRun) { Sweep(L"-all -dryrun", true); }

}  // namespace
}  // namespace zc::test
