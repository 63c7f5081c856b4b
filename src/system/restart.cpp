#include "system/restart.h"

namespace zc {

bool RequestSystemRestart(Power& power) {
  UniqueToken token(power);
  if (power.OpenProcessTokenHandle(token.put()) != err::kSuccess) return false;
  if (power.SetShutdownPrivilege(token.get(), true) != err::kSuccess) return false;
  if (power.RequestRestart() != err::kSuccess) return false;
  power.SetShutdownPrivilege(token.get(), false);
  return true;
}

WinError CheckRestartPrivilege(Power& power) {
  UniqueToken token(power);
  if (const WinError error = power.OpenProcessTokenHandle(token.put())) return error;
  if (const WinError error = power.SetShutdownPrivilege(token.get(), true)) return error;
  power.SetShutdownPrivilege(token.get(), false);
  return err::kSuccess;
}

}  // namespace zc
