// The custom clean of one whole product family, by its label.
#include <cstdio>
#include <optional>

#include "app/application.h"
#include "app/family_table.h"
#include "system/black_ice_uninstaller.h"
#include "system/service_control.h"

namespace zc {

void VEZEZERidivorOde::RemovePrintCaptureDriver(bool dryRun) {
  BlackIceUninstaller remover(m_log, m_platform.registry, m_platform.system, m_platform.spooler, m_platform.services);
  remover.m_bDryRun = dryRun;
  if (remover.Detect() != Absent) {
    remover.Uninstall();
    if (remover.m_bRebootRequired) m_bRebootRequired = true;
  }
}

bool VEZEZERidivorOde::CustomClean(const std::wstring& familyLabel, bool applyFolderCleanup, bool remove) {
  // Listing only: on the dry-run view, whoever called.
  std::optional<DryRunView::Scope> dryRun;
  if (!remove) dryRun.emplace(m_dryRunView);
  const std::wstring timestamp = StepTimestamp();

  const FamilyRow* family = FamilyByLabel(familyLabel);
  if (!family) return true;
  m_log << eol << timestamp << family->cleaningLine << eol;

  // Copies: a step below may rebuild nothing, but the walk must not depend on it.
  const std::vector<std::wstring> codes = this->*family->codes;
  // MSIZap clears what registration the uninstall left; after an uninstall
  // whose end is not known it would clear a product that may still be there.
  auto zap = [&](const std::wstring& code) {
    if (LastUninstallEndedUnknown()) {
      LogMsiZapSkipped();
    } else {
      RunMsiZap(code);
    }
  };
  // Each code: uninstalled when registered, then its registration cleared.
  auto walk = [&]() {
    for (const auto& code : codes) {
      m_lastExitCodeError = err::kSuccess;
      if (IsProductRegistered(code)) {
        if (family->step == FamilyStep::kSpoolerRestartForEachCode) {
          ServiceControl(m_log, m_platform.services, m_platform.system).Restart(L"Spooler");
        }
        RunMsiUninstall(code, family->extraProperties);
      }
      zap(code);
    }
  };

  switch (family->step) {
    case FamilyStep::kDeleteDriverKey:
      if (remove) {
        m_platform.registry.DeleteTree(kHkeyLocalMachine, L"SOFTWARE\\ZENTA Technologies\\ZNTTavDriver");
        walk();
      }
      break;
    case FamilyStep::kPrintCaptureFirst:
      if (m_bQuorixNewerFound) {
        const std::wstring message =
            L"Cannot custom clean Quillo. The following products need to be removed first:\n- ZENTA Quorix Software\n";
        m_log << "**Action not permitted** " << eol << message;
        if (!m_bSilent) ShowMessageBox(message, L"Action not permitted", MessageBoxKind::kOk);
        m_bAnyRefusal = true;
        return false;
      }
      RemovePrintCaptureDriver(!remove);
      if (remove) walk();
      break;
    case FamilyStep::kPrintCaptureForEachCode:
      // Listing too: the print-capture driver is reported for each code.
      for (const auto& code : codes) {
        m_lastExitCodeError = err::kSuccess;
        if (IsProductRegistered(code)) {
          RemovePrintCaptureDriver(!remove);
          if (remove) RunMsiUninstall(code, family->extraProperties);
        }
        if (remove) zap(code);
      }
      break;
    case FamilyStep::kSpoolerRestartForEachCode:
    case FamilyStep::kNone:
      if (remove) walk();
      break;
  }

  const bool folderSkipped = family->folderUnlessNewer && this->*family->folderUnlessNewer;
  if (family->folder && !folderSkipped && !(this->*family->folder).empty()) {
    const std::wstring folder = this->*family->folder;
    bool go = true;
    if (!m_bSilent && GetPathState(folder) != PathState::kAbsent) {
      go = ShowMessageBox(familyLabel + L" has been uninstalled. Would you like to remove the install folder:" +
                              folder + L" from your system?",
                          L"Folder Deletion Confirmation", MessageBoxKind::kYesNo) == kIdYes;
    }
    if (go) {
      m_log << eol << eol
            << (applyFolderCleanup ? L"**** Applying folder Cleanup"
                                   : L"**** List of folders that need to be Cleaned up")
            << eol << eol;
      RemoveFolderTree(folder, applyFolderCleanup);
      CleanSharedDlls(regpath::kSharedDlls, folder, applyFolderCleanup);
    }
  }
  return true;
}

}  // namespace zc
