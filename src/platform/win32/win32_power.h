// The shutdown privilege and the restart request over the Win32 security
// and shutdown functions. The token goes to the caller (UniqueToken).
#pragma once

#include "platform/power.h"

namespace zc::win32 {

class Win32Power : public Power {
 public:
  WinError OpenProcessTokenHandle(TokenHandleValue* token) override;
  WinError SetShutdownPrivilege(TokenHandleValue token, bool enabled) override;
  WinError RequestRestart() override;
  void CloseToken(TokenHandleValue token) override;
};

}  // namespace zc::win32
