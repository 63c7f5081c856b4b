#include "platform/sim/sim_processes.h"

#include "platform/argv.h"
#include "platform/sim/installer_layout.h"
#include "platform/text.h"

namespace zc::sim {

namespace {

std::wstring FileNameOf(const std::wstring& path) {
  const auto cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

}  // namespace

WinError SimProcesses::StartProcess(std::wstring_view applicationName, std::wstring_view commandLine,
                                    ProcessHandles* handles) {
  *handles = ProcessHandles{};
  const auto args = SplitCommandLine(commandLine);
  // Without an application name the program is the command line's first
  // word, found by the usual search; with one, exactly that file runs.
  const std::wstring program =
      !applicationName.empty() ? std::wstring(applicationName) : (args.empty() ? std::wstring() : args[0]);
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kCreateProcess, program)) return *e;
  }
  if (program.empty()) return err::kFileNotFound;

  const std::wstring name = FileNameOf(program);
  const bool hasFolder = program.find_first_of(L"\\/:") != std::wstring::npos;
  ProcessRun run;
  run.commandLine = std::wstring(commandLine);
  run.applicationName = std::wstring(applicationName);
  const bool isMsiExec = EqualsNoCase(name, L"MsiExec.exe") || (!hasFolder && EqualsNoCase(name, L"MsiExec"));
  if (isMsiExec && !hasFolder) {
    // The system's program search finds it in the system folder.
    run.program = L"msiexec";
    run.exitCode = RunMsiExec(args);
  } else {
    std::uint32_t attributes = 0;
    const WinError e = fs_.GetAttributes(program, &attributes);
    if (e != err::kSuccess) return e;
    if (attributes & fileattr::kDirectory) return err::kAccessDenied;
    if (isMsiExec) {
      run.program = L"msiexec";
      run.exitCode = RunMsiExec(args);
    } else if (EqualsNoCase(name, L"MSIZap.exe")) {
      run.program = L"msizap";
      run.exitCode = RunMsiZap(args);
    } else {
      return err::kFileNotFound;
    }
  }
  runs_.push_back(std::move(run));
  handles->process = nextHandle_;
  handles->thread = nextHandle_ + 4;
  nextHandle_ += 8;
  handles_[handles->process] = runs_.size() - 1;
  handles_[handles->thread] = runs_.size() - 1;
  return err::kSuccess;
}

std::uint32_t SimProcesses::RunMsiExec(const std::vector<std::wstring>& args) {
  std::wstring productCode;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    if (a.size() >= 2 && (a[0] == L'/' || a[0] == L'-') && (a[1] == L'x' || a[1] == L'X')) {
      productCode = a.size() > 2 ? a.substr(2) : (i + 1 < args.size() ? args[++i] : std::wstring());
    }
  }
  if (!msilayout::IsBracedGuid(productCode)) return err::kInvalidCommandLine;
  if (!msi_.IsRegistered(productCode)) return err::kUnknownProduct;

  std::uint32_t exitCode = 0;
  for (const auto& [code, exit] : config_.msiexecExitCodes) {
    if (EqualsNoCase(code, productCode)) exitCode = exit;
  }
  // Success, with or without a restart to follow, removes the product;
  // anything else rolls back and leaves it.
  if (exitCode == 0 || exitCode == err::kSuccessRebootRequired) msi_.Uninstall(productCode);
  return exitCode;
}

std::uint32_t SimProcesses::RunMsiZap(const std::vector<std::wstring>& args) {
  bool removeProduct = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    if (!a.empty() && a[0] != L'{') {
      removeProduct = a.find_first_of(L"Tt") != std::wstring::npos;
      continue;
    }
    if (removeProduct && msilayout::IsBracedGuid(a)) msi_.Zap(a);
  }
  return 0;
}

std::uint32_t SimProcesses::Wait(ProcessHandleValue process, std::uint32_t /*milliseconds*/) {
  const auto it = handles_.find(process);
  if (it == handles_.end()) return kWaitFailed;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kWaitForSingleObject, runs_[it->second].program)) {
      return *e == kWaitTimeout ? kWaitTimeout : kWaitFailed;
    }
  }
  return kWaitObject0;
}

WinError SimProcesses::GetExitCode(ProcessHandleValue process, std::uint32_t* exitCode) {
  const auto it = handles_.find(process);
  if (it == handles_.end()) return err::kInvalidHandle;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kGetExitCodeProcess, runs_[it->second].program)) return *e;
  }
  *exitCode = runs_[it->second].exitCode;
  return err::kSuccess;
}

void SimProcesses::CloseHandle(ProcessHandleValue handle) { handles_.erase(handle); }

}  // namespace zc::sim
