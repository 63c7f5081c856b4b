// The removal run: one product or all of them, in dependency order, with
// their folders, shared-DLL references and the closing clean-up.
#include <optional>

#include "app/application.h"
#include "app/family_table.h"
#include "removal/side_by_side.h"

namespace zc {

namespace {

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

enum FolderAnswer { kNotAsked = 0, kYes = 1, kNo = 2 };

}  // namespace

bool VEZEZERidivorOde::RefuseProduct(const InstalledProduct& product, const std::vector<const wchar_t*>& firstRemove) {
  std::wstring message =
      L"Cannot clean up " + product.m_strName + L". The following products need to be removed first:\n";
  for (const wchar_t* line : firstRemove) message += std::wstring(line) + L"\n";
  m_log << "**Action not permitted** " << eol << message;
  if (!m_bSilent) ShowMessageBox(message, L"Action not permitted", MessageBoxKind::kOk);
  m_nLastExitCode = -1;
  m_bAnyRefusal = true;
  return false;
}

bool VEZEZERidivorOde::RunRemoval(bool removeFolders, bool remove, int productIndex) {
  // Listing only: on the dry-run view, whoever called.
  std::optional<DryRunView::Scope> dryRun;
  if (!remove) dryRun.emplace(m_dryRunView);
  m_nLastExitCode = -1;
  int folderAnswer = kNotAsked;
  const bool allProducts = productIndex == kAllProducts;

  std::size_t first = 0, end = 0;
  if (allProducts) {
    end = m_installedProducts.size();
    BuildProductCodeLists(true);
  } else {
    first = static_cast<std::size_t>(productIndex);
    end = first + 1;
  }

  for (std::size_t i = first; i < end; ++i) {
    InstalledProduct& product = m_installedProducts[i];
    const std::wstring& name = product.m_strName;
    m_log << eol << StepTimestamp() << L"Cleaning up " << name << eol;
    m_lastExitCodeError = err::kSuccess;

    if (!IsProductRegistered(product.m_strProductCode)) {
      m_log << "Did not execute the uninstall for this product" << eol;
      m_nLastExitCode = -1;
    } else {
      if (Contains(name, L"Platform") && (remove || !allProducts) &&
          (m_bQuilloNewerFound || m_bTavloDriversNewerFound || m_bQuorixNewerFound || m_bCorvelTeacherNewerFound)) {
        std::vector<const wchar_t*> lines;
        if (m_bCorvelTeacherNewerFound) lines.push_back(L"- ZENTA Corvel Teacher");
        if (m_bQuorixNewerFound) lines.push_back(L"- ZENTA Quorix Software");
        if (m_bTavloDriversNewerFound) lines.push_back(L"- ZENTA Product Drivers");
        if (m_bQuilloNewerFound) lines.push_back(L"- ZENTA Quillo");
        return RefuseProduct(product, lines);
      }
      bool uninstall = true;
      if (Contains(name, L"Quillo")) {
        if (!remove && allProducts) {
          uninstall = false;
        } else {
          if (m_bQuorixNewerFound) return RefuseProduct(product, {L"- ZENTA Quorix Software"});
          if (!remove) {
            uninstall = false;
          } else {
            RemovePrintCaptureDriver(false);
            RunMsiUninstall(product.m_strProductCode, L"UPGRADINGPRODUCTCODE=1");
          }
        }
      } else {
        if (Contains(name, L"Brevano Suite")) GalleryCleanup(static_cast<int>(i), remove);
        if (!remove) {
          uninstall = false;
        } else {
          RunMsiUninstall(product.m_strProductCode, L"");
        }
      }
      if (uninstall) {
        if (LastUninstallEndedUnknown()) {
          m_log << "MSI uninstall operation failed: the exit code of the uninstall could not be read (error "
                << m_lastExitCodeError << ")" << eol;
        } else if (m_nLastExitCode == 0) {
          m_log << "An MSI uninstall operation was performed successfully" << eol;
        } else {
          m_log << "MSI uninstall operation failed with error code: " << static_cast<std::uint32_t>(m_nLastExitCode)
                << eol;
        }
      }
    }

    if (remove) {
      if (LastUninstallEndedUnknown()) {
        LogMsiZapSkipped();
      } else if (RunMsiZap(product.m_strProductCode)) {
        m_log << "The MSIZAP Tool was run to cleanup left over MSI entries." << eol;
      }
      if (Contains(name, L"Quillo")) m_bQuilloNewerFound = false;
      if (Contains(name, L"Corvel Teacher")) m_bCorvelTeacherNewerFound = false;
      if (Contains(name, L"Quorix")) m_bQuorixNewerFound = false;
      if (Contains(name, L"Drivers")) m_bTavloDriversNewerFound = false;
    }
  }

  if (!m_bSilent && allProducts) {
    folderAnswer = ShowMessageBox(
                       L"Would you like to remove all leftover ZENTA Install folders, ZENTA assemblies and "
                       L"corresponding shared dll registry entries from your system?",
                       L"Folder Deletion Confirmation", MessageBoxKind::kYesNo) == kIdYes
                       ? kYes
                       : kNo;
  }

  for (std::size_t i = first; i < end; ++i) {
    const InstalledProduct& product = m_installedProducts[i];
    const std::wstring timestamp = StepTimestamp();
    std::wstring location = product.m_strInstallLocation;
    if (location.empty()) location = LookupInstallLocation(product.m_strProductCode, L"");
    if (location.empty()) continue;

    const bool apply = removeFolders || folderAnswer == kYes;
    auto cleanFolder = [&](bool applyCleanup) {
      m_log << eol << eol << timestamp
            << (applyCleanup ? L"**** Applying folder Cleanup for "
                             : L"**** List of folders that need to be cleaned up for ")
            << product.m_strName << eol << eol;
      RemoveFolderTree(location, applyCleanup);
      CleanSharedDlls(regpath::kSharedDlls, location, applyCleanup);
    };

    if (m_bSilent) {
      if (!product.m_bFolderCleanupAllowed) {
        if (remove || !allProducts) {
          m_log << timestamp << L"**** Cannot Apply folder Cleanup for " << product.m_strName
                << L" as the folder contains files used by other applications" << eol;
        }
        continue;
      }
      cleanFolder(apply);
    } else if (removeFolders && folderAnswer == kNotAsked) {
      if (product.m_bFolderCleanupAllowed &&
          ShowMessageBox(L"Would you like to remove the leftover install folder:" + location +
                             L" and corresponding shared dll registry entries from your system?",
                         L"Folder Deletion Confirmation", MessageBoxKind::kYesNo) == kIdYes) {
        cleanFolder(true);
      }
    } else if (folderAnswer == kYes && product.m_bFolderCleanupAllowed) {
      cleanFolder(true);
    }
  }

  if (allProducts) {
    const bool apply = removeFolders || folderAnswer == kYes;
    if (remove) {
      for (FamilyIndex family : kClosingStageFamilies) CustomClean(kProductFamilies[family].label, apply, true);
    }
    const std::wstring timestamp = StepTimestamp();
    m_log << eol << eol << timestamp
          << (apply ? L"**** Applying folder Cleanup for Common ZENTA folders"
                    : L"**** List of Common ZENTA folders that need to be cleaned up")
          << eol << eol;
    RemoveFolderTree(m_strCommonFilesFolder, apply);
    RemoveFolderTree(m_strCommonFilesIncFolder, apply);
    CleanSharedDlls(regpath::kSharedDlls, m_strCommonFilesFolder, apply);

    m_log << eol << eol << timestamp
          << (apply ? L"**** Applying folder Cleanup for all the folders in the default ZENTA Install location"
                    : L"**** List of ZENTA folders in the default location that need to be cleaned up")
          << eol << eol;
    RemoveFolderTree(m_strVendorFolder, apply);
    CleanSharedDlls(regpath::kSharedDlls, m_strVendorFolder, apply);
    RemoveFolderTree(m_strVendorIncFolder, apply);
    CleanSharedDlls(regpath::kSharedDlls, m_strVendorIncFolder, apply);

    bool restart = false;
    CleanSideBySideAssemblies(restart, apply, m_log, m_platform.fs, m_platform.system, Guard());
    if (restart) m_bRebootRequired = true;
  }
  return true;
}

}  // namespace zc
