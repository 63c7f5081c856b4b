#include "app/application.h"

#include <optional>

#include "app/family_table.h"
#include "app/log_path.h"
#include "catalogue/families.h"
#include "ui/resource.h"
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
  // A dry run works on the dry-run view from here to its end: whatever its
  // steps do, nothing of the machine changes.
  std::optional<DryRunView::Scope> dryRun;
  if (cmdInfo.m_bDryRun) dryRun.emplace(m_dryRunView);

  m_bSilent = false;
  m_bRebootRequired = false;

  BuildProductCodeLists(true);

  OpenLog(cmdInfo, startTime, baseName);
  m_log << "ZENTA Cleanup Tool started at " << FormatTimestamp(startTime) << eol << eol;

  // A box or dialog shown where nobody can see it (a deployment agent's
  // session) waits forever. Where the question cannot be answered (older
  // systems), the desktop counts as visible and everything is shown as it
  // always was.
  bool visible = true;
  m_bDesktopVisible = m_platform.ui.GetWindowStationVisible(&visible) != err::kSuccess || visible;

  if (cmdInfo.m_bHelp) {
    ShowCommandLineHelp();
    m_log.Close();
    return false;
  }
  if (!cmdInfo.m_unknownArguments.empty()) {
    RefuseCommandLine(cmdInfo);
    return false;
  }
  if (!m_bDesktopVisible && !cmdInfo.SelectsSilentFlow()) {
    // The dialogs would wait unseen: refused as an unknown option is.
    m_log << "No visible desktop: the dialogs cannot be shown; give -all or family options to run silently" << eol;
    m_bInvalidCommandLine = true;
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

  RunDialogLoop(cmdInfo, showBasic, showCustom);
  EndRun();
  return false;
}

// A command line with an argument that is no option does nothing: a typo
// (-dryrn, --dryrun) must not turn a dry run into a removal, nor a
// misspelt family option into dialogs that a deployment waits on forever.
void VEZEZERidivorOde::RefuseCommandLine(const CCustomCommandLineInfo& cmdInfo) {
  for (const auto& argument : cmdInfo.m_unknownArguments) {
    m_log << L"Unknown command line option: " << argument << eol;
  }
  if (!cmdInfo.SelectsSilentFlow()) ShowCommandLineHelp();
  m_bInvalidCommandLine = true;
  m_log.Close();
}

int VEZEZERidivorOde::ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) {
  if (!m_bDesktopVisible) {
    m_log << L"No visible desktop: message box not shown: " << caption << eol;
    return kind == MessageBoxKind::kYesNo ? kIdNo : kIdOk;
  }
  return m_platform.ui.ShowMessageBox(text, caption, kind);
}

void VEZEZERidivorOde::ShowCommandLineHelp() {
  ShowMessageBox(CommandLineHelpText(), kCommandLineHelpCaption, MessageBoxKind::kOk);
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
  // The log is never deleted by the run that writes it.
  if (m_log.is_open() && m_guard) m_guard->SetLogFile(m_strLogPath);
}

ScopeGuard& VEZEZERidivorOde::Guard() { return m_guard ? *m_guard : RebuildGuard(); }

ScopeGuard& VEZEZERidivorOde::RebuildGuard() {
  std::wstring current;
  WinError error = 0;
  m_platform.system.GetCurrentDir(32768, &current, &error);
  m_guard.emplace(m_platform.fs, GatherProtectedFolders(m_platform), std::move(current));
  if (m_log.is_open()) m_guard->SetLogFile(m_strLogPath);
  return *m_guard;
}

void VEZEZERidivorOde::RunSilentFlow(const CCustomCommandLineInfo& cmd) {
  if (cmd.m_bAll) {
    m_bSilent = true;
    DiscoverInstalledProducts(kPublisherFilter);
    if (cmd.m_bDryRun) {
      m_log << eol << "*** Silent ZENTA Cleanup Tool Dry run for all ZENTA Products installed" << eol;
      RunRemoval(false, false, kAllProducts);
    } else {
      m_log << eol << "*** Silent ZENTA Cleanup Tool Cleaning up all ZENTA Products installed" << eol;
      RunRemoval(cmd.m_bFolder, true, kAllProducts);
    }
    return;
  }

  if (cmd.m_bDryRun) {
    m_bSilent = true;
    m_log << eol << "*** Silent ZENTA Cleanup Tool Dry run for selected products" << eol;
    for (const auto& option : kDryRunOrder) {
      if (!(cmd.*option.flag)) continue;
      m_log << eol << option.dryRunHeading << eol << eol;
      for (FamilyIndex family : option.families) CustomClean(kProductFamilies[family].label, false, false);
    }
    return;
  }

  if (!cmd.SelectsSilentFlow()) return;
  m_bSilent = true;
  m_log << eol << "*** Silent Cleanup" << eol;
  for (const auto& option : kCleanOrder) {
    if (!(cmd.*option.flag)) continue;
    for (FamilyIndex family : option.families) CustomClean(kProductFamilies[family].label, cmd.m_bFolder, true);
  }
}

void VEZEZERidivorOde::RunDialogLoop(const CCustomCommandLineInfo& cmdInfo, bool showBasic, bool showCustom) {
  auto& ui = m_platform.ui;
  while (showBasic || showCustom) {
    // The basic-mode dialog is made on every pass, even when custom mode is shown.
    CZENTACleanupDlg basic(ui, m_pMainWnd, [this] { ShowCommandLineHelp(); });
    m_pMainWnd = &basic;

    bool enterCustom = showCustom;
    if (!showCustom && showBasic) {
      g_listEntries.clear();
      DiscoverInstalledProducts(kPublisherFilter);
      g_listEntries.push_back(L"All ZENTA Products");
      for (const auto& product : m_installedProducts) g_listEntries.push_back(product.m_strName);

      const int code = basic.DoModal();
      if (code == IDOK || code == IDC_DRY_RUN) {
        BasicModeAction(basic, code, cmdInfo.m_bLimited, cmdInfo.m_bFolder);
      } else if (code == IDCANCEL) {
        showBasic = showCustom = false;
      } else if (code == IDC_CUSTOM_MODE) {
        m_log << eol << eol << "==Running in Custom Mode==" << eol;
        showCustom = true;
        showBasic = false;
        enterCustom = true;
      }
    }

    if (enterCustom) {
      g_listEntries.clear();
      BuildProductCodeLists(true);
      for (FamilyIndex family : kCustomModeFamilies) {
        if (!ProductCodeList(family).empty()) g_listEntries.push_back(kProductFamilies[family].label);
      }
      CProductVersion custom(ui, m_pMainWnd);
      m_pMainWnd = &custom;
      const int code = custom.DoModal();
      if (code == IDC_BASIC_MODE) {
        showBasic = true;
        showCustom = false;
        m_log << eol << eol << "==Running in Normal Mode==" << eol << eol;
      } else if (code == IDOK) {
        CustomModeAction(custom, showBasic);
      } else if (code == IDCANCEL) {
        showBasic = showCustom = false;
      }
    }
    m_pMainWnd = nullptr;
  }
}

void VEZEZERidivorOde::BasicModeAction(const CZENTACleanupDlg& dialog, int endCode, bool limited, bool folder) {
  const std::wstring name = dialog.m_strSelected;
  const int index = dialog.m_nSelected;
  const bool dryRun = endCode == IDC_DRY_RUN;

  // The Dry Run button works on the dry-run view for the whole action.
  std::optional<DryRunView::Scope> dryRunScope;
  if (dryRun) {
    dryRunScope.emplace(m_dryRunView);
    m_bSilent = true;
    m_log << eol << L"*****Performing Dry Run for " << name << eol << eol;
  } else if (ShowMessageBox(L"Are you sure you want to clean " + name + L" from your system?", L"Clean Confirmation",
                            MessageBoxKind::kYesNo) != kIdYes) {
    return;
  }

  bool result = true;
  if (limited) {
    // A product may be named exactly like a family: the Dry Run button then
    // lists that family, and only Remove cleans it.
    CustomClean(name, !dryRun, !dryRun);
  } else {
    result = RunRemoval(folder && !dryRun, !dryRun, index == 0 ? kAllProducts : index - 1);
  }
  if (dryRun) m_bSilent = false;

  const std::wstring outcome = dryRun   ? L"Dry Run operation performed on " + name
                               : result ? L"Cleanup operation performed on " + name
                                        : L"Cleanup operation cannot be performed on " + name;
  if (!m_bSilent && (result || dryRun)) {
    ShowMessageBox(outcome + L"\n\nFor details see the log at:\n" + m_strLogPath, L"Operation Completed",
                   MessageBoxKind::kOk);
  }
  m_log << outcome << eol << eol << "\t*******************" << eol << eol;
}

void VEZEZERidivorOde::CustomModeAction(const CProductVersion& dialog, bool& showBasic) {
  const std::wstring label = dialog.m_strSelected;
  if (ShowMessageBox(L"Are you sure you want to clean " + label + L" from your system?", L"Clean Confirmation",
                     MessageBoxKind::kYesNo) != kIdYes) {
    showBasic = false;
    return;
  }
  const bool result = CustomClean(label, true, true);
  if (!m_bSilent && result) {
    ShowMessageBox(L"Cleanup operation performed on " + label + L"\n\nFor details see the log at:\n" + m_strLogPath,
                   L"Operation Completed", MessageBoxKind::kOk);
  }
  m_log << (result ? L"Cleanup operation performed on " : L"Cleanup operation cannot be performed on ") << label << eol
        << "*******************" << eol << eol;
}

void VEZEZERidivorOde::EndRun() {
  if (m_bRebootRequired) {
    bool restart = m_bSilent;
    if (!restart) {
      const int answer = ShowMessageBox(
          L"To complete the cleanup process a system reboot is required. Would you like to reboot your computer now?",
          L"Reboot Required", MessageBoxKind::kYesNo);
      restart = answer == kIdYes;
      if (!restart) {
        m_log << eol << "*** A system reboot is required but was not triggered ***";
        m_bRestartDeclined = true;
      }
    }
    // A restart that cannot be requested is said to be so, not announced.
    const WinError unavailable = restart ? CheckRestartPrivilege(m_platform.power) : err::kSuccess;
    if (restart && unavailable != err::kSuccess) {
      m_log << eol << eol << "*** A system reboot is required but could not be triggered (error " << unavailable
            << ") ***";
    } else if (restart) {
      m_log << eol << eol << "*** A system reboot will be triggered ***" << eol
            << "*** Exiting the ZENTA Cleanup Tool Application ***";
      m_log.Close();
      RestartSystem();
      if (!m_bRestartInitiated && m_log.OpenToAppend(m_platform.fs, m_strLogPath)) {
        // Windows refused the request after the log was closed for it.
        m_log << eol
              << "*** The system reboot could not be triggered: restart the computer to complete the cleanup ***";
        m_log.Close();
      }
      return;
    }
  }
  m_log << eol << eol << "**** Exiting the ZENTA Cleanup Tool Application *****";
  m_log.Close();
}

std::wstring VEZEZERidivorOde::StepTimestamp() { return FormatTimestamp(m_platform.system.Now()) + L" "; }

int VEZEZERidivorOde::ExitStatus() const {
  if (m_bInvalidCommandLine) return exitstatus::kInvalidCommandLine;
  if (m_bAnyRefusal) return exitstatus::kRefused;
  if (m_bAnyInstallInProgress) return exitstatus::kInstallInProgress;
  if (m_bAnyUninstallFailure) return exitstatus::kUninstallFailed;
  if (m_bRestartInitiated) return exitstatus::kRestartInitiated;
  if (m_bRebootRequired) return exitstatus::kRestartRequired;
  return exitstatus::kCompleted;
}

void VEZEZERidivorOde::RestartSystem() { m_bRestartInitiated = RequestSystemRestart(m_platform.power); }

}  // namespace zc
