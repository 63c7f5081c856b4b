// The system restart at the end of a run.
#pragma once

#include "platform/power.h"

namespace zc {

// Enables the shutdown privilege, asks Windows to restart the local machine
// at once (no forced close, no delay) and disables the privilege again.
// True when the request was accepted; nothing is reported either way.
bool RequestSystemRestart(Power& power);

}  // namespace zc
