#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/proxy.h"
#include "platform/sim/faults.h"
#include "platform/sim/reg_store.h"
#include "platform/sim/sim_registry.h"
#include "platform/text.h"

namespace zc::sim {
namespace {

std::vector<std::uint8_t> Dword(std::uint32_t n) {
  return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
          static_cast<std::uint8_t>(n >> 24)};
}

class SimRegistryTest : public ::testing::Test {
 protected:
  SimRegistryTest() : registry_(store_, false) {
    RegKey* vendor = store_.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor");
    vendor->SetString(L"Name", L"Quillo");  // 7 units with the NUL: 14 bytes
    vendor->SetDword(L"Count", 3);
    vendor->SetValue(L"LongerValueName", regtype::kBinary, std::vector<std::uint8_t>(40, 0xAB));
    store_.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor\\beta");
    store_.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor\\Alpha");
    store_.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor\\Gamma\\Deep");
  }

  HKey Open(std::wstring_view path, RegAccess access = RegAccess::kRead) {
    HKey key{};
    EXPECT_EQ(registry_.OpenKey(kHkeyLocalMachine, path, access, &key), 0u) << ToUtf8(path);
    return key;
  }

  RegStore store_;
  SimRegistry registry_;
};

TEST_F(SimRegistryTest, MissingKeysAndValuesGiveTwo) {
  HKey key{0x1234};
  EXPECT_EQ(registry_.OpenKey(kHkeyLocalMachine, L"SOFTWARE\\Nobody", RegAccess::kRead, &key), 2u);
  EXPECT_EQ(key, HKey{});
  HKey vendor = Open(L"software\\VENDOR");
  std::uint32_t size = 0;
  EXPECT_EQ(registry_.QueryValue(vendor, L"Nothing", nullptr, nullptr, &size), 2u);
  EXPECT_EQ(registry_.QueryValue(vendor, L"", nullptr, nullptr, &size), 2u);  // no default value
  EXPECT_EQ(registry_.DeleteValue(Open(L"SOFTWARE\\Vendor", RegAccess::kAllAccess), L"Nothing"), 2u);
  EXPECT_EQ(registry_.OpenKey(kHkeyLocalMachine, L"SOFTWARE\\\\Vendor", RegAccess::kRead, &key), err::kBadPathname);
}

TEST_F(SimRegistryTest, QueryValueSizesAndShortBuffers) {
  HKey key = Open(L"SOFTWARE\\Vendor");
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  ASSERT_EQ(registry_.QueryValue(key, L"name", &type, nullptr, &size), 0u);  // size only
  EXPECT_EQ(type, regtype::kSz);
  EXPECT_EQ(size, 14u);

  std::uint8_t buffer[64] = {};
  size = 13;
  EXPECT_EQ(registry_.QueryValue(key, L"Name", &type, buffer, &size), err::kMoreData);
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(buffer[0], 0);  // nothing written on 234
  size = 14;
  ASSERT_EQ(registry_.QueryValue(key, L"Name", nullptr, buffer, &size), 0u);
  EXPECT_EQ(FromUtf16Le(buffer, 12), L"Quillo");

  size = sizeof buffer;
  ASSERT_EQ(registry_.QueryValue(key, L"Count", &type, buffer, &size), 0u);
  EXPECT_EQ(type, regtype::kDword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(buffer[0], 3);
  EXPECT_EQ(registry_.QueryValue(key, L"Count", nullptr, buffer, nullptr), err::kInvalidParameter);
}

TEST_F(SimRegistryTest, InfoCountsValuesAndLongestName) {
  RegKeyInfo info;
  ASSERT_EQ(registry_.QueryInfoKey(Open(L"SOFTWARE\\Vendor"), &info), 0u);
  EXPECT_EQ(info.subKeys, 3u);
  EXPECT_EQ(info.maxSubKeyNameLength, 5u);
  EXPECT_EQ(info.values, 3u);
  EXPECT_EQ(info.maxValueNameLength, 15u);
  EXPECT_EQ(info.maxValueDataSize, 40u);
}

TEST_F(SimRegistryTest, EnumerationOrderAndLimits) {
  HKey key = Open(L"SOFTWARE\\Vendor");
  std::wstring name;
  std::vector<std::wstring> keys;
  for (std::uint32_t i = 0; registry_.EnumKey(key, i, &name) == 0; ++i) keys.push_back(name);
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"Alpha", L"beta", L"Gamma"}));
  EXPECT_EQ(registry_.EnumKey(key, 3, &name), err::kNoMoreItems);

  std::vector<std::wstring> values;
  for (std::uint32_t i = 0; registry_.EnumValue(key, i, 256, &name, nullptr, nullptr, nullptr) == 0; ++i) {
    values.push_back(name);
  }
  EXPECT_EQ(values, (std::vector<std::wstring>{L"Name", L"Count", L"LongerValueName"}));
  EXPECT_EQ(registry_.EnumValue(key, 3, 256, &name, nullptr, nullptr, nullptr), err::kNoMoreItems);

  // "Count" needs 6 characters with its terminator.
  EXPECT_EQ(registry_.EnumValue(key, 1, 5, &name, nullptr, nullptr, nullptr), err::kMoreData);
  EXPECT_EQ(registry_.EnumValue(key, 1, 6, &name, nullptr, nullptr, nullptr), 0u);
  std::uint8_t data[4] = {};
  std::uint32_t size = sizeof data;
  std::uint32_t type = 0;
  EXPECT_EQ(registry_.EnumValue(key, 2, 256, &name, &type, data, &size), err::kMoreData);
  EXPECT_EQ(size, 40u);
  size = sizeof data;
  ASSERT_EQ(registry_.EnumValue(key, 1, 256, &name, &type, data, &size), 0u);
  EXPECT_EQ(name, L"Count");
  EXPECT_EQ(type, regtype::kDword);
  EXPECT_EQ(data[0], 3);
}

// The shared-DLL walk: enumerate by index, delete some values, and do not
// advance the index after a deletion.
TEST_F(SimRegistryTest, DeletingWhileEnumeratingShiftsIndices) {
  HKey key{};
  ASSERT_EQ(registry_.CreateKey(kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", &key),
            0u);
  for (std::uint32_t i = 0; i < 1000; ++i) {
    const std::wstring file = (i % 3 == 0 ? L"C:\\Vendor\\f" : L"C:\\Other\\f") + std::to_wstring(i);
    const auto count = Dword(i);
    ASSERT_EQ(registry_.SetValue(key, file, regtype::kDword, count.data(), 4), 0u);
  }
  std::uint32_t index = 0;
  std::wstring name;
  std::uint8_t data[4];
  std::uint32_t size = 4;
  std::uint32_t deleted = 0;
  while (registry_.EnumValue(key, index, 16384, &name, nullptr, data, &(size = 4)) == 0) {
    if (StartsWithNoCase(name, L"c:\\vendor\\")) {
      ASSERT_EQ(registry_.DeleteValue(key, name), 0u);
      ++deleted;
    } else {
      ++index;
    }
  }
  EXPECT_EQ(deleted, 334u);
  RegKeyInfo info;
  ASSERT_EQ(registry_.QueryInfoKey(key, &info), 0u);
  EXPECT_EQ(info.values, 666u);
  ASSERT_EQ(registry_.EnumValue(key, 0, 16384, &name, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(name, L"C:\\Other\\f1");
  ASSERT_EQ(registry_.EnumValue(key, 665, 16384, &name, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(name, L"C:\\Other\\f998");
}

TEST_F(SimRegistryTest, HandleNumbersAreDeterministic) {
  HKey first = Open(L"SOFTWARE");
  HKey second = Open(L"SOFTWARE\\Vendor");
  HKey third = Open(L"SOFTWARE\\Vendor\\Alpha");
  EXPECT_EQ(first.value, 0xA4u);
  EXPECT_EQ(second.value, 0xA8u);
  EXPECT_EQ(third.value, 0xACu);
  EXPECT_EQ(registry_.CloseKey(second), 0u);
  EXPECT_EQ(registry_.CloseKey(first), 0u);
  EXPECT_EQ(Open(L"SOFTWARE").value, 0xA4u);  // lowest free number first
  EXPECT_EQ(Open(L"SOFTWARE").value, 0xA8u);
  EXPECT_EQ(Open(L"SOFTWARE").value, 0xB0u);
  EXPECT_EQ(registry_.OpenHandleCount(), 4u);

  EXPECT_EQ(registry_.CloseKey(third), 0u);
  EXPECT_EQ(registry_.CloseKey(third), err::kInvalidHandle);
  RegKeyInfo info;
  EXPECT_EQ(registry_.QueryInfoKey(third, &info), err::kInvalidHandle);
  EXPECT_EQ(registry_.QueryInfoKey(HKey{0x12345}, &info), err::kInvalidHandle);
  EXPECT_EQ(registry_.CloseKey(kHkeyLocalMachine), 0u);

  // The owner closes what it holds.
  {
    UniqueRegKey owned(registry_);
    ASSERT_EQ(registry_.OpenKey(kHkeyLocalMachine, L"SOFTWARE", RegAccess::kRead, owned.put()), 0u);
    EXPECT_EQ(owned.get().value, 0xACu);
    EXPECT_EQ(registry_.OpenHandleCount(), 4u);
  }
  EXPECT_EQ(registry_.OpenHandleCount(), 3u);
}

TEST_F(SimRegistryTest, DeleteTreeAndHandlesOnDeletedKeys) {
  HKey deep = Open(L"SOFTWARE\\Vendor\\Gamma\\Deep", RegAccess::kAllAccess);
  EXPECT_EQ(registry_.DeleteTree(kHkeyLocalMachine, L"SOFTWARE\\Vendor\\Gamma"), 0u);
  EXPECT_EQ(registry_.DeleteTree(kHkeyLocalMachine, L"SOFTWARE\\Vendor\\Gamma"), 2u);
  HKey gone{};
  EXPECT_EQ(registry_.OpenKey(kHkeyLocalMachine, L"SOFTWARE\\Vendor\\Gamma", RegAccess::kRead, &gone), 2u);

  const auto one = Dword(1);
  EXPECT_EQ(registry_.SetValue(deep, L"v", regtype::kDword, one.data(), 4), err::kKeyDeleted);
  RegKeyInfo info;
  EXPECT_EQ(registry_.QueryInfoKey(deep, &info), err::kKeyDeleted);
  HKey child{};
  EXPECT_EQ(registry_.CreateKey(deep, L"Child", &child), err::kKeyDeleted);
  // A key created again at the same path is another key.
  ASSERT_EQ(registry_.CreateKey(kHkeyLocalMachine, L"SOFTWARE\\Vendor\\Gamma\\Deep", &child), 0u);
  EXPECT_EQ(registry_.QueryInfoKey(deep, &info), err::kKeyDeleted);
  EXPECT_EQ(registry_.CloseKey(deep), 0u);

  // Relative to an open key, and the open key itself with an empty path.
  HKey vendor = Open(L"SOFTWARE\\Vendor");
  EXPECT_EQ(registry_.DeleteTree(vendor, L"Alpha"), 0u);
  EXPECT_EQ(store_.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor\\Alpha"), nullptr);
  EXPECT_EQ(registry_.DeleteTree(vendor, L""), 0u);
  EXPECT_EQ(store_.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor"), nullptr);

  EXPECT_EQ(registry_.DeleteTree(kHkeyLocalMachine, L""), err::kAccessDenied);
  EXPECT_EQ(registry_.DeleteTree(kHkeyClassesRoot, L""), err::kAccessDenied);
}

TEST_F(SimRegistryTest, WritesNeedAWritableHandle) {
  HKey readOnly = Open(L"SOFTWARE\\Vendor", RegAccess::kRead);
  const auto one = Dword(1);
  EXPECT_EQ(registry_.SetValue(readOnly, L"v", regtype::kDword, one.data(), 4), err::kAccessDenied);
  EXPECT_EQ(registry_.DeleteValue(readOnly, L"Count"), err::kAccessDenied);
  HKey created{};
  EXPECT_EQ(registry_.CreateKey(readOnly, L"New", &created), err::kAccessDenied);

  HKey full = Open(L"SOFTWARE\\Vendor", RegAccess::kDefault);
  EXPECT_EQ(registry_.SetValue(full, L"v", regtype::kDword, one.data(), 4), 0u);
  EXPECT_EQ(store_.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor")->GetDword(L"v"), 1u);
  EXPECT_EQ(registry_.DeleteValue(full, L"COUNT"), 0u);
  EXPECT_EQ(registry_.SetValue(full, L"bad", regtype::kBinary, nullptr, 3), err::kInvalidParameter);
  EXPECT_EQ(registry_.CreateKey(full, std::wstring(256, L'x'), &created), err::kInvalidParameter);
  EXPECT_EQ(store_.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor")->SubKeyCount(), 3u);
}

TEST_F(SimRegistryTest, ClassesRootAndCurrentConfigAreKeysOfLocalMachine) {
  HKey key{};
  // Not there yet: HKEY_CLASSES_ROOT behaves as an empty key.
  std::wstring name;
  EXPECT_EQ(registry_.EnumKey(kHkeyClassesRoot, 0, &name), err::kNoMoreItems);
  ASSERT_EQ(registry_.CreateKey(kHkeyClassesRoot, L"Installer\\Products\\ABC", &key), 0u);
  EXPECT_NE(store_.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Classes\\Installer\\Products\\ABC"), nullptr);
  EXPECT_EQ(registry_.OpenKey(kHkeyClassesRoot, L"installer\\products\\abc", RegAccess::kRead, &key), 0u);
  EXPECT_EQ(registry_.EnumKey(kHkeyClassesRoot, 0, &name), 0u);
  EXPECT_EQ(name, L"Installer");

  const auto one = Dword(1);
  ASSERT_EQ(registry_.SetValue(kHkeyCurrentConfig, L"Flag", regtype::kDword, one.data(), 4), 0u);
  EXPECT_EQ(
      store_.FindKey(Hive::kLocalMachine, L"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current")->GetDword(L"Flag"),
      1u);
  EXPECT_EQ(registry_.CreateKey(kHkeyCurrentUser, L"Software\\X", &key), 0u);
  EXPECT_NE(store_.FindKey(Hive::kCurrentUser, L"Software\\X"), nullptr);
}

class Wow64RegistryTest : public ::testing::Test {
 protected:
  Wow64RegistryTest() : view32_(store_, true), view64_(store_, false) {
    store_.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A}")
        ->SetString(L"DisplayName", L"64-bit entry");
    store_.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A}")
        ->SetString(L"DisplayName", L"32-bit entry");
    store_.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tool.exe")
        ->SetString(L"", L"C:\\tool.exe");
    store_.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls")
        ->SetDword(L"C:\\64.dll", 1);
  }

  std::wstring Read(SimRegistry& registry, HKey root, std::wstring_view path, std::wstring_view name) {
    UniqueRegKey key(registry);
    if (registry.OpenKey(root, path, RegAccess::kRead, key.put()) != 0) return L"<no key>";
    std::uint8_t buffer[256] = {};
    std::uint32_t size = sizeof buffer;
    if (registry.QueryValue(key.get(), name, nullptr, buffer, &size) != 0) return L"<no value>";
    return FromUtf16Le(buffer, size >= 2 ? size - 2 : 0);
  }

  RegStore store_;
  SimRegistry view32_;
  SimRegistry view64_;
};

TEST_F(Wow64RegistryTest, SoftwareIsRedirectedExceptSharedKeys) {
  const std::wstring uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A}";
  EXPECT_EQ(Read(view32_, kHkeyLocalMachine, uninstall, L"DisplayName"), L"32-bit entry");
  EXPECT_EQ(Read(view64_, kHkeyLocalMachine, uninstall, L"DisplayName"), L"64-bit entry");
  // Shared: App Paths is one key for both views.
  EXPECT_EQ(Read(view32_, kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tool.exe", L""),
            L"C:\\tool.exe");
  // SharedDlls is not shared: the 32-bit view has its own (absent here).
  EXPECT_EQ(
      Read(view32_, kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", L"C:\\64.dll"),
      L"<no key>");
  // A name that already says WOW6432Node is not redirected twice.
  EXPECT_EQ(Read(view32_, kHkeyLocalMachine,
                 L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A}", L"DisplayName"),
            L"32-bit entry");
}

TEST_F(Wow64RegistryTest, RelativePathsAreRedirectedAsAWhole) {
  HKey software{};
  ASSERT_EQ(view32_.OpenKey(kHkeyLocalMachine, L"SOFTWARE", RegAccess::kRead, &software), 0u);
  EXPECT_EQ(Read(view32_, software, L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A}", L"DisplayName"),
            L"32-bit entry");
  EXPECT_EQ(Read(view32_, software, L"Microsoft\\Windows\\CurrentVersion\\App Paths\\tool.exe", L""), L"C:\\tool.exe");

  HKey created{};
  ASSERT_EQ(view32_.CreateKey(kHkeyLocalMachine, L"SOFTWARE\\Vendor\\Product", &created), 0u);
  EXPECT_NE(store_.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Wow6432Node\\Vendor\\Product"), nullptr);
  EXPECT_EQ(store_.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor"), nullptr);
  EXPECT_EQ(view32_.DeleteTree(kHkeyLocalMachine, L"SOFTWARE\\Vendor"), 0u);
  EXPECT_EQ(store_.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Wow6432Node\\Vendor"), nullptr);
  // HKEY_CLASSES_ROOT is shared.
  ASSERT_EQ(view32_.CreateKey(kHkeyClassesRoot, L".zc", &created), 0u);
  EXPECT_NE(store_.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Classes\\.zc"), nullptr);
}

TEST(SimRegistryFaults, InjectedErrorsUseTheCallersNames) {
  RegStore store;
  store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Wow6432Node\\X")->SetDword(L"Count", 2);
  FaultPlan plan;
  plan.RecordCalls(true);
  SimRegistry registry(store, true, &plan);
  plan.Add({"RegQueryValue", L"HKEY_LOCAL_MACHINE\\Software\\X|count", 5, 1});
  plan.Add({"SHDeleteKey", L"*", 32, -1});

  HKey key{};
  ASSERT_EQ(registry.OpenKey(kHkeyLocalMachine, L"Software\\X", RegAccess::kAllAccess, &key), 0u);
  std::uint32_t size = 0;
  EXPECT_EQ(registry.QueryValue(key, L"Count", nullptr, nullptr, &size), 5u);
  EXPECT_EQ(registry.QueryValue(key, L"Count", nullptr, nullptr, &size), 0u);  // the rule was used up
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(registry.DeleteTree(kHkeyLocalMachine, L"Software\\X"), 32u);
  EXPECT_NE(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Wow6432Node\\X"), nullptr);

  RegKeyInfo info;
  std::wstring name;
  HKey sub{};
  const auto one = Dword(1);
  registry.QueryInfoKey(key, &info);
  registry.EnumValue(key, 0, 100, &name, nullptr, nullptr, nullptr);
  registry.EnumKey(key, 0, &name);
  registry.SetValue(key, L"New", regtype::kDword, one.data(), 4);
  registry.DeleteValue(key, L"New");
  registry.CreateKey(key, L"Sub", &sub);
  registry.OpenKey(kHkeyClassesRoot, L".txt", RegAccess::kRead, &sub);

  const std::vector<std::pair<sim::FaultOperation, std::wstring>> expected = {
      {"RegOpenKey", L"HKEY_LOCAL_MACHINE\\Software\\X"},
      {"RegQueryValue", L"HKEY_LOCAL_MACHINE\\Software\\X|Count"},
      {"RegQueryValue", L"HKEY_LOCAL_MACHINE\\Software\\X|Count"},
      {"SHDeleteKey", L"HKEY_LOCAL_MACHINE\\Software\\X"},
      {"RegQueryInfoKey", L"HKEY_LOCAL_MACHINE\\Software\\X"},
      {"RegEnumValue", L"HKEY_LOCAL_MACHINE\\Software\\X"},
      {"RegEnumKey", L"HKEY_LOCAL_MACHINE\\Software\\X"},
      {"RegSetValue", L"HKEY_LOCAL_MACHINE\\Software\\X|New"},
      {"RegDeleteValue", L"HKEY_LOCAL_MACHINE\\Software\\X|New"},
      {"RegCreateKey", L"HKEY_LOCAL_MACHINE\\Software\\X\\Sub"},
      {"RegOpenKey", L"HKEY_CLASSES_ROOT\\.txt"},
  };
  EXPECT_EQ(plan.recorded(), expected);
}

// A test double that fails exactly one kind of call and forwards the rest.
class FailingDeleteValue : public ProxyRegistry {
 public:
  using ProxyRegistry::ProxyRegistry;
  WinError DeleteValue(HKey, std::wstring_view) override {
    ++calls;
    return err::kAccessDenied;
  }
  int calls = 0;
};

TEST(ProxyRegistry, ForwardsAllButTheOverriddenCall) {
  RegStore store;
  store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\X")->SetDword(L"v", 9);
  SimRegistry registry(store, false);
  FailingDeleteValue proxy(registry);
  HKey key{};
  ASSERT_EQ(proxy.OpenKey(kHkeyLocalMachine, L"SOFTWARE\\X", RegAccess::kAllAccess, &key), 0u);
  EXPECT_EQ(key.value, SimRegistry::kFirstHandle);
  RegKeyInfo info;
  ASSERT_EQ(proxy.QueryInfoKey(key, &info), 0u);
  EXPECT_EQ(info.values, 1u);
  EXPECT_EQ(proxy.DeleteValue(key, L"v"), err::kAccessDenied);
  EXPECT_EQ(proxy.calls, 1);
  EXPECT_NE(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\X")->FindValue(L"v"), nullptr);
  EXPECT_EQ(proxy.DeleteTree(kHkeyLocalMachine, L"SOFTWARE\\X"), 0u);
  EXPECT_EQ(proxy.CloseKey(key), 0u);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace zc::sim
