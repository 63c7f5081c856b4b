// The print-capture driver remover: detection and its score, the removal of
// the five pieces with the errors it tolerates and those it counts, and
// its list-only mode.
#include <gtest/gtest.h>

#include "platform/sim/registry_util.h"
#include "platform/sim/sim_spooler.h"
#include "support/scenario.h"
#include "system/black_ice_uninstaller.h"

namespace zc::test {
namespace {

const wchar_t* kLog = L"C:\\Temp\\bi.log";
const std::wstring kPrint = sim::kPrintKey;
const std::wstring kSettings = L"SOFTWARE\\Black Ice Software Inc\\EMFNT\\PrinterVariablesValues";
const std::wstring kX86 = kPrint + L"\\Environments\\Windows NT x86";

class BlackIceTest : public ::testing::Test {
 protected:
  BlackIceTest() {
    sim::WriteText(reg(), kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\Spooler", L"DisplayName",
                   L"Print Spooler");
    m.machine().services().SetBehaviour(L"Spooler", sim::ServiceBehaviour{svcstate::kRunning, 0, 0});
    log.Open(m.machine().fs(), kLog);
  }
  Registry& reg() { return m.machine().nativeRegistry(); }
  void Settings() {
    sim::WriteText(reg(), kHkeyLocalMachine, kSettings, L"PRINTER_NAME_MSI", L"ZENTA Quillo Print Capture");
    sim::WriteText(reg(), kHkeyLocalMachine, L"SOFTWARE\\Black Ice Software, Inc.\\EMF", L"Installed", L"1");
  }
  void Printer(const std::wstring& port = L"IcePortER:") {
    const std::wstring printer = kPrint + L"\\Printers\\ZENTA Quillo Print Capture";
    sim::WriteText(reg(), kHkeyLocalMachine, printer, L"Name", L"ZENTA Quillo Print Capture");
    sim::WriteText(reg(), kHkeyLocalMachine, printer, L"Port", port);
    sim::WriteText(reg(), kHkeyLocalMachine, printer, L"Printer Driver", L"ZENTA Print Capture Driver");
    sim::WriteText(reg(), kHkeyLocalMachine, printer, L"Print Processor", L"EMF Print Processor");
    sim::WriteText(reg(), kHkeyLocalMachine, kPrint + L"\\Monitors\\Ice Monitor E", L"Driver", L"BuEMonNT.dll");
    sim::EnsureKey(reg(), kHkeyLocalMachine, kPrint + L"\\Monitors\\Ice Monitor E\\Ports\\" + port);
    const std::wstring driver = kX86 + L"\\Drivers\\Version-3\\ZENTA Print Capture Driver";
    sim::WriteText(reg(), kHkeyLocalMachine, driver, L"Driver", L"BuEDrvNT.dll");
    sim::WriteText(reg(), kHkeyLocalMachine, driver, L"Data File", L"BuEIniNT.ini");
    sim::WriteText(reg(), kHkeyLocalMachine, driver, L"Configuration File", L"BuEUifNT.dll");
    sim::WriteText(reg(), kHkeyLocalMachine, kX86 + L"\\Print Processors\\EMF Print Processor", L"Driver",
                   L"BuEProNT.dll");
  }
  std::string Log() { return m.ReadFile(kLog); }
  std::string LogFrom(std::size_t at) { return Log().substr(at); }
  BlackIceUninstaller Make() {
    return BlackIceUninstaller(log, m.machine().registry(), m.machine().system(), m.machine().spooler(),
                               m.machine().services());
  }

  ScenarioMachine m;
  OperationLog log;
};

TEST_F(BlackIceTest, NothingAtAllIsAbsentWithElevenDefaultsAndFourSearches) {
  auto remover = Make();
  EXPECT_EQ(remover.Detect(), Absent);
  const std::string text = Log();
  std::size_t failed = 0;
  for (std::size_t at = 0; (at = text.find("Failed to open key \"", at)) != std::string::npos; ++at) ++failed;
  EXPECT_EQ(failed, 11u);
  EXPECT_EQ(text.rfind("Failed to open key \"SOFTWARE\\Black Ice Software Inc\\EMFNT\\PrinterVariablesValues\", "
                       "using default value: BuEIniNT.ini\r\n",
                       0),
            0u);
  EXPECT_NE(text.find(CrLf({"Searching for printer ZENTA Quillo Print Capture", "No matching printer was found",
                            "Searching for installed port IcePortER:",
                            "Searching for installed port monitor Ice Monitor E, Windows NT x86",
                            "No matching monitor was found", "Searching for printer driver ZENTA Print Capture Driver",
                            "No matching printer driver was found", ""})),
            std::string::npos)
      << text;
}

TEST_F(BlackIceTest, AFullInstallationIsPresentAndGoesPieceByPiece) {
  Settings();
  Printer();
  auto remover = Make();
  EXPECT_EQ(remover.Detect(), Present);
  EXPECT_NE(Log().find(CrLf({"Found printer with portName IcePortER:, processorName EMF Print Processor, and driver "
                             "ZENTA Print Capture Driver",
                             "Searching for installed port IcePortER:", "Found port with monitor name Ice Monitor E"})),
            std::string::npos);
  EXPECT_NE(Log().find("Found monitor with DLL file BuEMonNT.dll\r\n"), std::string::npos);
  const std::size_t at = Log().size();
  EXPECT_EQ(remover.Uninstall(), Absent);
  EXPECT_EQ(
      LogFrom(at),
      CrLf({"Restarting Spooler service", "Restarting service: Spooler", "Stopping service: Spooler",
            "Starting service: Spooler", "...SERVICE_RUNNING", "Delete printer: \"ZENTA Quillo Print Capture\"",
            "Delete printer port: IcePortER:", "Delete printer driver: ZENTA Print Capture Driver, Windows NT x86",
            "Delete printer monitor: Ice Monitor E", "Delete printer processor: EMF Print Processor",
            "DeleteKey: HKEY_LOCAL_MACHINE\\SOFTWARE\\Black Ice Software Inc",
            "DeleteKey: HKEY_LOCAL_MACHINE\\SOFTWARE\\Black Ice Software, Inc.", ""}));
  EXPECT_FALSE(sim::KeyExists(reg(), kHkeyLocalMachine, kPrint + L"\\Printers\\ZENTA Quillo Print Capture"));
  EXPECT_FALSE(sim::KeyExists(reg(), kHkeyLocalMachine, kPrint + L"\\Monitors\\Ice Monitor E"));
  EXPECT_FALSE(sim::KeyExists(reg(), kHkeyLocalMachine, kX86 + L"\\Print Processors\\EMF Print Processor"));
  EXPECT_FALSE(sim::KeyExists(reg(), kHkeyLocalMachine, L"SOFTWARE\\Black Ice Software Inc"));
  EXPECT_FALSE(sim::KeyExists(reg(), kHkeyLocalMachine, L"SOFTWARE\\Black Ice Software, Inc."));
  EXPECT_EQ(m.machine().services().stops(), 1);
  EXPECT_EQ(m.machine().spooler().openPrinters(), 0u);
}

TEST_F(BlackIceTest, SettingsWithoutPiecesArePartialAndOnlyTheProcessorFailureCounts) {
  Settings();
  auto remover = Make();
  EXPECT_EQ(remover.Detect(), Partial);
  const std::size_t at = Log().size();
  m.machine().faults().RecordCalls(true);
  EXPECT_EQ(remover.Uninstall(), Partial);
  const std::string text = LogFrom(at);
  EXPECT_NE(text.find(CrLf(
                {"Delete printer: \"ZENTA Quillo Print Capture\"", "Printer not installed; nothing to delete",
                 "Delete printer port: IcePortER:", "Delete printer driver: ZENTA Print Capture Driver, Windows NT x86",
                 "FAILED with error code 1797", "Delete printer monitor: Ice Monitor E", "FAILED with error code 3000",
                 "Delete printer processor: EMF Print Processor", "FAILED with error code 1798", ""})),
            std::string::npos)
      << text;
  // The port that Detect did not find is not deleted.
  for (const auto& [op, target] : m.machine().faults().recorded()) EXPECT_NE(op, "DeletePort");
}

// Each error of the removal, tolerated or counted.
struct PieceError {
  const char* operation;
  WinError error;
  ComponentState result;
  const char* line;  // what the log shows for it
};

class BlackIceErrors : public BlackIceTest, public ::testing::WithParamInterface<PieceError> {};

TEST_P(BlackIceErrors, AreLoggedAndScored) {
  Settings();
  Printer();
  auto remover = Make();
  ASSERT_EQ(remover.Detect(), Present);
  m.machine().faults().Add(sim::FaultRule{GetParam().operation, L"*", GetParam().error, -1});
  const std::size_t at = Log().size();
  EXPECT_EQ(remover.Uninstall(), GetParam().result);
  const std::string text = LogFrom(at);
  EXPECT_NE(text.find(GetParam().line), std::string::npos) << text;
  // The pieces after a failure are still removed.
  EXPECT_FALSE(sim::KeyExists(reg(), kHkeyLocalMachine, L"SOFTWARE\\Black Ice Software, Inc."));
  if (std::string(GetParam().operation) != "DeletePrintProcessor") {
    EXPECT_FALSE(sim::KeyExists(reg(), kHkeyLocalMachine, kX86 + L"\\Print Processors\\EMF Print Processor"));
  }
  EXPECT_EQ(m.machine().spooler().openPrinters(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, BlackIceErrors,
    ::testing::Values(
        PieceError{"OpenPrinter", 5, Partial, "Failed to open printer: 5\r\nDelete printer port: "},
        PieceError{"DeletePrinter", 5, Partial, "\"\r\nFAILED with error code 5\r\nDelete printer port: "},
        PieceError{"DeletePort", 5, Partial, "Delete printer port: IcePortER:\r\nFAILED with error code 5\r\n"},
        PieceError{"DeletePrinterDriver", 1797, Absent, "Windows NT x86\r\nFAILED with error code 1797\r\n"},
        PieceError{"DeletePrinterDriver", 5, Partial, "Windows NT x86\r\nFAILED with error code 5\r\n"},
        PieceError{"DeleteMonitor", 3000, Absent, "Ice Monitor E\r\nFAILED with error code 3000\r\n"},
        PieceError{"DeleteMonitor", 5, Partial, "Ice Monitor E\r\nFAILED with error code 5\r\n"},
        PieceError{"DeletePrintProcessor", 5, Partial, "EMF Print Processor\r\nFAILED with error code 5\r\n"},
        PieceError{"DeletePrintProcessor", 1798, Partial, "EMF Print Processor\r\nFAILED with error code 1798\r\n"}));

TEST_F(BlackIceTest, APrinterThatIsNotInstalledIsNoFailure) {
  Settings();
  Printer();
  sim::EnsureKey(reg(), kHkeyLocalMachine, kPrint + L"\\Printers");
  reg().DeleteTree(kHkeyLocalMachine, kPrint + L"\\Printers\\ZENTA Quillo Print Capture");
  auto remover = Make();
  EXPECT_EQ(remover.Detect(), Partial);
  const std::size_t at = Log().size();
  EXPECT_EQ(remover.Uninstall(), Absent);
  EXPECT_NE(LogFrom(at).find("\r\nPrinter not installed; nothing to delete\r\nDelete printer port: IcePortER:\r\n"),
            std::string::npos);
  EXPECT_FALSE(sim::KeyExists(reg(), kHkeyLocalMachine, kPrint + L"\\Monitors\\Ice Monitor E"));
}

TEST_F(BlackIceTest, ListOnlyModeDeletesNothingAndRestartsNothing) {
  Settings();
  Printer();
  auto remover = Make();
  remover.m_bDryRun = true;
  EXPECT_EQ(remover.Detect(), Present);
  const std::size_t at = Log().size();
  EXPECT_EQ(remover.Uninstall(), Absent);
  EXPECT_EQ(
      LogFrom(at),
      CrLf({"Restarting Spooler service", "Delete printer: \"ZENTA Quillo Print Capture\"",
            "Delete printer port: IcePortER:", "Delete printer driver: ZENTA Print Capture Driver, Windows NT x86",
            "Delete printer monitor: Ice Monitor E", "Delete printer processor: EMF Print Processor",
            "DeleteKey: HKEY_LOCAL_MACHINE\\SOFTWARE\\Black Ice Software Inc",
            "DeleteKey: HKEY_LOCAL_MACHINE\\SOFTWARE\\Black Ice Software, Inc.", ""}));
  EXPECT_TRUE(sim::KeyExists(reg(), kHkeyLocalMachine, kPrint + L"\\Printers\\ZENTA Quillo Print Capture"));
  EXPECT_TRUE(sim::KeyExists(reg(), kHkeyLocalMachine, kPrint + L"\\Monitors\\Ice Monitor E\\Ports\\IcePortER:"));
  EXPECT_TRUE(sim::KeyExists(reg(), kHkeyLocalMachine, kSettings));
  EXPECT_EQ(m.machine().services().stops(), 0);
  EXPECT_EQ(m.machine().spooler().openPrinters(), 0u);
}

TEST_F(BlackIceTest, APrinterOnAnotherPortTakesThePortSearchAndDeletionWithIt) {
  Settings();
  Printer(L"IcePortXY:");
  auto remover = Make();
  EXPECT_EQ(remover.Detect(), Present);
  EXPECT_NE(Log().find("Searching for installed port IcePortXY:\r\nFound port with monitor name Ice Monitor E\r\n"),
            std::string::npos);
  remover.Uninstall();
  EXPECT_NE(Log().find("Delete printer port: IcePortXY:\r\n"), std::string::npos);
  EXPECT_FALSE(sim::KeyExists(reg(), kHkeyLocalMachine, kPrint + L"\\Monitors\\Ice Monitor E"));
}

}  // namespace
}  // namespace zc::test
