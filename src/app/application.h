// The application object: one whole run of the tool, and the state that
// every removal step shares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/operation_log.h"
#include "catalogue/installed_product.h"
#include "safety/dry_run_view.h"
#include "platform/platform.h"
#include "safety/scope_guard.h"
#include "ui/dialogs.h"

namespace zc {

// What a deployment system reads from the process's exit status.
namespace exitstatus {
inline constexpr int kCompleted = 0;
inline constexpr int kRefused = 1;
inline constexpr int kInstallInProgress = static_cast<int>(err::kInstallInProgress);
inline constexpr int kUninstallFailed = 1603;
inline constexpr int kRestartInitiated = 1641;
inline constexpr int kRestartRequired = static_cast<int>(err::kSuccessRebootRequired);
// Windows Installer's "invalid command line": an argument that is no option.
inline constexpr int kInvalidCommandLine = static_cast<int>(err::kInvalidCommandLine);
}  // namespace exitstatus

class VEZEZERidivorOde {
 public:
  // The tool works on `platform` through its dry-run view, which refuses
  // every change while a dry run is under way.
  explicit VEZEZERidivorOde(Platform platform) : m_dryRunView(platform), m_platform(m_dryRunView.platform()) {}
  VEZEZERidivorOde(const VEZEZERidivorOde&) = delete;
  VEZEZERidivorOde& operator=(const VEZEZERidivorOde&) = delete;
  virtual ~VEZEZERidivorOde() = default;

  // Performs the entire run for `commandLine` (program name first) and
  // returns false, so that the process ends.
  bool InitInstance(std::wstring_view commandLine);

  // The process's exit status after InitInstance (see exitstatus).
  int ExitStatus() const;
  const std::wstring& LogPath() const { return m_strLogPath; }

  // Steps of the run that the start-up sequence calls.
  virtual bool BuildProductCodeLists(bool useFallback);
  virtual void DiscoverInstalledProducts(const std::wstring& publisherFilter);

  // The product catalogue.
  std::vector<std::wstring> EnumRelatedProducts(const std::wstring& upgradeCode);
  void BuildInstalledProductList(const std::vector<InstalledProduct>& found);
  // The vendor's products installed per user for other accounts: named in
  // the log, never removed (msiexec run by this account cannot remove them).
  void FindOtherUsersProducts(const std::wstring& publisherFilter);
  bool BuildFolderCatalogue();
  std::wstring LookupInstallLocation(const std::wstring& productCode, const std::wstring& programFile);
  // What lies at a path, as GetFileAttributesW tells it.
  enum class PathState { kUnknown = -1, kAbsent = 0, kFile = 1, kFolder = 2 };
  PathState GetPathState(const std::wstring& path);
  // The product-code list of a family, by its place in kProductFamilies.
  std::vector<std::wstring>& ProductCodeList(int family);

  // The uninstall runner.
  bool RunMsiUninstall(const std::wstring& productCode, const std::wstring& extraProperties);
  std::wstring GetMsiZapPath();
  bool RunMsiZap(const std::wstring& productCode);
  bool IsProductRegistered(const std::wstring& productCode);

  // Folder removal and the shared-DLL references of a folder.
  bool RemoveFolderTree(const std::wstring& folder, bool remove);
  bool RemovePath(const std::wstring& path, bool remove);
  bool IsFolderRemovable(const std::wstring& folder);
  bool ClearReadOnlyAttribute(const std::wstring& path);
  bool CleanSharedDlls(const std::wstring& keyPath, const std::wstring& folder, bool remove);

  void GalleryCleanup(int productIndex, bool remove);
  // The print-capture driver remover, run as one step.
  void RemovePrintCaptureDriver(bool dryRun);
  // "%02d/%02d/%d %02d:%02d:%02d " of the local time now.
  std::wstring StepTimestamp();
  // The product index that stands for every installed product of the vendor.
  static constexpr int kAllProducts = -2;
  virtual bool RunRemoval(bool removeFolders, bool remove, int productIndex);
  virtual bool CustomClean(const std::wstring& familyLabel, bool applyFolderCleanup, bool remove);
  virtual void RestartSystem();

  // Shared state of the run, in declaration order.
  std::int32_t m_nLastExitCode = 0;
  bool m_bSilent = false;
  bool m_bRebootRequired = false;
  bool m_bQuilloNewerFound = false;
  bool m_bQuorixNewerFound = false;
  bool m_bCorvelTeacherNewerFound = false;
  bool m_bTavloDriversNewerFound = false;
  OperationLog m_log;
  std::vector<InstalledProduct> m_installedProducts;
  std::vector<InstalledProduct> m_otherUsersProducts;
  std::vector<std::wstring> m_quilloProductCodes;
  std::vector<std::wstring> m_tavloDriverProductCodes;
  std::vector<std::wstring> m_quorixProductCodes;
  std::vector<std::wstring> m_vexilProductCodes;
  std::vector<std::wstring> m_convexaProductCodes;
  std::vector<std::wstring> m_convexaPEProductCodes;
  std::vector<std::wstring> m_commonFilesProductCodes;
  std::vector<std::wstring> m_tavloSoftwareProductCodes;
  std::wstring m_strQuilloFolder;
  std::wstring m_strTavloDriversFolder;
  std::wstring m_strQuorixFolder;
  std::wstring m_strConvexaFolder;
  std::wstring m_strConvexaPEFolder;
  std::wstring m_strTavloSoftwareFolder;
  std::wstring m_strCommonFilesFolder;
  std::wstring m_strCommonFilesIncFolder;
  std::wstring m_strVendorFolder;
  std::wstring m_strVendorIncFolder;
  std::wstring m_strProgramFilesFolder;
  std::wstring m_strWindowsFolder;
  std::wstring m_strSystemFolder;
  // The framework's main-window reference: the dialog being shown, if any.
  const void* m_pMainWnd = nullptr;

 public:
  // The one judge of what may be removed; every destructive call of the
  // removal steps goes through it. Made from the machine's protected set the
  // first time a step asks (RebuildGuard() makes it anew), so that no step
  // can meet a guard without one.
  ScopeGuard& Guard();
  ScopeGuard& RebuildGuard();

 protected:
  DryRunView m_dryRunView;
  Platform m_platform;
  // The one judge of what may be removed, made from the machine's protected
  // set (see Guard()).
  std::optional<ScopeGuard> m_guard;

  // For the exit status: what went wrong, and how a restart ended.
  bool m_bAnyRefusal = false;
  bool m_bAnyUninstallFailure = false;
  bool m_bAnyInstallInProgress = false;
  bool m_bRestartInitiated = false;
  bool m_bRestartDeclined = false;
  bool m_bInvalidCommandLine = false;
  // Whether the run's window station is visible: without, no box or dialog
  // is shown (see ShowMessageBox).
  bool m_bDesktopVisible = true;

  // Every message box of the run: without a visible desktop none is shown;
  // the log says so and the box's default answer (No, OK) is taken.
  int ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind);
  // The help box (-help, and the basic-mode dialog's Help button).
  void ShowCommandLineHelp();
  // Why the last uninstall's exit code could not be read; 0 when it was.
  WinError m_lastExitCodeError = 0;

 private:
  void OpenLog(const CCustomCommandLineInfo& cmdInfo, const LocalTime& startTime, const std::wstring& baseName);
  void RefuseCommandLine(const CCustomCommandLineInfo& cmdInfo);
  void RunSilentFlow(const CCustomCommandLineInfo& cmdInfo);
  void RunDialogLoop(const CCustomCommandLineInfo& cmdInfo, bool showBasic, bool showCustom);
  void BasicModeAction(const CZENTACleanupDlg& dialog, int endCode, bool limited, bool folder);
  void CustomModeAction(const CProductVersion& dialog, bool& showBasic);
  // How a program that the tool ran ended.
  struct ProcessOutcome {
    WinError startError = 0;     // CreateProcess's error; 0 when it started
    WinError exitCodeError = 0;  // 0 when the exit code was read
    std::uint32_t exitCode = 0;
  };
  // Starts a program and waits for it; false when it cannot be started.
  bool RunProcess(const std::wstring& applicationName, const std::wstring& commandLine, std::uint32_t timeout,
                  ProcessOutcome* outcome, bool readExitCode);
  // Whether the last uninstall's exit code could not be read.
  bool LastUninstallEndedUnknown() const;
  void LogMsiZapSkipped();
  bool RefuseProduct(const InstalledProduct& product, const std::vector<const wchar_t*>& firstRemove);
  bool RemoveLink(const ScopeGuard::Permit& tree, const std::wstring& path, std::uint32_t attributes, bool remove);
  bool RemoveEntry(const ScopeGuard::Permit& tree, const std::wstring& path, const std::uint32_t* attributes,
                   bool remove);
  bool ClearReadOnlyAttribute(const ScopeGuard::Permit& permit, const std::wstring& path);
  bool PassesFolderRule(const std::wstring& folder);
  // The line of a path the scope guard refuses: a folder's ends in a backslash.
  void LogSensitive(const std::wstring& path, bool folder);
  void LogSensitiveSharedDlls(const std::wstring& path);
  void EndRun();

  std::wstring m_strLogPath;
};

}  // namespace zc
