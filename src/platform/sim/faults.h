// Injected failures of the simulated machine: a platform call on a given
// target fails with a given Windows error. Set by a test or by the
// [faults] section of machine.ini.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_error.h"
#include "platform/windows_calls.h"

namespace zc::sim {

// Every call of the simulated machine that can be made to fail: the Windows
// calls of platform/windows_calls.h.
using FaultOp = WindowsCall;

// The Windows call's name ("DeleteFile"), and back.
std::string_view FaultOpName(FaultOp op);
std::optional<FaultOp> FaultOpNamed(std::string_view name);
// Whether the call's target is a file system path: such targets are
// compared as Windows compares paths, not as text.
bool IsPathOperation(FaultOp op);

// A call named in a test by its Windows name. A name that is no call is a
// slip of the test's, refused at once (std::invalid_argument).
class FaultOperation {
 public:
  FaultOperation(FaultOp op) : op_(op) {}  // NOLINT(google-explicit-constructor): names read as calls
  FaultOperation(const char* name);        // NOLINT(google-explicit-constructor)
  FaultOperation(const std::string& name) : FaultOperation(name.c_str()) {}  // NOLINT(google-explicit-constructor)

  FaultOp op() const { return op_; }
  std::string name() const { return std::string(FaultOpName(op_)); }
  friend bool operator==(FaultOperation a, FaultOperation b) { return a.op_ == b.op_; }
  friend bool operator==(FaultOperation a, const char* name) { return FaultOpName(a.op_) == name; }
  friend bool operator==(FaultOperation a, const std::string& name) { return FaultOpName(a.op_) == name; }
  friend bool operator<(FaultOperation a, FaultOperation b) { return a.op_ < b.op_; }
  friend std::ostream& operator<<(std::ostream& out, FaultOperation op) { return out << FaultOpName(op.op_); }

 private:
  FaultOp op_;
};

struct FaultRule {
  FaultOperation operation;
  std::wstring target;  // the path, key path, value or piece; "*" for any; compared case-insensitively
  WinError error = 0;
  int remaining = -1;  // how many more calls fail; -1 for every call
};

class FaultPlan {
 public:
  // A path target is kept as Windows would spell it.
  void Add(FaultRule rule);
  void Clear() { rules_.clear(); }
  bool empty() const { return rules_.empty(); }
  // Whether Check can do anything: a rule to apply or calls to record.
  bool watching() const { return recording_ || !rules_.empty(); }

  // The error that `operation` on `target` must fail with, if any. A rule
  // with a count is used up as it fires.
  std::optional<WinError> Check(FaultOp operation, std::wstring_view target);

  // Every (operation, target) that was checked, in order; the fault sweep
  // uses it to learn which calls a run makes.
  void RecordCalls(bool on) { recording_ = on; }
  const std::vector<std::pair<FaultOperation, std::wstring>>& recorded() const { return recorded_; }
  // How many calls a rule made fail.
  int fired() const { return fired_; }

 private:
  std::vector<FaultRule> rules_;
  bool recording_ = false;
  std::vector<std::pair<FaultOperation, std::wstring>> recorded_;
  int fired_ = 0;
};

// A fault target as the plan keeps it: a path as Windows would spell it (a
// search pattern's folder too), anything else as written.
std::wstring NormaliseFaultTarget(FaultOp op, std::wstring_view target);

}  // namespace zc::sim
