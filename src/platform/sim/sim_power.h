// The shutdown privilege and the restart request on the simulated machine:
// a request is recorded, and the Linux program reports it.
#pragma once

#include "platform/power.h"
#include "platform/sim/faults.h"

namespace zc::sim {

class SimPower : public Power {
 public:
  SimPower(bool privilegeHeld, FaultPlan* faults) : privilegeHeld_(privilegeHeld), faults_(faults) {}

  WinError OpenProcessTokenHandle(TokenHandleValue* token) override;
  WinError SetShutdownPrivilege(TokenHandleValue token, bool enabled) override;
  WinError RequestRestart() override;
  void CloseToken(TokenHandleValue token) override;

  bool restartRequested() const { return restartRequested_; }
  bool privilegeEnabled() const { return privilegeEnabled_; }
  int openTokens() const { return openTokens_; }

 private:
  bool privilegeHeld_;
  FaultPlan* faults_;
  bool privilegeEnabled_ = false;
  bool restartRequested_ = false;
  int openTokens_ = 0;
};

}  // namespace zc::sim
