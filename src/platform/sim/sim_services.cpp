#include "platform/sim/sim_services.h"

#include "platform/sim/registry_util.h"
#include "platform/text.h"

namespace zc::sim {

SimServiceManager::SimServiceManager(Registry& native, const MachineConfig& config, FaultPlan* faults)
    : reg_(native), faults_(faults) {
  for (const auto& [name, behaviour] : config.services) SetBehaviour(name, behaviour);
}

void SimServiceManager::SetBehaviour(const std::wstring& name, const ServiceBehaviour& behaviour) {
  Service& s = services_[ToLowerAscii(name)];
  s.behaviour = behaviour;
  s.state = behaviour.state;
  // A service caught in a transition stays in it for its polls.
  s.pendingPolls = behaviour.state == svcstate::kStartPending  ? behaviour.startPendingPolls
                   : behaviour.state == svcstate::kStopPending ? behaviour.stopPendingPolls
                                                               : 0;
}

SimServiceManager::Service& SimServiceManager::ServiceFor(const std::wstring& lowerName) {
  return services_[lowerName];  // a service machine.ini does not name is stopped
}

std::uint32_t SimServiceManager::StateOf(const std::wstring& name) { return ServiceFor(ToLowerAscii(name)).state; }

WinError SimServiceManager::OpenManager(ScHandleValue* manager) {
  *manager = 0;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kOpenSCManager, L"*")) return *e;
  }
  *manager = nextHandle_;
  nextHandle_ += 8;
  handles_[*manager] = L"";
  return err::kSuccess;
}

WinError SimServiceManager::OpenServiceNamed(ScHandleValue manager, std::wstring_view name, bool /*readOnly*/,
                                             ScHandleValue* service) {
  *service = 0;
  const auto it = handles_.find(manager);
  if (it == handles_.end() || !it->second.empty()) return err::kInvalidHandle;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kOpenService, name)) return *e;
  }
  if (name.empty() ||
      !KeyExists(reg_, kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\" + std::wstring(name))) {
    return err::kServiceDoesNotExist;
  }
  *service = nextHandle_;
  nextHandle_ += 8;
  handles_[*service] = ToLowerAscii(name);
  return err::kSuccess;
}

WinError SimServiceManager::QueryState(ScHandleValue service, std::uint32_t* state) {
  const auto it = handles_.find(service);
  if (it == handles_.end() || it->second.empty()) return err::kInvalidHandle;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kQueryServiceStatusEx, it->second)) return *e;
  }
  Service& s = ServiceFor(it->second);
  // N polls see the pending state; the one after them sees where it led.
  *state = s.state;
  if ((s.state == svcstate::kStartPending || s.state == svcstate::kStopPending) && s.pendingPolls > 0) {
    if (--s.pendingPolls == 0) {
      s.state = s.state == svcstate::kStartPending ? svcstate::kRunning : svcstate::kStopped;
    }
  }
  return err::kSuccess;
}

WinError SimServiceManager::StartServiceAt(ScHandleValue service) {
  const auto it = handles_.find(service);
  if (it == handles_.end() || it->second.empty()) return err::kInvalidHandle;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kStartService, it->second)) return *e;
  }
  Service& s = ServiceFor(it->second);
  if (s.state != svcstate::kStopped) return err::kServiceAlreadyRunning;
  ++starts_;
  s.pendingPolls = s.behaviour.startPendingPolls;
  s.state = s.pendingPolls == 0 ? svcstate::kRunning : svcstate::kStartPending;
  return err::kSuccess;
}

WinError SimServiceManager::StopServiceAt(ScHandleValue service, std::uint32_t* state) {
  const auto it = handles_.find(service);
  if (it == handles_.end() || it->second.empty()) return err::kInvalidHandle;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kControlService, it->second)) return *e;
  }
  Service& s = ServiceFor(it->second);
  if (s.state == svcstate::kStopped) return err::kServiceNotActive;
  if (s.state == svcstate::kStartPending || s.state == svcstate::kStopPending) return err::kServiceCannotAcceptCtrl;
  ++stops_;
  s.pendingPolls = s.behaviour.stopPendingPolls;
  s.state = s.pendingPolls == 0 ? svcstate::kStopped : svcstate::kStopPending;
  *state = s.state;
  return err::kSuccess;
}

void SimServiceManager::CloseServiceHandle(ScHandleValue handle) { handles_.erase(handle); }

}  // namespace zc::sim
