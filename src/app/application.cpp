#include "app/application.h"

#include "app/log_path.h"
#include "system/restart.h"

namespace zc {

std::vector<std::wstring> g_listEntries;

namespace {
constexpr const wchar_t* kPublisherFilter = L"zenta technologies";
}

bool VEZEZERidivorOde::InitInstance(std::wstring_view commandLine) {
  const LocalTime startTime = m_platform.system.Now();
  const std::wstring baseName = MakeTempBaseName(m_platform.fs, m_platform.system, L"ZENTACleanup");

  CCustomCommandLineInfo cmdInfo;
  cmdInfo.ParseCommandLine(commandLine);

  m_bSilent = false;
  m_bRebootRequired = false;

  BuildProductCodeLists(true);

  OpenLog(cmdInfo, startTime, baseName);
  m_log << "ZENTA Cleanup Tool started at " << FormatTimestamp(startTime) << eol << eol;

  if (cmdInfo.m_bHelp) {
    ShowCommandLineHelp(m_platform.ui);
    m_log.Close();
    return false;
  }

  RunSilentFlow(cmdInfo);

  m_platform.ui.InitCommonControls();

  bool showBasic = true;
  bool showCustom = false;
  if (cmdInfo.m_bLimited) {
    showBasic = false;
    showCustom = true;
  }
  if (m_bSilent) showBasic = showCustom = false;

  RunDialogLoop(showBasic, showCustom);
  EndRun();
  return false;
}

void VEZEZERidivorOde::OpenLog(const CCustomCommandLineInfo& cmdInfo, const LocalTime& startTime,
                               const std::wstring& baseName) {
  const std::wstring suffix = FormatFileNameSuffix(startTime);
  if (cmdInfo.m_bLogFile && !cmdInfo.m_strLogFile.empty()) {
    if (m_log.Open(m_platform.fs, cmdInfo.m_strLogFile)) m_strLogPath = cmdInfo.m_strLogFile;
  }
  if (!m_log.is_open()) {
    m_strLogPath = baseName + suffix + L".log";
    m_log.Open(m_platform.fs, m_strLogPath);
  }
}

void VEZEZERidivorOde::RunSilentFlow(const CCustomCommandLineInfo& cmd) {
  if (cmd.m_bAll) {
    m_bSilent = true;
    DiscoverInstalledProducts(kPublisherFilter);
    if (cmd.m_bDryRun) {
      m_log << eol << "*** Silent ZENTA Cleanup Tool Dry run for all ZENTA Products installed" << eol;
      RunRemoval(false, false, -2);
    } else {
      m_log << eol << "*** Silent ZENTA Cleanup Tool Cleaning up all ZENTA Products installed" << eol;
      RunRemoval(cmd.m_bFolder, true, -2);
    }
    return;
  }

  if (cmd.m_bDryRun) {
    m_bSilent = true;
    m_log << eol << "*** Silent ZENTA Cleanup Tool Dry run for selected products" << eol;
    struct DryRunFamily {
      bool selected;
      const char* heading;
      const wchar_t* labels[2];
    };
    const DryRunFamily families[] = {
        {cmd.m_bQuorix, "*** List of folders for Quorix/Teviro Software: ", {L"Quorix/Teviro", nullptr}},
        {cmd.m_bQuillo, "*** List of folders for Quillo Software: ", {L"Quillo Software", nullptr}},
        {cmd.m_bVexil, "*** List of folders for Vexil: ", {L"Vexil", nullptr}},
        {cmd.m_bConvexa, "*** List of folders for Convexa: ", {L"Convexa", nullptr}},
        {cmd.m_bConvexaPE, "*** List of folders for Convexa PE: ", {L"Convexa PE", nullptr}},
        {cmd.m_bTavlo,
         "*** List of folders for Tavlo/Product Drivers ",
         {L"Tavlo/Product Drivers", L"ZENTA Tavlo Software"}},
        {cmd.m_bCommonFiles, "*** List of folders for Common Files: ", {L"Common Files", nullptr}},
    };
    for (const auto& family : families) {
      if (!family.selected) continue;
      m_log << eol << family.heading << eol << eol;
      for (const wchar_t* label : family.labels) {
        if (label) CustomClean(label, false, false);
      }
    }
    return;
  }

  const bool anyFamily = cmd.m_bQuillo || cmd.m_bTavlo || cmd.m_bQuorix || cmd.m_bVexil || cmd.m_bConvexa ||
                         cmd.m_bConvexaPE || cmd.m_bCommonFiles;
  if (!anyFamily) return;

  m_bSilent = true;
  m_log << eol << "*** Silent Cleanup" << eol;
  if (cmd.m_bTavlo) {
    CustomClean(L"Tavlo/Product Drivers", cmd.m_bFolder, true);
    CustomClean(L"ZENTA Tavlo Software", cmd.m_bFolder, true);
  }
  if (cmd.m_bQuorix) CustomClean(L"Quorix/Teviro", cmd.m_bFolder, true);
  if (cmd.m_bQuillo) CustomClean(L"Quillo Software", cmd.m_bFolder, true);
  if (cmd.m_bVexil) CustomClean(L"Vexil", cmd.m_bFolder, true);
  if (cmd.m_bConvexa) CustomClean(L"Convexa", cmd.m_bFolder, true);
  if (cmd.m_bConvexaPE) CustomClean(L"Convexa PE", cmd.m_bFolder, true);
  if (cmd.m_bCommonFiles) CustomClean(L"Common Files", cmd.m_bFolder, true);
}

void VEZEZERidivorOde::RunDialogLoop(bool showBasic, bool showCustom) {
  // The dialogs come with the interactive front end; until then the loop
  // has nothing to show and ends at once.
  (void)showBasic;
  (void)showCustom;
}

void VEZEZERidivorOde::EndRun() {
  if (m_bRebootRequired) {
    bool restart = m_bSilent;
    if (!restart) {
      const int answer = m_platform.ui.ShowMessageBox(
          L"To complete the cleanup process a system reboot is required. Would you like to reboot your computer now?",
          L"Reboot Required", MessageBoxKind::kYesNo);
      restart = answer == kIdYes;
      if (!restart) {
        m_log << eol << "*** A system reboot is required but was not triggered ***";
        m_bRestartDeclined = true;
      }
    }
    if (restart) {
      m_log << eol << eol << "*** A system reboot will be triggered ***" << eol
            << "*** Exiting the ZENTA Cleanup Tool Application ***";
      m_log.Close();
      RestartSystem();
      return;
    }
  }
  m_log << eol << eol << "**** Exiting the ZENTA Cleanup Tool Application *****";
  m_log.Close();
}

int VEZEZERidivorOde::ExitStatus() const {
  if (m_bAnyRefusal) return exitstatus::kRefused;
  if (m_bAnyInstallInProgress) return exitstatus::kInstallInProgress;
  if (m_bAnyUninstallFailure) return exitstatus::kUninstallFailed;
  if (m_bRestartInitiated) return exitstatus::kRestartInitiated;
  if (m_bRebootRequired) return exitstatus::kRestartRequired;
  return exitstatus::kCompleted;
}

void VEZEZERidivorOde::RestartSystem() { m_bRestartInitiated = RequestSystemRestart(m_platform.power); }

}  // namespace zc
