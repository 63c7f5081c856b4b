// The print spooler: printers, ports, monitors, drivers, processors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_handle.h"
#include "platform/win_error.h"

namespace zc {

// The fields of the level-2 records that the tool reads; a field the
// spooler reports as null is empty.
struct PrinterRecord {
  std::optional<std::wstring> printerName, portName, driverName, printProcessor;
};
struct PortRecord {
  std::optional<std::wstring> portName, monitorName;
};
struct MonitorRecord {
  std::optional<std::wstring> name, environment, dllName;
};
struct DriverRecord {
  std::optional<std::wstring> name, environment, driverPath, dataFile, configFile;
};

using PrinterHandleValue = std::uintptr_t;

class Spooler {
 public:
  virtual ~Spooler() = default;

  // EnumPrintersW(PRINTER_ENUM_LOCAL, level 2) and friends, called the
  // Windows way: with `bufferSize` 0 they report 122 and the bytes needed
  // (or succeed with no records); with a buffer of at least that size they
  // fill `records`.
  virtual WinError EnumPrinters(std::uint32_t bufferSize, std::uint32_t* needed,
                                std::vector<PrinterRecord>* records) = 0;
  virtual WinError EnumPorts(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<PortRecord>* records) = 0;
  virtual WinError EnumMonitors(std::uint32_t bufferSize, std::uint32_t* needed,
                                std::vector<MonitorRecord>* records) = 0;
  virtual WinError EnumDrivers(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<DriverRecord>* records) = 0;

  // OpenPrinterW with PRINTER_ALL_ACCESS; 1801 for an unknown printer.
  virtual WinError OpenPrinterHandle(std::wstring_view name, PrinterHandleValue* handle) = 0;
  virtual WinError DeletePrinterAt(PrinterHandleValue handle) = 0;
  virtual WinError ClosePrinterHandle(PrinterHandleValue handle) = 0;

  virtual WinError DeletePortNamed(std::wstring_view port) = 0;
  virtual WinError DeleteDriverNamed(std::wstring_view environment, std::wstring_view driver) = 0;
  virtual WinError DeleteMonitorNamed(std::wstring_view monitor) = 0;
  virtual WinError DeleteProcessorNamed(std::wstring_view processor) = 0;

  // GetPrinterDriverDirectoryW / GetPrintProcessorDirectoryW, level 1.
  virtual WinError GetDriverDirectory(std::wstring* directory) = 0;
  virtual WinError GetProcessorDirectory(std::wstring* directory) = 0;
};

using UniquePrinterHandle = ServiceHandle<Spooler, PrinterHandleValue, &Spooler::ClosePrinterHandle>;

// Every method above, once, for the forwarding proxies (platform/proxy.h)
// and the dry-run view, which refuses the CHANGES rows while a dry run is
// under way; each names the Windows call it stands for and its target.
//   READS(Result, Method, (Parameters), (Arguments))
//   CHANGES(Result, Method, (Parameters), (Arguments), WindowsCall, Target)
// clang-format off
#define ZC_SPOOLER_METHODS(READS, CHANGES) \
  READS(WinError, EnumPrinters, (std::uint32_t bufferSize, std::uint32_t* needed, std::vector<PrinterRecord>* records), (bufferSize, needed, records)) \
  READS(WinError, EnumPorts, (std::uint32_t bufferSize, std::uint32_t* needed, std::vector<PortRecord>* records), (bufferSize, needed, records)) \
  READS(WinError, EnumMonitors, (std::uint32_t bufferSize, std::uint32_t* needed, std::vector<MonitorRecord>* records), (bufferSize, needed, records)) \
  READS(WinError, EnumDrivers, (std::uint32_t bufferSize, std::uint32_t* needed, std::vector<DriverRecord>* records), (bufferSize, needed, records)) \
  READS(WinError, OpenPrinterHandle, (std::wstring_view name, PrinterHandleValue* handle), (name, handle)) \
  CHANGES(WinError, DeletePrinterAt, (PrinterHandleValue handle), (handle), DeletePrinter, L"") \
  READS(WinError, ClosePrinterHandle, (PrinterHandleValue handle), (handle)) \
  CHANGES(WinError, DeletePortNamed, (std::wstring_view port), (port), DeletePort, port) \
  CHANGES(WinError, DeleteDriverNamed, (std::wstring_view environment, std::wstring_view driver), (environment, driver), DeletePrinterDriver, driver) \
  CHANGES(WinError, DeleteMonitorNamed, (std::wstring_view monitor), (monitor), DeleteMonitor, monitor) \
  CHANGES(WinError, DeleteProcessorNamed, (std::wstring_view processor), (processor), DeletePrintProcessor, processor) \
  READS(WinError, GetDriverDirectory, (std::wstring* directory), (directory)) \
  READS(WinError, GetProcessorDirectory, (std::wstring* directory), (directory))
// clang-format on

}  // namespace zc
