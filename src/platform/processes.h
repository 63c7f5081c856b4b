// Child processes: start a command line, wait, read the exit code.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/unique_handle.h"
#include "platform/win_error.h"

namespace zc {

using ProcessHandleValue = std::uintptr_t;

inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = err::kWaitTimeout;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

struct ProcessHandles {
  ProcessHandleValue process = 0;
  ProcessHandleValue thread = 0;
};

class Processes {
 public:
  virtual ~Processes() = default;

  // CreateProcessW with the program's full path as the application name
  // (empty: none, the command line's first word is searched for), the whole
  // command line, no inherited handles, a normally shown window, the tool's
  // own environment and directory. 2 when the program is not there.
  virtual WinError StartProcess(std::wstring_view applicationName, std::wstring_view commandLine,
                                ProcessHandles* handles) = 0;
  // WaitForSingleObject: 0 ended, 258 timed out, 0xFFFFFFFF failed.
  virtual std::uint32_t Wait(ProcessHandleValue process, std::uint32_t milliseconds) = 0;
  virtual WinError GetExitCode(ProcessHandleValue process, std::uint32_t* exitCode) = 0;
  virtual void CloseHandle(ProcessHandleValue handle) = 0;
};

using UniqueProcessHandle = ServiceHandle<Processes, ProcessHandleValue, &Processes::CloseHandle>;

// Every method above, once, for the forwarding proxies (platform/proxy.h)
// and the dry-run view, which refuses the CHANGES rows while a dry run is
// under way; each names the Windows call it stands for and its target.
//   READS(Result, Method, (Parameters), (Arguments))
//   CHANGES(Result, Method, (Parameters), (Arguments), WindowsCall, Target)
// clang-format off
#define ZC_PROCESSES_METHODS(READS, CHANGES) \
  CHANGES(WinError, StartProcess, (std::wstring_view applicationName, std::wstring_view commandLine, ProcessHandles* handles), (applicationName, commandLine, handles), CreateProcess, commandLine) \
  READS(std::uint32_t, Wait, (ProcessHandleValue process, std::uint32_t milliseconds), (process, milliseconds)) \
  READS(WinError, GetExitCode, (ProcessHandleValue process, std::uint32_t* exitCode), (process, exitCode)) \
  READS(void, CloseHandle, (ProcessHandleValue handle), (handle))
// clang-format on

}  // namespace zc
