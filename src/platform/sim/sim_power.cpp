#include "platform/sim/sim_power.h"

namespace zc::sim {

namespace {
constexpr TokenHandleValue kTokenHandle = 0x2C;
}

WinError SimPower::OpenProcessTokenHandle(TokenHandleValue* token) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kOpenProcessToken, L"*")) return *e;
  }
  *token = kTokenHandle;
  ++openTokens_;
  return err::kSuccess;
}

WinError SimPower::SetShutdownPrivilege(TokenHandleValue token, bool enabled) {
  if (token != kTokenHandle) return err::kInvalidHandle;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kAdjustTokenPrivileges, L"SeShutdownPrivilege")) return *e;
  }
  if (!privilegeHeld_) return err::kNotAllAssigned;
  privilegeEnabled_ = enabled;
  return err::kSuccess;
}

WinError SimPower::RequestRestart() {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kInitiateSystemShutdown, L"*")) return *e;
  }
  if (!privilegeEnabled_) return err::kAccessDenied;
  restartRequested_ = true;
  return err::kSuccess;
}

void SimPower::CloseToken(TokenHandleValue token) {
  if (token == kTokenHandle && openTokens_ > 0) --openTokens_;
}

}  // namespace zc::sim
