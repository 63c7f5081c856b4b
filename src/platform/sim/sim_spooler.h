// The print spooler of the simulated machine, kept where Windows keeps it:
// SYSTEM\CurrentControlSet\Control\Print (Printers, Monitors with their
// Ports, Environments with Drivers\Version-3 and Print Processors).
#pragma once

#include <map>
#include <string>

#include "platform/registry.h"
#include "platform/sim/faults.h"
#include "platform/spooler.h"

namespace zc::sim {

inline constexpr const wchar_t* kPrintKey = L"SYSTEM\\CurrentControlSet\\Control\\Print";
inline constexpr const wchar_t* kEnvironmentX86 = L"Windows NT x86";
inline constexpr const wchar_t* kEnvironmentX64 = L"Windows x64";

class SimSpooler : public Spooler {
 public:
  SimSpooler(Registry& native, std::wstring windowsFolder, bool machine64, FaultPlan* faults)
      : reg_(native), windows_(std::move(windowsFolder)), machine64_(machine64), faults_(faults) {}

  WinError EnumPrinters(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<PrinterRecord>* records) override;
  WinError EnumPorts(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<PortRecord>* records) override;
  WinError EnumMonitors(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<MonitorRecord>* records) override;
  WinError EnumDrivers(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<DriverRecord>* records) override;
  WinError OpenPrinterHandle(std::wstring_view name, PrinterHandleValue* handle) override;
  WinError DeletePrinterAt(PrinterHandleValue handle) override;
  WinError ClosePrinterHandle(PrinterHandleValue handle) override;
  WinError DeletePortNamed(std::wstring_view port) override;
  WinError DeleteDriverNamed(std::wstring_view environment, std::wstring_view driver) override;
  WinError DeleteMonitorNamed(std::wstring_view monitor) override;
  WinError DeleteProcessorNamed(std::wstring_view processor) override;
  WinError GetDriverDirectory(std::wstring* directory) override;
  WinError GetProcessorDirectory(std::wstring* directory) override;

  std::size_t openPrinters() const { return printers_.size(); }

  // The native environment of the machine's spooler.
  std::wstring NativeEnvironment() const { return machine64_ ? kEnvironmentX64 : kEnvironmentX86; }
  static std::wstring EnvironmentFolder(std::wstring_view environment);

 private:
  template <typename Record>
  WinError Deliver(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<Record>* records,
                   std::vector<Record> all, std::uint32_t bytes);

  Registry& reg_;
  std::wstring windows_;
  bool machine64_;
  FaultPlan* faults_;
  std::map<PrinterHandleValue, std::wstring> printers_;
  PrinterHandleValue nextPrinter_ = 0x4A0;
};

}  // namespace zc::sim
