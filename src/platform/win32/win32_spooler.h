// The print spooler over winspool. Printer handles go to the caller, who
// owns them (UniquePrinterHandle).
//
// Bitness: the 64-bit build names the "Windows NT x86" environment where
// the 32-bit program's null environment would mean it (driver lists,
// driver and processor folders, print processors), so that it sees what
// the 32-bit program sees on 64-bit Windows.
#pragma once

#include "platform/spooler.h"

namespace zc::win32 {

class Win32Spooler : public Spooler {
 public:
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
};

}  // namespace zc::win32
