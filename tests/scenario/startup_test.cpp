// The run from start to end: log name and lines, help, the silent flows'
// calls and headings, the restart decision and the exit status.
#include <gtest/gtest.h>

#include "support/scenario.h"

namespace zc::test {
namespace {

const std::string kStart = "ZENTA Cleanup Tool started at 04/12/2013 09:30:15";
const std::string kExit = "**** Exiting the ZENTA Cleanup Tool Application *****";

// Records the calls the run makes into the steps of later stages.
class RecordingApp : public VEZEZERidivorOde {
 public:
  using VEZEZERidivorOde::VEZEZERidivorOde;
  std::vector<std::wstring> calls;
  bool rebootFromRemoval = false;

  bool BuildProductCodeLists(bool useFallback) override {
    calls.push_back(L"BuildProductCodeLists(" + std::wstring(useFallback ? L"true" : L"false") + L")");
    return true;
  }
  void DiscoverInstalledProducts(const std::wstring& filter) override {
    calls.push_back(L"DiscoverInstalledProducts(" + filter + L")");
  }
  bool RunRemoval(bool removeFolders, bool remove, int index) override {
    calls.push_back(L"RunRemoval(" + B(removeFolders) + L"," + B(remove) + L"," + std::to_wstring(index) + L")");
    if (rebootFromRemoval) m_bRebootRequired = true;
    return true;
  }
  bool CustomClean(const std::wstring& label, bool apply, bool remove) override {
    calls.push_back(L"CustomClean(" + label + L"," + B(apply) + L"," + B(remove) + L")");
    return true;
  }

 private:
  static std::wstring B(bool b) { return b ? L"true" : L"false"; }
};

TEST(StartUp, DryRunWithAGivenLogWritesExactlyItsLines) {
  ScenarioMachine m;
  const auto r = RunTool(m, L"-dryrun -log C:\\x.log");
  EXPECT_EQ(r.logPath, L"C:\\x.log");
  EXPECT_EQ(m.ReadFile(L"C:\\x.log"),
            CrLf({kStart, "", "", "*** Silent ZENTA Cleanup Tool Dry run for selected products", "", "", kExit}));
  EXPECT_EQ(r.exitStatus, 0);
}

TEST(StartUp, HelpWritesTheStartLineOnlyAndShowsTheHelpBox) {
  ScenarioMachine m;
  RecordingApp app(m.machine().platform());
  const auto r = RunTool(m, L"-all -help -quillo", &app);
  EXPECT_EQ(r.log, kStart + "\r\n\r\n");
  ASSERT_EQ(m.machine().ui().shown().size(), 1u);
  EXPECT_EQ(m.machine().ui().shown()[0].caption, L"ZENTA Cleanup Tool Help");
  EXPECT_EQ(m.machine().ui().shown()[0].text, CommandLineHelpText());
  // The lists are built before the log opens; nothing else runs.
  EXPECT_EQ(app.calls, std::vector<std::wstring>{L"BuildProductCodeLists(true)"});
}

TEST(LogPath, DefaultNameUsesTmpTheFirstFreeNumberAndTheStartTime) {
  ScenarioMachine m;
  EXPECT_EQ(RunTool(m, L"").logPath, L"C:\\Temp\\ZENTACleanup2_20130412_093015.log");

  m.WriteFile(L"C:\\Temp\\ZENTACleanup2");
  EXPECT_EQ(RunTool(m, L"").logPath, L"C:\\Temp\\ZENTACleanup3_20130412_093015.log");

  m.MakeFolder(L"C:\\Temp\\ZENTACleanup3");
  EXPECT_EQ(RunTool(m, L"").logPath, L"C:\\Temp\\ZENTACleanup4_20130412_093015.log");
}

TEST(LogPath, TwoRunsInOneSecondShareTheFileAndTheLaterTruncates) {
  ScenarioMachine m;
  RunTool(m, L"-dryrun -quillo");
  const auto second = RunTool(m, L"");
  EXPECT_EQ(second.log, CrLf({kStart, "", "", "", kExit}));
}

TEST(LogPath, TmpThatIsMissingFallsBackToTheRootOfTheCurrentDrive) {
  auto config = ScenarioMachine::DefaultConfig();
  config.environment = {{L"TMP", L"C:\\NoSuchFolder"}};
  ScenarioMachine m(config);
  const auto r = RunTool(m, L"");
  EXPECT_EQ(r.logPath, L"\\ZENTACleanup2_20130412_093015.log");
  EXPECT_TRUE(m.Exists(L"C:\\ZENTACleanup2_20130412_093015.log"));
}

TEST(LogPath, TmpEndingInABackslashGetsNoSecond) {
  auto config = ScenarioMachine::DefaultConfig();
  config.environment = {{L"TMP", L"C:\\Temp\\"}};
  ScenarioMachine m(config);
  EXPECT_EQ(RunTool(m, L"").logPath, L"C:\\Temp\\ZENTACleanup2_20130412_093015.log");
}

TEST(LogPath, AGivenLogThatCannotBeOpenedIsReplacedByTheDefault) {
  ScenarioMachine m;
  const auto r = RunTool(m, L"-log C:\\NoSuchFolder\\x.log");
  EXPECT_EQ(r.logPath, L"C:\\Temp\\ZENTACleanup2_20130412_093015.log");
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "", kExit}));
}

TEST(LogPath, AGivenLogIsTruncatedEvenWhenItIsAnEarlierLog) {
  ScenarioMachine m;
  m.WriteFile(L"C:\\x.log", std::string(5000, 'z'));
  const auto r = RunTool(m, L"/LOG C:\\x.log");
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "", kExit}));
}

TEST(LogPath, ARunWhoseLogCannotBeOpenedAnywhereStillRuns) {
  ScenarioMachine m;
  m.machine().faults().Add(sim::FaultRule{"CreateFile", L"*", err::kAccessDenied, -1});
  RecordingApp app(m.machine().platform());
  const auto r = RunTool(m, L"-all -dryrun", &app);
  EXPECT_EQ(r.logPath, L"C:\\Temp\\ZENTACleanup2_20130412_093015.log");
  EXPECT_FALSE(m.Exists(r.logPath));
  EXPECT_EQ(app.calls.back(), L"RunRemoval(false,false,-2)");
  EXPECT_EQ(r.exitStatus, 0);
}

TEST(SilentFlows, AllProductsDryRunScansOnceAndListsOnly) {
  ScenarioMachine m;
  RecordingApp app(m.machine().platform());
  const auto r = RunTool(m, L"-dryrun -all", &app);
  EXPECT_EQ(app.calls,
            (std::vector<std::wstring>{L"BuildProductCodeLists(true)", L"DiscoverInstalledProducts(zenta technologies)",
                                       L"RunRemoval(false,false,-2)"}));
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "*** Silent ZENTA Cleanup Tool Dry run for all ZENTA Products installed", "",
                         "", kExit}));
  EXPECT_TRUE(m.machine().ui().shown().empty());
}

TEST(SilentFlows, AllProductsRemovalPassesTheFolderSwitch) {
  for (const auto& [args, expected] :
       std::vector<std::pair<std::wstring, std::wstring>>{{L"-all", L"RunRemoval(false,true,-2)"},
                                                          {L"-full -folder", L"RunRemoval(true,true,-2)"},
                                                          {L"-all -dryrun -folder", L"RunRemoval(false,false,-2)"}}) {
    ScenarioMachine m;
    RecordingApp app(m.machine().platform());
    RunTool(m, args, &app);
    EXPECT_EQ(app.calls.back(), expected) << args;
  }
}

TEST(SilentFlows, DryRunOfFamiliesWritesHeadingsInItsOwnOrder) {
  ScenarioMachine m;
  RecordingApp app(m.machine().platform());
  const auto r = RunTool(m, L"-commonfiles -tavlo -quillo -cxpe -convexa -vexil -quorix -dryrun -folder", &app);
  EXPECT_EQ(app.calls,
            (std::vector<std::wstring>{L"BuildProductCodeLists(true)", L"CustomClean(Quorix/Teviro,false,false)",
                                       L"CustomClean(Quillo Software,false,false)", L"CustomClean(Vexil,false,false)",
                                       L"CustomClean(Convexa,false,false)", L"CustomClean(Convexa PE,false,false)",
                                       L"CustomClean(Tavlo/Product Drivers,false,false)",
                                       L"CustomClean(ZENTA Tavlo Software,false,false)",
                                       L"CustomClean(Common Files,false,false)"}));
  EXPECT_EQ(r.log, CrLf({kStart,
                         "",
                         "",
                         "*** Silent ZENTA Cleanup Tool Dry run for selected products",
                         "",
                         "*** List of folders for Quorix/Teviro Software: ",
                         "",
                         "",
                         "*** List of folders for Quillo Software: ",
                         "",
                         "",
                         "*** List of folders for Vexil: ",
                         "",
                         "",
                         "*** List of folders for Convexa: ",
                         "",
                         "",
                         "*** List of folders for Convexa PE: ",
                         "",
                         "",
                         "*** List of folders for Tavlo/Product Drivers ",
                         "",
                         "",
                         "*** List of folders for Common Files: ",
                         "",
                         "",
                         "",
                         kExit}));
}

TEST(SilentFlows, CleanOfFamiliesGoesInTheCleanOrderWithoutHeadings) {
  ScenarioMachine m;
  RecordingApp app(m.machine().platform());
  const auto r = RunTool(m, L"-quillo -quorix", &app);
  EXPECT_EQ(app.calls,
            (std::vector<std::wstring>{L"BuildProductCodeLists(true)", L"CustomClean(Quorix/Teviro,false,true)",
                                       L"CustomClean(Quillo Software,false,true)"}));
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "*** Silent Cleanup", "", "", kExit}));

  ScenarioMachine m2;
  RecordingApp app2(m2.machine().platform());
  RunTool(m2, L"-drivers -folder", &app2);
  EXPECT_EQ(app2.calls,
            (std::vector<std::wstring>{L"BuildProductCodeLists(true)", L"CustomClean(Tavlo/Product Drivers,true,true)",
                                       L"CustomClean(ZENTA Tavlo Software,true,true)"}));
}

TEST(SilentFlows, OptionsThatSelectNothingSilentLeadToTheDialogs) {
  const std::vector<std::wstring> basic = {L"BuildProductCodeLists(true)",
                                           L"DiscoverInstalledProducts(zenta technologies)"};
  const std::vector<std::wstring> custom = {L"BuildProductCodeLists(true)", L"BuildProductCodeLists(true)"};
  for (const auto& [args, expected] : std::vector<std::pair<std::wstring, std::vector<std::wstring>>>{
           {L"", basic}, {L"-folder", basic}, {L"-limited", custom}}) {
    ScenarioMachine m;
    RecordingApp app(m.machine().platform());
    RunTool(m, args, &app);
    EXPECT_EQ(app.calls, expected) << args;
    EXPECT_EQ(m.machine().ui().dialogs().size(), 1u) << args;  // no answers: the dialog is cancelled
    EXPECT_TRUE(m.machine().ui().commonControlsInitialised());
  }
}

// An argument that is no option refuses the whole run: a typo never turns
// a dry run into a removal, nor a misspelt family into dialogs that an
// unattended deployment waits on forever.
TEST(UnknownOptions, RefuseTheRunWithALineForEachAndStatus1639) {
  struct Form {
    const wchar_t* args;
    std::vector<std::string> unknown;
    bool silent;  // a silent option was given: no help box
  };
  for (const auto& form : std::vector<Form>{
           {L"-all -dryrn", {"-dryrn"}, true},
           {L"-all --dryrun", {"--dryrun"}, true},
           {L"-all -dry", {"-dry"}, true},
           {L"/ALL /Folder now", {"now"}, true},
           {L"-all -", {"-"}, true},
           {L"-driver", {"-driver"}, false},
           {L"-folder -limted -x", {"-limted", "-x"}, false},
       }) {
    SCOPED_TRACE(ToUtf8(form.args));
    ScenarioMachine m;
    RecordingApp app(m.machine().platform());
    const auto r = RunTool(m, form.args, &app);
    EXPECT_EQ(r.exitStatus, 1639);
    std::vector<std::string> lines = {kStart, ""};
    for (const auto& arg : form.unknown) lines.push_back("Unknown command line option: " + arg);
    lines.push_back("");
    EXPECT_EQ(r.log, CrLf(lines));
    EXPECT_EQ(app.calls, std::vector<std::wstring>{L"BuildProductCodeLists(true)"});
    EXPECT_TRUE(m.machine().ui().dialogs().empty());
    EXPECT_EQ(m.machine().ui().shown().size(), form.silent ? 0u : 1u);
    if (!form.silent && !m.machine().ui().shown().empty()) {
      EXPECT_EQ(m.machine().ui().shown()[0].caption, L"ZENTA Cleanup Tool Help");
    }
  }
  // What follows -log is its value, whatever it looks like; -help keeps its way.
  ScenarioMachine m;
  EXPECT_EQ(RunTool(m, L"-dryrun -log -weird.log").exitStatus, 0);
  ScenarioMachine h;
  EXPECT_EQ(RunTool(h, L"-help -bogus").exitStatus, 0);
}

// A real run with the same typo changes nothing on the machine.
TEST(UnknownOptions, ATypoInARemovalChangesNothing) {
  ScenarioMachine m;
  m.WriteFile(L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\Vexil.exe", "MZ");
  sim::ProductSpec spec;
  spec.productCode = L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}";
  spec.name = L"ZENTA Vexil 1.5";
  spec.publisher = L"ZENTA Technologies Inc";
  spec.version = L"1.5.0.0";
  spec.installLocation = L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\";
  m.machine().msi().Register(spec);
  const auto r = RunTool(m, L"-all -folder -dryrn");
  EXPECT_EQ(r.exitStatus, 1639);
  EXPECT_TRUE(m.machine().msi().IsRegistered(spec.productCode));
  EXPECT_EQ(m.ReadFile(L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\Vexil.exe"), "MZ");
}

// Without a visible desktop (a deployment agent's session) nothing waits
// unseen: a command line that would open the dialogs is refused as an
// unknown option is, a box is only logged, and a silent run goes as ever.
TEST(NoDesktop, DialogsAreRefusedBoxesOnlyLoggedSilentRunsAsEver) {
  const std::string refused =
      "No visible desktop: the dialogs cannot be shown; give -all or family options to run silently";
  const std::string help = "No visible desktop: message box not shown: ZENTA Cleanup Tool Help";
  struct Form {
    const wchar_t* args;
    std::vector<std::string> lines;
    int status;
    std::wstring lastCall;
  };
  const std::wstring lists = L"BuildProductCodeLists(true)";
  for (const auto& form : std::vector<Form>{
           {L"", {kStart, "", refused, ""}, 1639, lists},
           {L"-folder -log C:\\x.log", {kStart, "", refused, ""}, 1639, lists},
           {L"-limited", {kStart, "", refused, ""}, 1639, lists},
           {L"-help", {kStart, "", help, ""}, 0, lists},
           {L"-driver", {kStart, "", "Unknown command line option: -driver", help, ""}, 1639, lists},
           {L"-all",
            {kStart, "", "", "*** Silent ZENTA Cleanup Tool Cleaning up all ZENTA Products installed", "", "", kExit},
            0,
            L"RunRemoval(false,true,-2)"},
           {L"-dryrun",
            {kStart, "", "", "*** Silent ZENTA Cleanup Tool Dry run for selected products", "", "", kExit},
            0,
            lists},
       }) {
    SCOPED_TRACE(ToUtf8(form.args));
    auto config = ScenarioMachine::DefaultConfig();
    config.desktopVisible = false;
    ScenarioMachine m(config);
    RecordingApp app(m.machine().platform());
    const auto r = RunTool(m, form.args, &app);
    EXPECT_EQ(r.log, CrLf(form.lines));
    EXPECT_EQ(r.exitStatus, form.status);
    EXPECT_EQ(app.calls.back(), form.lastCall);
    EXPECT_TRUE(m.machine().ui().shown().empty());
    EXPECT_TRUE(m.machine().ui().dialogs().empty());
    EXPECT_TRUE(m.machine().ui().problems().empty());
  }
  // Where the desktop cannot be asked about, it counts as visible: the
  // dialogs open as they always did.
  auto config = ScenarioMachine::DefaultConfig();
  config.desktopVisible = false;
  ScenarioMachine m(config);
  m.machine().faults().Add(sim::FaultRule{"GetUserObjectInformation", L"*", err::kInvalidHandle, -1});
  EXPECT_EQ(RunTool(m, L"").exitStatus, 0);
  EXPECT_EQ(m.machine().ui().dialogs().size(), 1u);
}

// A question asked during a run without a desktop takes its default, No,
// and the log names the box; with a desktop the answer is the user's.
class AskingApp : public RecordingApp {
 public:
  using RecordingApp::RecordingApp;
  int answer = 0;
  bool CustomClean(const std::wstring&, bool, bool) override {
    answer = ShowMessageBox(L"Remove the folder?", L"Folder Deletion Confirmation", MessageBoxKind::kYesNo);
    return true;
  }
};

TEST(NoDesktop, AQuestionIsNotShownAndTakesNo) {
  for (const bool visible : {false, true}) {
    auto config = ScenarioMachine::DefaultConfig();
    config.desktopVisible = visible;
    ScenarioMachine m(config);
    m.machine().ui().SetAnswers({"yes"});
    AskingApp app(m.machine().platform());
    const auto r = RunTool(m, L"-vexil", &app);
    EXPECT_EQ(app.answer, visible ? kIdYes : kIdNo);
    EXPECT_EQ(m.machine().ui().shown().size(), visible ? 1u : 0u);
    const std::string line = "No visible desktop: message box not shown: Folder Deletion Confirmation";
    EXPECT_EQ(r.log,
              CrLf(visible ? std::vector<std::string>{kStart, "", "", "*** Silent Cleanup", "", "", kExit}
                           : std::vector<std::string>{kStart, "", "", "*** Silent Cleanup", line, "", "", kExit}));
  }
}

// SYSTEM's TMP, when the environment names none, is the Windows folder's.
TEST(LogPath, SystemsDefaultTmpIsTheWindowsTempFolder) {
  auto config = ScenarioMachine::DefaultConfig();
  config.environment.clear();
  config.user = sim::kSystemSid;
  ScenarioMachine m(config);
  m.MakeFolder(L"C:\\WINDOWS\\Temp");
  EXPECT_EQ(RunTool(m, L"-dryrun").logPath, L"C:\\WINDOWS\\Temp\\ZENTACleanup2_20130412_093015.log");
}

TEST(EndOfRun, SilentRunRestartsWithoutAskingAfterClosingTheLog) {
  ScenarioMachine m;
  RecordingApp app(m.machine().platform());
  app.rebootFromRemoval = true;
  const auto r = RunTool(m, L"-all", &app);
  EXPECT_EQ(r.log,
            CrLf({kStart, "", "", "*** Silent ZENTA Cleanup Tool Cleaning up all ZENTA Products installed", "", "",
                  "*** A system reboot will be triggered ***", "*** Exiting the ZENTA Cleanup Tool Application ***"}));
  EXPECT_TRUE(m.machine().ui().shown().empty());
  EXPECT_TRUE(m.machine().power().restartRequested());
  EXPECT_FALSE(m.machine().power().privilegeEnabled());
  EXPECT_EQ(m.machine().power().openTokens(), 0);
  EXPECT_EQ(r.exitStatus, exitstatus::kRestartInitiated);
}

TEST(EndOfRun, ARestartThatIsRefusedLeavesRestartRequired) {
  auto config = ScenarioMachine::DefaultConfig();
  config.shutdownPrivilege = false;
  ScenarioMachine m(config);
  RecordingApp app(m.machine().platform());
  app.rebootFromRemoval = true;
  const auto r = RunTool(m, L"-all", &app);
  EXPECT_FALSE(m.machine().power().restartRequested());
  EXPECT_EQ(r.exitStatus, exitstatus::kRestartRequired);
}

// A run whose work (here: the start-up lists) asks for a restart while no
// silent flow runs: the Reboot Required box decides.
class InteractiveRebootApp : public RecordingApp {
 public:
  using RecordingApp::RecordingApp;
  bool BuildProductCodeLists(bool) override {
    m_bRebootRequired = true;
    return true;
  }
};

TEST(EndOfRun, InteractiveRunAsksAndNoIsRecorded) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"cancel", "no"});
  InteractiveRebootApp app(m.machine().platform());
  // The flag is cleared after parsing and set again by the lists.
  const auto r = RunTool(m, L"", &app);
  ASSERT_EQ(m.machine().ui().shown().size(), 1u);
  EXPECT_EQ(m.machine().ui().shown()[0].caption, L"Reboot Required");
  EXPECT_EQ(
      m.machine().ui().shown()[0].text,
      L"To complete the cleanup process a system reboot is required. Would you like to reboot your computer now?");
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "*** A system reboot is required but was not triggered ***", "", kExit}));
  EXPECT_FALSE(m.machine().power().restartRequested());
  EXPECT_EQ(r.exitStatus, exitstatus::kRestartRequired);
}

TEST(EndOfRun, InteractiveRunAnsweredYesRestarts) {
  ScenarioMachine m;
  m.machine().ui().SetAnswers({"cancel", "yes"});
  InteractiveRebootApp app(m.machine().platform());
  const auto r = RunTool(m, L"", &app);
  EXPECT_EQ(r.log, CrLf({kStart, "", "", "", "*** A system reboot will be triggered ***",
                         "*** Exiting the ZENTA Cleanup Tool Application ***"}));
  EXPECT_TRUE(m.machine().power().restartRequested());
}

TEST(OperationLogBytes, CharactersAbove255BecomeQuestionMarksAndTheLogGoesOn) {
  ScenarioMachine m;
  OperationLog log;
  ASSERT_TRUE(log.Open(m.machine().fs(), L"C:\\l.log"));
  log << L"Caf\u00e9 \u4e2d\u6587 \u00ff" << eol << "after " << -1 << " " << 4294967295u << eol << L"end";
  log.Close();
  EXPECT_EQ(m.ReadFile(L"C:\\l.log"), "Caf\xe9 ?? \xff\r\nafter -1 4294967295\r\nend");
}

TEST(OperationLogBytes, WritesBeforeOpeningAndAfterAFailedOpenAreDropped) {
  ScenarioMachine m;
  OperationLog log;
  log << "lost" << eol;
  EXPECT_FALSE(log.Open(m.machine().fs(), L"C:\\missing\\l.log"));
  log << "lost too" << eol;
  ASSERT_TRUE(log.Open(m.machine().fs(), L"C:\\l.log"));
  log << "kept";
  log.Close();
  EXPECT_EQ(m.ReadFile(L"C:\\l.log"), "kept");
}

TEST(OperationLogBytes, EveryEndOfLineReachesTheDiskAtOnce) {
  ScenarioMachine m;
  OperationLog log;
  ASSERT_TRUE(log.Open(m.machine().fs(), L"C:\\l.log"));
  log << "first" << eol << "unfinished";
  EXPECT_EQ(m.ReadFile(L"C:\\l.log"), "first\r\n");
  // A message that carries its own line ends (a refusal) is on disk before
  // the box that shows it waits for the user.
  log << L" message\nsecond\n";
  EXPECT_EQ(m.ReadFile(L"C:\\l.log"), "first\r\nunfinished message\r\nsecond\r\n");
  log.Close();
}

}  // namespace
}  // namespace zc::test
