// Where Windows Installer keeps what it knows of a per-machine product, as
// Windows and Wine write it. The one place that knows GUID packing, key
// paths and value names; the simulated installer, the simulated msiexec and
// MSIZap, the demo machine and the tests all go through it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/installer.h"
#include "platform/registry.h"

namespace zc::sim::msilayout {

// {12345678-ABCD-EF01-2345-6789ABCDEF01} -> 87654321DCBA10FE32547698BADCFE10:
// the first three groups reversed, each byte of the last two swapped.
// Empty when the text is not a braced GUID.
std::wstring PackGuid(std::wstring_view guid);
// The 20-character form in which a feature lists its components
// (UserData\...\Products\<packed>\Features): the GUID's 16 bytes in memory
// order as four little-endian 32-bit words, each written as five base-85
// digits, least significant first. Empty when the text is not a braced GUID.
std::wstring CompressGuid(std::wstring_view guid);
// The inverse; nullopt for a text that is not 32 hexadecimal digits.
std::optional<std::wstring> UnpackGuid(std::wstring_view packed);
bool IsBracedGuid(std::wstring_view text);

// Key paths under HKEY_LOCAL_MACHINE, in the 64-bit (native) view.
inline constexpr const wchar_t* kProductsKey = L"Software\\Classes\\Installer\\Products";
inline constexpr const wchar_t* kFeaturesKey = L"Software\\Classes\\Installer\\Features";
inline constexpr const wchar_t* kClassesUpgradeCodesKey = L"Software\\Classes\\Installer\\UpgradeCodes";
inline constexpr const wchar_t* kUpgradeCodesKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes";
inline constexpr const wchar_t* kUserDataRoot = L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
inline constexpr const wchar_t* kUserDataKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18";
// The uninstall registration, as the product's own bitness sees it: a
// 32-bit package on 64-bit Windows writes it under Wow6432Node.
inline constexpr const wchar_t* kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr const wchar_t* kUninstallKeyWow64 =
    L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::wstring ProductKey(std::wstring_view productCode);             // Classes\Installer\Products\<packed>
std::wstring FeaturesKey(std::wstring_view productCode);            // Classes\Installer\Features\<packed>
std::wstring UserDataProductKey(std::wstring_view productCode);     // UserData\S-1-5-18\Products\<packed>
std::wstring InstallPropertiesKey(std::wstring_view productCode);   // ...\<packed>\InstallProperties
std::wstring UserDataFeaturesKey(std::wstring_view productCode);    // ...\<packed>\Features
std::wstring SourceListKey(std::wstring_view productCode);          // Classes\Installer\Products\<packed>\SourceList
std::wstring UpgradeCodeKey(std::wstring_view upgradeCode);         // Installer\UpgradeCodes\<packed>
std::wstring ClassesUpgradeCodeKey(std::wstring_view upgradeCode);  // Classes\Installer\UpgradeCodes\<packed>
std::wstring ComponentKey(std::wstring_view componentCode);         // UserData\S-1-5-18\Components\<packed>
std::wstring ComponentsRoot();                                      // UserData\S-1-5-18\Components
std::wstring UninstallKey(std::wstring_view productCode, bool wow64);

// Where a context keeps its products: per machine, or an account's per-user
// products, unmanaged (in the account's own hive) or managed (by policy,
// under HKLM). Windows and Wine write the same layout:
//   Products, Features, UpgradeCodes under
//     machine    HKLM\Software\Classes\Installer
//     unmanaged  HKU\<SID>\Software\Microsoft\Installer
//     managed    HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\Managed\<SID>\Installer
//   InstallProperties, Features, Components under
//     HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UserData\<SID or S-1-5-18>
struct Place {
  InstallContext context = InstallContext::kMachine;
  std::wstring sid;  // the account of a per-user product; empty per machine

  static Place Machine() { return {}; }
  static Place Unmanaged(std::wstring account) { return {InstallContext::kUserUnmanaged, std::move(account)}; }
  static Place Managed(std::wstring account) { return {InstallContext::kUserManaged, std::move(account)}; }
  bool perUser() const { return context != InstallContext::kMachine; }
};

// The root and path of the context's Installer key (Products, Features and
// UpgradeCodes are below it).
struct KeyAt {
  HKey root;
  std::wstring path;
};
KeyAt InstallerKey(const Place& place);
KeyAt ProductKey(std::wstring_view productCode, const Place& place);
KeyAt FeaturesKey(std::wstring_view productCode, const Place& place);
KeyAt UpgradeCodeKey(std::wstring_view upgradeCode, const Place& place);
// The uninstall registration: HKLM for a per-machine product (in the
// product's own view), the account's hive for a per-user one.
KeyAt UninstallKey(std::wstring_view productCode, const Place& place, bool wow64);
// Under HKLM: UserData\<SID>, its product key and its components.
std::wstring UserDataKey(const Place& place);
std::wstring UserDataProductKey(std::wstring_view productCode, const Place& place);
std::wstring InstallPropertiesKey(std::wstring_view productCode, const Place& place);
std::wstring UserDataFeaturesKey(std::wstring_view productCode, const Place& place);
std::wstring ComponentsRoot(const Place& place);
// Managed\ under HKLM, whose sub-keys are accounts.
inline constexpr const wchar_t* kManagedKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\Managed";
inline constexpr const wchar_t* kUserProductsBelowAccount = L"Software\\Microsoft\\Installer\\Products";

// Where MsiGetProductInfoW finds a property: the value name and whether it
// lives under the Products key (else InstallProperties).
struct PropertyLocation {
  const wchar_t* valueName;
  bool inProductsKey;
};
std::optional<PropertyLocation> LocateProperty(std::wstring_view property);

// A component's key path "02:\Software\..." names a registry value
// (00 HKCR, 01 HKCU, 02 HKLM, 03 HKU; 2x the same in the 64-bit view);
// anything else with a drive is a file.
struct RegistryKeyPath {
  int root = 0;  // 0..3 as above
  bool view64 = false;
  std::wstring keyPath;    // without the leading backslash
  std::wstring valueName;  // the last part
};
std::optional<RegistryKeyPath> ParseRegistryKeyPath(std::wstring_view componentPath);

}  // namespace zc::sim::msilayout
