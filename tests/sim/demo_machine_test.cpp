#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/demo_machine.h"
#include "catalogue/families.h"
#include "platform/sim/installer_layout.h"
#include "platform/sim/machine.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace zc {
namespace {

namespace fs = std::filesystem;

class DemoMachineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    std::string error;
    ASSERT_TRUE(sim::WriteDemoMachine(dir_->path(), &error)) << error;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    std::string error;
    machine_ = sim::SimMachine::Load(dir_->path(), &error);
    ASSERT_TRUE(machine_) << error;
  }

  std::set<std::wstring> Products() {
    std::set<std::wstring> codes;
    std::wstring code;
    for (std::uint32_t i = 0; machine_->installer().EnumProducts(i, &code) == err::kSuccess; ++i) codes.insert(code);
    return codes;
  }
  std::wstring Info(const std::wstring& code, const wchar_t* property) {
    std::wstring value;
    EXPECT_EQ(machine_->installer().GetProductInfo(code, property, 260, &value), err::kSuccess) << property;
    return value;
  }
  bool Exists(const std::wstring& path) {
    std::uint32_t attributes = 0;
    return machine_->fs().GetAttributes(path, &attributes) == err::kSuccess;
  }

  static test::TempDir* dir_;
  std::unique_ptr<sim::SimMachine> machine_;
};

test::TempDir* DemoMachineTest::dir_ = nullptr;

TEST_F(DemoMachineTest, HasAProductOfEveryFamilyFoundByItsUpgradeCode) {
  const auto all = Products();
  for (std::size_t f = 0; f < kFamilyCount; ++f) {
    const ProductFamily& family = kProductFamilies[f];
    std::vector<std::wstring> related;
    std::wstring code;
    for (std::uint32_t i = 0; machine_->installer().EnumRelatedProducts(family.upgradeCode, i, &code) == err::kSuccess;
         ++i) {
      related.push_back(code);
    }
    ASSERT_FALSE(related.empty()) << ToUtf8(family.label);
    for (const auto& product : related) {
      EXPECT_TRUE(all.count(product)) << ToUtf8(family.label);
      EXPECT_EQ(Info(product, L"Publisher"), L"ZENTA Technologies Inc");
      EXPECT_FALSE(Info(product, L"ProductName").empty());
      EXPECT_FALSE(Info(product, L"VersionString").empty());
      // Its files are where its InstallLocation says.
      const std::wstring location = Info(product, L"InstallLocation");
      ASSERT_FALSE(location.empty());
      EXPECT_TRUE(Exists(location)) << ToUtf8(location);
      // The tool (a 32-bit program) finds its uninstall entry.
      EXPECT_TRUE(sim::KeyExists(machine_->registry(), kHkeyLocalMachine,
                                 L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product));
    }
  }
  // Besides: the Platform product, the Brevano Suite, another publisher's
  // and the administrator's per-user reader.
  std::set<std::wstring> names;
  for (const auto& code : all) names.insert(Info(code, L"ProductName"));
  EXPECT_TRUE(names.count(L"ZENTA Platform 2.0"));
  EXPECT_TRUE(names.count(L"ZENTA Brevano Suite 3.0"));
  EXPECT_TRUE(names.count(L"Harbor Lane Notes 5.2"));
  EXPECT_TRUE(names.count(L"ZENTA Lumio Reader 2.0"));
  EXPECT_EQ(all.size(), 12u);
}

TEST_F(DemoMachineTest, TheReaderIsInstalledPerUserByTwoAccounts) {
  std::vector<InstalledEntry> perUser;
  InstalledEntry entry;
  for (std::uint32_t i = 0; machine_->installer().EnumEveryonesProducts(i, &entry) == err::kSuccess; ++i) {
    if (entry.context != InstallContext::kMachine) perUser.push_back(entry);
  }
  ASSERT_EQ(perUser.size(), 2u);
  for (const auto& e : perUser) {
    EXPECT_EQ(e.context, InstallContext::kUserUnmanaged);
    EXPECT_EQ(e.productCode, perUser[0].productCode);
    std::wstring location;
    ASSERT_EQ(machine_->installer().GetProductInfoEx(e, L"InstallLocation", 260, &location), err::kSuccess);
    EXPECT_TRUE(Exists(location + L"Lumio.exe")) << ToUtf8(location);
    // Its uninstall entry lies in the account's own hive.
    EXPECT_TRUE(sim::KeyExists(machine_->registry(), kHkeyUsers,
                               e.sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + e.productCode));
  }
  EXPECT_EQ(perUser[0].sid, sim::kDemoAdministratorSid);
  EXPECT_NE(perUser[1].sid, sim::kDemoAdministratorSid);
}

TEST_F(DemoMachineTest, AnotherPublishersProductAndTheUsersDocuments) {
  std::wstring harbor;
  for (const auto& code : Products()) {
    if (Info(code, L"Publisher") == L"Harbor Lane Software") harbor = code;
  }
  ASSERT_FALSE(harbor.empty());
  EXPECT_EQ(Info(harbor, L"ProductName"), L"Harbor Lane Notes 5.2");
  EXPECT_TRUE(Exists(L"C:\\Program Files\\Harbor Lane\\Notes\\hlcore.dll"));
  EXPECT_TRUE(Exists(L"C:\\Users\\Admin\\Documents\\Quarterly report.docx"));
  EXPECT_TRUE(Exists(L"C:\\Users\\Admin\\Documents\\ZENTA Technologies\\My lessons\\lesson notes.txt"));
}

TEST_F(DemoMachineTest, SharedDllsInsideAndOutsideTheVendorsFolders) {
  const auto names = sim::ValueNames(machine_->registry(), kHkeyLocalMachine,
                                     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
  int vendor = 0, elsewhere = 0;
  for (const auto& name : names) {
    (name.find(L"ZENTA Technologies") != std::wstring::npos ? vendor : elsewhere)++;
    const auto count = sim::ReadDword(machine_->registry(), kHkeyLocalMachine,
                                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", name);
    ASSERT_TRUE(count) << ToUtf8(name);
    EXPECT_GT(*count, 0u);
  }
  EXPECT_GT(vendor, 0);
  EXPECT_GT(elsewhere, 0);
  EXPECT_EQ(*sim::ReadDword(machine_->registry(), kHkeyLocalMachine,
                            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                            L"C:\\WINDOWS\\system32\\msvcr90.dll"),
            7u);
}

TEST_F(DemoMachineTest, ThePrintCapturePrinterWithItsFivePieces) {
  auto& spooler = machine_->spooler();
  std::uint32_t needed = 0;
  std::vector<PrinterRecord> printers;
  ASSERT_EQ(spooler.EnumPrinters(0, &needed, &printers), err::kInsufficientBuffer);
  ASSERT_EQ(spooler.EnumPrinters(needed, &needed, &printers), err::kSuccess);
  ASSERT_EQ(printers.size(), 1u);
  const PrinterRecord& printer = printers[0];
  EXPECT_EQ(printer.printerName, L"ZENTA Quillo Print Capture");

  std::vector<PortRecord> ports;
  spooler.EnumPorts(0, &needed, &ports);
  ASSERT_EQ(spooler.EnumPorts(needed, &needed, &ports), err::kSuccess);
  bool portFound = false;
  for (const auto& p : ports) portFound |= p.portName == printer.portName && p.monitorName == L"Ice Monitor E";
  EXPECT_TRUE(portFound);

  std::vector<MonitorRecord> monitors;
  spooler.EnumMonitors(0, &needed, &monitors);
  ASSERT_EQ(spooler.EnumMonitors(needed, &needed, &monitors), err::kSuccess);
  bool monitorFound = false;
  for (const auto& m : monitors) monitorFound |= m.name == L"Ice Monitor E";
  EXPECT_TRUE(monitorFound);

  std::vector<DriverRecord> drivers;
  spooler.EnumDrivers(0, &needed, &drivers);
  ASSERT_EQ(spooler.EnumDrivers(needed, &needed, &drivers), err::kSuccess);
  ASSERT_EQ(drivers.size(), 1u);
  EXPECT_EQ(drivers[0].name, printer.driverName);
  for (const auto* file : {&drivers[0].driverPath, &drivers[0].dataFile, &drivers[0].configFile}) {
    ASSERT_TRUE(*file);
    EXPECT_TRUE(Exists(**file)) << ToUtf8(**file);
  }
  EXPECT_TRUE(sim::KeyExists(
      machine_->nativeRegistry(), kHkeyLocalMachine,
      std::wstring(sim::kPrintKey) + L"\\Environments\\Windows NT x86\\Print Processors\\" + *printer.printProcessor));
  // The outside vendor's keys, and the spooler service running.
  EXPECT_EQ(sim::ReadText(machine_->registry(), kHkeyLocalMachine,
                          L"SOFTWARE\\Black Ice Software Inc\\EMFNT\\PrinterVariablesValues", L"PRINTER_NAME_MSI"),
            printer.printerName);
  EXPECT_EQ(machine_->services().StateOf(L"Spooler"), svcstate::kRunning);
}

TEST_F(DemoMachineTest, ItsProgramsRun) {
  // On a copy of its own: msiexec changes the drive at once.
  test::TempDir own;
  std::string error;
  ASSERT_TRUE(sim::WriteDemoMachine(own.path(), &error)) << error;
  machine_ = sim::SimMachine::Load(own.path(), &error);
  ASSERT_TRUE(machine_) << error;
  EXPECT_TRUE(Exists(L"C:\\Tools\\MSIZap.exe"));
  const std::wstring quillo = L"{4233A874-F8D9-4777-B94C-432B2889509D}";
  ProcessHandles handles;
  ASSERT_EQ(machine_->processes().StartProcess(L"", L"MsiExec.exe /X" + quillo + L" /qn", &handles), err::kSuccess);
  std::uint32_t exitCode = 99;
  ASSERT_EQ(machine_->processes().GetExitCode(handles.process, &exitCode), err::kSuccess);
  EXPECT_EQ(exitCode, 0u);
  machine_->processes().CloseHandle(handles.process);
  machine_->processes().CloseHandle(handles.thread);
  EXPECT_FALSE(Products().count(quillo));
  EXPECT_FALSE(Exists(L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Quillo.exe"));
  // What the package did not install stays.
  EXPECT_TRUE(Exists(L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Settings\\license.dat"));
}

}  // namespace
}  // namespace zc
