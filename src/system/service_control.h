// Stops, starts and restarts a Windows service, polling every 500 ms for
// at most 30 s, and writes every step to the log.
#pragma once

#include <cstdint>
#include <string>

#include "app/operation_log.h"
#include "platform/services.h"
#include "platform/system_info.h"

namespace zc {

class ServiceControl {
 public:
  ServiceControl(OperationLog& log, ServiceManager& services, SystemInfo& system);
  ServiceControl(const ServiceControl&) = delete;
  ServiceControl& operator=(const ServiceControl&) = delete;
  virtual ~ServiceControl() = default;

  std::int32_t Start(const std::wstring& name);
  std::int32_t Stop(const std::wstring& name);
  std::int32_t Restart(const std::wstring& name);

  std::int32_t OpenServiceHandle(const std::wstring& name, bool readOnly, UniqueScHandle* service);
  std::uint32_t GetServiceState(ScHandleValue service);
  static const wchar_t* GetStateName(std::uint32_t state);

  static constexpr std::uint32_t kPollInterval = 500;
  static constexpr std::uint32_t kWaitLimit = 30000;

 private:
  // Polls until `wanted` or the limit; writes each new state; the last state read.
  std::uint32_t WaitForState(ScHandleValue service, std::uint32_t wanted);

  ServiceManager& m_services;
  SystemInfo& m_system;
  UniqueScHandle m_hSCManager;
  OperationLog& m_log;
  // What the last Stop or Start saw of the service: its state before, and
  // the state it left it in (0 when not known).
  std::uint32_t m_stateBefore = 0;
  std::uint32_t m_stateAfter = 0;
};

}  // namespace zc
