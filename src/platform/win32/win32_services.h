// The Service Control Manager over the Win32 service functions. Handles go
// to the caller, who owns them (UniqueScHandle).
#pragma once

#include "platform/services.h"

namespace zc::win32 {

class Win32ServiceManager : public ServiceManager {
 public:
  WinError OpenManager(ScHandleValue* manager) override;
  WinError OpenServiceNamed(ScHandleValue manager, std::wstring_view name, bool readOnly,
                            ScHandleValue* service) override;
  WinError QueryState(ScHandleValue service, std::uint32_t* state) override;
  WinError StartServiceAt(ScHandleValue service) override;
  WinError StopServiceAt(ScHandleValue service, std::uint32_t* state) override;
  void CloseServiceHandle(ScHandleValue handle) override;
};

}  // namespace zc::win32
