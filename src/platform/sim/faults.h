// Injected failures of the simulated machine: a platform call on a given
// target fails with a given Windows error. Set by a test or by the
// [faults] section of machine.ini.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_error.h"

namespace zc::sim {

struct FaultRule {
  std::string operation;  // the Windows call's name, e.g. "RegDeleteValue", "DeleteFile"
  std::wstring target;    // the path, key path, value or piece; "*" for any; compared case-insensitively
  WinError error = 0;
  int remaining = -1;  // how many more calls fail; -1 for every call
};

class FaultPlan {
 public:
  void Add(FaultRule rule) { rules_.push_back(std::move(rule)); }
  void Clear() { rules_.clear(); }
  bool empty() const { return rules_.empty(); }
  // Whether Check can do anything: a rule to apply or calls to record.
  bool watching() const { return recording_ || !rules_.empty(); }

  // The error that `operation` on `target` must fail with, if any. A rule
  // with a count is used up as it fires.
  std::optional<WinError> Check(std::string_view operation, std::wstring_view target);

  // Every (operation, target) that was checked, in order; the fault sweep
  // uses it to learn which calls a run makes.
  void RecordCalls(bool on) { recording_ = on; }
  const std::vector<std::pair<std::string, std::wstring>>& recorded() const { return recorded_; }

 private:
  std::vector<FaultRule> rules_;
  bool recording_ = false;
  std::vector<std::pair<std::string, std::wstring>> recorded_;
};

}  // namespace zc::sim
