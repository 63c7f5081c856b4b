#include "platform/sim/installer_layout.h"

#include <cstdint>
#include <cwctype>

namespace zc::sim::msilayout {

namespace {

bool IsHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f'); }

wchar_t Upper(wchar_t c) { return (c >= L'a' && c <= L'f') ? static_cast<wchar_t>(c - 32) : c; }

// Group lengths of a GUID's 32 digits and whether each is reversed whole
// (the first three) or pairwise (the rest).
constexpr int kGroups[] = {8, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};

std::wstring Reorder(std::wstring_view digits) {
  std::wstring out;
  std::size_t pos = 0;
  for (int length : kGroups) {
    for (int i = length - 1; i >= 0; --i) out.push_back(Upper(digits[pos + static_cast<std::size_t>(i)]));
    pos += static_cast<std::size_t>(length);
  }
  return out;
}

}  // namespace

bool IsBracedGuid(std::wstring_view t) {
  if (t.size() != 38 || t.front() != L'{' || t.back() != L'}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? t[i] != L'-' : !IsHex(t[i])) return false;
  }
  return true;
}

std::wstring PackGuid(std::wstring_view guid) {
  if (!IsBracedGuid(guid)) return {};
  std::wstring digits;
  for (wchar_t c : guid.substr(1, 36)) {
    if (c != L'-') digits.push_back(c);
  }
  return Reorder(digits);
}

std::wstring CompressGuid(std::wstring_view guid) {
  static constexpr wchar_t kDigits[] =
      L"!$%&'()*+,-.0123456789=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~";
  if (!IsBracedGuid(guid)) return {};
  // The packed form holds the bytes in memory order, each as its two hex digits swapped.
  const std::wstring packed = PackGuid(guid);
  std::uint8_t bytes[16];
  for (std::size_t i = 0; i < 16; ++i) {
    const auto nibble = [](wchar_t c) { return static_cast<unsigned>(c <= L'9' ? c - L'0' : c - L'A' + 10); };
    bytes[i] = static_cast<std::uint8_t>(nibble(packed[2 * i]) | (nibble(packed[2 * i + 1]) << 4));
  }
  std::wstring out;
  for (std::size_t w = 0; w < 4; ++w) {
    std::uint32_t word =
        static_cast<std::uint32_t>(bytes[4 * w]) | (static_cast<std::uint32_t>(bytes[4 * w + 1]) << 8) |
        (static_cast<std::uint32_t>(bytes[4 * w + 2]) << 16) | (static_cast<std::uint32_t>(bytes[4 * w + 3]) << 24);
    for (int d = 0; d < 5; ++d) {
      out.push_back(kDigits[word % 85]);
      word /= 85;
    }
  }
  return out;
}

std::optional<std::wstring> UnpackGuid(std::wstring_view packed) {
  if (packed.size() != 32) return std::nullopt;
  for (wchar_t c : packed) {
    if (!IsHex(c)) return std::nullopt;
  }
  const std::wstring d = Reorder(packed);  // the reordering is its own inverse
  return L"{" + d.substr(0, 8) + L"-" + d.substr(8, 4) + L"-" + d.substr(12, 4) + L"-" + d.substr(16, 4) + L"-" +
         d.substr(20, 12) + L"}";
}

std::wstring ProductKey(std::wstring_view code) { return std::wstring(kProductsKey) + L"\\" + PackGuid(code); }
std::wstring FeaturesKey(std::wstring_view code) { return std::wstring(kFeaturesKey) + L"\\" + PackGuid(code); }
std::wstring UserDataProductKey(std::wstring_view code) {
  return std::wstring(kUserDataKey) + L"\\Products\\" + PackGuid(code);
}
std::wstring InstallPropertiesKey(std::wstring_view code) { return UserDataProductKey(code) + L"\\InstallProperties"; }
std::wstring UserDataFeaturesKey(std::wstring_view code) { return UserDataProductKey(code) + L"\\Features"; }
std::wstring SourceListKey(std::wstring_view code) { return ProductKey(code) + L"\\SourceList"; }
std::wstring UpgradeCodeKey(std::wstring_view code) { return std::wstring(kUpgradeCodesKey) + L"\\" + PackGuid(code); }
std::wstring ClassesUpgradeCodeKey(std::wstring_view code) {
  return std::wstring(kClassesUpgradeCodesKey) + L"\\" + PackGuid(code);
}
std::wstring ComponentsRoot() { return std::wstring(kUserDataKey) + L"\\Components"; }
std::wstring ComponentKey(std::wstring_view code) { return ComponentsRoot() + L"\\" + PackGuid(code); }
std::wstring UninstallKey(std::wstring_view code, bool wow64) {
  return std::wstring(wow64 ? kUninstallKeyWow64 : kUninstallKey) + L"\\" + std::wstring(code);
}

KeyAt InstallerKey(const Place& place) {
  switch (place.context) {
    case InstallContext::kUserUnmanaged: return {kHkeyUsers, place.sid + L"\\Software\\Microsoft\\Installer"};
    case InstallContext::kUserManaged:
      return {kHkeyLocalMachine, std::wstring(kManagedKey) + L"\\" + place.sid + L"\\Installer"};
    case InstallContext::kMachine: break;
  }
  return {kHkeyLocalMachine, L"Software\\Classes\\Installer"};
}

namespace {

KeyAt Below(const Place& place, const wchar_t* kind, std::wstring_view guid) {
  KeyAt key = InstallerKey(place);
  key.path += L'\\';
  key.path += kind;
  key.path += L'\\';
  key.path += PackGuid(guid);
  return key;
}

}  // namespace

KeyAt ProductKey(std::wstring_view code, const Place& place) { return Below(place, L"Products", code); }
KeyAt FeaturesKey(std::wstring_view code, const Place& place) { return Below(place, L"Features", code); }
KeyAt UpgradeCodeKey(std::wstring_view code, const Place& place) {
  // Per machine, Windows Installer's own list is the one it reads; the copy
  // under Classes is written beside it.
  if (!place.perUser()) return {kHkeyLocalMachine, UpgradeCodeKey(code)};
  return Below(place, L"UpgradeCodes", code);
}
KeyAt UninstallKey(std::wstring_view code, const Place& place, bool wow64) {
  if (!place.perUser()) return {kHkeyLocalMachine, UninstallKey(code, wow64)};
  return {kHkeyUsers, place.sid + L"\\" + kUninstallKey + L"\\" + std::wstring(code)};
}
std::wstring UserDataKey(const Place& place) {
  return std::wstring(kUserDataRoot) + L"\\" + (place.perUser() ? place.sid : std::wstring(L"S-1-5-18"));
}
std::wstring UserDataProductKey(std::wstring_view code, const Place& place) {
  return UserDataKey(place) + L"\\Products\\" + PackGuid(code);
}
std::wstring InstallPropertiesKey(std::wstring_view code, const Place& place) {
  return UserDataProductKey(code, place) + L"\\InstallProperties";
}
std::wstring UserDataFeaturesKey(std::wstring_view code, const Place& place) {
  return UserDataProductKey(code, place) + L"\\Features";
}
std::wstring ComponentsRoot(const Place& place) { return UserDataKey(place) + L"\\Components"; }

std::optional<PropertyLocation> LocateProperty(std::wstring_view property) {
  struct Entry {
    const wchar_t* property;
    PropertyLocation location;
  };
  static const Entry kEntries[] = {
      {L"ProductName", {L"ProductName", true}},
      {L"PackageCode", {L"PackageCode", true}},
      {L"Language", {L"Language", true}},
      {L"AssignmentType", {L"Assignment", true}},
      {L"Version", {L"Version", false}},
      {L"Publisher", {L"Publisher", false}},
      {L"InstallLocation", {L"InstallLocation", false}},
      {L"VersionString", {L"DisplayVersion", false}},
      {L"InstalledProductName", {L"DisplayName", false}},
      {L"InstallDate", {L"InstallDate", false}},
      {L"InstallSource", {L"InstallSource", false}},
      {L"LocalPackage", {L"LocalPackage", false}},
      {L"HelpLink", {L"HelpLink", false}},
      {L"URLInfoAbout", {L"URLInfoAbout", false}},
  };
  for (const auto& e : kEntries) {
    if (property == e.property) return e.location;  // property names are case-sensitive
  }
  return std::nullopt;
}

std::optional<RegistryKeyPath> ParseRegistryKeyPath(std::wstring_view path) {
  if (path.size() < 5 || path[2] != L':' || path[3] != L'\\') return std::nullopt;
  if (!std::iswdigit(static_cast<wint_t>(path[0])) || !std::iswdigit(static_cast<wint_t>(path[1]))) {
    return std::nullopt;
  }
  const int code = (path[0] - L'0') * 10 + (path[1] - L'0');
  RegistryKeyPath out;
  out.root = code % 20;
  out.view64 = code >= 20;
  if (out.root > 3) return std::nullopt;
  std::wstring_view rest = path.substr(4);
  const std::size_t cut = rest.rfind(L'\\');
  if (cut == std::wstring_view::npos) return std::nullopt;
  out.keyPath = std::wstring(rest.substr(0, cut));
  out.valueName = std::wstring(rest.substr(cut + 1));
  return out;
}

}  // namespace zc::sim::msilayout
