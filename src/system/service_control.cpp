#include "system/service_control.h"

namespace zc {

ServiceControl::ServiceControl(OperationLog& log, ServiceManager& services, SystemInfo& system)
    : m_services(services), m_system(system), m_hSCManager(services), m_log(log) {
  const WinError error = m_services.OpenManager(m_hSCManager.put());
  if (error != err::kSuccess) m_log << "OpenSCManager failed with error: " << error << eol;
}

const wchar_t* ServiceControl::GetStateName(std::uint32_t state) {
  switch (state) {
    case svcstate::kStopped: return L"SERVICE_STOPPED";
    case svcstate::kStartPending: return L"SERVICE_START_PENDING";
    case svcstate::kStopPending: return L"SERVICE_STOP_PENDING";
    case svcstate::kRunning: return L"SERVICE_RUNNING";
    case svcstate::kContinuePending: return L"SERVICE_CONTINUE_PENDING";
    case svcstate::kPausePending: return L"SERVICE_PAUSE_PENDING";
    case svcstate::kPaused: return L"SERVICE_PAUSED";
    default: return L"Unknown";
  }
}

std::int32_t ServiceControl::OpenServiceHandle(const std::wstring& name, bool readOnly, UniqueScHandle* service) {
  if (!m_hSCManager) return static_cast<std::int32_t>(err::kInvalidHandle);
  return static_cast<std::int32_t>(m_services.OpenServiceNamed(m_hSCManager.get(), name, readOnly, service->put()));
}

std::uint32_t ServiceControl::GetServiceState(ScHandleValue service) {
  std::uint32_t state = 0;
  if (m_services.QueryState(service, &state) != err::kSuccess) return 0;
  return state;
}

std::uint32_t ServiceControl::WaitForState(ScHandleValue service, std::uint32_t wanted) {
  std::uint32_t previous = 0;
  std::uint32_t state = 0;
  for (std::uint32_t elapsed = 0; elapsed < kWaitLimit;) {
    m_system.Sleep(kPollInterval);
    elapsed += kPollInterval;
    state = GetServiceState(service);
    if (state != previous) {
      m_log << L"..." << GetStateName(state) << eol;
      previous = state;
    }
    if (state == wanted) break;
  }
  return state;
}

std::int32_t ServiceControl::Start(const std::wstring& name) {
  m_log << L"Starting service: " << name << eol;
  UniqueScHandle service(m_services);
  if (const std::int32_t error = OpenServiceHandle(name, false, &service)) {
    m_log << "Failed to open service with error code: " << error << eol;
    return error;
  }
  if (const WinError error = m_services.StartServiceAt(service.get())) {
    m_log << "Failed to start service with error: " << error << eol;
    if (error == err::kServiceAlreadyRunning) m_stateAfter = svcstate::kRunning;
    return static_cast<std::int32_t>(error);
  }
  const std::uint32_t state = WaitForState(service.get(), svcstate::kRunning);
  m_stateAfter = state;
  if (state == svcstate::kRunning) return 0;
  m_log << "...timeout waiting for service to start" << eol;
  return static_cast<std::int32_t>(state);
}

std::int32_t ServiceControl::Stop(const std::wstring& name) {
  m_log << L"Stopping service: " << name << eol;
  UniqueScHandle service(m_services);
  if (const std::int32_t error = OpenServiceHandle(name, false, &service)) {
    m_log << "Failed to open service with error code: " << error << eol;
    return error;
  }
  const std::uint32_t current = GetServiceState(service.get());
  m_stateBefore = m_stateAfter = current;
  std::uint32_t state = current;
  if (current == svcstate::kStopped || current == svcstate::kStopPending) {
    m_log << L"Cannot stop service as it is in a stopped state already: " << GetStateName(current) << eol;
    if (current == svcstate::kStopped) return 0;
    // A stop under way is waited for, so that a start after it finds the
    // service stopped rather than failing on it.
    state = WaitForState(service.get(), svcstate::kStopped);
  } else {
    std::uint32_t reported = 0;
    if (const WinError error = m_services.StopServiceAt(service.get(), &reported)) {
      m_log << "Failed to stop service with error: " << error << eol;
      return static_cast<std::int32_t>(error);
    }
    if (reported == svcstate::kStopped) {
      m_stateAfter = svcstate::kStopped;
      return 0;
    }
    state = WaitForState(service.get(), svcstate::kStopped);
  }
  m_stateAfter = state;
  if (state == svcstate::kStopped) return 0;
  m_log << "...timeout waiting for service to stop" << eol;
  return static_cast<std::int32_t>(state);
}

std::int32_t ServiceControl::Restart(const std::wstring& name) {
  m_log << L"Restarting service: " << name << eol;
  m_stateBefore = m_stateAfter = 0;
  std::int32_t result = Stop(name);
  const std::uint32_t before = m_stateBefore;
  if (result == 0) result = Start(name);
  // A service that ran before the restart and does not run after it (a
  // stop that never ended, a start that failed) is told, not left unsaid:
  // for the spooler it means no printing until someone starts it.
  const bool ranBefore = before != 0 && before != svcstate::kStopped;
  if (ranBefore && m_stateAfter != svcstate::kRunning) {
    m_log << L"The service " << name << L" was running before the restart and is not running now: "
          << GetStateName(m_stateAfter) << eol;
  }
  return result;
}

}  // namespace zc
