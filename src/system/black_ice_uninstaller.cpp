#include "system/black_ice_uninstaller.h"

#include <vector>

namespace zc {

namespace {

const wchar_t* const kSettingsKey = L"SOFTWARE\\Black Ice Software Inc\\EMFNT\\PrinterVariablesValues";
const wchar_t* const kX86 = L"Windows NT x86";

// The enumeration all four searches share: ask for the size, fetch the
// records, and hand back the first whose name matches exactly.
template <typename Record, typename Enumerate, typename NameOf>
const Record* FindRecord(std::vector<Record>& records, Enumerate enumerate, NameOf nameOf, const std::wstring& name) {
  std::uint32_t needed = 0;
  if (enumerate(0u, &needed, &records) != err::kInsufficientBuffer || needed == 0) return nullptr;
  if (enumerate(needed, &needed, &records) != err::kSuccess) return nullptr;
  for (const auto& record : records) {
    const auto& recordName = nameOf(record);
    if (recordName && *recordName == name) return &record;
  }
  return nullptr;
}

void CopyIfSet(const std::optional<std::wstring>& from, std::wstring& to) {
  if (from) to = *from;
}

}  // namespace

bool BlackIceUninstaller::FindPrinter(const std::wstring& printerName, std::wstring& portName, std::wstring& driverName,
                                      std::wstring& processorName) {
  m_log << L"Searching for printer " << printerName << eol;
  std::vector<PrinterRecord> records;
  const auto* found = FindRecord(
      records,
      [this](std::uint32_t size, std::uint32_t* needed, auto* out) {
        return m_spooler.EnumPrinters(size, needed, out);
      },
      [](const PrinterRecord& r) -> const std::optional<std::wstring>& { return r.printerName; }, printerName);
  if (!found) {
    m_log << "No matching printer was found" << eol;
    return false;
  }
  CopyIfSet(found->portName, portName);
  CopyIfSet(found->driverName, driverName);
  CopyIfSet(found->printProcessor, processorName);
  m_log << L"Found printer with portName " << portName << L", processorName " << processorName << L", and driver "
        << driverName << eol;
  return true;
}

bool BlackIceUninstaller::FindPort(const std::wstring& portName, std::wstring& monitorName) {
  m_log << L"Searching for installed port " << portName << eol;
  std::vector<PortRecord> records;
  const auto* found = FindRecord(
      records,
      [this](std::uint32_t size, std::uint32_t* needed, auto* out) { return m_spooler.EnumPorts(size, needed, out); },
      [](const PortRecord& r) -> const std::optional<std::wstring>& { return r.portName; }, portName);
  if (!found) return false;
  CopyIfSet(found->monitorName, monitorName);
  m_log << L"Found port with monitor name " << monitorName << eol;
  return true;
}

bool BlackIceUninstaller::FindMonitor(const std::wstring& monitorName, std::wstring& environment,
                                      std::wstring& dllName) {
  m_log << L"Searching for installed port monitor " << monitorName << L", " << environment << eol;
  std::vector<MonitorRecord> records;
  const auto* found = FindRecord(
      records,
      [this](std::uint32_t size, std::uint32_t* needed, auto* out) {
        return m_spooler.EnumMonitors(size, needed, out);
      },
      [](const MonitorRecord& r) -> const std::optional<std::wstring>& { return r.name; }, monitorName);
  if (!found) {
    m_log << "No matching monitor was found" << eol;
    return false;
  }
  CopyIfSet(found->environment, environment);
  CopyIfSet(found->dllName, dllName);
  m_log << L"Found monitor with DLL file " << dllName << eol;
  return true;
}

bool BlackIceUninstaller::FindDriver(const std::wstring& driverName, std::wstring& driverPath, std::wstring& dataFile,
                                     std::wstring& configFile, std::wstring& environment) {
  m_log << L"Searching for printer driver " << driverName << eol;
  std::vector<DriverRecord> records;
  const auto* found = FindRecord(
      records,
      [this](std::uint32_t size, std::uint32_t* needed, auto* out) { return m_spooler.EnumDrivers(size, needed, out); },
      [](const DriverRecord& r) -> const std::optional<std::wstring>& { return r.name; }, driverName);
  if (!found) {
    m_log << "No matching printer driver was found" << eol;
    return false;
  }
  CopyIfSet(found->driverPath, driverPath);
  CopyIfSet(found->dataFile, dataFile);
  CopyIfSet(found->configFile, configFile);
  CopyIfSet(found->environment, environment);
  m_log << L"Found driver:" << eol << L"  DriverPath: " << driverPath << eol << L"  Environment: " << environment << eol
        << L"  DataFile: " << dataFile << eol << L"  ConfigFile: " << configFile << eol;
  return true;
}

ComponentState BlackIceUninstaller::Detect() {
  std::wstring systemFolder;
  m_system.GetShellFolder(csidl::kSystem, false, &systemFolder);
  std::wstring driverFolder, processorFolder;
  m_spooler.GetDriverDirectory(&driverFolder);
  m_spooler.GetProcessorDirectory(&processorFolder);
  driverFolder += L"\\3\\";
  processorFolder += L"\\";

  std::uint32_t status = 0;
  auto read = [&](const wchar_t* name, const wchar_t* fallback) {
    return ReadStringValue(kHkeyLocalMachine, kSettingsKey, name, fallback, &status);
  };
  m_strConfigIni = read(L"DRIVER_CONFIG_INI_MSI", L"BuEIniNT.ini");
  const bool settingsOpened = status == err::kSuccess;
  m_strDataFile = driverFolder + m_strConfigIni;
  m_strDriverFile = read(L"DRIVER_FILE_MSI", L"BuEDrvNT.dll");
  m_strDriverPath = driverFolder + m_strDriverFile;
  m_strDriverName = read(L"DRIVER_NAME_MSI", L"ZENTA Print Capture Driver");
  m_strMonitorFile = read(L"MONITOR_FILE_MSI", L"BuEMonNT.dll");
  m_strMonitorName = read(L"MONITOR_NAME_MSI", L"Ice Monitor E");
  m_strPortName = read(L"PORT_NAME_MSI", L"IcePortER:");
  m_strPrinterName = read(L"PRINTER_NAME_MSI", L"ZENTA Quillo Print Capture");
  m_strProcessorFile = processorFolder + read(L"PROCESSOR_FILE_MSI", L"BuEProNT.dll");
  m_strProcessorName = read(L"PROCESSOR_NAME_MSI", L"EMF Print Processor");
  m_strResourceDll = systemFolder + L"\\" + read(L"RESOURCE_DLL_MSI", L"BuEResNT.DLL");
  m_strUserInterfaceFile = read(L"USER_INTERFACE_NAME_MSI", L"BuEUifNT.dll");
  m_strUserInterfacePath = driverFolder + m_strUserInterfaceFile;

  m_strDriverEnvironment = kX86;
  m_strMonitorEnvironment = kX86;

  int successes = settingsOpened ? 1 : 0;
  int failures = settingsOpened ? 0 : 1;
  auto score = [&](bool found) { found ? ++successes : ++failures; };
  score(FindPrinter(m_strPrinterName, m_strPortName, m_strDriverName, m_strProcessorName));
  m_bPortFound = FindPort(m_strPortName, m_strMonitorName);
  score(m_bPortFound);
  const bool monitorFound = FindMonitor(m_strMonitorName, m_strMonitorEnvironment, m_strMonitorFile);
  m_strMonitorFile = systemFolder + L"\\" + m_strMonitorFile;
  score(monitorFound);
  score(FindDriver(m_strDriverName, m_strDriverPath, m_strDataFile, m_strUserInterfaceFile, m_strDriverEnvironment));

  m_nState = successes == 0 ? Absent : (failures == 0 ? Present : Partial);
  return m_nState;
}

bool BlackIceUninstaller::RemovePrinter() {
  m_log << L"Delete printer: \"" << m_strPrinterName << L"\"" << eol;
  UniquePrinterHandle printer(m_spooler);
  const WinError opened = m_spooler.OpenPrinterHandle(m_strPrinterName, printer.put());
  if (opened == err::kInvalidPrinterName) {
    m_log << "Printer not installed; nothing to delete" << eol;
    return true;
  }
  if (opened != err::kSuccess) {
    m_log << "Failed to open printer: " << opened << eol;
    return false;
  }
  if (m_bDryRun) return true;
  const WinError deleted = m_spooler.DeletePrinterAt(printer.get());
  if (deleted != err::kSuccess) m_log << "FAILED with error code " << deleted << eol;
  return deleted == err::kSuccess;
}

bool BlackIceUninstaller::RemoveVendorKeys() {
  const bool first = DeleteKey(kHkeyLocalMachine, L"SOFTWARE\\Black Ice Software Inc");
  const bool second = DeleteKey(kHkeyLocalMachine, L"SOFTWARE\\Black Ice Software, Inc.");
  return first && second;
}

ComponentState BlackIceUninstaller::Uninstall() {
  ServiceControl services(m_log, m_services, m_system);
  m_log << "Restarting Spooler service" << eol;
  if (!m_bDryRun) services.Restart(L"Spooler");

  bool ok = RemovePrinter();

  m_log << L"Delete printer port: " << m_strPortName << eol;
  if (!m_bDryRun && m_bPortFound) {
    if (const WinError e = m_spooler.DeletePortNamed(m_strPortName)) {
      m_log << "FAILED with error code " << e << eol;
      ok = false;
    }
  }
  m_log << L"Delete printer driver: " << m_strDriverName << L", " << m_strDriverEnvironment << eol;
  if (!m_bDryRun) {
    if (const WinError e = m_spooler.DeleteDriverNamed(m_strDriverEnvironment, m_strDriverName)) {
      m_log << "FAILED with error code " << e << eol;
      if (e != err::kUnknownPrinterDriver) ok = false;
    }
  }
  m_log << L"Delete printer monitor: " << m_strMonitorName << eol;
  if (!m_bDryRun) {
    if (const WinError e = m_spooler.DeleteMonitorNamed(m_strMonitorName)) {
      m_log << "FAILED with error code " << e << eol;
      if (e != err::kUnknownPrintMonitor) ok = false;
    }
  }
  m_log << L"Delete printer processor: " << m_strProcessorName << eol;
  if (!m_bDryRun) {
    if (const WinError e = m_spooler.DeleteProcessorNamed(m_strProcessorName)) {
      m_log << "FAILED with error code " << e << eol;
      ok = false;
    }
  }
  const bool keys = RemoveVendorKeys();
  m_nState = ok && keys ? Absent : Partial;
  return m_nState;
}

}  // namespace zc
