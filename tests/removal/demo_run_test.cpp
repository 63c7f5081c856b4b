// Whole runs on the demo machine: the dry run changes nothing and lists
// what the removal then removes; the removal takes every vendor product and
// its remains and nothing else; every silent command line runs to its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "platform/sim/demo_machine.h"
#include "platform/sim/installer_layout.h"
#include "platform/sim/machine.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"
#include "support/scenario.h"
#include "support/temp_dir.h"

namespace zc::test {
namespace {

namespace fs = std::filesystem;

const std::wstring kSharedDllsKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const std::string kExit = "**** Exiting the ZENTA Cleanup Tool Application *****";
const std::string kRestartExit = "*** Exiting the ZENTA Cleanup Tool Application ***";

std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_directory()) {
      files[fs::relative(entry.path(), root).string() + "/"] = "";
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    files[fs::relative(entry.path(), root).string()] = s.str();
  }
  return files;
}

struct DemoRun {
  std::string log;
  std::string logFile;  // relative to the machine folder
  int exitStatus = 0;
};

class DemoMachineRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim::WriteDemoMachine(dir.path(), &error)) << error;
  }

  // Loads the machine, runs the tool, saves the machine, as the program does.
  DemoRun Run(const std::wstring& arguments, const std::function<void(sim::SimMachine&)>& prepare = {}) {
    std::string error;
    auto machine = sim::SimMachine::Load(dir.path(), &error);
    EXPECT_TRUE(machine) << error;
    if (!machine) return {};
    if (prepare) prepare(*machine);
    VEZEZERidivorOde app(machine->platform());
    app.InitInstance(L"ZENTACleanup.exe " + arguments);
    DemoRun r;
    r.exitStatus = app.ExitStatus();
    EXPECT_TRUE(machine->Save(&error)) << error;
    const auto host = machine->fs().HostPath(app.LogPath());
    r.logFile = fs::relative(host, dir.path()).string();
    std::ifstream in(host, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    r.log = s.str();
    return r;
  }

  std::unique_ptr<sim::SimMachine> Reload() {
    std::string error;
    auto machine = sim::SimMachine::Load(dir.path(), &error);
    EXPECT_TRUE(machine) << error;
    return machine;
  }

  bool Exists(sim::SimMachine& m, const std::wstring& path) {
    std::uint32_t a = 0;
    return m.fs().GetAttributes(path, &a) == err::kSuccess;
  }

  TempDir dir;
};

bool Has(const std::string& log, const std::string& part) { return log.find(part) != std::string::npos; }
std::size_t Count(const std::string& log, const std::string& part) {
  std::size_t n = 0;
  for (auto at = log.find(part); at != std::string::npos; at = log.find(part, at + part.size())) ++n;
  return n;
}
bool EndsWith(const std::string& log, const std::string& tail) {
  return log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0;
}

// The lines that name what is removed, with their verbs made alike, so that
// the dry run's listing can be compared with the removal's.
std::vector<std::string> Named(const std::string& log, bool removal) {
  std::vector<std::string> out;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto take = [&](const std::string& from, const std::string& to) {
      if (line.rfind(from, 0) == 0) out.push_back(to + line.substr(from.size()));
    };
    if (removal) {
      take("Removing Folder: ", "folder ");
      take("Removing Link: ", "link ");
      if (line.rfind("Removed Entry : ", 0) == 0) out.push_back("entry " + line.substr(16, line.find("  -- ") - 16));
    } else {
      take("Folder found: ", "folder ");
      take("Link found: ", "link ");
      if (line.rfind("Entry Found: ", 0) == 0) out.push_back("entry " + line.substr(13, line.find("  -- ") - 13));
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(DemoMachineRun, DryRunChangesNothingAndListsWhatTheRemovalRemoves) {
  const auto before = Snapshot(dir.path());
  const DemoRun dry = Run(L"-all -dryrun");
  auto after = Snapshot(dir.path());
  ASSERT_EQ(after.count(dry.logFile), 1u) << dry.logFile;
  after.erase(dry.logFile);
  EXPECT_EQ(after.size(), before.size());
  for (const auto& [path, bytes] : before) {
    const auto it = after.find(path);
    ASSERT_NE(it, after.end()) << path << " is gone";
    EXPECT_EQ(it->second, bytes) << path << " changed";
  }
  EXPECT_TRUE(Has(dry.log, "\r\n*** Silent ZENTA Cleanup Tool Dry run for all ZENTA Products installed\r\n"));
  EXPECT_TRUE(EndsWith(dry.log, "\r\n\r\n" + kExit)) << dry.log;
  EXPECT_EQ(dry.exitStatus, 0);
  EXPECT_FALSE(Has(dry.log, "Custom cleaning"));
  EXPECT_FALSE(Has(dry.log, "MsiExec.exe"));
  EXPECT_TRUE(Has(dry.log, "\r\nInstalled for another user: ZENTA Lumio Reader 2.0 -- GUID: "));

  const DemoRun removal = Run(L"-all -folder");
  EXPECT_TRUE(EndsWith(removal.log, "\r\n\r\n" + kExit)) << removal.log;
  EXPECT_EQ(removal.exitStatus, 0) << removal.log;
  // Everything the removal names was listed by the dry run.
  const auto listed = Named(dry.log, false);
  const auto removed = Named(removal.log, true);
  EXPECT_GT(removed.size(), 20u);
  for (const auto& item : removed) {
    EXPECT_TRUE(std::binary_search(listed.begin(), listed.end(), item)) << item << " was not listed";
  }
}

TEST_F(DemoMachineRun, RemovalTakesEveryVendorProductAndItsRemainsAndNothingElse) {
  const DemoRun r = Run(L"-all -folder");
  EXPECT_TRUE(EndsWith(r.log, "\r\n\r\n" + kExit)) << r.log;
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_FALSE(Has(r.log, "Action not permitted"));

  auto m = Reload();
  ASSERT_TRUE(m);
  auto& reg = m->nativeRegistry();
  const HKey hklm = kHkeyLocalMachine;
  // No vendor registration is left; the other publisher's product stays.
  for (const auto& name : sim::SubKeyNames(reg, hklm, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall")) {
    const auto publisher =
        sim::ReadText(reg, hklm, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name, L"Publisher");
    EXPECT_EQ(publisher.value_or(L""), L"Harbor Lane Software") << ToUtf8(name);
  }
  EXPECT_TRUE(m->msi().IsRegistered(L"{6E2A8C40-1F3B-4D5E-9A7C-B8D0E2F4A6C8}"));
  EXPECT_TRUE(Exists(*m, L"C:\\Program Files\\Harbor Lane\\Notes\\hlcore.dll"));
  // The vendor's folders are gone.
  for (const wchar_t* folder : {L"C:\\Program Files\\ZENTA Technologies", L"C:\\Program Files\\ZENTA Technologies Inc",
                                L"C:\\Program Files\\Common Files\\ZENTA Technologies",
                                L"C:\\Program Files\\Common Files\\ZENTA Technologies Inc"}) {
    EXPECT_FALSE(Exists(*m, folder)) << ToUtf8(folder);
  }
  // SharedDlls: only the values outside the folders the run cleans remain.
  // The second common folder gets no SharedDlls clean-up of its own, and a
  // value matches a folder only at a name boundary, so its count stays.
  auto names = sim::ValueNames(reg, hklm, kSharedDllsKey);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{
                       L"C:\\Program Files\\Common Files\\ZENTA Technologies Inc\\Runtime\\zrt.dll",
                       L"C:\\Program Files\\Harbor Lane\\Notes\\hlcore.dll", L"C:\\WINDOWS\\system32\\msvcr90.dll"}));
  EXPECT_EQ(sim::ReadDword(reg, hklm, kSharedDllsKey, L"C:\\WINDOWS\\system32\\msvcr90.dll").value_or(0), 7u);
  // The printer and its pieces, and the outside vendor's keys.
  const std::wstring print = sim::kPrintKey;
  EXPECT_FALSE(sim::KeyExists(reg, hklm, print + L"\\Printers\\ZENTA Quillo Print Capture"));
  EXPECT_FALSE(sim::KeyExists(reg, hklm, print + L"\\Monitors\\Ice Monitor E"));
  EXPECT_FALSE(sim::KeyExists(
      reg, hklm, print + L"\\Environments\\Windows NT x86\\Drivers\\Version-3\\ZENTA Print Capture Driver"));
  EXPECT_FALSE(
      sim::KeyExists(reg, hklm, print + L"\\Environments\\Windows NT x86\\Print Processors\\EMF Print Processor"));
  EXPECT_TRUE(sim::KeyExists(reg, hklm, print + L"\\Environments\\Windows NT x86\\Print Processors\\winprint"));
  EXPECT_TRUE(sim::KeyExists(reg, hklm, print + L"\\Monitors\\Local Port"));
  EXPECT_FALSE(sim::KeyExists(reg, hklm, L"SOFTWARE\\Black Ice Software Inc"));
  EXPECT_FALSE(sim::KeyExists(reg, hklm, L"SOFTWARE\\Black Ice Software, Inc."));
  EXPECT_FALSE(sim::KeyExists(reg, hklm, L"SOFTWARE\\ZENTA Technologies\\ZNTTavDriver"));
  // The user's documents, whatever their names.
  EXPECT_TRUE(Exists(*m, L"C:\\Users\\Admin\\Documents\\Quarterly report.docx"));
  EXPECT_TRUE(Exists(*m, L"C:\\Users\\Admin\\Documents\\ZENTA Technologies\\My lessons\\lesson notes.txt"));
  EXPECT_TRUE(Exists(*m, L"C:\\Tools\\MSIZap.exe"));
  EXPECT_TRUE(Exists(*m, L"C:\\WINDOWS\\system32\\msvcr90.dll"));
  // The administrator's per-user reader goes with its folder; the second
  // account's is named once, never uninstalled or zapped, and stays whole.
  const std::wstring reader = L"{5A1D3C7E-2B4F-4E69-8C0A-1D2E3F4A5B6C}";
  EXPECT_FALSE(m->msi().IsRegistered(reader));
  EXPECT_FALSE(Exists(*m, L"C:\\Users\\Admin\\AppData\\Local\\Programs\\ZENTA Lumio Reader"));
  EXPECT_TRUE(Exists(*m, L"C:\\Users\\Pat\\AppData\\Local\\Programs\\ZENTA Lumio Reader\\Lumio.exe"));
  EXPECT_TRUE(
      sim::KeyExists(reg, kHkeyUsers,
                     L"S-1-5-21-1004336348-1177238915-682003330-1002\\Software\\Microsoft\\Installer\\Products\\" +
                         sim::msilayout::PackGuid(reader)));
  EXPECT_EQ(Count(r.log, "Installed for another user: ZENTA Lumio Reader 2.0 -- GUID: " + ToUtf8(reader) +
                             " -- User: S-1-5-21-1004336348-1177238915-682003330-1002\r\n"),
            1u);
  EXPECT_EQ(Count(r.log, "MsiExec.exe /X" + ToUtf8(reader)), 1u);
  EXPECT_EQ(Count(r.log, "TWG! " + ToUtf8(reader)), 1u);
}

TEST_F(DemoMachineRun, AJunctionInAVendorFolderCostsTheUserNothing) {
  {
    auto m = Reload();
    ASSERT_TRUE(m);
    fs::create_directory_symlink(m->fs().HostPath(L"C:\\Users\\Admin\\Documents"),
                                 m->fs().HostPath(L"C:\\Program Files\\ZENTA Technologies\\Quillo Software") / "Docs");
  }
  const DemoRun r = Run(L"-all -folder");
  EXPECT_TRUE(Has(r.log, "Removing Link: C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Docs\r\n")) << r.log;
  auto m = Reload();
  EXPECT_TRUE(Exists(*m, L"C:\\Users\\Admin\\Documents\\Quarterly report.docx"));
  EXPECT_TRUE(Exists(*m, L"C:\\Users\\Admin\\Documents\\ZENTA Technologies\\My lessons\\lesson notes.txt"));
  EXPECT_FALSE(Exists(*m, L"C:\\Program Files\\ZENTA Technologies"));
}

TEST_F(DemoMachineRun, WithoutTheFolderSwitchProductsGoAndTheirFoldersAreOnlyListed) {
  const DemoRun r = Run(L"-all");
  EXPECT_TRUE(EndsWith(r.log, "\r\n\r\n" + kExit));
  EXPECT_TRUE(Has(r.log, "**** List of Common ZENTA folders that need to be cleaned up\r\n"));
  EXPECT_FALSE(Has(r.log, "Removing Folder: "));
  auto m = Reload();
  EXPECT_FALSE(m->msi().IsRegistered(L"{4233A874-F8D9-4777-B94C-432B2889509D}"));
  EXPECT_TRUE(Exists(*m, L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Settings\\license.dat"));
}

TEST_F(DemoMachineRun, ARestartAfter3010IsTriggeredAtTheEnd) {
  const DemoRun r = Run(L"-all -folder", [](sim::SimMachine& m) {
    m.config().msiexecExitCodes.push_back({L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", 3010});
  });
  EXPECT_TRUE(Has(r.log,
                  "A reboot will be required as the Uninstall return Code is: 3010\r\n"
                  "An MSI uninstall operation was performed successfully\r\n"));
  EXPECT_TRUE(EndsWith(r.log, "\r\n\r\n*** A system reboot will be triggered ***\r\n" + kRestartExit));
  EXPECT_EQ(r.exitStatus, exitstatus::kRestartInitiated);
  EXPECT_TRUE(fs::exists(dir / sim::kRestartMarkerFile));
}

TEST_F(DemoMachineRun, A3010WithoutTheRightToRestartEndsWith3010) {
  const DemoRun r = Run(L"-all", [](sim::SimMachine& m) {
    m.config().msiexecExitCodes.push_back({L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", 3010});
    m.faults().Add(sim::FaultRule{"AdjustTokenPrivileges", L"*", err::kAccessDenied, -1});
  });
  // The log says the restart could not be triggered, never that it will be.
  EXPECT_FALSE(Has(r.log, "A system reboot will be triggered"));
  EXPECT_TRUE(EndsWith(
      r.log, "\r\n\r\n*** A system reboot is required but could not be triggered (error 5) ***\r\n\r\n" + kExit))
      << r.log;
  EXPECT_EQ(r.exitStatus, exitstatus::kRestartRequired);
}

TEST_F(DemoMachineRun, ARestartThatWindowsRefusesIsToldAfterTheClosedLog) {
  const DemoRun r = Run(L"-all", [](sim::SimMachine& m) {
    m.config().msiexecExitCodes.push_back({L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", 3010});
    m.faults().Add(sim::FaultRule{"InitiateSystemShutdown", L"*", 1115, -1});
  });
  EXPECT_TRUE(EndsWith(r.log, kRestartExit +
                                  "\r\n*** The system reboot could not be triggered: restart the computer to complete "
                                  "the cleanup ***"))
      << r.log;
  EXPECT_EQ(r.exitStatus, exitstatus::kRestartRequired);
}

TEST_F(DemoMachineRun, FailuresSetTheExitStatusInItsOrder) {
  const DemoRun failed = Run(L"-all", [](sim::SimMachine& m) {
    m.config().msiexecExitCodes.push_back({L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", 1603});
  });
  EXPECT_TRUE(Has(failed.log, "MSI uninstall operation failed with error code: 1603\r\n"));
  EXPECT_TRUE(EndsWith(failed.log, kExit));
  EXPECT_EQ(failed.exitStatus, exitstatus::kUninstallFailed);
}

TEST_F(DemoMachineRun, AnotherInstallationInProgressWinsOverAFailure) {
  const DemoRun r = Run(L"-all", [](sim::SimMachine& m) {
    m.config().msiexecExitCodes.push_back({L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", 1603});
    m.config().msiexecExitCodes.push_back({L"{12BEC5AF-5E98-48E9-8774-F67C4A0B8585}", 1618});
  });
  EXPECT_TRUE(Has(r.log, "MSI uninstall operation failed with error code: 1618\r\n"));
  EXPECT_EQ(r.exitStatus, exitstatus::kInstallInProgress);
}

TEST_F(DemoMachineRun, AProductThatIsNotInstalledIsNoFailure) {
  const DemoRun r = Run(L"-all", [](sim::SimMachine& m) {
    m.config().msiexecExitCodes.push_back({L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", 1605});
  });
  EXPECT_TRUE(Has(r.log, "MSI uninstall operation failed with error code: 1605\r\n"));
  EXPECT_EQ(r.exitStatus, exitstatus::kCompleted);
}

TEST_F(DemoMachineRun, AnMsiexecThatCannotStartIsAFailure) {
  const DemoRun r = Run(L"-all", [](sim::SimMachine& m) {
    m.faults().Add(sim::FaultRule{"CreateProcess", L"C:\\WINDOWS\\system32\\msiexec.exe", err::kFileNotFound, -1});
  });
  EXPECT_TRUE(Has(r.log, "\r\nProcess Error: 2 while executing command:  MsiExec.exe /X"));
  EXPECT_TRUE(Has(r.log, "MSI uninstall operation failed with error code: 4294967295\r\n"));
  EXPECT_TRUE(EndsWith(r.log, kExit));
  EXPECT_EQ(r.exitStatus, exitstatus::kUninstallFailed);
}

// Every silent command line runs to its end.
struct CommandLine {
  const wchar_t* arguments;
  const char* firstLine;
};

class SilentCommandLine : public DemoMachineRun, public ::testing::WithParamInterface<CommandLine> {};

TEST_P(SilentCommandLine, RunsToTheExitLine) {
  const auto before = Snapshot(dir.path());
  const DemoRun r = Run(GetParam().arguments);
  EXPECT_TRUE(Has(r.log, std::string("\r\n") + GetParam().firstLine + "\r\n")) << r.log;
  EXPECT_TRUE(EndsWith(r.log, "\r\n\r\n" + kExit)) << r.log;
  EXPECT_EQ(r.exitStatus, 0) << r.log;
  auto m = Reload();
  EXPECT_TRUE(Exists(*m, L"C:\\Users\\Admin\\Documents\\Quarterly report.docx"));
  EXPECT_TRUE(m->msi().IsRegistered(L"{6E2A8C40-1F3B-4D5E-9A7C-B8D0E2F4A6C8}"));
  if (std::wstring(GetParam().arguments).find(L"dryrun") != std::wstring::npos) {
    auto after = Snapshot(dir.path());
    after.erase(r.logFile);
    EXPECT_EQ(after, before) << "a dry run changed the machine";
  }
}

INSTANTIATE_TEST_SUITE_P(
    DemoMachine, SilentCommandLine,
    ::testing::Values(
        CommandLine{L"-all", "*** Silent ZENTA Cleanup Tool Cleaning up all ZENTA Products installed"},
        CommandLine{L"-all -folder", "*** Silent ZENTA Cleanup Tool Cleaning up all ZENTA Products installed"},
        CommandLine{L"-all -dryrun", "*** Silent ZENTA Cleanup Tool Dry run for all ZENTA Products installed"},
        CommandLine{L"-all -dryrun -folder", "*** Silent ZENTA Cleanup Tool Dry run for all ZENTA Products installed"},
        CommandLine{L"-quillo", "*** Silent Cleanup"}, CommandLine{L"-tavlo", "*** Silent Cleanup"},
        CommandLine{L"-quorix", "*** Silent Cleanup"}, CommandLine{L"-vexil", "*** Silent Cleanup"},
        CommandLine{L"-convexa", "*** Silent Cleanup"}, CommandLine{L"-cxpe", "*** Silent Cleanup"},
        CommandLine{L"-commonfiles", "*** Silent Cleanup"}, CommandLine{L"-quillo -folder", "*** Silent Cleanup"},
        CommandLine{L"-tavlo -folder", "*** Silent Cleanup"}, CommandLine{L"-quorix -folder", "*** Silent Cleanup"},
        CommandLine{L"-convexa -folder", "*** Silent Cleanup"},
        CommandLine{L"-quillo -tavlo -quorix -vexil -convexa -cxpe -commonfiles", "*** Silent Cleanup"},
        CommandLine{L"-quillo -tavlo -quorix -vexil -convexa -cxpe -commonfiles -folder", "*** Silent Cleanup"},
        CommandLine{L"-dryrun -quillo", "*** Silent ZENTA Cleanup Tool Dry run for selected products"},
        CommandLine{L"-dryrun -tavlo", "*** Silent ZENTA Cleanup Tool Dry run for selected products"},
        CommandLine{L"-dryrun -quorix -folder", "*** Silent ZENTA Cleanup Tool Dry run for selected products"},
        CommandLine{L"-dryrun -quillo -tavlo -quorix -vexil -convexa -cxpe -commonfiles",
                    "*** Silent ZENTA Cleanup Tool Dry run for selected products"}));

TEST_F(DemoMachineRun, EveryFamilyTogetherRemovesEveryFamilyProduct) {
  const DemoRun r = Run(L"-quillo -tavlo -quorix -vexil -convexa -cxpe -commonfiles -folder");
  EXPECT_FALSE(Has(r.log, "Action not permitted")) << r.log;
  auto m = Reload();
  for (const wchar_t* code : {L"{4233A874-F8D9-4777-B94C-432B2889509D}", L"{4C7DD64A-AE81-4F12-A9A9-49FA563C7086}",
                              L"{C5FCEA76-5728-4F57-9BEF-A12844413281}", L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}",
                              L"{12BEC5AF-5E98-48E9-8774-F67C4A0B8585}", L"{40F6AC18-40D2-46B4-803A-BDC96B8F1E9E}",
                              L"{C58288BE-29CA-4CBA-A599-B1418A95CCD7}"}) {
    EXPECT_FALSE(m->msi().IsRegistered(code)) << ToUtf8(code);
  }
  EXPECT_FALSE(sim::KeyExists(m->nativeRegistry(), kHkeyLocalMachine, L"SOFTWARE\\Black Ice Software Inc"));
}

}  // namespace
}  // namespace zc::test
