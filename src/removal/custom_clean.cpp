// The custom clean of one whole product family, by its label.
#include <cstdio>
#include <optional>

#include "app/application.h"
#include "system/black_ice_uninstaller.h"
#include "system/service_control.h"

namespace zc {

namespace {

constexpr const wchar_t* kSharedDllsKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

std::wstring Timestamp(const LocalTime& t) {
  wchar_t buffer[64];
  std::swprintf(buffer, 64, L"%02d/%02d/%d %02d:%02d:%02d ", t.month, t.day, t.year, t.hour, t.minute, t.second);
  return buffer;
}

}  // namespace

std::wstring VEZEZERidivorOde::StepTimestamp() { return Timestamp(m_platform.system.Now()); }

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

  struct Family {
    const wchar_t* label;
    const wchar_t* line;
    std::vector<std::wstring>* codes;
    std::wstring* folder;  // null: no folder stage
  };
  const Family families[] = {
      {L"Tavlo/Product Drivers", L"Custom cleaning: Drivers ", &m_tavloDriverProductCodes,
       m_bTavloDriversNewerFound ? nullptr : &m_strTavloDriversFolder},
      {L"Quillo Software", L"Custom cleaning: Quillo ", &m_quilloProductCodes,
       m_bQuilloNewerFound ? nullptr : &m_strQuilloFolder},
      {L"ZENTA Tavlo Software", L"Custom cleaning: Tavlo Software ", &m_tavloSoftwareProductCodes,
       &m_strTavloSoftwareFolder},
      {L"Quorix/Teviro", L"Custom cleaning: Quorix/Teviro ", &m_quorixProductCodes, &m_strQuorixFolder},
      {L"Vexil", L"Custom cleaning: Vexil", &m_vexilProductCodes, nullptr},
      {L"Common Files", L"Custom cleaning: Common Files", &m_commonFilesProductCodes, nullptr},
      {L"Convexa", L"Custom cleaning: Convexa", &m_convexaProductCodes, &m_strConvexaFolder},
      {L"Convexa PE", L"Custom cleaning: Convexa PE", &m_convexaPEProductCodes, &m_strConvexaPEFolder},
  };
  const Family* family = nullptr;
  for (const auto& f : families) {
    if (familyLabel == f.label) family = &f;
  }
  if (!family) return true;

  m_log << eol << timestamp << family->line << eol;

  // Copies: a step below may rebuild nothing, but the walk must not depend on it.
  const std::vector<std::wstring> codes = *family->codes;
  // MSIZap clears what registration the uninstall left; after an uninstall
  // whose end is not known it would clear a product that may still be there.
  auto zap = [&](const std::wstring& code) {
    if (LastUninstallEndedUnknown()) {
      LogMsiZapSkipped();
    } else {
      RunMsiZap(code);
    }
  };
  auto walk = [&](const std::wstring& extraProperties, bool restartSpooler) {
    for (const auto& code : codes) {
      m_lastExitCodeError = err::kSuccess;
      if (IsProductRegistered(code)) {
        if (restartSpooler) ServiceControl(m_log, m_platform.services, m_platform.system).Restart(L"Spooler");
        RunMsiUninstall(code, extraProperties);
      }
      zap(code);
    }
  };

  const std::wstring label = family->label;
  if (label == L"Tavlo/Product Drivers") {
    if (remove) {
      m_platform.registry.DeleteTree(kHkeyLocalMachine, L"SOFTWARE\\ZENTA Technologies\\ZNTTavDriver");
      walk(L"", false);
    }
  } else if (label == L"Quillo Software") {
    if (m_bQuorixNewerFound) {
      const std::wstring message =
          L"Cannot custom clean Quillo. The following products need to be removed first:\n- ZENTA Quorix Software\n";
      m_log << "**Action not permitted** " << eol << message;
      if (!m_bSilent) m_platform.ui.ShowMessageBox(message, L"Action not permitted", MessageBoxKind::kOk);
      m_bAnyRefusal = true;
      return false;
    }
    RemovePrintCaptureDriver(!remove);
    if (remove) walk(L"UPGRADINGPRODUCTCODE=1", false);
  } else if (label == L"ZENTA Tavlo Software") {
    for (const auto& code : codes) {
      m_lastExitCodeError = err::kSuccess;
      if (IsProductRegistered(code)) {
        RemovePrintCaptureDriver(!remove);
        if (remove) RunMsiUninstall(code, L"");
      }
      if (remove) zap(code);
    }
  } else if (label == L"Quorix/Teviro") {
    if (remove) walk(L"", true);
  } else if (remove) {
    walk(L"", false);
  }

  if (family->folder && !family->folder->empty()) {
    const std::wstring folder = *family->folder;
    bool go = true;
    if (!m_bSilent && GetPathState(folder) != 0) {
      go = m_platform.ui.ShowMessageBox(label + L" has been uninstalled. Would you like to remove the install folder:" +
                                            folder + L" from your system?",
                                        L"Folder Deletion Confirmation", MessageBoxKind::kYesNo) == kIdYes;
    }
    if (go) {
      m_log << eol << eol
            << (applyFolderCleanup ? L"**** Applying folder Cleanup"
                                   : L"**** List of folders that need to be Cleaned up")
            << eol << eol;
      RemoveFolderTree(folder, applyFolderCleanup);
      CleanSharedDlls(kSharedDllsKey, folder, applyFolderCleanup);
    }
  }
  return true;
}

}  // namespace zc
