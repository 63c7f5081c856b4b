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

}  // namespace zc
