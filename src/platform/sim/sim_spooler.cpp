#include "platform/sim/sim_spooler.h"

#include "platform/sim/registry_util.h"
#include "platform/text.h"

namespace zc::sim {

namespace {

constexpr std::uint32_t kFixedRecordBytes = 88;

const std::wstring kPrint = kPrintKey;

std::uint32_t TextBytesOf(const std::optional<std::wstring>& text) {
  return text ? static_cast<std::uint32_t>((Utf16Length(*text) + 1) * 2) : 0u;
}

}  // namespace

std::wstring SimSpooler::EnvironmentFolder(std::wstring_view environment) {
  if (EqualsNoCase(environment, kEnvironmentX64)) return L"x64";
  if (EqualsNoCase(environment, L"Windows IA64")) return L"IA64";
  return L"W32X86";
}

template <typename Record>
WinError SimSpooler::Deliver(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<Record>* records,
                             std::vector<Record> all, std::uint32_t bytes) {
  *needed = bytes;
  records->clear();
  if (all.empty()) return err::kSuccess;
  if (bufferSize < bytes) return err::kInsufficientBuffer;
  *records = std::move(all);
  return err::kSuccess;
}

WinError SimSpooler::EnumPrinters(std::uint32_t bufferSize, std::uint32_t* needed,
                                  std::vector<PrinterRecord>* records) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kEnumPrinters, L"*")) return *e;
  }
  std::vector<PrinterRecord> all;
  std::uint32_t bytes = 0;
  const std::wstring root = kPrint + L"\\Printers";
  for (const auto& name : SubKeyNames(reg_, kHkeyLocalMachine, root)) {
    const std::wstring key = root + L"\\" + name;
    PrinterRecord r;
    r.printerName = ReadText(reg_, kHkeyLocalMachine, key, L"Name").value_or(name);
    r.portName = ReadText(reg_, kHkeyLocalMachine, key, L"Port");
    r.driverName = ReadText(reg_, kHkeyLocalMachine, key, L"Printer Driver");
    r.printProcessor = ReadText(reg_, kHkeyLocalMachine, key, L"Print Processor");
    bytes += kFixedRecordBytes + TextBytesOf(r.printerName) + TextBytesOf(r.portName) + TextBytesOf(r.driverName) +
             TextBytesOf(r.printProcessor);
    all.push_back(std::move(r));
  }
  return Deliver(bufferSize, needed, records, std::move(all), bytes);
}

WinError SimSpooler::EnumPorts(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<PortRecord>* records) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kEnumPorts, L"*")) return *e;
  }
  std::vector<PortRecord> all;
  std::uint32_t bytes = 0;
  auto add = [&](std::wstring port, std::wstring monitor) {
    PortRecord r{std::move(port), std::move(monitor)};
    bytes += kFixedRecordBytes + TextBytesOf(r.portName) + TextBytesOf(r.monitorName);
    all.push_back(std::move(r));
  };
  // The local ports, kept by the "Local Port" monitor.
  for (const auto& port :
       ValueNames(reg_, kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports")) {
    add(port, L"Local Port");
  }
  const std::wstring monitors = kPrint + L"\\Monitors";
  for (const auto& monitor : SubKeyNames(reg_, kHkeyLocalMachine, monitors)) {
    for (const auto& port : SubKeyNames(reg_, kHkeyLocalMachine, monitors + L"\\" + monitor + L"\\Ports")) {
      add(port, monitor);
    }
  }
  return Deliver(bufferSize, needed, records, std::move(all), bytes);
}

WinError SimSpooler::EnumMonitors(std::uint32_t bufferSize, std::uint32_t* needed,
                                  std::vector<MonitorRecord>* records) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kEnumMonitors, L"*")) return *e;
  }
  std::vector<MonitorRecord> all;
  std::uint32_t bytes = 0;
  const std::wstring monitors = kPrint + L"\\Monitors";
  for (const auto& monitor : SubKeyNames(reg_, kHkeyLocalMachine, monitors)) {
    const std::wstring key = monitors + L"\\" + monitor;
    MonitorRecord r;
    r.name = monitor;
    r.environment = ReadText(reg_, kHkeyLocalMachine, key, L"Environment").value_or(NativeEnvironment());
    r.dllName = ReadText(reg_, kHkeyLocalMachine, key, L"Driver");
    bytes += kFixedRecordBytes + TextBytesOf(r.name) + TextBytesOf(r.environment) + TextBytesOf(r.dllName);
    all.push_back(std::move(r));
  }
  return Deliver(bufferSize, needed, records, std::move(all), bytes);
}

WinError SimSpooler::EnumDrivers(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<DriverRecord>* records) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kEnumPrinterDrivers, L"*")) return *e;
  }
  std::vector<DriverRecord> all;
  std::uint32_t bytes = 0;
  // A null environment lists the drivers of the caller's environment: the
  // tool is a 32-bit program.
  const std::wstring environment = kEnvironmentX86;
  const std::wstring drivers = kPrint + L"\\Environments\\" + environment + L"\\Drivers\\Version-3";
  const std::wstring folder = windows_ + L"\\system32\\spool\\DRIVERS\\" + EnvironmentFolder(environment) + L"\\3\\";
  for (const auto& driver : SubKeyNames(reg_, kHkeyLocalMachine, drivers)) {
    const std::wstring key = drivers + L"\\" + driver;
    DriverRecord r;
    r.name = driver;
    r.environment = environment;
    if (auto f = ReadText(reg_, kHkeyLocalMachine, key, L"Driver")) r.driverPath = folder + *f;
    if (auto f = ReadText(reg_, kHkeyLocalMachine, key, L"Data File")) r.dataFile = folder + *f;
    if (auto f = ReadText(reg_, kHkeyLocalMachine, key, L"Configuration File")) r.configFile = folder + *f;
    bytes += kFixedRecordBytes + TextBytesOf(r.name) + TextBytesOf(r.environment) + TextBytesOf(r.driverPath) +
             TextBytesOf(r.dataFile) + TextBytesOf(r.configFile);
    all.push_back(std::move(r));
  }
  return Deliver(bufferSize, needed, records, std::move(all), bytes);
}

WinError SimSpooler::OpenPrinterHandle(std::wstring_view name, PrinterHandleValue* handle) {
  *handle = 0;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kOpenPrinter, name)) return *e;
  }
  if (name.empty() || !KeyExists(reg_, kHkeyLocalMachine, kPrint + L"\\Printers\\" + std::wstring(name))) {
    return err::kInvalidPrinterName;
  }
  *handle = nextPrinter_;
  nextPrinter_ += 4;
  printers_[*handle] = std::wstring(name);
  return err::kSuccess;
}

WinError SimSpooler::DeletePrinterAt(PrinterHandleValue handle) {
  const auto it = printers_.find(handle);
  if (it == printers_.end()) return err::kInvalidHandle;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kDeletePrinter, it->second)) return *e;
  }
  const WinError e = reg_.DeleteTree(kHkeyLocalMachine, kPrint + L"\\Printers\\" + it->second);
  return e == err::kFileNotFound ? err::kInvalidPrinterName : e;
}

WinError SimSpooler::ClosePrinterHandle(PrinterHandleValue handle) {
  return printers_.erase(handle) ? err::kSuccess : err::kInvalidHandle;
}

WinError SimSpooler::DeletePortNamed(std::wstring_view port) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kDeletePort, port)) return *e;
  }
  const std::wstring monitors = kPrint + L"\\Monitors";
  for (const auto& monitor : SubKeyNames(reg_, kHkeyLocalMachine, monitors)) {
    const std::wstring key = monitors + L"\\" + monitor + L"\\Ports\\" + std::wstring(port);
    if (KeyExists(reg_, kHkeyLocalMachine, key)) return reg_.DeleteTree(kHkeyLocalMachine, key);
  }
  if (RemoveValue(reg_, kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", port) ==
      err::kSuccess) {
    return err::kSuccess;
  }
  return err::kUnknownPort;
}

WinError SimSpooler::DeleteDriverNamed(std::wstring_view environment, std::wstring_view driver) {
  if (faults_) {
    if (auto e =
            faults_->Check(FaultOp::kDeletePrinterDriver, std::wstring(environment) + L"|" + std::wstring(driver))) {
      return *e;
    }
  }
  const std::wstring key =
      kPrint + L"\\Environments\\" + std::wstring(environment) + L"\\Drivers\\Version-3\\" + std::wstring(driver);
  if (!KeyExists(reg_, kHkeyLocalMachine, key)) return err::kUnknownPrinterDriver;
  const std::wstring printers = kPrint + L"\\Printers";
  for (const auto& printer : SubKeyNames(reg_, kHkeyLocalMachine, printers)) {
    auto used = ReadText(reg_, kHkeyLocalMachine, printers + L"\\" + printer, L"Printer Driver");
    if (used && EqualsNoCase(*used, driver)) return err::kPrinterDriverInUse;
  }
  return reg_.DeleteTree(kHkeyLocalMachine, key);
}

WinError SimSpooler::DeleteMonitorNamed(std::wstring_view monitor) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kDeleteMonitor, monitor)) return *e;
  }
  const WinError e = reg_.DeleteTree(kHkeyLocalMachine, kPrint + L"\\Monitors\\" + std::wstring(monitor));
  return e == err::kFileNotFound ? err::kUnknownPrintMonitor : e;
}

WinError SimSpooler::DeleteProcessorNamed(std::wstring_view processor) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kDeletePrintProcessor, processor)) return *e;
  }
  // A null environment names the caller's: the tool is a 32-bit program.
  const WinError e = reg_.DeleteTree(kHkeyLocalMachine, kPrint + L"\\Environments\\" + std::wstring(kEnvironmentX86) +
                                                            L"\\Print Processors\\" + std::wstring(processor));
  return e == err::kFileNotFound ? err::kUnknownPrintProcessor : e;
}

WinError SimSpooler::GetDriverDirectory(std::wstring* directory) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kGetPrinterDriverDirectory, L"*")) return *e;
  }
  *directory = windows_ + L"\\system32\\spool\\DRIVERS\\" + EnvironmentFolder(kEnvironmentX86);
  return err::kSuccess;
}

WinError SimSpooler::GetProcessorDirectory(std::wstring* directory) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kGetPrintProcessorDirectory, L"*")) return *e;
  }
  *directory = windows_ + L"\\system32\\spool\\PRTPROCS\\" + EnvironmentFolder(kEnvironmentX86);
  return err::kSuccess;
}

}  // namespace zc::sim
