#include "platform/win32/win32_processes.h"

#include <windows.h>

#include <string>
#include <vector>

namespace zc::win32 {
namespace {

HANDLE ToHandle(ProcessHandleValue value) { return reinterpret_cast<HANDLE>(value); }
ProcessHandleValue FromHandle(HANDLE handle) { return reinterpret_cast<ProcessHandleValue>(handle); }

}  // namespace

WinError Win32Processes::StartProcess(std::wstring_view applicationName, std::wstring_view commandLine,
                                      ProcessHandles* handles) {
  *handles = ProcessHandles{};
  const std::wstring application(applicationName);
  // CreateProcessW may write into the command line: it gets a copy of its own.
  std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
  command.push_back(L'\0');

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(application.empty() ? nullptr : application.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &started)) {
    return ::GetLastError();
  }
  handles->process = FromHandle(started.hProcess);
  handles->thread = FromHandle(started.hThread);
  return err::kSuccess;
}

std::uint32_t Win32Processes::Wait(ProcessHandleValue process, std::uint32_t milliseconds) {
  return ::WaitForSingleObject(ToHandle(process), milliseconds);
}

WinError Win32Processes::GetExitCode(ProcessHandleValue process, std::uint32_t* exitCode) {
  DWORD code = 0;
  if (!::GetExitCodeProcess(ToHandle(process), &code)) return ::GetLastError();
  *exitCode = code;
  return err::kSuccess;
}

void Win32Processes::CloseHandle(ProcessHandleValue handle) {
  if (handle != 0) ::CloseHandle(ToHandle(handle));
}

}  // namespace zc::win32
