#include "platform/win32/win32_power.h"

#include <windows.h>

namespace zc::win32 {
namespace {

HANDLE ToHandle(TokenHandleValue value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

WinError Win32Power::OpenProcessTokenHandle(TokenHandleValue* token) {
  *token = 0;
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened)) {
    return ::GetLastError();
  }
  *token = reinterpret_cast<TokenHandleValue>(opened);
  return err::kSuccess;
}

WinError Win32Power::SetShutdownPrivilege(TokenHandleValue token, bool enabled) {
  TOKEN_PRIVILEGES privileges{};
  if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) return ::GetLastError();
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
  // Success leaves 0, or 1300 when the account does not hold the privilege.
  if (!::AdjustTokenPrivileges(ToHandle(token), FALSE, &privileges, 0, nullptr, nullptr)) return ::GetLastError();
  return ::GetLastError();
}

WinError Win32Power::RequestRestart() {
  wchar_t* const noMachine = nullptr;
  wchar_t* const noMessage = nullptr;
  if (!::InitiateSystemShutdownW(noMachine, noMessage, 0, FALSE, TRUE)) return ::GetLastError();
  return err::kSuccess;
}

void Win32Power::CloseToken(TokenHandleValue token) {
  if (token != 0) ::CloseHandle(ToHandle(token));
}

}  // namespace zc::win32
