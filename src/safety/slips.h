// Slips of the tool's own code that it catches as they happen: a call that
// would change the machine during a dry run, a deletion that no judgement of
// the scope guard covers. The call is refused and the slip reported to the
// process's handler: the tests make it a failure, the Linux program prints
// it. Without a handler a slip is only counted.
#pragma once

#include <functional>
#include <string_view>

namespace zc {

using SlipHandler = std::function<void(std::string_view what, std::wstring_view target)>;

// Installs `handler` for the process; returns the one it replaces.
SlipHandler SetSlipHandler(SlipHandler handler);
void ReportSlip(std::string_view what, std::wstring_view target);
// Slips reported since the process began.
int SlipCount();

}  // namespace zc
