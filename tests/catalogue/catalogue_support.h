// Small helpers shared by the catalogue tests: product codes whose
// enumeration order is known, product registration, the application over
// a scenario machine with its log open.
#pragma once

#include <string>

#include "catalogue/families.h"
#include "platform/sim/installer_layout.h"
#include "platform/sim/registry_util.h"
#include "support/scenario.h"

namespace zc::test {

// Windows Installer lists products by their packed code; the packed code
// begins with the last digit of the first group, so Code(1) is listed
// before Code(2), and so on (n from 1 to 15).
inline std::wstring Code(int n) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  return std::wstring(L"{0000000") + kHex[n & 0xF] + L"-1A2B-4C3D-8E4F-5A6B7C8D9E0F}";
}

inline constexpr const wchar_t* kVendor = L"ZENTA Technologies Inc.";
inline constexpr const wchar_t* kLogPath = L"C:\\t.log";

inline sim::ProductSpec Product(int n, const std::wstring& name, const std::wstring& version,
                                const std::wstring& location = L"", const std::wstring& publisher = kVendor,
                                const std::wstring& upgradeCode = L"") {
  sim::ProductSpec p;
  p.productCode = Code(n);
  p.upgradeCode = upgradeCode;
  p.name = name;
  p.publisher = publisher;
  p.version = version;
  p.installLocation = location;
  return p;
}

inline const wchar_t* UpgradeCodeOf(int family) { return kProductFamilies[family].upgradeCode; }

// Takes one property of a registered product away, as a package that never
// set it would leave it.
inline void RemoveInstallProperty(ScenarioMachine& m, const std::wstring& code, const wchar_t* valueName) {
  sim::RemoveValue(m.machine().nativeRegistry(), kHkeyLocalMachine, sim::msilayout::InstallPropertiesKey(code),
                   valueName);
}

// Windows Installer passing every question on; a test overrides what it changes.
class ForwardingInstaller : public WindowsInstaller {
 public:
  explicit ForwardingInstaller(WindowsInstaller& target) : target_(target) {}
  WinError EnumProducts(std::uint32_t index, std::wstring* code) override { return target_.EnumProducts(index, code); }
  WinError GetProductInfo(std::wstring_view code, std::wstring_view property, std::uint32_t capacity,
                          std::wstring* value) override {
    return target_.GetProductInfo(code, property, capacity, value);
  }
  WinError EnumRelatedProducts(std::wstring_view upgradeCode, std::uint32_t index, std::wstring* code) override {
    return target_.EnumRelatedProducts(upgradeCode, index, code);
  }
  WinError EnumEveryonesProducts(std::uint32_t index, InstalledEntry* entry) override {
    return target_.EnumEveryonesProducts(index, entry);
  }
  WinError GetProductInfoEx(const InstalledEntry& entry, std::wstring_view property, std::uint32_t capacity,
                            std::wstring* value) override {
    return target_.GetProductInfoEx(entry, property, capacity, value);
  }

 protected:
  WindowsInstaller& target_;
};

// The application over the machine, its log open at kLogPath.
struct CatalogueApp {
  explicit CatalogueApp(ScenarioMachine& machine) : m(machine), app(machine.machine().platform()) {
    app.m_log.Open(m.machine().fs(), kLogPath);
  }
  std::string Log() {
    app.m_log.Close();
    return m.ReadFile(kLogPath);
  }
  ScenarioMachine& m;
  VEZEZERidivorOde app;
};

}  // namespace zc::test
