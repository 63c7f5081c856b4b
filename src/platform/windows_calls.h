// Every Windows call that the platform services stand for, each named once.
// From this table come the calls the simulated machine can make fail (its
// FaultOp), their names in machine.ini and in the dry-run view's refusals,
// whether a call's target is a path, and the error that the fault sweep
// fails each call with: the one Windows really gives when the call fails.
// A new call is one line here (and, where a service method stands for it,
// one line in that service's method table).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/win_error.h"

namespace zc {

// ZC_WINDOWS_CALL(Name, TargetIsPath, TypicalFailure)
// clang-format off
#define ZC_WINDOWS_CALLS(ZC_WINDOWS_CALL)                                     \
  ZC_WINDOWS_CALL(GetFileAttributes,          true,  err::kAccessDenied)       \
  ZC_WINDOWS_CALL(SetFileAttributes,          true,  err::kAccessDenied)       \
  ZC_WINDOWS_CALL(DeleteFile,                 true,  err::kSharingViolation)   \
  ZC_WINDOWS_CALL(RemoveDirectory,            true,  err::kDirNotEmpty)        \
  ZC_WINDOWS_CALL(FindFirstFile,              true,  err::kPathNotFound)       \
  ZC_WINDOWS_CALL(FindNextFile,               false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(MoveFileEx,                 true,  err::kAccessDenied)       \
  ZC_WINDOWS_CALL(CreateFile,                 true,  err::kSharingViolation)   \
  ZC_WINDOWS_CALL(GetFinalPathNameByHandle,   true,  err::kAccessDenied)       \
  ZC_WINDOWS_CALL(RegOpenKey,                 false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(RegCreateKey,               false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(RegQueryValue,              false, err::kMoreData)           \
  ZC_WINDOWS_CALL(RegSetValue,                false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(RegQueryInfoKey,            false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(RegEnumValue,               false, err::kMoreData)           \
  ZC_WINDOWS_CALL(RegEnumKey,                 false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(RegDeleteValue,             false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(SHDeleteKey,                false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(MsiEnumProducts,            false, err::kBadConfiguration)   \
  ZC_WINDOWS_CALL(MsiGetProductInfo,          false, err::kUnknownProduct)     \
  ZC_WINDOWS_CALL(MsiEnumRelatedProducts,     false, err::kBadConfiguration)   \
  ZC_WINDOWS_CALL(MsiEnumProductsEx,          false, err::kCallNotImplemented) \
  ZC_WINDOWS_CALL(MsiGetProductInfoEx,        false, err::kUnknownProduct)     \
  ZC_WINDOWS_CALL(CreateProcess,              false, err::kFileNotFound)       \
  ZC_WINDOWS_CALL(WaitForSingleObject,        false, err::kWaitTimeout)        \
  ZC_WINDOWS_CALL(GetExitCodeProcess,         false, err::kInvalidHandle)      \
  ZC_WINDOWS_CALL(EnumPrinters,               false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(EnumPorts,                  false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(EnumMonitors,               false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(EnumPrinterDrivers,         false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(OpenPrinter,                false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(DeletePrinter,              false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(DeletePort,                 false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(DeletePrinterDriver,        false, err::kPrinterDriverInUse) \
  ZC_WINDOWS_CALL(DeleteMonitor,              false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(DeletePrintProcessor,       false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(GetPrinterDriverDirectory,  false, err::kInsufficientBuffer) \
  ZC_WINDOWS_CALL(GetPrintProcessorDirectory, false, err::kInsufficientBuffer) \
  ZC_WINDOWS_CALL(OpenSCManager,              false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(OpenService,                false, err::kServiceDoesNotExist) \
  ZC_WINDOWS_CALL(QueryServiceStatusEx,       false, err::kInvalidHandle)      \
  ZC_WINDOWS_CALL(StartService,               false, err::kServiceAlreadyRunning) \
  ZC_WINDOWS_CALL(ControlService,             false, err::kServiceCannotAcceptCtrl) \
  ZC_WINDOWS_CALL(SHGetFolderPath,            false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(GetWindowsDirectory,        false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(GetSystemDirectory,         false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(GetCurrentDirectory,        false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(GetVersionEx,               false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(ExpandEnvironmentStrings,   false, err::kNotEnoughMemory)    \
  ZC_WINDOWS_CALL(OpenProcessToken,           false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(AdjustTokenPrivileges,      false, err::kNotAllAssigned)     \
  ZC_WINDOWS_CALL(InitiateSystemShutdown,     false, err::kAccessDenied)       \
  ZC_WINDOWS_CALL(GetUserObjectInformation,   false, err::kInvalidHandle)      \
  ZC_WINDOWS_CALL(GetTokenInformation,        false, err::kAccessDenied)
// clang-format on

enum class WindowsCall {
#define ZC_CALL_ENUM(name, path, failure) k##name,
  ZC_WINDOWS_CALLS(ZC_CALL_ENUM)
#undef ZC_CALL_ENUM
};

struct WindowsCallInfo {
  WindowsCall call;
  std::string_view name;  // "DeleteFile"
  bool targetIsPath;      // targets compared as Windows compares paths
  WinError typicalFailure;
};

inline constexpr std::array kWindowsCalls = {
#define ZC_CALL_INFO(name, path, failure) WindowsCallInfo{WindowsCall::k##name, #name, path, failure},
    ZC_WINDOWS_CALLS(ZC_CALL_INFO)
#undef ZC_CALL_INFO
};

constexpr const WindowsCallInfo& InfoOf(WindowsCall call) { return kWindowsCalls[static_cast<std::size_t>(call)]; }
constexpr std::string_view NameOf(WindowsCall call) { return InfoOf(call).name; }

constexpr std::optional<WindowsCall> WindowsCallNamed(std::string_view name) {
  for (const auto& info : kWindowsCalls) {
    if (info.name == name) return info.call;
  }
  return std::nullopt;
}

}  // namespace zc
