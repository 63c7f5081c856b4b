// Child processes over CreateProcessW. The process and thread handles go to
// the caller, who owns them (UniqueProcessHandle).
#pragma once

#include "platform/processes.h"

namespace zc::win32 {

class Win32Processes : public Processes {
 public:
  WinError StartProcess(std::wstring_view applicationName, std::wstring_view commandLine,
                        ProcessHandles* handles) override;
  std::uint32_t Wait(ProcessHandleValue process, std::uint32_t milliseconds) override;
  WinError GetExitCode(ProcessHandleValue process, std::uint32_t* exitCode) override;
  void CloseHandle(ProcessHandleValue handle) override;
};

}  // namespace zc::win32
