// Removal of the print-capture printer that the Quillo products install,
// with its port, driver, port monitor and print processor (built on an
// outside vendor's EMF printer driver), and that vendor's registry keys.
#pragma once

#include <string>

#include "platform/spooler.h"
#include "system/service_control.h"
#include "system/uninstaller_base.h"

namespace zc {

class BlackIceUninstaller : public UninstallerBase {
 public:
  BlackIceUninstaller(OperationLog& log, Registry& registry, SystemInfo& system, Spooler& spooler,
                      ServiceManager& services)
      : UninstallerBase(log, registry, system), m_spooler(spooler), m_services(services) {}

  ComponentState Detect() override;
  ComponentState Uninstall() override;

  bool FindPrinter(const std::wstring& printerName, std::wstring& portName, std::wstring& driverName,
                   std::wstring& processorName);
  bool FindPort(const std::wstring& portName, std::wstring& monitorName);
  bool FindMonitor(const std::wstring& monitorName, std::wstring& environment, std::wstring& dllName);
  bool FindDriver(const std::wstring& driverName, std::wstring& driverPath, std::wstring& dataFile,
                  std::wstring& configFile, std::wstring& environment);
  bool RemovePrinter();
  bool RemoveVendorKeys();

  std::wstring m_strDriverName;
  std::wstring m_strResourceDll;
  std::wstring m_strMonitorName;
  std::wstring m_strProcessorFile;
  std::wstring m_strDriverFile;
  std::wstring m_strDriverPath;
  std::wstring m_strPrinterName;
  std::wstring m_strUserInterfaceFile;
  std::wstring m_strUserInterfacePath;
  std::wstring m_strMonitorFile;
  std::wstring m_strProcessorName;
  std::wstring m_strConfigIni;
  std::wstring m_strDataFile;
  std::wstring m_strPortName;
  std::wstring m_strDriverEnvironment;
  std::wstring m_strMonitorEnvironment;
  bool m_bPortFound = false;

 private:
  Spooler& m_spooler;
  ServiceManager& m_services;
};

}  // namespace zc
