// Interactive runs: the dialog loop with its boxes, on the simulated machine.
#include <gtest/gtest.h>

#include "platform/sim/msi_registration.h"
#include "support/scenario.h"
#include "ui/resource.h"

namespace zc::test {
namespace {

const std::string kStart = "ZENTA Cleanup Tool started at 04/12/2013 09:30:15";
const std::string kExit = "**** Exiting the ZENTA Cleanup Tool Application *****";

// Observes the removal steps without carrying them out.
class ObservedApp : public VEZEZERidivorOde {
 public:
  using VEZEZERidivorOde::VEZEZERidivorOde;
  std::vector<std::wstring> calls;
  bool removalResult = true;

  bool RunRemoval(bool removeFolders, bool remove, int index) override {
    calls.push_back(L"RunRemoval(" + std::to_wstring(removeFolders) + L"," + std::to_wstring(remove) + L"," +
                    std::to_wstring(index) + L")");
    return removalResult;
  }
  bool CustomClean(const std::wstring& label, bool apply, bool remove) override {
    calls.push_back(L"CustomClean(" + label + L"," + std::to_wstring(apply) + L"," + std::to_wstring(remove) + L")");
    return true;
  }
};

void AddProduct(ScenarioMachine& m, const wchar_t* code, const wchar_t* name, const wchar_t* upgrade = L"") {
  sim::ProductSpec p;
  p.productCode = code;
  p.upgradeCode = upgrade;
  p.name = name;
  p.publisher = L"ZENTA Technologies Inc";
  p.version = L"1.0.0.0";
  m.machine().msi().Register(p);
}

std::vector<std::wstring> Captions(ScenarioMachine& m) {
  std::vector<std::wstring> out;
  for (const auto& box : m.machine().ui().shown()) out.push_back(box.caption);
  return out;
}

TEST(InteractiveRun, CancelAtOnceWritesOnlyTheStartAndExitLines) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"cancel"});
  const auto r = RunTool(m, L"");
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "", kExit}));
  ASSERT_EQ(m.machine().ui().dialogs().size(), 1u);
  EXPECT_EQ(m.machine().ui().dialogs()[0].items, std::vector<std::wstring>{L"All ZENTA Products"});
  EXPECT_EQ(m.machine().ui().dialogs()[0].endCode, IDCANCEL);
}

// The basic dialog's Help answer shows the help box and the dialog stays.
TEST(InteractiveRun, HelpShowsTheHelpBoxAndTheDialogStays) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"help", "ok", "cancel"});
  const auto r = RunTool(m, L"");
  EXPECT_EQ(Captions(m), std::vector<std::wstring>{L"ZENTA Cleanup Tool Help"});
  EXPECT_EQ(m.machine().ui().shown()[0].text, CommandLineHelpText());
  EXPECT_EQ(m.machine().ui().dialogs().size(), 1u);
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "", kExit}));
}

TEST(InteractiveRun, AllProductsAloneRemovesWithIndexMinusTwo) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"remove 0", "yes", "ok", "cancel"});
  ObservedApp app(m.machine().platform());
  const auto r = RunTool(m, L"", &app);
  EXPECT_EQ(app.calls, std::vector<std::wstring>{L"RunRemoval(0,1,-2)"});
  EXPECT_EQ(Captions(m), (std::vector<std::wstring>{L"Clean Confirmation", L"Operation Completed"}));
  EXPECT_EQ(m.machine().ui().shown()[0].text, L"Are you sure you want to clean All ZENTA Products from your system?");
  EXPECT_EQ(m.machine().ui().shown()[1].text,
            L"Cleanup operation performed on All ZENTA Products\n\nFor details see the log at:\n" + r.logPath);
  EXPECT_EQ(r.log, CrLf({kStart, "", "Cleanup operation performed on All ZENTA Products", "", "\t*******************",
                         "", "", "", kExit}));
  EXPECT_TRUE(m.machine().ui().problems().empty());
}

TEST(InteractiveRun, TheSecondEntryIsProductZeroAndTheFolderSwitchCountsForRemoveOnly) {
  ScenarioMachine m;
  AddProduct(m, L"{11111111-2222-3333-4444-555555555555}", L"ZENTA Vexil 1.5");
  m.machine().ui().SetAnswers({"remove 1", "yes", "ok", "dryrun 1", "ok", "cancel"});
  ObservedApp app(m.machine().platform());
  RunTool(m, L"-folder", &app);
  EXPECT_EQ(app.calls, (std::vector<std::wstring>{L"RunRemoval(1,1,0)", L"RunRemoval(0,0,0)"}));
  // A fresh scan before every showing of the basic-mode dialog.
  EXPECT_EQ(m.machine().ui().dialogs().size(), 3u);
}

TEST(InteractiveRun, RemoveAnsweredNoChangesAndWritesNothing) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"remove 0", "no", "cancel"});
  ObservedApp app(m.machine().platform());
  const auto r = RunTool(m, L"", &app);
  EXPECT_TRUE(app.calls.empty());
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "", kExit}));
  EXPECT_EQ(m.machine().ui().dialogs().size(), 2u);
}

TEST(InteractiveRun, DryRunShowsItsCompletionBoxWhateverTheResult) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"dryrun 0", "ok", "cancel"});
  ObservedApp app(m.machine().platform());
  app.removalResult = false;
  const auto r = RunTool(m, L"", &app);
  EXPECT_EQ(Captions(m), std::vector<std::wstring>{L"Operation Completed"});
  EXPECT_EQ(m.machine().ui().shown()[0].text,
            L"Dry Run operation performed on All ZENTA Products\n\nFor details see the log at:\n" + r.logPath);
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "*****Performing Dry Run for All ZENTA Products", "",
                         "Dry Run operation performed on All ZENTA Products", "", "\t*******************", "", "", "",
                         kExit}));
}

TEST(InteractiveRun, ARefusedRemoveShowsNoCompletionBox) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"remove 0", "yes", "cancel"});
  ObservedApp app(m.machine().platform());
  app.removalResult = false;
  const auto r = RunTool(m, L"", &app);
  EXPECT_EQ(Captions(m), std::vector<std::wstring>{L"Clean Confirmation"});
  EXPECT_NE(r.log.find("Cleanup operation cannot be performed on All ZENTA Products\r\n\r\n\t*******************"),
            std::string::npos);
}

TEST(InteractiveRun, CustomModeAndBackRebuildsTheListsAndLogsTheSwitches) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"custom", "basic", "cancel"});
  const auto r = RunTool(m, L"");
  const auto& dialogs = m.machine().ui().dialogs();
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[1].templateId, IDD_CUSTOM_MODE);
  // Nothing installed: every family with a fallback table is offered, Convexa PE is not.
  EXPECT_EQ(dialogs[1].items, (std::vector<std::wstring>{L"Common Files", L"Convexa", L"Quillo Software",
                                                         L"Quorix/Teviro", L"Tavlo/Product Drivers", L"Vexil"}));
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "", "==Running in Custom Mode==", "", "", "==Running in Normal Mode==", "", "",
                         "", kExit}));
}

TEST(InteractiveRun, CleanProductAnsweredNoComesBackToCustomMode) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"custom", "clean Vexil", "no", "cancel"});
  ObservedApp app(m.machine().platform());
  RunTool(m, L"", &app);
  EXPECT_TRUE(app.calls.empty());
  const auto& dialogs = m.machine().ui().dialogs();
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[2].templateId, IDD_CUSTOM_MODE);
}

TEST(InteractiveRun, LimitedStartsInCustomModeAndBasicModeCleansByTheEntryText) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"clean Convexa", "yes", "ok", "basic", "remove 0", "yes", "ok", "cancel"});
  ObservedApp app(m.machine().platform());
  const auto r = RunTool(m, L"-limited", &app);
  EXPECT_EQ(app.calls,
            (std::vector<std::wstring>{L"CustomClean(Convexa,1,1)", L"CustomClean(All ZENTA Products,1,1)"}));
  EXPECT_EQ(m.machine().ui().dialogs()[0].templateId, IDD_CUSTOM_MODE);
  EXPECT_NE(r.log.find("Cleanup operation performed on Convexa\r\n*******************\r\n\r\n"), std::string::npos);
}

TEST(InteractiveRun, AnUninstallThatNeedsARestartAsksAtTheEnd) {
  for (const char* answer : {"yes", "no"}) {
    ScenarioMachine m;
    m.WriteFile(L"C:\\WINDOWS\\system32\\msiexec.exe");
    AddProduct(m, L"{11111111-2222-3333-4444-555555555555}", L"ZENTA Vexil 1.5");
    m.machine().config().msiexecExitCodes = {{L"{11111111-2222-3333-4444-555555555555}", 3010}};
    m.machine().ui().SetAnswers({"remove 1", "yes", "ok", "cancel", answer});
    const auto r = RunTool(m, L"");
    EXPECT_EQ(Captions(m).back(), L"Reboot Required");
    EXPECT_EQ(m.machine().power().restartRequested(), std::string(answer) == "yes");
    EXPECT_NE(r.log.find("A reboot will be required as the Uninstall return Code is: 3010"), std::string::npos);
    EXPECT_EQ(r.exitStatus,
              std::string(answer) == "yes" ? exitstatus::kRestartInitiated : exitstatus::kRestartRequired);
  }
}

}  // namespace
}  // namespace zc::test
