// Runs that tell the truth: a dry run changes nothing whatever its entry
// text, the log never claims what did not happen, and the exit status says
// how the run ended.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "safety/dry_run_view.h"
#include "removal/removal_support.h"
#include "safety/machine_snapshot.h"

namespace zc::test {
namespace {

const std::string kExit = "**** Exiting the ZENTA Cleanup Tool Application *****";

bool Has(const std::string& log, const std::string& part) { return log.find(part) != std::string::npos; }

// A product named exactly like a family, with files, SharedDlls counts and
// registration that a removal would take.
void AddFamilyNamedProduct(ScenarioMachine& m, const std::wstring& code, const std::wstring& name,
                           const std::wstring& folder) {
  AddRemovalPrograms(m);
  m.WriteFile(folder + L"app.exe", "MZ");
  SetSharedCount(m, folder + L"app.exe", 1);
  m.machine().msi().Register(VendorProduct(code, name, folder));
}

// Limited mode starts in custom mode; Basic Mode leads to the list, where
// Dry Run on the entry named like a family lists that family and changes
// nothing at all.
TEST(DryRunByConstruction, LimitedModeDryRunOfAProductNamedLikeAFamilyChangesNothing) {
  struct Named {
    const wchar_t* code;
    const wchar_t* name;
    const wchar_t* folder;
  };
  for (const auto& product : {Named{L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", L"Vexil",
                                    L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\"},
                              Named{L"{4233A874-F8D9-4777-B94C-432B2889509D}", L"Quillo Software",
                                    L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\"},
                              Named{L"{C58288BE-29CA-4CBA-A599-B1418A95CCD7}", L"ZENTA Tavlo Software",
                                    L"C:\\Program Files\\ZENTA Technologies Inc\\ZENTA Tavlo Software\\"}}) {
    SCOPED_TRACE(ToUtf8(product.name));
    ScenarioMachine m;
    AddFamilyNamedProduct(m, product.code, product.name, product.folder);
    m.machine().ui().SetAnswers({"basic", "dryrun 1", "ok", "cancel"});
    const MachineSnapshot before = MachineSnapshot::Take(m.machine());
    const RunResult r = RunTool(m, L"-limited -folder");
    EXPECT_TRUE(Has(r.log, "*****Performing Dry Run for " + ToUtf8(product.name))) << r.log;
    EXPECT_TRUE(Has(r.log, "Dry Run operation performed on " + ToUtf8(product.name)));
    EXPECT_FALSE(Has(r.log, "Successfully Executed Command")) << r.log;
    EXPECT_FALSE(Has(r.log, "Running MSI Zap Command")) << r.log;
    EXPECT_FALSE(Has(r.log, "Removing Folder")) << r.log;
    for (const auto& change : Differences(before, MachineSnapshot::Take(m.machine()))) {
      EXPECT_TRUE(change.file && change.what.rfind(L"C:\\TEMP\\ZENTACLEANUP", 0) == 0)
          << "changed: " << ToUtf8(change.what);
    }
    EXPECT_TRUE(m.machine().msi().IsRegistered(product.code));
    EXPECT_TRUE(m.machine().processes().runs().empty());
  }
}

// The view itself: each call that would change the machine is refused and
// reported; what reads passes.
TEST(DryRunByConstruction, TheViewRefusesEveryKindOfChangeAndPassesReads) {
  ScenarioMachine m;
  m.WriteFile(L"C:\\Program Files\\ZENTA Technologies\\a.dll", "MZ");
  sim::WriteDword(m.machine().nativeRegistry(), kHkeyLocalMachine, L"SOFTWARE\\ZENTA Technologies", L"v", 1);
  DryRunView view(m.machine().platform());
  Platform p = view.platform();
  SlipCatcher catcher;
  {
    DryRunView::Scope dry(view);
    const std::wstring file = L"C:\\Program Files\\ZENTA Technologies\\a.dll";
    EXPECT_EQ(p.fs.DeleteFileAt(file), err::kAccessDenied);
    EXPECT_EQ(p.fs.SetAttributes(file, fileattr::kNormal), err::kAccessDenied);
    EXPECT_EQ(p.fs.RemoveFolder(L"C:\\Program Files\\ZENTA Technologies"), err::kAccessDenied);
    EXPECT_EQ(p.fs.ScheduleDeleteAtReboot(file), err::kAccessDenied);
    HKey key{};
    EXPECT_EQ(p.registry.CreateKey(kHkeyLocalMachine, L"SOFTWARE\\New", &key), err::kAccessDenied);
    EXPECT_EQ(p.registry.DeleteTree(kHkeyLocalMachine, L"SOFTWARE\\ZENTA Technologies"), err::kAccessDenied);
    UniqueRegKey open(p.registry);
    ASSERT_EQ(p.registry.OpenKey(kHkeyLocalMachine, L"SOFTWARE\\ZENTA Technologies", RegAccess::kAllAccess, open.put()),
              err::kSuccess);
    const std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(p.registry.SetValue(open.get(), L"w", regtype::kDword, one, 4), err::kAccessDenied);
    EXPECT_EQ(p.registry.DeleteValue(open.get(), L"v"), err::kAccessDenied);
    ProcessHandles handles;
    EXPECT_EQ(p.processes.StartProcess(L"C:\\Tools\\MSIZap.exe", L"MSIZap.exe TWG! {x}", &handles), err::kAccessDenied);
    EXPECT_EQ(p.spooler.DeletePortNamed(L"IcePortER:"), err::kAccessDenied);
    EXPECT_EQ(p.spooler.DeleteDriverNamed(L"Windows NT x86", L"d"), err::kAccessDenied);
    EXPECT_EQ(p.spooler.DeleteMonitorNamed(L"m"), err::kAccessDenied);
    EXPECT_EQ(p.spooler.DeleteProcessorNamed(L"p"), err::kAccessDenied);
    EXPECT_EQ(p.spooler.DeletePrinterAt(1), err::kAccessDenied);
    EXPECT_EQ(p.services.StartServiceAt(1), err::kAccessDenied);
    std::uint32_t state = 0;
    EXPECT_EQ(p.services.StopServiceAt(1, &state), err::kAccessDenied);
    EXPECT_EQ(p.power.SetShutdownPrivilege(1, true), err::kAccessDenied);
    EXPECT_EQ(p.power.RequestRestart(), err::kAccessDenied);
    // Reads and the log pass.
    std::uint32_t attributes = 0;
    EXPECT_EQ(p.fs.GetAttributes(file, &attributes), err::kSuccess);
    WinError error = 0;
    EXPECT_NE(p.fs.CreateOutputFile(L"C:\\Temp\\dry.log", &error), nullptr);
  }
  EXPECT_EQ(view.refusals(), 18);
  EXPECT_EQ(catcher.slips().size(), 18u);
  EXPECT_TRUE(m.Exists(L"C:\\Program Files\\ZENTA Technologies\\a.dll"));
  EXPECT_EQ(sim::ReadDword(m.machine().nativeRegistry(), kHkeyLocalMachine, L"SOFTWARE\\ZENTA Technologies", L"v"), 1u);
  // Outside a dry run the same calls reach the machine.
  EXPECT_EQ(p.fs.DeleteFileAt(L"C:\\Program Files\\ZENTA Technologies\\a.dll"), err::kSuccess);
  EXPECT_EQ(view.refusals(), 18);
}

// A change that slips into a dry run fails the test that runs it: the
// refusal is never swallowed.
class SlippingApp : public VEZEZERidivorOde {
 public:
  using VEZEZERidivorOde::VEZEZERidivorOde;
  bool CustomClean(const std::wstring& label, bool apply, bool remove) override {
    m_platform.fs.DeleteFileAt(L"C:\\Program Files\\ZENTA Technologies\\a.dll");  // the deliberate slip
    return VEZEZERidivorOde::CustomClean(label, apply, remove);
  }
};

bool g_slipTargetSurvived = false;

void RunASlippingDryRun() {
  ScenarioMachine m;
  m.WriteFile(L"C:\\Program Files\\ZENTA Technologies\\a.dll", "MZ");
  SlippingApp app(m.machine().platform());
  RunTool(m, L"-dryrun -vexil", &app);
  g_slipTargetSurvived = m.Exists(L"C:\\Program Files\\ZENTA Technologies\\a.dll");
}

TEST(DryRunByConstruction, ADeliberateSlipFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(RunASlippingDryRun(), "dry run refused DeleteFile");
  EXPECT_TRUE(g_slipTargetSurvived);
}

// msiexec ran but how it ended cannot be read: a failure with its reason,
// no MSIZap for a product that may still be installed, status 1603.
TEST(HonestLog, AnUnreadableExitCodeIsAFailureAndMsiZapIsNotRun) {
  for (const char* call : {"GetExitCodeProcess", "WaitForSingleObject"}) {
    SCOPED_TRACE(call);
    ScenarioMachine m;
    AddFamilyNamedProduct(m, L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", L"ZENTA Vexil 1.5",
                          L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\");
    const std::string operation = call;
    m.machine().faults().Add(
        sim::FaultRule{operation, L"msiexec", operation == "WaitForSingleObject" ? 0xFFFFFFFFu : 6u, 1});
    const RunResult r = RunTool(m, L"-all");
    EXPECT_TRUE(Has(r.log, "MSI uninstall operation failed: the exit code of the uninstall could not be read (error"))
        << r.log;
    EXPECT_FALSE(Has(r.log, "performed successfully"));
    EXPECT_TRUE(Has(r.log, "The MSIZAP Tool was not run: the uninstall did not tell how it ended"));
    EXPECT_FALSE(Has(r.log, "Running MSI Zap Command: \"C:\\Tools\\MSIZap.exe\" TWG! {7FCC2407"));
    EXPECT_EQ(r.exitStatus, 1603);
  }
  // The custom clean holds to it too.
  ScenarioMachine m;
  AddFamilyNamedProduct(m, L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", L"ZENTA Vexil 1.5",
                        L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\");
  m.machine().faults().Add(sim::FaultRule{"GetExitCodeProcess", L"msiexec", 6, 1});
  const RunResult r = RunTool(m, L"-vexil");
  EXPECT_TRUE(Has(r.log, "The MSIZAP Tool was not run: the uninstall did not tell how it ended")) << r.log;
  EXPECT_FALSE(Has(r.log, "Running MSI Zap Command: \"C:\\Tools\\MSIZap.exe\" TWG! {7FCC2407"));
  EXPECT_EQ(r.exitStatus, 1603);
}

TEST(HonestLog, AMissingMsiZapIsNeverSaidToHaveRun) {
  ScenarioMachine m;
  AddFamilyNamedProduct(m, L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}", L"ZENTA Vexil 1.5",
                        L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\");
  std::filesystem::remove(m.Host(L"C:\\Tools\\MSIZap.exe"));
  const RunResult r = RunTool(m, L"-all");
  EXPECT_FALSE(Has(r.log, "The MSIZAP Tool was run to cleanup left over MSI entries.")) << r.log;
  EXPECT_TRUE(Has(r.log,
                  "An MSI uninstall operation was performed successfully\r\n"
                  "The MSIZAP Tool was not found at C:\\Tools\\MSIZap.exe: left over MSI entries were not "
                  "cleaned up.\r\n"));
  EXPECT_TRUE(r.log.ends_with(kExit));
}

// The Quorix clean restarts the spooler before each uninstall; a spooler
// that was stopping is waited for and runs again afterwards.
TEST(HonestLog, TheSpoolerRunsAgainAfterTheQuorixClean) {
  ScenarioMachine m;
  AddFamilyNamedProduct(m, L"{D4FB8AE4-BF39-42C0-A084-7D8C5206E5C1}", L"ZENTA Quorix 4.0",
                        L"C:\\Program Files\\ZENTA Technologies\\ZENTA Quorix 4.0\\");
  AddFamilyNamedProduct(m, L"{C5FCEA76-5728-4F57-9BEF-A12844413281}", L"ZENTA Quorix 4.5",
                        L"C:\\Program Files\\ZENTA Technologies\\ZENTA Quorix\\");
  sim::EnsureKey(m.machine().nativeRegistry(), kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\Spooler");
  m.machine().services().SetBehaviour(L"Spooler", sim::ServiceBehaviour{svcstate::kStopPending, 1, 2});
  const RunResult r = RunTool(m, L"-quorix");
  EXPECT_EQ(m.machine().services().StateOf(L"Spooler"), svcstate::kRunning) << r.log;
  EXPECT_FALSE(Has(r.log, "is not running now"));
  // Each uninstall comes after a restart of its own.
  std::size_t from = 0;
  int uninstalls = 0;
  for (std::size_t at;
       (at = r.log.find("Successfully Executed Command:  MsiExec.exe /X", from)) != std::string::npos;) {
    const std::size_t restart = r.log.rfind("Restarting service: Spooler", at);
    EXPECT_TRUE(restart != std::string::npos && restart >= from) << "no restart before:\n"
                                                                 << r.log.substr(from, at - from);
    from = at + 1;
    ++uninstalls;
  }
  EXPECT_EQ(uninstalls, 2);
}

}  // namespace
}  // namespace zc::test
