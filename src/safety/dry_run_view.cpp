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

class FileSystemView : public ProxyFileSystem {
 public:
  FileSystemView(FileSystem& target, DryRunRefusal view) : ProxyFileSystem(target), view_(view) {}
  ZC_FILESYSTEM_METHODS(ZC_VIEW_PASSES, ZC_VIEW_REFUSES)

 private:
  using Base = ProxyFileSystem;
  DryRunRefusal view_;
};

class RegistryView : public ProxyRegistry {
 public:
  RegistryView(Registry& target, DryRunRefusal view) : ProxyRegistry(target), view_(view) {}
  ZC_REGISTRY_METHODS(ZC_VIEW_PASSES, ZC_VIEW_REFUSES)

 private:
  using Base = ProxyRegistry;
  DryRunRefusal view_;
};

class ProcessesView : public ProxyProcesses {
 public:
  ProcessesView(Processes& target, DryRunRefusal view) : ProxyProcesses(target), view_(view) {}
  ZC_PROCESSES_METHODS(ZC_VIEW_PASSES, ZC_VIEW_REFUSES)

 private:
  using Base = ProxyProcesses;
  DryRunRefusal view_;
};

class SpoolerView : public ProxySpooler {
 public:
  SpoolerView(Spooler& target, DryRunRefusal view) : ProxySpooler(target), view_(view) {}
  ZC_SPOOLER_METHODS(ZC_VIEW_PASSES, ZC_VIEW_REFUSES)

 private:
  using Base = ProxySpooler;
  DryRunRefusal view_;
};

class ServicesView : public ProxyServiceManager {
 public:
  ServicesView(ServiceManager& target, DryRunRefusal view) : ProxyServiceManager(target), view_(view) {}
  ZC_SERVICES_METHODS(ZC_VIEW_PASSES, ZC_VIEW_REFUSES)

 private:
  using Base = ProxyServiceManager;
  DryRunRefusal view_;
};

class PowerView : public ProxyPower {
 public:
  PowerView(Power& target, DryRunRefusal view) : ProxyPower(target), view_(view) {}
  ZC_POWER_METHODS(ZC_VIEW_PASSES, ZC_VIEW_REFUSES)

 private:
  using Base = ProxyPower;
  DryRunRefusal view_;
};

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
  ServicesView services;
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
