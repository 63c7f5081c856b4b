// Services that hand every call on to another one. A test derives from one
// and overrides the call it wants to fail or to watch; the dry-run view
// derives from them to refuse the calls that change the machine.
#pragma once

#include "platform/platform.h"

namespace zc {

class ProxyFileSystem : public FileSystem {
 public:
  explicit ProxyFileSystem(FileSystem& target) : target_(target) {}
  WinError GetAttributes(std::wstring_view path, std::uint32_t* attributes) override {
    return target_.GetAttributes(path, attributes);
  }
  WinError SetAttributes(std::wstring_view path, std::uint32_t attributes) override {
    return target_.SetAttributes(path, attributes);
  }
  WinError DeleteFileAt(std::wstring_view path) override { return target_.DeleteFileAt(path); }
  WinError RemoveFolder(std::wstring_view path) override { return target_.RemoveFolder(path); }
  WinError FindFirst(std::wstring_view pattern, FindHandleValue* handle, FindData* data) override {
    return target_.FindFirst(pattern, handle, data);
  }
  WinError FindNext(FindHandleValue handle, FindData* data) override { return target_.FindNext(handle, data); }
  WinError FindClose(FindHandleValue handle) override { return target_.FindClose(handle); }
  WinError GetFinalPath(std::wstring_view path, bool followLink, std::wstring* finalPath) override {
    return target_.GetFinalPath(path, followLink, finalPath);
  }
  WinError ScheduleDeleteAtReboot(std::wstring_view path) override { return target_.ScheduleDeleteAtReboot(path); }
  std::unique_ptr<OutputFile> CreateOutputFile(std::wstring_view path, WinError* error) override {
    return target_.CreateOutputFile(path, error);
  }
  std::unique_ptr<OutputFile> OpenOutputFileToAppend(std::wstring_view path, WinError* error) override {
    return target_.OpenOutputFileToAppend(path, error);
  }

 private:
  FileSystem& target_;
};

class ProxyRegistry : public Registry {
 public:
  explicit ProxyRegistry(Registry& target) : target_(target) {}
  WinError OpenKey(HKey root, std::wstring_view path, RegAccess access, HKey* key) override {
    return target_.OpenKey(root, path, access, key);
  }
  WinError CreateKey(HKey root, std::wstring_view path, HKey* key) override {
    return target_.CreateKey(root, path, key);
  }
  WinError CloseKey(HKey key) override { return target_.CloseKey(key); }
  WinError QueryValue(HKey key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                      std::uint32_t* size) override {
    return target_.QueryValue(key, name, type, data, size);
  }
  WinError SetValue(HKey key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                    std::uint32_t size) override {
    return target_.SetValue(key, name, type, data, size);
  }
  WinError QueryInfoKey(HKey key, RegKeyInfo* info) override { return target_.QueryInfoKey(key, info); }
  WinError EnumValue(HKey key, std::uint32_t index, std::uint32_t nameCapacity, std::wstring* name, std::uint32_t* type,
                     std::uint8_t* data, std::uint32_t* size) override {
    return target_.EnumValue(key, index, nameCapacity, name, type, data, size);
  }
  WinError EnumKey(HKey key, std::uint32_t index, std::wstring* name) override {
    return target_.EnumKey(key, index, name);
  }
  WinError DeleteValue(HKey key, std::wstring_view name) override { return target_.DeleteValue(key, name); }
  WinError DeleteTree(HKey root, std::wstring_view path) override { return target_.DeleteTree(root, path); }

 protected:
  Registry& target() { return target_; }

 private:
  Registry& target_;
};

class ProxyProcesses : public Processes {
 public:
  explicit ProxyProcesses(Processes& target) : target_(target) {}
  WinError StartProcess(std::wstring_view applicationName, std::wstring_view commandLine,
                        ProcessHandles* handles) override {
    return target_.StartProcess(applicationName, commandLine, handles);
  }
  std::uint32_t Wait(ProcessHandleValue process, std::uint32_t milliseconds) override {
    return target_.Wait(process, milliseconds);
  }
  WinError GetExitCode(ProcessHandleValue process, std::uint32_t* exitCode) override {
    return target_.GetExitCode(process, exitCode);
  }
  void CloseHandle(ProcessHandleValue handle) override { target_.CloseHandle(handle); }

 private:
  Processes& target_;
};

class ProxySpooler : public Spooler {
 public:
  explicit ProxySpooler(Spooler& target) : target_(target) {}
  WinError EnumPrinters(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<PrinterRecord>* records) override {
    return target_.EnumPrinters(bufferSize, needed, records);
  }
  WinError EnumPorts(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<PortRecord>* records) override {
    return target_.EnumPorts(bufferSize, needed, records);
  }
  WinError EnumMonitors(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<MonitorRecord>* records) override {
    return target_.EnumMonitors(bufferSize, needed, records);
  }
  WinError EnumDrivers(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<DriverRecord>* records) override {
    return target_.EnumDrivers(bufferSize, needed, records);
  }
  WinError OpenPrinterHandle(std::wstring_view name, PrinterHandleValue* handle) override {
    return target_.OpenPrinterHandle(name, handle);
  }
  WinError DeletePrinterAt(PrinterHandleValue handle) override { return target_.DeletePrinterAt(handle); }
  WinError ClosePrinterHandle(PrinterHandleValue handle) override { return target_.ClosePrinterHandle(handle); }
  WinError DeletePortNamed(std::wstring_view port) override { return target_.DeletePortNamed(port); }
  WinError DeleteDriverNamed(std::wstring_view environment, std::wstring_view driver) override {
    return target_.DeleteDriverNamed(environment, driver);
  }
  WinError DeleteMonitorNamed(std::wstring_view monitor) override { return target_.DeleteMonitorNamed(monitor); }
  WinError DeleteProcessorNamed(std::wstring_view processor) override {
    return target_.DeleteProcessorNamed(processor);
  }
  WinError GetDriverDirectory(std::wstring* directory) override { return target_.GetDriverDirectory(directory); }
  WinError GetProcessorDirectory(std::wstring* directory) override { return target_.GetProcessorDirectory(directory); }

 private:
  Spooler& target_;
};

class ProxyServiceManager : public ServiceManager {
 public:
  explicit ProxyServiceManager(ServiceManager& target) : target_(target) {}
  WinError OpenManager(ScHandleValue* manager) override { return target_.OpenManager(manager); }
  WinError OpenServiceNamed(ScHandleValue manager, std::wstring_view name, bool readOnly,
                            ScHandleValue* service) override {
    return target_.OpenServiceNamed(manager, name, readOnly, service);
  }
  WinError QueryState(ScHandleValue service, std::uint32_t* state) override {
    return target_.QueryState(service, state);
  }
  WinError StartServiceAt(ScHandleValue service) override { return target_.StartServiceAt(service); }
  WinError StopServiceAt(ScHandleValue service, std::uint32_t* state) override {
    return target_.StopServiceAt(service, state);
  }
  void CloseServiceHandle(ScHandleValue handle) override { target_.CloseServiceHandle(handle); }

 private:
  ServiceManager& target_;
};

class ProxyPower : public Power {
 public:
  explicit ProxyPower(Power& target) : target_(target) {}
  WinError OpenProcessTokenHandle(TokenHandleValue* token) override { return target_.OpenProcessTokenHandle(token); }
  WinError SetShutdownPrivilege(TokenHandleValue token, bool enabled) override {
    return target_.SetShutdownPrivilege(token, enabled);
  }
  WinError RequestRestart() override { return target_.RequestRestart(); }
  void CloseToken(TokenHandleValue token) override { target_.CloseToken(token); }

 private:
  Power& target_;
};

}  // namespace zc
