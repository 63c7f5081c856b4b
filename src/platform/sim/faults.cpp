#include "platform/sim/faults.h"

#include <array>
#include <stdexcept>

#include "platform/text.h"
#include "platform/win_path.h"

namespace zc::sim {

namespace {

struct OpEntry {
  FaultOp op;
  std::string_view name;
  bool path;
};

constexpr std::array kOps = {
    OpEntry{FaultOp::kGetFileAttributes, "GetFileAttributes", true},
    OpEntry{FaultOp::kSetFileAttributes, "SetFileAttributes", true},
    OpEntry{FaultOp::kDeleteFile, "DeleteFile", true},
    OpEntry{FaultOp::kRemoveDirectory, "RemoveDirectory", true},
    OpEntry{FaultOp::kFindFirstFile, "FindFirstFile", true},
    OpEntry{FaultOp::kFindNextFile, "FindNextFile", false},
    OpEntry{FaultOp::kMoveFileEx, "MoveFileEx", true},
    OpEntry{FaultOp::kCreateFile, "CreateFile", true},
    OpEntry{FaultOp::kGetFinalPathNameByHandle, "GetFinalPathNameByHandle", true},
    OpEntry{FaultOp::kRegOpenKey, "RegOpenKey", false},
    OpEntry{FaultOp::kRegCreateKey, "RegCreateKey", false},
    OpEntry{FaultOp::kRegQueryValue, "RegQueryValue", false},
    OpEntry{FaultOp::kRegSetValue, "RegSetValue", false},
    OpEntry{FaultOp::kRegQueryInfoKey, "RegQueryInfoKey", false},
    OpEntry{FaultOp::kRegEnumValue, "RegEnumValue", false},
    OpEntry{FaultOp::kRegEnumKey, "RegEnumKey", false},
    OpEntry{FaultOp::kRegDeleteValue, "RegDeleteValue", false},
    OpEntry{FaultOp::kSHDeleteKey, "SHDeleteKey", false},
    OpEntry{FaultOp::kMsiEnumProducts, "MsiEnumProducts", false},
    OpEntry{FaultOp::kMsiGetProductInfo, "MsiGetProductInfo", false},
    OpEntry{FaultOp::kMsiEnumRelatedProducts, "MsiEnumRelatedProducts", false},
    OpEntry{FaultOp::kCreateProcess, "CreateProcess", false},
    OpEntry{FaultOp::kWaitForSingleObject, "WaitForSingleObject", false},
    OpEntry{FaultOp::kGetExitCodeProcess, "GetExitCodeProcess", false},
    OpEntry{FaultOp::kEnumPrinters, "EnumPrinters", false},
    OpEntry{FaultOp::kEnumPorts, "EnumPorts", false},
    OpEntry{FaultOp::kEnumMonitors, "EnumMonitors", false},
    OpEntry{FaultOp::kEnumPrinterDrivers, "EnumPrinterDrivers", false},
    OpEntry{FaultOp::kOpenPrinter, "OpenPrinter", false},
    OpEntry{FaultOp::kDeletePrinter, "DeletePrinter", false},
    OpEntry{FaultOp::kDeletePort, "DeletePort", false},
    OpEntry{FaultOp::kDeletePrinterDriver, "DeletePrinterDriver", false},
    OpEntry{FaultOp::kDeleteMonitor, "DeleteMonitor", false},
    OpEntry{FaultOp::kDeletePrintProcessor, "DeletePrintProcessor", false},
    OpEntry{FaultOp::kGetPrinterDriverDirectory, "GetPrinterDriverDirectory", false},
    OpEntry{FaultOp::kGetPrintProcessorDirectory, "GetPrintProcessorDirectory", false},
    OpEntry{FaultOp::kOpenSCManager, "OpenSCManager", false},
    OpEntry{FaultOp::kOpenService, "OpenService", false},
    OpEntry{FaultOp::kQueryServiceStatusEx, "QueryServiceStatusEx", false},
    OpEntry{FaultOp::kStartService, "StartService", false},
    OpEntry{FaultOp::kControlService, "ControlService", false},
    OpEntry{FaultOp::kSHGetFolderPath, "SHGetFolderPath", false},
    OpEntry{FaultOp::kGetWindowsDirectory, "GetWindowsDirectory", false},
    OpEntry{FaultOp::kGetSystemDirectory, "GetSystemDirectory", false},
    OpEntry{FaultOp::kGetCurrentDirectory, "GetCurrentDirectory", false},
    OpEntry{FaultOp::kGetVersionEx, "GetVersionEx", false},
    OpEntry{FaultOp::kExpandEnvironmentStrings, "ExpandEnvironmentStrings", false},
    OpEntry{FaultOp::kOpenProcessToken, "OpenProcessToken", false},
    OpEntry{FaultOp::kAdjustTokenPrivileges, "AdjustTokenPrivileges", false},
    OpEntry{FaultOp::kInitiateSystemShutdown, "InitiateSystemShutdown", false},
};

const OpEntry& EntryOf(FaultOp op) {
  for (const auto& entry : kOps) {
    if (entry.op == op) return entry;
  }
  throw std::invalid_argument("fault operation without a name");
}

bool SameTarget(FaultOp op, const std::wstring& ruleTarget, std::wstring_view target) {
  if (EqualsNoCase(ruleTarget, target)) return true;
  if (!IsPathOperation(op)) return false;
  const std::wstring normal = NormaliseFaultTarget(op, target);
  return !normal.empty() && EqualsNoCase(ruleTarget, normal);
}

}  // namespace

std::string_view FaultOpName(FaultOp op) { return EntryOf(op).name; }

std::optional<FaultOp> FaultOpNamed(std::string_view name) {
  for (const auto& entry : kOps) {
    if (entry.name == name) return entry.op;
  }
  return std::nullopt;
}

bool IsPathOperation(FaultOp op) { return EntryOf(op).path; }

FaultOperation::FaultOperation(const char* name) {
  const auto op = FaultOpNamed(name);
  if (!op) throw std::invalid_argument(std::string("no such fault operation: ") + name);
  op_ = *op;
}

std::wstring NormaliseFaultTarget(FaultOp op, std::wstring_view target) {
  if (!IsPathOperation(op) || target == L"*") return std::wstring(target);
  if (op == FaultOp::kFindFirstFile) {
    // "FOLDER\PATTERN": the folder as Windows spells it, the pattern as written.
    const auto cut = target.find_last_of(L"\\/");
    if (cut == std::wstring_view::npos) return std::wstring(target);
    const std::wstring folder = winpath::Normalise(target.substr(0, cut));
    return folder.empty() ? std::wstring(target) : winpath::Join(folder, target.substr(cut + 1));
  }
  const std::wstring normal = winpath::Normalise(target);
  return normal.empty() ? std::wstring(target) : normal;
}

void FaultPlan::Add(FaultRule rule) {
  rule.target = NormaliseFaultTarget(rule.operation.op(), rule.target);
  rules_.push_back(std::move(rule));
}

std::optional<WinError> FaultPlan::Check(FaultOp operation, std::wstring_view target) {
  if (recording_) recorded_.emplace_back(operation, std::wstring(target));
  for (auto& rule : rules_) {
    if (rule.remaining == 0 || rule.operation.op() != operation) continue;
    if (rule.target != L"*" && !SameTarget(operation, rule.target, target)) continue;
    if (rule.remaining > 0) --rule.remaining;
    ++fired_;
    return rule.error;
  }
  return std::nullopt;
}

}  // namespace zc::sim
