// The fault sweep: the silent all-products removal with folder clean-up,
// and the dry run, on the demo machine, once for every platform call the
// run makes, with that one call failing as Windows makes it fail. Each run
// must finish, close its log, and change nothing it was not entitled to.
// One test per call, named after it, so that a failing call can be run
// again alone (--gtest_filter='*DeleteFile_C_Program_Files*').
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

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

// Where a failure shows in the log, for the calls whose failure the log names.
std::string ExpectedLogLine(sim::FaultOperation operation, WinError error, const std::wstring& target) {
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

// One distinct platform call of a reference run.
struct SweepCall {
  const wchar_t* arguments;
  bool dryRun;
  sim::FaultOperation operation;
  std::wstring target;
  std::size_t index;
};

void PrintTo(const SweepCall& call, std::ostream* os) { *os << call.operation.name() << " " << ToUtf8(call.target); }

// The demo machine with a fixed clock: the log's name, and so the calls a
// run makes on it, are the same in every run.
bool WriteSweepMachine(const fs::path& folder, std::string* error) {
  if (!sim::WriteDemoMachine(folder, error)) return false;
  std::ofstream(folder / "machine.ini", std::ios::app) << "\n[system]\nclock = 2013-04-12 09:30:15\n";
  return true;
}

std::unique_ptr<sim::SimMachine> LoadDemoCopy(const fs::path& pristine, const TempDir& dir) {
  fs::copy(pristine, dir.path() / "m", fs::copy_options::recursive);
  std::string error;
  auto machine = sim::SimMachine::Load(dir.path() / "m", &error);
  EXPECT_TRUE(machine) << error;
  return machine;
}

// The calls a fault-free run of `arguments` makes on the demo machine, each
// once. Every test process would make the same reference run to learn its
// tests' names; the first one keeps the list beside the test program, for
// as long as the program is the same build.
std::vector<SweepCall> RecordedCalls(const wchar_t* arguments, bool dryRun) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  const std::string stamp = std::to_string(fs::file_size(self, ec)) + " " +
                            std::to_string(fs::last_write_time(self, ec).time_since_epoch().count());
  const fs::path cache = self.string() + ".sweep-" + (dryRun ? "dryrun" : "removal") + ".txt";

  std::vector<std::pair<sim::FaultOperation, std::wstring>> calls;
  std::ifstream cached(cache, std::ios::binary);
  std::string line;
  if (cached && std::getline(cached, line) && line == stamp) {
    while (std::getline(cached, line)) {
      const auto tab = line.find('\t');
      if (tab == std::string::npos) continue;
      calls.emplace_back(sim::FaultOperation(line.substr(0, tab)), FromUtf8(line.substr(tab + 1)));
    }
  } else {
    TempDir dir;
    std::string error;
    if (!WriteSweepMachine(dir.path() / "demo", &error)) return {};
    TempDir run;
    auto machine = LoadDemoCopy(dir.path() / "demo", run);
    if (!machine) return {};
    machine->faults().RecordCalls(true);
    VEZEZERidivorOde app(machine->platform());
    app.InitInstance(std::wstring(L"ZENTACleanup.exe ") + arguments);
    std::set<std::pair<sim::FaultOperation, std::wstring>> seen;
    for (const auto& call : machine->faults().recorded()) {
      if (seen.insert(call).second) calls.push_back(call);
    }
    std::ostringstream out;
    out << stamp << "\n";
    for (const auto& [operation, target] : calls) out << operation.name() << "\t" << ToUtf8(target) << "\n";
    const fs::path temporary = cache.string() + "." + std::to_string(::getpid());
    std::ofstream(temporary, std::ios::binary) << out.str();
    fs::rename(temporary, cache, ec);
  }
  std::vector<SweepCall> sweep;
  for (const auto& [operation, target] : calls) {
    sweep.push_back(SweepCall{arguments, dryRun, operation, target, sweep.size()});
  }
  return sweep;
}

// "17_DeleteFile_C_Program_Files_ZENTA_Technologies_a_dll".
std::string CallName(const ::testing::TestParamInfo<SweepCall>& info) {
  std::string name = std::to_string(info.param.index) + "_" + info.param.operation.name();
  const std::string target = ToUtf8(info.param.target);
  bool separator = false;
  for (char c : target) {
    const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (word) {
      if (!separator && name.back() != '_') name += '_';
      name += c;
      separator = true;
    } else {
      separator = false;
    }
    if (name.size() > 120) break;
  }
  return name;
}

class FaultSweep : public ::testing::TestWithParam<SweepCall> {
 protected:
  static void SetUpTestSuite() {
    pristine_ = new TempDir();
    std::string error;
    ASSERT_TRUE(WriteSweepMachine(pristine_->path() / "demo", &error)) << error;
  }
  static void TearDownTestSuite() {
    delete pristine_;
    pristine_ = nullptr;
  }
  static TempDir* pristine_;
};

TempDir* FaultSweep::pristine_ = nullptr;

TEST_P(FaultSweep, TheRunEndsLogsTheFailureAndChangesOnlyWhatItMay) {
  const SweepCall& call = GetParam();
  TempDir dir;
  auto machine = LoadDemoCopy(pristine_->path() / "demo", dir);
  ASSERT_TRUE(machine);
  const MachineSnapshot before = MachineSnapshot::Take(*machine);
  const auto vendorCodes = VendorCodes(*machine);
  const sim::FaultRule fault{call.operation, call.target, InfoOf(call.operation.op()).typicalFailure, 1};
  machine->faults().Add(fault);
  VEZEZERidivorOde app(machine->platform());
  app.InitInstance(std::wstring(L"ZENTACleanup.exe ") + call.arguments);
  std::ifstream in(machine->fs().HostPath(app.LogPath()), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string log = content.str();
  // The call this test fails was made (a stale list of calls sweeps nothing).
  EXPECT_EQ(machine->faults().fired(), 1);

  const bool logLost = call.operation == "CreateFile" && log.empty();
  if (!logLost) {
    const bool closed = log.ends_with("**** Exiting the ZENTA Cleanup Tool Application *****") ||
                        log.ends_with("*** Exiting the ZENTA Cleanup Tool Application ***") ||
                        log.ends_with("*** A system reboot is required but was not triggered ***");
    EXPECT_TRUE(closed) << "the log does not end with a closing line:\n" << log;
    // The call failed where its failure is logged.
    const std::string expected = ExpectedLogLine(call.operation, fault.error, call.target);
    if (!expected.empty()) {
      EXPECT_NE(log.find(expected), std::string::npos) << "missing: " << expected;
    }
  }

  const std::vector<std::wstring> vendorFolders = {
      L"C:\\PROGRAM FILES\\ZENTA TECHNOLOGIES", L"C:\\PROGRAM FILES\\ZENTA TECHNOLOGIES INC",
      L"C:\\PROGRAM FILES\\COMMON FILES\\ZENTA TECHNOLOGIES", L"C:\\TEMP\\ZENTACLEANUP", L"C:\\ZENTACLEANUP",
      // The administrator's own per-user product; the second account's stays.
      L"C:\\USERS\\ADMIN\\APPDATA\\LOCAL\\PROGRAMS\\ZENTA LUMIO READER"};
  for (const auto& change : Differences(before, MachineSnapshot::Take(*machine))) {
    const bool allowed =
        call.dryRun
            ? change.file && EntitledToChange(change, {}, {L"C:\\TEMP\\ZENTACLEANUP", L"C:\\ZENTACLEANUP"}, before)
            : EntitledToChange(change, vendorCodes, vendorFolders, before);
    EXPECT_TRUE(allowed) << "changed outside what the run may change: " << ToUtf8(change.what);
  }
}

INSTANTIATE_TEST_SUITE_P(RemovalWithFolders, FaultSweep, ::testing::ValuesIn(RecordedCalls(L"-all -folder", false)),
                         CallName);
INSTANTIATE_TEST_SUITE_P(DryRun, FaultSweep, ::testing::ValuesIn(RecordedCalls(L"-all -dryrun", true)), CallName);

// A sweep that recorded nearly nothing would pass by sweeping nothing.
TEST(FaultSweepReference, RecordsEveryKindOfCallTheRunMakes) {
  const auto removal = RecordedCalls(L"-all -folder", false);
  std::set<std::string> kinds;
  for (const auto& call : removal) kinds.insert(call.operation.name());
  EXPECT_GT(removal.size(), 300u);
  for (const char* kind : {"DeleteFile", "RemoveDirectory", "RegDeleteValue", "CreateProcess", "DeletePrinter",
                           "ControlService", "GetFinalPathNameByHandle", "SHDeleteKey"}) {
    EXPECT_TRUE(kinds.contains(kind)) << kind;
  }
  EXPECT_GT(RecordedCalls(L"-all -dryrun", true).size(), 200u);
}

}  // namespace
}  // namespace zc::test
