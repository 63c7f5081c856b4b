// The Service Control Manager of the simulated machine. A service exists
// when SYSTEM\CurrentControlSet\Services\<name> does; its running state
// and how its transitions go come from machine.ini or a test. A pending
// state lasts for a number of status queries (polls), or forever.
#pragma once

#include <map>
#include <string>

#include "platform/registry.h"
#include "platform/services.h"
#include "platform/sim/faults.h"
#include "platform/sim/machine_config.h"

namespace zc::sim {

class SimServiceManager : public ServiceManager {
 public:
  SimServiceManager(Registry& native, const MachineConfig& config, FaultPlan* faults);

  WinError OpenManager(ScHandleValue* manager) override;
  WinError OpenServiceNamed(ScHandleValue manager, std::wstring_view name, bool readOnly,
                            ScHandleValue* service) override;
  WinError QueryState(ScHandleValue service, std::uint32_t* state) override;
  WinError StartServiceAt(ScHandleValue service) override;
  WinError StopServiceAt(ScHandleValue service, std::uint32_t* state) override;
  void CloseServiceHandle(ScHandleValue handle) override;

  // For tests: set how a service behaves from now on.
  void SetBehaviour(const std::wstring& name, const ServiceBehaviour& behaviour);
  std::uint32_t StateOf(const std::wstring& name);
  std::size_t openHandles() const { return handles_.size(); }
  int starts() const { return starts_; }
  int stops() const { return stops_; }

 private:
  struct Service {
    ServiceBehaviour behaviour;
    std::uint32_t state = 1;
    int pendingPolls = 0;  // polls left in the current pending state; -1 forever
  };
  Service& ServiceFor(const std::wstring& lowerName);

  Registry& reg_;
  FaultPlan* faults_;
  std::map<std::wstring, Service> services_;       // by lower-cased name
  std::map<ScHandleValue, std::wstring> handles_;  // service handles -> lower-cased name; manager -> ""
  ScHandleValue nextHandle_ = 0x5C0;
  int starts_ = 0;
  int stops_ = 0;
};

}  // namespace zc::sim
