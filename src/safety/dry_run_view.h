// The dry-run view of the platform: reading, enumerating, opening handles
// and writing the log pass through; while the view is active, every call
// that would change the machine (deleting, removing, changing attributes,
// writing or deleting registry keys and values, starting a program, changing
// the spooler or a service, the restart) is refused with 5
// (ERROR_ACCESS_DENIED) and reported as a slip. A dry run works on the view,
// so it cannot change anything, whatever its code does.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace zc {

class DryRunView {
 public:
  explicit DryRunView(Platform target);
  ~DryRunView();
  DryRunView(const DryRunView&) = delete;
  DryRunView& operator=(const DryRunView&) = delete;

  // The services of the view, for the tool to work on at all times.
  Platform platform();

  bool active() const { return depth_ > 0; }
  // Calls refused while active.
  int refusals() const { return refusals_; }

  // Active from construction to destruction; scopes nest.
  class Scope {
   public:
    explicit Scope(DryRunView& view) : view_(view) { ++view_.depth_; }
    ~Scope() { --view_.depth_; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    DryRunView& view_;
  };

 private:
  friend class DryRunRefusal;
  WinError Refuse(std::string_view operation, std::wstring_view target);

  struct Views;
  Platform target_;
  std::unique_ptr<Views> views_;
  int depth_ = 0;
  int refusals_ = 0;
};

}  // namespace zc
