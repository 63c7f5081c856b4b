#include "safety/dry_run_view.h"

#include <string>

#include "platform/proxy.h"
#include "platform/windows_calls.h"
#include "safety/slips.h"

namespace zc {

// What each view needs of the view that owns it.
class DryRunRefusal {
 public:
  explicit DryRunRefusal(DryRunView& view) : view_(view) {}
  bool active() const { return view_.active(); }
  WinError Refuse(std::string_view operation, std::wstring_view target) const {
    return view_.Refuse(operation, target);
  }

 private:
  DryRunView& view_;
};

namespace {

// Each view passes its service's reads on and refuses its changes while a
// dry run is under way: the CHANGES rows of the service's method table.
#define ZC_VIEW_PASSES(...)
#define ZC_VIEW_REFUSES(Result, Method, Parameters, Arguments, Call, Target)       \
  Result Method Parameters override {                                              \
    if (view_.active()) return view_.Refuse(NameOf(WindowsCall::k##Call), Target); \
    return Base::Method Arguments;                                                 \
  }

// The arguments are a type and a table: parentheses would break them.
// NOLINTBEGIN(bugprone-macro-parentheses)
// clang-format off
#define ZC_DRY_RUN_VIEW(Service, Methods)                                                         \
  class Service##View : public Proxy##Service {                                                   \
   public:                                                                                        \
    Service##View(Service& target, DryRunRefusal view) : Proxy##Service(target), view_(view) {} \
    Methods(ZC_VIEW_PASSES, ZC_VIEW_REFUSES)                                                      \
   private:                                                                                       \
    using Base = Proxy##Service;                                                                  \
    DryRunRefusal view_;                                                                          \
  };
// clang-format on
// NOLINTEND(bugprone-macro-parentheses)

ZC_DRY_RUN_VIEW(FileSystem, ZC_FILESYSTEM_METHODS)
ZC_DRY_RUN_VIEW(Registry, ZC_REGISTRY_METHODS)
ZC_DRY_RUN_VIEW(Processes, ZC_PROCESSES_METHODS)
ZC_DRY_RUN_VIEW(Spooler, ZC_SPOOLER_METHODS)
ZC_DRY_RUN_VIEW(ServiceManager, ZC_SERVICES_METHODS)
ZC_DRY_RUN_VIEW(Power, ZC_POWER_METHODS)

#undef ZC_DRY_RUN_VIEW
#undef ZC_VIEW_PASSES
#undef ZC_VIEW_REFUSES

}  // namespace

struct DryRunView::Views {
  Views(const Platform& target, DryRunRefusal refusal)
      : fs(target.fs, refusal),
        registry(target.registry, refusal),
        processes(target.processes, refusal),
        spooler(target.spooler, refusal),
        services(target.services, refusal),
        power(target.power, refusal) {}
  FileSystemView fs;
  RegistryView registry;
  ProcessesView processes;
  SpoolerView spooler;
  ServiceManagerView services;
  PowerView power;
};

DryRunView::DryRunView(Platform target)
    : target_(target), views_(std::make_unique<Views>(target, DryRunRefusal(*this))) {}

DryRunView::~DryRunView() = default;

Platform DryRunView::platform() {
  return Platform{views_->registry, target_.installer, views_->fs,    target_.system, views_->processes,
                  views_->spooler,  views_->services,  views_->power, target_.ui};
}

WinError DryRunView::Refuse(std::string_view operation, std::wstring_view target) {
  ++refusals_;
  ReportSlip(std::string("dry run refused ") + std::string(operation), target);
  return err::kAccessDenied;
}

}  // namespace zc
