// The system restart at the end of a run.
#pragma once

#include "platform/power.h"

namespace zc {

// Enables the shutdown privilege, asks Windows to restart the local machine
// at once (no forced close, no delay) and disables the privilege again.
// True when the request was accepted; nothing is reported either way.
bool RequestSystemRestart(Power& power);

// Whether this process may request a restart: 0 when the shutdown privilege
// can be enabled (it is disabled again), else the error that stops it (1300
// when the account does not hold it).
WinError CheckRestartPrivilege(Power& power);

}  // namespace zc
