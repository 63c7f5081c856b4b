// The Windows Installer layout, the simulated installer's answers and the
// simulated install and uninstall, checked against what Wine's own msiexec
// wrote (tests/fixtures/wine-installer).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/installer_layout.h"
#include "platform/sim/msi_registration.h"
#include "platform/sim/reg_file.h"
#include "platform/sim/reg_store.h"
#include "platform/sim/registry_util.h"
#include "platform/sim/sim_filesystem.h"
#include "platform/sim/sim_installer.h"
#include "platform/sim/sim_registry.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace zc::sim {
namespace {

namespace fs = std::filesystem;
namespace ml = msilayout;

const fs::path kFixture = fs::path(ZC_SOURCE_DIR) / "tests/fixtures/wine-installer";
constexpr const wchar_t* kProduct = L"{4E1F6C2A-7B3D-4C59-9A10-2B6E8D5F3A71}";
constexpr const wchar_t* kUpgrade = L"{9C2B4D7E-1A3F-4B6C-8D5E-7F0A1B2C3D4E}";
constexpr const wchar_t* kFileComponent = L"{6A3E1B7C-2D4F-4E81-9B5A-0C7D3F2E1A96}";
constexpr const wchar_t* kRegistryComponent = L"{B7D2C4E9-5F1A-4C3B-8E6D-2A9F0B1C7D54}";
constexpr const wchar_t* kLocation = L"C:\\Program Files (x86)\\ZENTA Technologies\\Fixture\\";

// A registry as key path -> value name -> (type, bytes), names upper-cased.
using Flat = std::map<std::wstring, std::map<std::wstring, std::pair<std::uint32_t, std::vector<std::uint8_t>>>>;

std::wstring Upper(std::wstring text) {
  for (auto& c : text) c = UpcaseChar(c);
  return text;
}

void FlattenKey(const RegKey& key, const std::wstring& path, Flat* out) {
  auto& values = (*out)[Upper(path)];
  for (std::size_t i = 0; i < key.values().size(); ++i) {
    const RegValue* v = key.values().At(i);
    values[Upper(v->name)] = {v->type, v->data};
  }
  for (std::size_t i = 0; i < key.SubKeyCount(); ++i) {
    const RegKey* sub = key.SubKeyAt(i);
    FlattenKey(*sub, path.empty() ? sub->name() : path + L"\\" + sub->name(), out);
  }
}

Flat Flatten(RegStore& store) {
  Flat flat;
  FlattenKey(store.Root(Hive::kLocalMachine), L"", &flat);
  return flat;
}

std::set<std::wstring> KeysOf(const Flat& flat) {
  std::set<std::wstring> keys;
  for (const auto& [k, v] : flat) keys.insert(k);
  return keys;
}

void LoadFixture(const char* name, RegStore* store) {
  const auto error = LoadRegFile(kFixture / name, *store);
  ASSERT_FALSE(error) << error->ToString();
}

// The product the fixture package installs, described for MsiRegistration.
ProductSpec FixtureProduct() {
  ProductSpec p;
  p.productCode = kProduct;
  p.upgradeCode = kUpgrade;
  p.name = L"ZENTA Fixture Product 1.2";
  p.publisher = L"ZENTA Technologies Inc";
  p.version = L"1.2.3.4";
  p.installLocation = kLocation;
  p.packageCode = L"{3C5D7E9F-1A2B-4C3D-8E4F-5A6B7C8D9E0F}";
  p.installSource = L"C:\\FixtureSource\\";
  p.packageName = L"pkg.msi";
  p.components = {
      ComponentSpec{kFileComponent, std::wstring(kLocation) + L"Fixture.dll", "MZ"},
      ComponentSpec{kRegistryComponent, L"02:\\Software\\ZENTA Technologies\\Fixture\\InstallDir", ToUtf8(kLocation)},
  };
  return p;
}

TEST(InstallerLayout, PacksGuidsAsWindowsInstallerDoes) {
  EXPECT_EQ(ml::PackGuid(L"{11111111-2222-3333-4444-555555555555}"), L"11111111222233334444555555555555");
  EXPECT_EQ(ml::PackGuid(L"{12345678-ABCD-EF01-2345-6789ABCDEF01}"), L"87654321DCBA10FE32547698BADCFE10");
  EXPECT_EQ(ml::PackGuid(L"{12345678-abcd-ef01-2345-6789abcdef01}"), L"87654321DCBA10FE32547698BADCFE10");
  // The codes of the Wine fixture (LAYOUT.md).
  EXPECT_EQ(ml::PackGuid(kProduct), L"A2C6F1E4D3B795C4A901B2E6D8F5A317");
  EXPECT_EQ(ml::PackGuid(kUpgrade), L"E7D4B2C9F3A1C6B4D8E5F7A0B1C2D3E4");
  EXPECT_EQ(ml::PackGuid(kFileComponent), L"C7B1E3A6F4D218E4B9A5C0D7F3E2A169");
  EXPECT_EQ(ml::PackGuid(kRegistryComponent), L"9E4C2D7BA1F5B3C4E8D6A2F9B0C1D745");
  EXPECT_EQ(ml::UnpackGuid(L"87654321DCBA10FE32547698BADCFE10"), L"{12345678-ABCD-EF01-2345-6789ABCDEF01}");
  EXPECT_EQ(ml::UnpackGuid(L"a2c6f1e4d3b795c4a901b2e6d8f5a317"), std::wstring(kProduct));
  // Not GUIDs.
  EXPECT_EQ(ml::PackGuid(L"12345678-ABCD-EF01-2345-6789ABCDEF01"), L"");
  EXPECT_EQ(ml::PackGuid(L"{12345678-ABCD-EF01-2345-6789ABCDEF0G}"), L"");
  EXPECT_EQ(ml::PackGuid(L"{12345678ABCD-EF01-2345-6789ABCDEF0100}"), L"");
  EXPECT_FALSE(ml::UnpackGuid(L"87654321DCBA10FE32547698BADCFE1"));
  EXPECT_FALSE(ml::UnpackGuid(L"87654321DCBA10FE32547698BADCFE1X"));
  // The compressed form a feature lists its components in (from the fixture).
  EXPECT_EQ(ml::CompressGuid(kFileComponent), L"iZL0Ju~`7ARB34PFH^8X");
  EXPECT_EQ(ml::CompressGuid(kRegistryComponent), L"b7q)d$[XR@Ce71[wg.1C");
}

TEST(InstallerLayout, ComponentKeyPathsNameRegistryValuesOrFiles) {
  auto r = ml::ParseRegistryKeyPath(L"02:\\Software\\ZENTA Technologies\\Fixture\\InstallDir");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->root, 2);
  EXPECT_FALSE(r->view64);
  EXPECT_EQ(r->keyPath, L"Software\\ZENTA Technologies\\Fixture");
  EXPECT_EQ(r->valueName, L"InstallDir");
  r = ml::ParseRegistryKeyPath(L"22:\\Software\\X\\V");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->root, 2);
  EXPECT_TRUE(r->view64);
  EXPECT_FALSE(ml::ParseRegistryKeyPath(L"C:\\Program Files\\X\\a.dll"));
  EXPECT_FALSE(ml::ParseRegistryKeyPath(L"04:\\Software\\X\\V"));
}

class WineFixture : public ::testing::Test {
 protected:
  void SetUp() override { LoadFixture("registry.reg", &store_); }
  RegStore store_;
  SimRegistry reg_{store_, false};
  SimWindowsInstaller installer_{reg_, nullptr};
};

TEST_F(WineFixture, TheSimulatedInstallerReadsWhatWineWrote) {
  std::wstring code;
  ASSERT_EQ(installer_.EnumProducts(0, &code), err::kSuccess);
  EXPECT_EQ(code, kProduct);
  EXPECT_EQ(installer_.EnumProducts(1, &code), err::kNoMoreItems);

  // product-info.txt: what Wine's msi.dll answered for the same registry.
  const std::pair<const wchar_t*, const wchar_t*> kAnswers[] = {
      {L"ProductName", L"ZENTA Fixture Product 1.2"},
      {L"Publisher", L"ZENTA Technologies Inc"},
      {L"VersionString", L"1.2.3.4"},
      {L"InstallLocation", kLocation},
      {L"InstallSource", L"C:\\FixtureSource\\"},
      {L"PackageCode", L"{3C5D7E9F-1A2B-4C3D-8E4F-5A6B7C8D9E0F}"},
      {L"Language", L"1033"},
      {L"Version", L"16908291"},
      {L"AssignmentType", L"0"},
      {L"InstalledProductName", L"ZENTA Fixture Product 1.2"},
  };
  for (const auto& [property, expected] : kAnswers) {
    std::wstring value;
    EXPECT_EQ(installer_.GetProductInfo(kProduct, property, 260, &value), err::kSuccess) << property;
    EXPECT_EQ(value, expected) << property;
  }
  // Product codes are matched without regard to case.
  std::wstring value;
  EXPECT_EQ(installer_.GetProductInfo(L"{4e1f6c2a-7b3d-4c59-9a10-2b6e8d5f3a71}", L"ProductName", 260, &value),
            err::kSuccess);

  ASSERT_EQ(installer_.EnumRelatedProducts(kUpgrade, 0, &code), err::kSuccess);
  EXPECT_EQ(code, kProduct);
  EXPECT_EQ(installer_.EnumRelatedProducts(kUpgrade, 1, &code), err::kNoMoreItems);
  EXPECT_EQ(installer_.EnumRelatedProducts(L"{31C311B7-EC40-4395-96D7-A040BD93E8C2}", 0, &code), err::kNoMoreItems);
  EXPECT_EQ(reg_.OpenHandleCount(), 0u);
}

TEST_F(WineFixture, ProductInfoErrorsAndTheBufferLimit) {
  std::wstring value = L"untouched";
  EXPECT_EQ(installer_.GetProductInfo(L"{00000000-1111-2222-3333-444444444444}", L"ProductName", 260, &value),
            err::kUnknownProduct);
  EXPECT_EQ(installer_.GetProductInfo(L"{00000000-1111-2222-3333-444444444444}", L"NoSuchProperty", 260, &value),
            err::kUnknownProduct)
      << "the product is looked up first";
  EXPECT_EQ(installer_.GetProductInfo(kProduct, L"NoSuchProperty", 260, &value), err::kUnknownProperty);
  EXPECT_EQ(installer_.GetProductInfo(kProduct, L"productname", 260, &value), err::kUnknownProperty)
      << "property names are case-sensitive";
  EXPECT_EQ(installer_.GetProductInfo(L"not a guid", L"ProductName", 260, &value), err::kInvalidParameter);
  EXPECT_EQ(value, L"untouched");

  // A buffer of 260 characters holds 259 and the terminator.
  const std::wstring key = ml::InstallPropertiesKey(kProduct);
  WriteText(reg_, kHkeyLocalMachine, key, L"InstallLocation", std::wstring(259, L'L'));
  EXPECT_EQ(installer_.GetProductInfo(kProduct, L"InstallLocation", 260, &value), err::kSuccess);
  EXPECT_EQ(value.size(), 259u);
  WriteText(reg_, kHkeyLocalMachine, key, L"InstallLocation", std::wstring(260, L'L'));
  value = L"untouched";
  EXPECT_EQ(installer_.GetProductInfo(kProduct, L"InstallLocation", 260, &value), err::kMoreData);
  EXPECT_EQ(value, L"untouched");
  // Characters outside the BMP take two UTF-16 units.
  WriteText(reg_, kHkeyLocalMachine, key, L"InstallLocation", std::wstring(129, static_cast<wchar_t>(0x1F600)) + L"ab");
  EXPECT_EQ(installer_.GetProductInfo(kProduct, L"InstallLocation", 260, &value), err::kMoreData);
}

TEST_F(WineFixture, FaultsFailTheInstallerCalls) {
  FaultPlan faults;
  faults.Add(FaultRule{"MsiEnumProducts", L"0", 1610, 1});
  faults.Add(FaultRule{"MsiGetProductInfo", std::wstring(kProduct) + L"|Publisher", 1605, -1});
  faults.Add(FaultRule{"MsiEnumRelatedProducts", kUpgrade, 1610, -1});
  SimWindowsInstaller failing(reg_, &faults);
  std::wstring value;
  EXPECT_EQ(failing.EnumProducts(0, &value), 1610u);
  EXPECT_EQ(failing.EnumProducts(0, &value), err::kSuccess);
  EXPECT_EQ(failing.GetProductInfo(kProduct, L"Publisher", 260, &value), err::kUnknownProduct);
  EXPECT_EQ(failing.GetProductInfo(kProduct, L"ProductName", 260, &value), err::kSuccess);
  EXPECT_EQ(failing.EnumRelatedProducts(kUpgrade, 0, &value), 1610u);
}

// Install and uninstall with MsiRegistration on a 64-bit machine, against Wine.
class MsiRegistrationTest : public ::testing::Test {
 protected:
  MsiRegistrationTest() { fs::create_directories(dir_ / "drive_c"); }

  fs::path C(const std::string& relative) const { return dir_ / "drive_c" / relative; }
  // The folders (ending in '/') and files under the vendor folder, as files.txt lists them.
  std::vector<std::string> VendorTree() const {
    std::vector<std::string> out;
    const fs::path vendor = C("Program Files (x86)/ZENTA Technologies");
    if (!fs::exists(vendor)) return out;
    out.push_back("drive_c/Program Files (x86)/ZENTA Technologies/");
    for (const auto& e : fs::recursive_directory_iterator(vendor)) {
      std::string rel = fs::relative(e.path(), dir_.path()).string();
      if (e.is_directory()) rel += "/";
      out.push_back(rel);
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  static std::vector<std::string> FixtureList(const char* name) {
    std::ifstream in(kFixture / name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
  }

  test::TempDir dir_;
  FaultPlan faults_;
  SimFileSystem fs_{dir_.path(), [] { return std::wstring(L"C:\\"); }, &faults_};
};

TEST_F(MsiRegistrationTest, RegisterWritesWhatWineWrites) {
  RegStore ours;
  SimRegistry reg(ours, false);
  MsiRegistration msi(reg, fs_, true);
  ASSERT_TRUE(msi.Register(FixtureProduct()));
  EXPECT_TRUE(msi.IsRegistered(kProduct));

  RegStore wine;
  LoadFixture("registry.reg", &wine);
  const Flat a = Flatten(ours);
  const Flat b = Flatten(wine);
  EXPECT_EQ(KeysOf(a), KeysOf(b));
  // Every value Wine wrote, with its type and bytes; only the day of the
  // install, the cached package's random name and the Installer key's own
  // value (there before the install) differ.
  for (const auto& [key, values] : b) {
    if (key == Upper(L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer")) continue;
    const auto it = a.find(key);
    if (it == a.end()) continue;  // reported above
    std::set<std::wstring> names, ourNames;
    for (const auto& [name, value] : values) names.insert(name);
    for (const auto& [name, value] : it->second) ourNames.insert(name);
    EXPECT_EQ(ourNames, names) << ToUtf8(key);
    for (const auto& [name, value] : values) {
      if (name == L"INSTALLDATE" || name == L"LOCALPACKAGE") continue;
      const auto v = it->second.find(name);
      if (v == it->second.end()) continue;
      EXPECT_EQ(v->second.first, value.first) << ToUtf8(key) << " " << ToUtf8(name);
      EXPECT_EQ(v->second.second, value.second) << ToUtf8(key) << " " << ToUtf8(name);
    }
  }
  EXPECT_EQ(VendorTree(), FixtureList("files.txt"));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);

  // The installer answers for what Register wrote as for what Wine wrote.
  SimWindowsInstaller installer(reg, nullptr);
  std::wstring value;
  ASSERT_EQ(installer.GetProductInfo(kProduct, L"InstallLocation", 260, &value), err::kSuccess);
  EXPECT_EQ(value, kLocation);
  ASSERT_EQ(installer.EnumRelatedProducts(kUpgrade, 0, &value), err::kSuccess);
  EXPECT_EQ(value, kProduct);
}

TEST_F(MsiRegistrationTest, UninstallRemovesWhatWinesUninstallRemoves) {
  RegStore store;
  LoadFixture("registry.reg", &store);
  SimRegistry reg(store, false);
  for (const auto& line : FixtureList("files.txt")) {
    if (line.back() == '/') {
      fs::create_directories(dir_ / line);
    } else {
      test::WriteHostFile(dir_ / line, "MZ");
    }
  }
  MsiRegistration msi(reg, fs_, true);
  ASSERT_TRUE(msi.IsRegistered(kProduct));
  msi.Uninstall(kProduct);
  EXPECT_FALSE(msi.IsRegistered(kProduct));

  RegStore after;
  LoadFixture("registry-after-uninstall.reg", &after);
  const Flat ours = Flatten(store);
  const Flat wine = Flatten(after);
  EXPECT_EQ(KeysOf(ours), KeysOf(wine));
  EXPECT_EQ(ours, wine);
  EXPECT_EQ(VendorTree(), FixtureList("files-after-uninstall.txt"));

  SimWindowsInstaller installer(reg, nullptr);
  std::wstring code;
  EXPECT_EQ(installer.EnumProducts(0, &code), err::kNoMoreItems);
  EXPECT_EQ(installer.EnumRelatedProducts(kUpgrade, 0, &code), err::kNoMoreItems);
  EXPECT_EQ(installer.GetProductInfo(kProduct, L"ProductName", 260, &code), err::kUnknownProduct);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(MsiRegistrationTest, ASharedComponentKeepsItsFileAndRelatedProductsShareAnUpgradeCode) {
  RegStore store;
  SimRegistry reg(store, false);
  MsiRegistration msi(reg, fs_, false);
  const std::wstring shared = L"{AAAAAAAA-0000-4000-8000-000000000001}";
  ProductSpec first;
  first.productCode = L"{10000000-0000-4000-8000-000000000001}";
  first.upgradeCode = kUpgrade;
  first.name = L"First";
  first.version = L"1.0.0.0";
  first.components = {
      ComponentSpec{shared, L"C:\\Program Files\\Common\\shared.dll", "MZ"},
      ComponentSpec{L"{AAAAAAAA-0000-4000-8000-000000000002}", L"C:\\Program Files\\First\\one.exe", "MZ"},
      ComponentSpec{L"{AAAAAAAA-0000-4000-8000-000000000003}", L"02:\\Software\\Vendor\\First\\Path", "p"}};
  ProductSpec second = first;
  second.productCode = L"{20000000-0000-4000-8000-000000000002}";
  second.name = L"Second";
  second.components = {
      ComponentSpec{shared, L"C:\\Program Files\\Common\\shared.dll", "MZ"},
      ComponentSpec{L"{AAAAAAAA-0000-4000-8000-000000000004}", L"02:\\Software\\Vendor\\Second\\Path", "q"}};
  ASSERT_TRUE(msi.Register(first));
  ASSERT_TRUE(msi.Register(second));

  SimWindowsInstaller installer(reg, nullptr);
  std::set<std::wstring> related;
  std::wstring code;
  for (std::uint32_t i = 0; installer.EnumRelatedProducts(kUpgrade, i, &code) == err::kSuccess; ++i)
    related.insert(code);
  EXPECT_EQ(related, (std::set<std::wstring>{first.productCode, second.productCode}));
  EXPECT_TRUE(KeyExists(reg, kHkeyLocalMachine,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + first.productCode))
      << "a 32-bit machine has no Wow6432Node";

  msi.Uninstall(first.productCode);
  EXPECT_TRUE(fs::exists(C("Program Files/Common/shared.dll"))) << "the second product still uses it";
  EXPECT_FALSE(fs::exists(C("Program Files/First"))) << "the component's folder goes when emptied";
  EXPECT_TRUE(fs::exists(C("Program Files"))) << "but nothing above it";
  EXPECT_FALSE(KeyExists(reg, kHkeyLocalMachine, L"Software\\Vendor\\First"));
  EXPECT_TRUE(KeyExists(reg, kHkeyLocalMachine, L"Software\\Vendor\\Second"));
  // The shared component now names only the second product.
  EXPECT_EQ(ValueNames(reg, kHkeyLocalMachine, ml::ComponentKey(shared)),
            (std::vector<std::wstring>{ml::PackGuid(second.productCode)}));
  EXPECT_EQ(ValueNames(reg, kHkeyLocalMachine, ml::UpgradeCodeKey(kUpgrade)),
            (std::vector<std::wstring>{ml::PackGuid(second.productCode)}));

  msi.Uninstall(second.productCode);
  EXPECT_FALSE(fs::exists(C("Program Files/Common")));
  EXPECT_FALSE(KeyExists(reg, kHkeyLocalMachine, ml::ComponentKey(shared)));
  EXPECT_FALSE(KeyExists(reg, kHkeyLocalMachine, ml::UpgradeCodeKey(kUpgrade)));
  EXPECT_FALSE(KeyExists(reg, kHkeyLocalMachine, ml::ClassesUpgradeCodeKey(kUpgrade)));
  EXPECT_FALSE(KeyExists(reg, kHkeyLocalMachine, L"Software\\Vendor"));
  EXPECT_TRUE(KeyExists(reg, kHkeyLocalMachine, ml::kProductsKey)) << "container keys stay";
  EXPECT_EQ(installer.EnumProducts(0, &code), err::kNoMoreItems);
}

TEST_F(MsiRegistrationTest, ZapRemovesTheRegistrationButLeavesFiles) {
  RegStore store;
  LoadFixture("registry.reg", &store);
  SimRegistry reg(store, false);
  test::WriteHostFile(C("Program Files (x86)/ZENTA Technologies/Fixture/Fixture.dll"), "MZ");
  MsiRegistration msi(reg, fs_, true);
  msi.Zap(kProduct);
  EXPECT_FALSE(msi.IsRegistered(kProduct));
  EXPECT_TRUE(fs::exists(C("Program Files (x86)/ZENTA Technologies/Fixture/Fixture.dll")));
  EXPECT_TRUE(SubKeyNames(reg, kHkeyLocalMachine, ml::ComponentsRoot()).empty());
  EXPECT_FALSE(KeyExists(reg, kHkeyLocalMachine, ml::UninstallKey(kProduct, true)));
  EXPECT_FALSE(KeyExists(reg, kHkeyLocalMachine, ml::UserDataProductKey(kProduct)));
  EXPECT_FALSE(KeyExists(reg, kHkeyLocalMachine, ml::UpgradeCodeKey(kUpgrade)));
  EXPECT_FALSE(KeyExists(reg, kHkeyLocalMachine, ml::FeaturesKey(kProduct)));
}

TEST_F(MsiRegistrationTest, UninstallGivesBackItsSharedDllReferences) {
  // As Wine's msiexec does, in the view of the 32-bit package.
  RegStore store;
  LoadFixture("registry.reg", &store);
  SimRegistry reg(store, false);
  test::WriteHostFile(C("Program Files (x86)/ZENTA Technologies/Fixture/Fixture.dll"), "MZ");
  const std::wstring sharedDlls = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
  const std::wstring file = L"C:\\Program Files (x86)\\ZENTA Technologies\\Fixture\\Fixture.dll";
  WriteDword(reg, kHkeyLocalMachine, sharedDlls, file, 2);
  WriteDword(reg, kHkeyLocalMachine, sharedDlls, L"C:\\Other\\other.dll", 1);
  MsiRegistration msi(reg, fs_, true);
  msi.Uninstall(kProduct);
  EXPECT_EQ(ReadDword(reg, kHkeyLocalMachine, sharedDlls, file), 1u);
  EXPECT_EQ(ReadDword(reg, kHkeyLocalMachine, sharedDlls, L"C:\\Other\\other.dll"), 1u);

  LoadFixture("registry.reg", &store);
  test::WriteHostFile(C("Program Files (x86)/ZENTA Technologies/Fixture/Fixture.dll"), "MZ");
  WriteDword(reg, kHkeyLocalMachine, sharedDlls, file, 1);
  msi.Uninstall(kProduct);
  EXPECT_FALSE(ReadDword(reg, kHkeyLocalMachine, sharedDlls, file));
}

// One product per context: per machine, the administrator's unmanaged and
// managed, and another account's unmanaged, all of one upgrade code.
class PerUserContexts : public MsiRegistrationTest {
 protected:
  static constexpr const wchar_t* kOther = L"S-1-5-21-1004336348-1177238915-682003330-1002";

  PerUserContexts() {
    EXPECT_TRUE(store_.BindCurrentUser(kDemoAdministratorSid, nullptr));
    const ml::Place places[] = {ml::Place::Machine(), ml::Place::Unmanaged(kDemoAdministratorSid),
                                ml::Place::Managed(kDemoAdministratorSid), ml::Place::Unmanaged(kOther)};
    for (int i = 0; i < 4; ++i) {
      ProductSpec p;
      p.productCode = L"{1000000" + std::to_wstring(i) + L"-0000-4000-8000-000000000001}";
      p.upgradeCode = kUpgrade;
      p.name = L"Product " + std::to_wstring(i);
      p.publisher = L"ZENTA Technologies Inc";
      p.version = L"1.0.0.0";
      p.installLocation = L"C:\\Apps\\P" + std::to_wstring(i) + L"\\";
      p.components = {ComponentSpec{L"{AAAAAAAA-0000-4000-8000-00000000000" + std::to_wstring(i) + L"}",
                                    p.installLocation + L"p.exe", "MZ"},
                      ComponentSpec{L"{BBBBBBBB-0000-4000-8000-00000000000" + std::to_wstring(i) + L"}",
                                    L"01:\\Software\\Vendor\\P" + std::to_wstring(i) + L"\\Path", "v"}};
      p.place = places[i];
      EXPECT_TRUE(msi_.Register(p));
      codes_.push_back(p.productCode);
    }
  }

  std::vector<std::wstring> Listed(bool related) {
    std::vector<std::wstring> out;
    std::wstring code;
    for (std::uint32_t i = 0; (related ? installer_.EnumRelatedProducts(kUpgrade, i, &code)
                                       : installer_.EnumProducts(i, &code)) == err::kSuccess;
         ++i) {
      out.push_back(code);
    }
    return out;
  }

  RegStore store_;
  SimRegistry reg_{store_, false};
  MsiRegistration msi_{reg_, fs_, false, kDemoAdministratorSid};
  SimWindowsInstaller installer_{reg_, kDemoAdministratorSid, nullptr};
  std::vector<std::wstring> codes_;
};

TEST_F(PerUserContexts, TheAccountSeesItsOwnContextsAndEveryonesListsAll) {
  const std::vector<std::wstring> own{codes_[0], codes_[1], codes_[2]};
  EXPECT_EQ(Listed(false), own) << "per machine, unmanaged, managed: the order Windows Installer lists them in";
  EXPECT_EQ(Listed(true), own);
  for (int i = 0; i < 3; ++i) {
    std::wstring value;
    EXPECT_EQ(installer_.GetProductInfo(codes_[i], L"InstallLocation", 260, &value), err::kSuccess);
    EXPECT_EQ(value, L"C:\\Apps\\P" + std::to_wstring(i) + L"\\");
  }
  std::wstring value;
  EXPECT_EQ(installer_.GetProductInfo(codes_[3], L"ProductName", 260, &value), err::kUnknownProduct);

  std::vector<InstalledEntry> everyone;
  InstalledEntry entry;
  for (std::uint32_t i = 0; installer_.EnumEveryonesProducts(i, &entry) == err::kSuccess; ++i)
    everyone.push_back(entry);
  ASSERT_EQ(everyone.size(), 4u);
  EXPECT_EQ(everyone[0].context, InstallContext::kMachine);
  EXPECT_EQ(everyone[0].sid, L"");
  EXPECT_EQ(everyone[1].context, InstallContext::kUserUnmanaged);
  EXPECT_EQ(everyone[1].sid, kDemoAdministratorSid);
  EXPECT_EQ(everyone[2].context, InstallContext::kUserUnmanaged);
  EXPECT_EQ(everyone[2].sid, kOther);
  EXPECT_EQ(everyone[3].context, InstallContext::kUserManaged);
  EXPECT_EQ(installer_.GetProductInfoEx(everyone[2], L"ProductName", 260, &value), err::kSuccess);
  EXPECT_EQ(value, L"Product 3");
  EXPECT_EQ(installer_.GetProductInfoEx(InstalledEntry{codes_[3], InstallContext::kUserManaged, kOther}, L"ProductName",
                                        260, &value),
            err::kUnknownProduct);
}

TEST_F(PerUserContexts, MsiexecRemovesTheAccountsOwnProductWholeAndNeverAnotherAccounts) {
  msi_.Uninstall(codes_[1]);
  EXPECT_FALSE(fs::exists(C("Apps/P1")));
  EXPECT_FALSE(KeyExists(reg_, kHkeyCurrentUser, L"Software\\Vendor\\P1"));
  const ml::Place mine = ml::Place::Unmanaged(kDemoAdministratorSid);
  for (const auto& key :
       {ml::ProductKey(codes_[1], mine), ml::FeaturesKey(codes_[1], mine), ml::UninstallKey(codes_[1], mine, false)}) {
    EXPECT_FALSE(KeyExists(reg_, key.root, key.path)) << ToUtf8(key.path);
  }
  EXPECT_FALSE(KeyExists(reg_, kHkeyLocalMachine, ml::UserDataProductKey(codes_[1], mine)));
  EXPECT_EQ(
      ValueNames(reg_, kHkeyCurrentUser, L"Software\\Microsoft\\Installer\\UpgradeCodes\\" + ml::PackGuid(kUpgrade)),
      std::vector<std::wstring>{});

  // msiexec run by this account does not see another account's product.
  EXPECT_FALSE(msi_.IsRegistered(codes_[3]));
  msi_.Uninstall(codes_[3]);
  msi_.Zap(codes_[3]);
  EXPECT_TRUE(fs::exists(C("Apps/P3/p.exe")));
  EXPECT_TRUE(KeyExists(reg_, kHkeyLocalMachine, ml::InstallPropertiesKey(codes_[3], ml::Place::Unmanaged(kOther))));

  // MSIZap takes a managed product's registration and leaves its files.
  msi_.Zap(codes_[2]);
  EXPECT_FALSE(msi_.IsRegistered(codes_[2]));
  EXPECT_TRUE(fs::exists(C("Apps/P2/p.exe")));
  EXPECT_TRUE(
      SubKeyNames(reg_, kHkeyLocalMachine, ml::ComponentsRoot(ml::Place::Managed(kDemoAdministratorSid))).empty());
}

}  // namespace
}  // namespace zc::sim
