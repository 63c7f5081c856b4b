#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/registry_util.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/sim_spooler.h"

namespace zc::sim {
namespace {

const std::wstring kPrint = kPrintKey;
const std::wstring kDriverKey = kPrint + L"\\Environments\\Windows NT x86\\Drivers\\Version-3\\Capture Driver";

class SimSpoolerTest : public ::testing::Test {
 protected:
  void Seed() {
    const HKey hklm = kHkeyLocalMachine;
    const std::wstring printer = kPrint + L"\\Printers\\Capture";
    WriteText(reg_, hklm, printer, L"Name", L"Capture");
    WriteText(reg_, hklm, printer, L"Port", L"IcePort:");
    WriteText(reg_, hklm, printer, L"Printer Driver", L"Capture Driver");
    WriteText(reg_, hklm, printer, L"Print Processor", L"Capture Processor");
    WriteText(reg_, hklm, kPrint + L"\\Monitors\\Ice Monitor", L"Driver", L"icemon.dll");
    EnsureKey(reg_, hklm, kPrint + L"\\Monitors\\Ice Monitor\\Ports\\IcePort:");
    WriteText(reg_, hklm, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", L"LPT1:", L"");
    WriteText(reg_, hklm, kDriverKey, L"Driver", L"capdrv.dll");
    WriteText(reg_, hklm, kDriverKey, L"Data File", L"cap.ini");
    WriteText(reg_, hklm, kDriverKey, L"Configuration File", L"capui.dll");
    WriteText(reg_, hklm, kPrint + L"\\Environments\\Windows NT x86\\Print Processors\\Capture Processor", L"Driver",
              L"capproc.dll");
  }

  // Enumerates the Windows way: ask the size, then fetch with that size.
  template <typename Record, typename Call>
  std::vector<Record> EnumTwice(Call call) {
    std::uint32_t needed = 0;
    std::vector<Record> records;
    const WinError first = call(0u, &needed, &records);
    if (first == err::kSuccess) {
      EXPECT_TRUE(records.empty()) << "success on an empty buffer means there is nothing";
      return records;
    }
    EXPECT_EQ(first, err::kInsufficientBuffer);
    EXPECT_GT(needed, 0u);
    EXPECT_TRUE(records.empty());
    std::uint32_t again = 0;
    EXPECT_EQ(call(needed - 1, &again, &records), err::kInsufficientBuffer) << "one byte short";
    EXPECT_EQ(call(needed, &again, &records), err::kSuccess);
    EXPECT_EQ(again, needed);
    return records;
  }

  std::vector<PrinterRecord> Printers() {
    return EnumTwice<PrinterRecord>([this](std::uint32_t size, std::uint32_t* needed, std::vector<PrinterRecord>* r) {
      return spooler_.EnumPrinters(size, needed, r);
    });
  }
  std::vector<PortRecord> Ports() {
    return EnumTwice<PortRecord>([this](std::uint32_t size, std::uint32_t* needed, std::vector<PortRecord>* r) {
      return spooler_.EnumPorts(size, needed, r);
    });
  }
  std::vector<MonitorRecord> Monitors() {
    return EnumTwice<MonitorRecord>([this](std::uint32_t size, std::uint32_t* needed, std::vector<MonitorRecord>* r) {
      return spooler_.EnumMonitors(size, needed, r);
    });
  }
  std::vector<DriverRecord> Drivers() {
    return EnumTwice<DriverRecord>([this](std::uint32_t size, std::uint32_t* needed, std::vector<DriverRecord>* r) {
      return spooler_.EnumDrivers(size, needed, r);
    });
  }

  RegStore store_;
  SimRegistry reg_{store_, false};
  FaultPlan faults_;
  SimSpooler spooler_{reg_, L"C:\\WINDOWS", false, &faults_};
};

TEST_F(SimSpoolerTest, AnEmptySpoolerEnumeratesNothingSuccessfully) {
  EXPECT_TRUE(Printers().empty());
  EXPECT_TRUE(Ports().empty());
  EXPECT_TRUE(Monitors().empty());
  EXPECT_TRUE(Drivers().empty());
}

TEST_F(SimSpoolerTest, EnumerationsAskForTheSizeFirst) {
  Seed();
  const auto printers = Printers();
  ASSERT_EQ(printers.size(), 1u);
  EXPECT_EQ(printers[0].printerName, L"Capture");
  EXPECT_EQ(printers[0].portName, L"IcePort:");
  EXPECT_EQ(printers[0].driverName, L"Capture Driver");
  EXPECT_EQ(printers[0].printProcessor, L"Capture Processor");

  const auto ports = Ports();
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].portName, L"LPT1:");
  EXPECT_EQ(ports[0].monitorName, L"Local Port");
  EXPECT_EQ(ports[1].portName, L"IcePort:");
  EXPECT_EQ(ports[1].monitorName, L"Ice Monitor");

  const auto monitors = Monitors();
  ASSERT_EQ(monitors.size(), 1u);
  EXPECT_EQ(monitors[0].name, L"Ice Monitor");
  EXPECT_EQ(monitors[0].dllName, L"icemon.dll");
  EXPECT_EQ(monitors[0].environment, L"Windows NT x86");

  const auto drivers = Drivers();
  ASSERT_EQ(drivers.size(), 1u);
  EXPECT_EQ(drivers[0].name, L"Capture Driver");
  EXPECT_EQ(drivers[0].environment, L"Windows NT x86");
  EXPECT_EQ(drivers[0].driverPath, L"C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3\\capdrv.dll");
  EXPECT_EQ(drivers[0].dataFile, L"C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3\\cap.ini");
  EXPECT_EQ(drivers[0].configFile, L"C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3\\capui.dll");

  std::wstring folder;
  ASSERT_EQ(spooler_.GetDriverDirectory(&folder), err::kSuccess);
  EXPECT_EQ(folder, L"C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86");
  ASSERT_EQ(spooler_.GetProcessorDirectory(&folder), err::kSuccess);
  EXPECT_EQ(folder, L"C:\\WINDOWS\\system32\\spool\\PRTPROCS\\W32X86");
}

TEST_F(SimSpoolerTest, DeletingThePiecesWithTheSpoolersErrors) {
  Seed();
  PrinterHandleValue unknown = 1;
  EXPECT_EQ(spooler_.OpenPrinterHandle(L"No Such Printer", &unknown), err::kInvalidPrinterName);
  EXPECT_EQ(unknown, 0u);
  EXPECT_EQ(spooler_.DeleteDriverNamed(L"Windows NT x86", L"No Such Driver"), err::kUnknownPrinterDriver);
  EXPECT_EQ(spooler_.DeleteMonitorNamed(L"No Such Monitor"), err::kUnknownPrintMonitor);
  EXPECT_EQ(spooler_.DeletePortNamed(L"NOPORT:"), 1796u);
  EXPECT_EQ(spooler_.DeleteProcessorNamed(L"No Such Processor"), 1798u);

  // A driver a printer uses stays.
  EXPECT_EQ(spooler_.DeleteDriverNamed(L"Windows NT x86", L"Capture Driver"), err::kPrinterDriverInUse);
  EXPECT_TRUE(KeyExists(reg_, kHkeyLocalMachine, kDriverKey));

  {
    UniquePrinterHandle printer(spooler_);
    ASSERT_EQ(spooler_.OpenPrinterHandle(L"capture", printer.put()), err::kSuccess);
    EXPECT_EQ(spooler_.openPrinters(), 1u);
    EXPECT_EQ(spooler_.DeletePrinterAt(printer.get()), err::kSuccess);
  }
  EXPECT_EQ(spooler_.openPrinters(), 0u);
  EXPECT_TRUE(Printers().empty());
  EXPECT_EQ(spooler_.DeletePrinterAt(0x4A0), err::kInvalidHandle) << "closed";

  EXPECT_EQ(spooler_.DeleteDriverNamed(L"Windows NT x86", L"Capture Driver"), err::kSuccess);
  EXPECT_EQ(spooler_.DeletePortNamed(L"IcePort:"), err::kSuccess);
  EXPECT_EQ(spooler_.DeletePortNamed(L"LPT1:"), err::kSuccess);
  EXPECT_EQ(spooler_.DeleteMonitorNamed(L"Ice Monitor"), err::kSuccess);
  EXPECT_EQ(spooler_.DeleteProcessorNamed(L"Capture Processor"), err::kSuccess);
  EXPECT_TRUE(Ports().empty());
  EXPECT_TRUE(Monitors().empty());
  EXPECT_TRUE(Drivers().empty());
  EXPECT_EQ(reg_.OpenHandleCount(), 0u);
}

TEST_F(SimSpoolerTest, FaultsFailTheNamedPiece) {
  Seed();
  faults_.Add(FaultRule{"EnumPrinters", L"*", err::kAccessDenied, 1});
  faults_.Add(FaultRule{"DeleteMonitor", L"Ice Monitor", err::kAccessDenied, -1});
  faults_.Add(FaultRule{"DeletePrinterDriver", L"Windows NT x86|Capture Driver", err::kAccessDenied, -1});
  std::uint32_t needed = 0;
  std::vector<PrinterRecord> records;
  EXPECT_EQ(spooler_.EnumPrinters(0, &needed, &records), err::kAccessDenied);
  EXPECT_EQ(Printers().size(), 1u);
  EXPECT_EQ(spooler_.DeleteMonitorNamed(L"Ice Monitor"), err::kAccessDenied);
  EXPECT_EQ(Monitors().size(), 1u);
  EXPECT_EQ(spooler_.DeleteDriverNamed(L"Windows NT x86", L"Capture Driver"), err::kAccessDenied);
}

class SimServicesTest : public ::testing::Test {
 protected:
  SimServicesTest() {
    for (const wchar_t* name : {L"Spooler", L"ZentaSvc"}) {
      WriteText(reg_, kHkeyLocalMachine, std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + name, L"DisplayName",
                name);
    }
  }

  UniqueScHandle Open(std::wstring_view name) {
    UniqueScHandle service(services_);
    EXPECT_EQ(services_.OpenServiceNamed(manager_.get(), name, false, service.put()), err::kSuccess);
    return service;
  }
  std::uint32_t State(const UniqueScHandle& service) {
    std::uint32_t state = 0;
    EXPECT_EQ(services_.QueryState(service.get(), &state), err::kSuccess);
    return state;
  }

  void SetUp() override { ASSERT_EQ(services_.OpenManager(manager_.put()), err::kSuccess); }

  RegStore store_;
  SimRegistry reg_{store_, false};
  FaultPlan faults_;
  MachineConfig config_;
  SimServiceManager services_{reg_, config_, &faults_};
  UniqueScHandle manager_{services_};
};

TEST_F(SimServicesTest, UnknownServicesAndPlainTransitions) {
  UniqueScHandle none(services_);
  EXPECT_EQ(services_.OpenServiceNamed(manager_.get(), L"NoSuchService", true, none.put()), err::kServiceDoesNotExist);
  EXPECT_FALSE(none);

  services_.SetBehaviour(L"Spooler", ServiceBehaviour{svcstate::kRunning, 0, 0});
  {
    auto spooler = Open(L"spooler");
    EXPECT_EQ(State(spooler), svcstate::kRunning);
    EXPECT_EQ(services_.StartServiceAt(spooler.get()), err::kServiceAlreadyRunning);
    std::uint32_t state = 0;
    ASSERT_EQ(services_.StopServiceAt(spooler.get(), &state), err::kSuccess);
    EXPECT_EQ(state, svcstate::kStopped);
    EXPECT_EQ(services_.StopServiceAt(spooler.get(), &state), err::kServiceNotActive) << "stopped already";
    ASSERT_EQ(services_.StartServiceAt(spooler.get()), err::kSuccess);
    EXPECT_EQ(State(spooler), svcstate::kRunning);
  }
  // A service machine.ini does not name is there and stopped.
  auto other = Open(L"ZentaSvc");
  EXPECT_EQ(State(other), svcstate::kStopped);
  EXPECT_EQ(services_.starts(), 1);
  EXPECT_EQ(services_.stops(), 1);
}

TEST_F(SimServicesTest, PendingStatesLastTheirPollsOrForever) {
  services_.SetBehaviour(L"Spooler", ServiceBehaviour{svcstate::kRunning, 2, 3});
  auto spooler = Open(L"Spooler");
  std::uint32_t state = 0;
  ASSERT_EQ(services_.StopServiceAt(spooler.get(), &state), err::kSuccess);
  EXPECT_EQ(state, svcstate::kStopPending);
  // Three polls see STOP_PENDING, the fourth the end of it.
  EXPECT_EQ(State(spooler), svcstate::kStopPending);
  EXPECT_EQ(State(spooler), svcstate::kStopPending);
  EXPECT_EQ(State(spooler), svcstate::kStopPending);
  EXPECT_EQ(State(spooler), svcstate::kStopped);
  ASSERT_EQ(services_.StartServiceAt(spooler.get()), err::kSuccess);
  EXPECT_EQ(State(spooler), svcstate::kStartPending);
  EXPECT_EQ(services_.StopServiceAt(spooler.get(), &state), err::kServiceCannotAcceptCtrl);
  EXPECT_EQ(State(spooler), svcstate::kStartPending);
  EXPECT_EQ(State(spooler), svcstate::kRunning);

  services_.SetBehaviour(L"ZentaSvc", ServiceBehaviour{svcstate::kRunning, -1, -1});
  auto stuck = Open(L"ZentaSvc");
  ASSERT_EQ(services_.StopServiceAt(stuck.get(), &state), err::kSuccess);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(State(stuck), svcstate::kStopPending);
  EXPECT_EQ(services_.StartServiceAt(stuck.get()), err::kServiceAlreadyRunning);
}

TEST_F(SimServicesTest, ConfigHandlesAndFaults) {
  config_.services[L"spooler"] = ServiceBehaviour{svcstate::kRunning, 0, 1};
  SimServiceManager fromConfig(reg_, config_, &faults_);
  UniqueScHandle manager(fromConfig);
  ASSERT_EQ(fromConfig.OpenManager(manager.put()), err::kSuccess);
  {
    UniqueScHandle spooler(fromConfig);
    ASSERT_EQ(fromConfig.OpenServiceNamed(manager.get(), L"SPOOLER", false, spooler.put()), err::kSuccess);
    std::uint32_t state = 0;
    ASSERT_EQ(fromConfig.QueryState(spooler.get(), &state), err::kSuccess);
    EXPECT_EQ(state, svcstate::kRunning);
    EXPECT_EQ(fromConfig.openHandles(), 2u);

    faults_.Add(FaultRule{"ControlService", L"spooler", 1061, 1});
    faults_.Add(FaultRule{"OpenService", L"ZentaSvc", err::kAccessDenied, -1});
    EXPECT_EQ(fromConfig.StopServiceAt(spooler.get(), &state), 1061u);
    ASSERT_EQ(fromConfig.QueryState(spooler.get(), &state), err::kSuccess);
    EXPECT_EQ(state, svcstate::kRunning) << "a failed control changes nothing";
    UniqueScHandle svc(fromConfig);
    EXPECT_EQ(fromConfig.OpenServiceNamed(manager.get(), L"ZentaSvc", true, svc.put()), err::kAccessDenied);
    EXPECT_EQ(fromConfig.QueryState(manager.get(), &state), err::kInvalidHandle) << "a manager is no service";
  }
  manager.reset();
  EXPECT_EQ(fromConfig.openHandles(), 0u);
  std::uint32_t state = 0;
  EXPECT_EQ(fromConfig.QueryState(0x5C8, &state), err::kInvalidHandle) << "closed";
}

}  // namespace
}  // namespace zc::sim
