#include "platform/sim/faults.h"

#include <stdexcept>

#include "platform/text.h"
#include "safety/win_path.h"

namespace zc::sim {

namespace {

bool SameTarget(FaultOp op, const std::wstring& ruleTarget, std::wstring_view target) {
  if (EqualsNoCase(ruleTarget, target)) return true;
  if (!IsPathOperation(op)) return false;
  const std::wstring normal = NormaliseFaultTarget(op, target);
  return !normal.empty() && EqualsNoCase(ruleTarget, normal);
}

}  // namespace

std::string_view FaultOpName(FaultOp op) { return NameOf(op); }

std::optional<FaultOp> FaultOpNamed(std::string_view name) { return WindowsCallNamed(name); }

bool IsPathOperation(FaultOp op) { return InfoOf(op).targetIsPath; }

FaultOperation::FaultOperation(const char* name) {
  const auto op = FaultOpNamed(name);
  if (!op) throw std::invalid_argument(std::string("no such fault operation: ") + name);
  op_ = *op;
}

std::wstring NormaliseFaultTarget(FaultOp op, std::wstring_view target) {
  if (!IsPathOperation(op) || target == L"*") return std::wstring(target);
  if (op == FaultOp::kFindFirstFile) {
    // "FOLDER\PATTERN": the folder as Windows spells it, the pattern as written.
    const std::size_t cut = winpath::LastNameStart(target);
    if (cut == 0) return std::wstring(target);
    const std::wstring folder = winpath::Normalise(target.substr(0, cut - 1));
    return folder.empty() ? std::wstring(target) : winpath::Join(folder, target.substr(cut));
  }
  const std::wstring normal = winpath::Normalise(target);
  return normal.empty() ? std::wstring(target) : normal;
}

void FaultPlan::Add(FaultRule rule) {
  rule.target = NormaliseFaultTarget(rule.operation.op(), rule.target);
  rules_.push_back(std::move(rule));
}

std::optional<WinError> FaultPlan::Check(FaultOp operation, std::wstring_view target) {
  if (recording_) recorded_.emplace_back(operation, std::wstring(target));
  for (auto& rule : rules_) {
    if (rule.remaining == 0 || rule.operation.op() != operation) continue;
    if (rule.target != L"*" && !SameTarget(operation, rule.target, target)) continue;
    if (rule.remaining > 0) --rule.remaining;
    ++fired_;
    return rule.error;
  }
  return std::nullopt;
}

}  // namespace zc::sim
