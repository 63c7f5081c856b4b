#include "platform/sim/faults.h"

#include "platform/text.h"

namespace zc::sim {

std::optional<WinError> FaultPlan::Check(std::string_view operation, std::wstring_view target) {
  if (recording_) recorded_.emplace_back(std::string(operation), std::wstring(target));
  for (auto& rule : rules_) {
    if (rule.remaining == 0 || rule.operation != operation) continue;
    if (rule.target != L"*" && !EqualsNoCase(rule.target, target)) continue;
    if (rule.remaining > 0) --rule.remaining;
    return rule.error;
  }
  return std::nullopt;
}

}  // namespace zc::sim
