// The two outside commands of the removal engine: a product's uninstall
// through msiexec and the removal of its leftover registration by MSIZap.
#include <cstdio>

#include "app/application.h"
#include "platform/text.h"

namespace zc {

namespace {

constexpr std::uint32_t kMsiZapTimeout = 1800000;  // 30 minutes
constexpr std::uint32_t kCurrentDirectoryBuffer = 260;

std::wstring FormatCommand(const wchar_t* pattern, const std::wstring& a, const std::wstring& b) {
  std::wstring out(pattern);
  auto at = out.find(L"%s");
  if (at != std::wstring::npos) {
    out.replace(at, 2, a);
    at = out.find(L"%s", at + a.size());
    if (at != std::wstring::npos) out.replace(at, 2, b);
  }
  return out;
}

}  // namespace

bool VEZEZERidivorOde::RunProcess(const std::wstring& applicationName, const std::wstring& commandLine,
                                  std::uint32_t timeout, ProcessOutcome* outcome, bool readExitCode) {
  auto& processes = m_platform.processes;
  ProcessHandles handles;
  outcome->startError = processes.StartProcess(applicationName, commandLine, &handles);
  if (outcome->startError != err::kSuccess) return false;
  // Declared so that the process handle is closed before the thread handle.
  UniqueProcessHandle thread(processes), process(processes);
  *process.put() = handles.process;
  *thread.put() = handles.thread;
  const std::uint32_t waited = processes.Wait(process.get(), timeout);
  if (!readExitCode) return true;
  // An exit code is known only of a process that has ended: after a failed
  // wait, STILL_ACTIVE or any other answer would be a guess.
  if (waited != kWaitObject0) {
    outcome->exitCodeError = waited == kWaitTimeout ? kWaitTimeout : err::kInvalidHandle;
  } else {
    outcome->exitCodeError = processes.GetExitCode(process.get(), &outcome->exitCode);
  }
  return true;
}

bool VEZEZERidivorOde::RunMsiUninstall(const std::wstring& productCode, const std::wstring& extraProperties) {
  const std::wstring command =
      m_bSilent ? FormatCommand(L"MsiExec.exe /X%s %s REBOOT=ReallySuppress /qn", productCode, extraProperties)
                : FormatCommand(L"MsiExec.exe /X%s REBOOT=ReallySuppress /qb", productCode, L"");
  // msiexec runs from the system folder by its full path, never from
  // wherever the program search would find a file of that name first.
  const std::wstring msiexec = m_platform.system.SystemDirectory() + L"\\msiexec.exe";
  ProcessOutcome outcome;
  m_lastExitCodeError = err::kSuccess;
  if (!RunProcess(msiexec, command, kInfinite, &outcome, true)) {
    m_nLastExitCode = -1;
    m_bAnyUninstallFailure = true;
    m_log << eol << "Process Error: " << outcome.startError << " while executing command:  " << command << eol;
    return false;
  }
  m_log << eol << "Successfully Executed Command:  " << command << eol;
  if (outcome.exitCodeError != err::kSuccess) {
    // How the uninstall ended is not known: a failure, never a success.
    m_nLastExitCode = -1;
    m_lastExitCodeError = outcome.exitCodeError;
    m_bAnyUninstallFailure = true;
    return true;
  }
  const std::uint32_t exitCode = outcome.exitCode;
  m_nLastExitCode = static_cast<std::int32_t>(exitCode);
  if (exitCode == err::kSuccessRebootRequired) {
    m_log << "A reboot will be required as the Uninstall return Code is: " << exitCode << eol;
    m_nLastExitCode = 0;
    m_bRebootRequired = true;
  } else if (exitCode == err::kInstallInProgress) {
    m_bAnyInstallInProgress = true;
  } else if (exitCode != 0 && exitCode != err::kUnknownProduct && exitCode != err::kProductVersionUnknown) {
    m_bAnyUninstallFailure = true;
  }
  return true;
}

std::wstring VEZEZERidivorOde::GetMsiZapPath() {
  std::wstring directory;
  WinError error = 0;
  const std::uint32_t length = m_platform.system.GetCurrentDir(kCurrentDirectoryBuffer, &directory, &error);
  if (length == 0) {
    m_log << "GetCurrentDirectory failed with error code: " << error << eol;
    return {};
  }
  if (length > kCurrentDirectoryBuffer) {
    m_log << "GetCurrentDirectory failed (buffer too small, need " << length << " chars)" << eol;
    return {};
  }
  if (!EndsWith(directory, L'\\')) directory += L'\\';
  return directory + L"MSIZap.exe";
}

bool VEZEZERidivorOde::RunMsiZap(const std::wstring& productCode) {
  const std::wstring arguments = L"TWG! " + productCode;
  const std::wstring path = GetMsiZapPath();
  if (path.empty()) {
    m_log << "The MSIZAP Tool could not be located: left over MSI entries were not cleaned up." << eol;
    return false;
  }
  // Started by its full path, so that a blank in the current directory
  // cannot make another program run in its place; the path is quoted, so
  // that MSIZap itself does not split it into arguments.
  const std::wstring command = L"\"" + path + L"\" " + arguments;
  ProcessOutcome outcome;
  // Its exit code is not read: nothing depends on how MSIZap ended.
  if (!RunProcess(path, command, kMsiZapTimeout, &outcome, false)) {
    if (outcome.startError == err::kFileNotFound || outcome.startError == err::kPathNotFound) {
      m_log << L"The MSIZAP Tool was not found at " << path << L": left over MSI entries were not cleaned up." << eol;
    } else {
      m_log << L"The MSIZAP Tool could not be started from " << path << L" (error " << outcome.startError
            << L"): left over MSI entries were not cleaned up." << eol;
    }
    return false;
  }
  m_log << eol << "Running MSI Zap Command: " << command << eol;
  return true;
}

bool VEZEZERidivorOde::LastUninstallEndedUnknown() const { return m_lastExitCodeError != err::kSuccess; }

void VEZEZERidivorOde::LogMsiZapSkipped() {
  m_log << "The MSIZAP Tool was not run: the uninstall did not tell how it ended, and the product may still be "
           "installed."
        << eol;
}

bool VEZEZERidivorOde::IsProductRegistered(const std::wstring& productCode) {
  auto& registry = m_platform.registry;
  // A per-user product keeps its uninstall entry in the account's own hive.
  for (const HKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    UniqueRegKey key(registry);
    if (registry.OpenKey(root, regpath::kUninstall + productCode, RegAccess::kRead, key.put()) == err::kSuccess) {
      return true;
    }
  }
  UniqueRegKey key(registry);
  return registry.OpenKey(kHkeyClassesRoot, L"installer\\products\\" + productCode, RegAccess::kRead, key.put()) ==
         err::kSuccess;
}

}  // namespace zc
