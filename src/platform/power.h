// The shutdown privilege and the restart request.
#pragma once

#include <cstdint>

#include "platform/unique_handle.h"
#include "platform/win_error.h"

namespace zc {

using TokenHandleValue = std::uintptr_t;

class Power {
 public:
  virtual ~Power() = default;

  // OpenProcessToken(current process, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY).
  virtual WinError OpenProcessTokenHandle(TokenHandleValue* token) = 0;
  // LookupPrivilegeValueW + AdjustTokenPrivileges for SeShutdownPrivilege;
  // the result is GetLastError() after the adjustment (1300 when the
  // account does not hold the privilege).
  virtual WinError SetShutdownPrivilege(TokenHandleValue token, bool enabled) = 0;
  // InitiateSystemShutdownW(local, no message, 0 s, no force, reboot).
  virtual WinError RequestRestart() = 0;
  virtual void CloseToken(TokenHandleValue token) = 0;
};

using UniqueToken = ServiceHandle<Power, TokenHandleValue, &Power::CloseToken>;

// Every method above, once, for the forwarding proxies (platform/proxy.h)
// and the dry-run view, which refuses the CHANGES rows while a dry run is
// under way; each names the Windows call it stands for and its target.
//   READS(Result, Method, (Parameters), (Arguments))
//   CHANGES(Result, Method, (Parameters), (Arguments), WindowsCall, Target)
// clang-format off
#define ZC_POWER_METHODS(READS, CHANGES) \
  READS(WinError, OpenProcessTokenHandle, (TokenHandleValue* token), (token)) \
  CHANGES(WinError, SetShutdownPrivilege, (TokenHandleValue token, bool enabled), (token, enabled), AdjustTokenPrivileges, L"SeShutdownPrivilege") \
  CHANGES(WinError, RequestRestart, (), (), InitiateSystemShutdown, L"") \
  READS(void, CloseToken, (TokenHandleValue token), (token))
// clang-format on

}  // namespace zc
