#include "platform/win32/win32_services.h"

#include <windows.h>

#include <string>

namespace zc::win32 {
namespace {

SC_HANDLE ToHandle(ScHandleValue value) { return reinterpret_cast<SC_HANDLE>(value); }
ScHandleValue FromHandle(SC_HANDLE handle) { return reinterpret_cast<ScHandleValue>(handle); }

}  // namespace

WinError Win32ServiceManager::OpenManager(ScHandleValue* manager) {
  *manager = 0;
  const SC_HANDLE opened = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (opened == nullptr) return ::GetLastError();
  *manager = FromHandle(opened);
  return err::kSuccess;
}

WinError Win32ServiceManager::OpenServiceNamed(ScHandleValue manager, std::wstring_view name, bool readOnly,
                                               ScHandleValue* service) {
  *service = 0;
  const std::wstring serviceName(name);
  const SC_HANDLE opened =
      ::OpenServiceW(ToHandle(manager), serviceName.c_str(), readOnly ? GENERIC_READ : SERVICE_ALL_ACCESS);
  if (opened == nullptr) return ::GetLastError();
  *service = FromHandle(opened);
  return err::kSuccess;
}

WinError Win32ServiceManager::QueryState(ScHandleValue service, std::uint32_t* state) {
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!::QueryServiceStatusEx(ToHandle(service), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed)) {
    return ::GetLastError();
  }
  *state = status.dwCurrentState;
  return err::kSuccess;
}

WinError Win32ServiceManager::StartServiceAt(ScHandleValue service) {
  if (!::StartServiceW(ToHandle(service), 0, nullptr)) return ::GetLastError();
  return err::kSuccess;
}

WinError Win32ServiceManager::StopServiceAt(ScHandleValue service, std::uint32_t* state) {
  SERVICE_STATUS status{};
  if (!::ControlService(ToHandle(service), SERVICE_CONTROL_STOP, &status)) return ::GetLastError();
  *state = status.dwCurrentState;
  return err::kSuccess;
}

void Win32ServiceManager::CloseServiceHandle(ScHandleValue handle) {
  if (handle != 0) ::CloseServiceHandle(ToHandle(handle));
}

}  // namespace zc::win32
