// Machines that a real fleet contains: odd registrations, odd names, huge
// values. Each: no crash, nothing lost outside the vendor's folders, a
// clear log that ends with its closing line.
#include <gtest/gtest.h>

#include "removal/removal_support.h"
#include "safety/machine_snapshot.h"

namespace zc::test {
namespace {

const std::string kExitLine = "**** Exiting the ZENTA Cleanup Tool Application *****";

RunResult RunAll(ScenarioMachine& m, const wchar_t* arguments = L"-all -folder") { return RunTool(m, arguments); }

// Nothing outside the vendor's scope changed since `before`: files only
// under the vendor's folders (and the run's log), registry entries only of
// the vendor's products, keys and SharedDlls values of its folders.
void ExpectNothingLostOutsideTheVendorsScope(ScenarioMachine& m, const MachineSnapshot& before,
                                             const std::vector<std::wstring>& codes) {
  const std::vector<std::wstring> vendor = {L"C:\\PROGRAM FILES\\ZENTA TECHNOLOGIES", L"C:\\TEMP\\ZENTACLEANUP"};
  for (const auto& change : Differences(before, MachineSnapshot::Take(m.machine()))) {
    EXPECT_TRUE(EntitledToChange(change, codes, vendor, before)) << "changed: " << ToUtf8(change.what);
  }
}

void ExpectClosed(const RunResult& r) {
  ASSERT_GE(r.log.size(), kExitLine.size());
  EXPECT_EQ(r.log.substr(r.log.size() - kExitLine.size()), kExitLine);
}

TEST(HostileMachine, InstallLocationsThatAreNoProductsFolderCostNothing) {
  for (const wchar_t* location : {L"C:\\", L"C:\\Users", L"C:\\Program Files", L"C:\\WINDOWS\\..", L"Tools",
                                  L"\\\\server\\share\\ZENTA\\", L"C:\\WINDOWS\\system32\\"}) {
    ScenarioMachine m;
    AddRemovalPrograms(m);
    m.WriteFile(L"C:\\Users\\Admin\\Documents\\keep.docx", "mine");
    m.WriteFile(L"C:\\Tools\\keep.txt", "tool");
    m.WriteFile(L"C:\\WINDOWS\\system32\\keep.dll", "win");
    m.WriteFile(L"C:\\keep.sys", "root");
    m.machine().msi().Register(VendorProduct(L"{11111111-2222-3333-4444-555555555555}", L"ZENTA Vexil 1.5", location));
    const auto r = RunAll(m);
    SCOPED_TRACE(ToUtf8(location));
    ExpectClosed(r);
    EXPECT_EQ(m.ReadFile(L"C:\\Users\\Admin\\Documents\\keep.docx"), "mine");
    EXPECT_EQ(m.ReadFile(L"C:\\Tools\\keep.txt"), "tool");
    EXPECT_EQ(m.ReadFile(L"C:\\WINDOWS\\system32\\keep.dll"), "win");
    EXPECT_EQ(m.ReadFile(L"C:\\keep.sys"), "root");
  }
}

TEST(HostileMachine, APathOf300CharactersIsLeftAloneWithoutHarm) {
  ScenarioMachine m;
  AddRemovalPrograms(m);
  std::wstring deep = L"C:\\Program Files\\ZENTA Technologies\\Deep";
  while (deep.size() < 300) deep += L"\\folder";
  m.machine().msi().Register(
      VendorProduct(L"{11111111-2222-3333-4444-555555555555}", L"ZENTA Vexil 1.5", deep + L"\\"));
  m.WriteFile(L"C:\\Users\\Admin\\Documents\\keep.docx", "mine");
  const auto before = MachineSnapshot::Take(m.machine());
  const auto codes = VendorCodes(m.machine());
  const auto r = RunAll(m);
  ExpectClosed(r);
  ExpectNothingLostOutsideTheVendorsScope(m, before, codes);
}

TEST(HostileMachine, AnAppPathsValuePointingIntoTheSystemFolderIsRefused) {
  ScenarioMachine m;
  AddRemovalPrograms(m);
  m.WriteFile(L"C:\\WINDOWS\\system32\\keep.dll", "win");
  sim::WriteText(m.machine().nativeRegistry(), kHkeyLocalMachine,
                 L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quillo.exe", L"",
                 L"C:\\WINDOWS\\system32\\Quillo.exe");
  // A Quillo product without a location of its own: the catalogue takes the App Paths folder.
  m.machine().msi().Register(VendorProduct(L"{4233A874-F8D9-4777-B94C-432B2889509D}", L"Quillo Software 10.8", L""));
  const auto r = RunTool(m, L"-quillo -folder");
  ExpectClosed(r);
  EXPECT_NE(r.log.find("Sensitive Folder! Will not remove contents of: c:\\windows\\system32\\"), std::string::npos);
  EXPECT_EQ(m.ReadFile(L"C:\\WINDOWS\\system32\\keep.dll"), "win");
}

TEST(HostileMachine, SharedDllNamesWithOddCharactersAreMatchedOnlyUnderTheFolder) {
  ScenarioMachine m;
  AddRemovalPrograms(m);
  const std::wstring folder = L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\";
  m.machine().msi().Register(VendorProduct(L"{11111111-2222-3333-4444-555555555555}", L"ZENTA Vexil 1.5", folder));
  for (const std::wstring& name : std::vector<std::wstring>{
           folder + L"quote\"d.dll", folder + L"per%cent%.dll", folder + L"caf\u00e9\u4e2d.dll",
           folder + L"tab\there.dll", folder + L"trailing.\\", std::wstring(L"C:\\Other\\") + L"[brackets]*?.dll"}) {
    SetSharedCount(m, name, 1);
  }
  const auto r = RunAll(m);
  ExpectClosed(r);
  EXPECT_EQ(SharedDllNames(m), std::vector<std::wstring>{L"C:\\Other\\[brackets]*?.dll"});
  EXPECT_NE(r.log.find("Removed Entry : " + ToUtf8(folder).substr(0, 3)), std::string::npos);
  // Characters above 255 reach the log as '?', and the log goes on.
  EXPECT_NE(r.log.find("caf\xe9?.dll  -- Shared Count: 1"), std::string::npos);
}

TEST(HostileMachine, ProductNamesWithQuotesPercentsWideCharactersAndTenThousandCharacters) {
  ScenarioMachine m;
  AddRemovalPrograms(m);
  const std::wstring longName = L"ZENTA " + std::wstring(10000, L'x');
  const std::vector<std::pair<std::wstring, std::wstring>> products = {
      {L"{11111111-2222-3333-4444-000000000001}", L"ZENTA \"Quoted\" %PATH% %s %n Vexil"},
      {L"{11111111-2222-3333-4444-000000000002}", L"ZENTA \u4e2d\u6587 Convexa \u00e9"},
      {L"{11111111-2222-3333-4444-000000000003}", longName},
  };
  for (const auto& [code, name] : products) {
    m.machine().msi().Register(
        VendorProduct(code, name, L"C:\\Program Files\\ZENTA Technologies\\P" + code.substr(34, 3) + L"\\"));
  }
  const auto before = MachineSnapshot::Take(m.machine());
  const auto r = RunAll(m, L"-all -dryrun");
  ExpectClosed(r);
  ExpectNothingLostOutsideTheVendorsScope(m, before, {});  // a dry run: its log only
  EXPECT_NE(r.log.find("Found Product: ZENTA \"Quoted\" %PATH% %s %n Vexil  -- GUID:"), std::string::npos);
  EXPECT_NE(r.log.find("Found Product: ZENTA ?? Convexa \xe9  -- GUID:"), std::string::npos);
  // A name of 260 characters or more does not fit the installer's buffer:
  // the product cannot be named and is passed over.
  EXPECT_EQ(r.log.find("xxxxxxxxxx"), std::string::npos);
}

TEST(HostileMachine, AMegabyteRegistryValueIsReadWithoutHarm) {
  ScenarioMachine m;
  AddRemovalPrograms(m);
  const std::wstring folder = L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\";
  m.machine().msi().Register(VendorProduct(L"{11111111-2222-3333-4444-555555555555}", L"ZENTA Vexil 1.5", folder));
  std::vector<std::uint8_t> huge(1 << 20, 0x41);
  sim::WriteValue(m.machine().nativeRegistry(), kHkeyLocalMachine, kSharedDlls, folder + L"huge.dll", regtype::kBinary,
                  huge);
  sim::WriteValue(m.machine().nativeRegistry(), kHkeyLocalMachine,
                  L"SOFTWARE\\Black Ice Software Inc\\EMFNT\\PrinterVariablesValues", L"PRINTER_NAME_MSI", regtype::kSz,
                  huge);
  const auto before = MachineSnapshot::Take(m.machine());
  const auto codes = VendorCodes(m.machine());
  const auto r = RunTool(m, L"-quillo -dryrun");
  ExpectClosed(r);
  ExpectNothingLostOutsideTheVendorsScope(m, before, {});
  const auto r2 = RunAll(m);
  ExpectClosed(r2);
  ExpectNothingLostOutsideTheVendorsScope(m, before, codes);
}

TEST(HostileMachine, DuplicateAndVanishedProductCodesAreHandledOnce) {
  ScenarioMachine m;
  AddRemovalPrograms(m);
  const std::wstring code = L"{11111111-2222-3333-4444-555555555555}";
  const std::wstring upgrade = L"{31C311B7-EC40-4395-96D7-A040BD93E8C2}";  // the Vexil family
  m.machine().msi().Register(
      VendorProduct(code, L"ZENTA Vexil 1.5", L"C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\", upgrade));
  // The upgrade code also names a product that is gone, and the product twice.
  auto& reg = m.machine().nativeRegistry();
  const std::wstring upgradeKey =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\7B113C1304CE5934697D0A04DB398E2C";
  sim::WriteText(reg, kHkeyLocalMachine, upgradeKey, L"99999999999999999999999999999999", L"");
  sim::WriteText(reg, kHkeyLocalMachine, upgradeKey, L"not a packed code", L"");
  const auto before = MachineSnapshot::Take(m.machine());
  auto codes = VendorCodes(m.machine());
  codes.push_back(L"99999999999999999999999999999999");  // the vanished product's, zapped by its code
  const auto r = RunTool(m, L"-vexil");
  ExpectClosed(r);
  ExpectNothingLostOutsideTheVendorsScope(m, before, codes);
  // The gone product is not registered: MSIZap runs for it, no uninstall.
  std::size_t uninstalls = 0;
  for (const auto& run : m.machine().processes().runs()) uninstalls += run.program == L"msiexec";
  EXPECT_EQ(uninstalls, 1u);
}

}  // namespace
}  // namespace zc::test
