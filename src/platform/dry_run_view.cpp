#include "platform/dry_run_view.h"

#include <string>

#include "platform/proxy.h"
#include "platform/slips.h"

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

class FileSystemView : public ProxyFileSystem {
 public:
  FileSystemView(FileSystem& target, DryRunRefusal view) : ProxyFileSystem(target), view_(view) {}
  WinError SetAttributes(std::wstring_view path, std::uint32_t attributes) override {
    if (view_.active()) return view_.Refuse("SetFileAttributes", path);
    return ProxyFileSystem::SetAttributes(path, attributes);
  }
  WinError DeleteFileAt(std::wstring_view path) override {
    if (view_.active()) return view_.Refuse("DeleteFile", path);
    return ProxyFileSystem::DeleteFileAt(path);
  }
  WinError RemoveFolder(std::wstring_view path) override {
    if (view_.active()) return view_.Refuse("RemoveDirectory", path);
    return ProxyFileSystem::RemoveFolder(path);
  }
  WinError ScheduleDeleteAtReboot(std::wstring_view path) override {
    if (view_.active()) return view_.Refuse("MoveFileEx", path);
    return ProxyFileSystem::ScheduleDeleteAtReboot(path);
  }

 private:
  DryRunRefusal view_;
};

class RegistryView : public ProxyRegistry {
 public:
  RegistryView(Registry& target, DryRunRefusal view) : ProxyRegistry(target), view_(view) {}
  WinError CreateKey(HKey root, std::wstring_view path, HKey* key) override {
    if (view_.active()) return view_.Refuse("RegCreateKey", path);
    return ProxyRegistry::CreateKey(root, path, key);
  }
  WinError SetValue(HKey key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                    std::uint32_t size) override {
    if (view_.active()) return view_.Refuse("RegSetValue", name);
    return ProxyRegistry::SetValue(key, name, type, data, size);
  }
  WinError DeleteValue(HKey key, std::wstring_view name) override {
    if (view_.active()) return view_.Refuse("RegDeleteValue", name);
    return ProxyRegistry::DeleteValue(key, name);
  }
  WinError DeleteTree(HKey root, std::wstring_view path) override {
    if (view_.active()) return view_.Refuse("SHDeleteKey", path);
    return ProxyRegistry::DeleteTree(root, path);
  }

 private:
  DryRunRefusal view_;
};

class ProcessesView : public ProxyProcesses {
 public:
  ProcessesView(Processes& target, DryRunRefusal view) : ProxyProcesses(target), view_(view) {}
  WinError StartProcess(std::wstring_view applicationName, std::wstring_view commandLine,
                        ProcessHandles* handles) override {
    if (view_.active()) return view_.Refuse("CreateProcess", commandLine);
    return ProxyProcesses::StartProcess(applicationName, commandLine, handles);
  }

 private:
  DryRunRefusal view_;
};

class SpoolerView : public ProxySpooler {
 public:
  SpoolerView(Spooler& target, DryRunRefusal view) : ProxySpooler(target), view_(view) {}
  WinError DeletePrinterAt(PrinterHandleValue handle) override {
    if (view_.active()) return view_.Refuse("DeletePrinter", L"");
    return ProxySpooler::DeletePrinterAt(handle);
  }
  WinError DeletePortNamed(std::wstring_view port) override {
    if (view_.active()) return view_.Refuse("DeletePort", port);
    return ProxySpooler::DeletePortNamed(port);
  }
  WinError DeleteDriverNamed(std::wstring_view environment, std::wstring_view driver) override {
    if (view_.active()) return view_.Refuse("DeletePrinterDriver", driver);
    return ProxySpooler::DeleteDriverNamed(environment, driver);
  }
  WinError DeleteMonitorNamed(std::wstring_view monitor) override {
    if (view_.active()) return view_.Refuse("DeleteMonitor", monitor);
    return ProxySpooler::DeleteMonitorNamed(monitor);
  }
  WinError DeleteProcessorNamed(std::wstring_view processor) override {
    if (view_.active()) return view_.Refuse("DeletePrintProcessor", processor);
    return ProxySpooler::DeleteProcessorNamed(processor);
  }

 private:
  DryRunRefusal view_;
};

class ServicesView : public ProxyServiceManager {
 public:
  ServicesView(ServiceManager& target, DryRunRefusal view) : ProxyServiceManager(target), view_(view) {}
  WinError StartServiceAt(ScHandleValue service) override {
    if (view_.active()) return view_.Refuse("StartService", L"");
    return ProxyServiceManager::StartServiceAt(service);
  }
  WinError StopServiceAt(ScHandleValue service, std::uint32_t* state) override {
    if (view_.active()) return view_.Refuse("ControlService", L"");
    return ProxyServiceManager::StopServiceAt(service, state);
  }

 private:
  DryRunRefusal view_;
};

class PowerView : public ProxyPower {
 public:
  PowerView(Power& target, DryRunRefusal view) : ProxyPower(target), view_(view) {}
  WinError SetShutdownPrivilege(TokenHandleValue token, bool enabled) override {
    if (view_.active()) return view_.Refuse("AdjustTokenPrivileges", L"SeShutdownPrivilege");
    return ProxyPower::SetShutdownPrivilege(token, enabled);
  }
  WinError RequestRestart() override {
    if (view_.active()) return view_.Refuse("InitiateSystemShutdown", L"");
    return ProxyPower::RequestRestart();
  }

 private:
  DryRunRefusal view_;
};

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
