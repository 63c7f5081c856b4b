// The Service Control Manager.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/unique_handle.h"
#include "platform/win_error.h"

namespace zc {

using ScHandleValue = std::uintptr_t;

namespace svcstate {
inline constexpr std::uint32_t kStopped = 1;
inline constexpr std::uint32_t kStartPending = 2;
inline constexpr std::uint32_t kStopPending = 3;
inline constexpr std::uint32_t kRunning = 4;
inline constexpr std::uint32_t kContinuePending = 5;
inline constexpr std::uint32_t kPausePending = 6;
inline constexpr std::uint32_t kPaused = 7;
}  // namespace svcstate

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;

  // OpenSCManagerW(local, active database, SC_MANAGER_ALL_ACCESS).
  virtual WinError OpenManager(ScHandleValue* manager) = 0;
  // OpenServiceW with GENERIC_READ or SERVICE_ALL_ACCESS; 1060 when unknown.
  virtual WinError OpenServiceNamed(ScHandleValue manager, std::wstring_view name, bool readOnly,
                                    ScHandleValue* service) = 0;
  // QueryServiceStatusEx: the current state.
  virtual WinError QueryState(ScHandleValue service, std::uint32_t* state) = 0;
  // StartServiceW: 1056 when it runs already.
  virtual WinError StartServiceAt(ScHandleValue service) = 0;
  // ControlService(SERVICE_CONTROL_STOP): the state in the returned record.
  virtual WinError StopServiceAt(ScHandleValue service, std::uint32_t* state) = 0;
  virtual void CloseServiceHandle(ScHandleValue handle) = 0;
};

using UniqueScHandle = ServiceHandle<ServiceManager, ScHandleValue, &ServiceManager::CloseServiceHandle>;

// Every method above, once, for the forwarding proxies (platform/proxy.h)
// and the dry-run view, which refuses the CHANGES rows while a dry run is
// under way; each names the Windows call it stands for and its target.
//   READS(Result, Method, (Parameters), (Arguments))
//   CHANGES(Result, Method, (Parameters), (Arguments), WindowsCall, Target)
// clang-format off
#define ZC_SERVICES_METHODS(READS, CHANGES) \
  READS(WinError, OpenManager, (ScHandleValue* manager), (manager)) \
  READS(WinError, OpenServiceNamed, (ScHandleValue manager, std::wstring_view name, bool readOnly, ScHandleValue* service), (manager, name, readOnly, service)) \
  READS(WinError, QueryState, (ScHandleValue service, std::uint32_t* state), (service, state)) \
  CHANGES(WinError, StartServiceAt, (ScHandleValue service), (service), StartService, L"") \
  CHANGES(WinError, StopServiceAt, (ScHandleValue service, std::uint32_t* state), (service, state), ControlService, L"") \
  READS(void, CloseServiceHandle, (ScHandleValue handle), (handle))
// clang-format on

}  // namespace zc
