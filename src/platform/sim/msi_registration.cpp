#include "platform/sim/msi_registration.h"

#include <filesystem>
#include <fstream>

#include "platform/sim/installer_layout.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"

namespace zc::sim {

namespace ml = msilayout;

namespace {

const HKey kRoots[] = {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers};

std::wstring ParentOf(const std::wstring& path) {
  const auto cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

// Version as Windows Installer packs it in the "Version" DWORD.
std::uint32_t PackedVersion(const std::wstring& version) {
  std::uint32_t parts[3] = {0, 0, 0};
  std::size_t i = 0, pos = 0;
  while (i < 3 && pos <= version.size()) {
    const std::size_t dot = version.find(L'.', pos);
    const std::wstring piece = version.substr(pos, dot == std::wstring::npos ? std::wstring::npos : dot - pos);
    parts[i++] = static_cast<std::uint32_t>(std::wcstoul(piece.c_str(), nullptr, 10));
    if (dot == std::wstring::npos) break;
    pos = dot + 1;
  }
  return ((parts[0] & 0xFF) << 24) | ((parts[1] & 0xFF) << 16) | (parts[2] & 0xFFFF);
}

}  // namespace

std::wstring MsiRegistration::RegistryPathForPackage(const std::wstring& keyPath) const {
  if (machine64_ && StartsWithNoCase(keyPath, L"Software\\") && !StartsWithNoCase(keyPath, L"Software\\Classes\\")) {
    return L"Software\\Wow6432Node\\" + keyPath.substr(9);
  }
  return keyPath;
}

bool MsiRegistration::Register(const ProductSpec& p) {
  const std::wstring packed = ml::PackGuid(p.productCode);
  if (packed.empty()) return false;
  const HKey hklm = kHkeyLocalMachine;
  const std::uint32_t version = PackedVersion(p.version);
  const std::wstring packageCode = ml::PackGuid(p.packageCode.empty() ? p.productCode : p.packageCode);

  // What Windows Installer (and Wine's) writes for a per-machine product.
  const std::wstring productKey = ml::ProductKey(p.productCode);
  WriteDword(reg_, hklm, productKey, L"AdvertiseFlags", 0x184);
  WriteDword(reg_, hklm, productKey, L"Assignment", 0);
  WriteDword(reg_, hklm, productKey, L"AuthorizedLUAApp", 0);
  WriteMultiText(reg_, hklm, productKey, L"Clients", {L":"});
  WriteDword(reg_, hklm, productKey, L"InstanceType", 0);
  WriteDword(reg_, hklm, productKey, L"Language", 1033);
  WriteText(reg_, hklm, productKey, L"PackageCode", packageCode);
  WriteText(reg_, hklm, productKey, L"ProductName", p.name);
  WriteDword(reg_, hklm, productKey, L"Version", version);
  const std::wstring sourceList = ml::SourceListKey(p.productCode);
  WriteText(reg_, hklm, sourceList, L"LastUsedSource", L"n;1;" + p.installSource);
  WriteText(reg_, hklm, sourceList, L"PackageName", p.packageName);
  WriteText(reg_, hklm, sourceList + L"\\Media", L"1", L";");
  WriteText(reg_, hklm, sourceList + L"\\Media", L"DiskPrompt", L"");
  WriteText(reg_, hklm, sourceList + L"\\Media", L"MediaPackage", L"");
  WriteText(reg_, hklm, sourceList + L"\\Net", L"1", p.installSource, regtype::kExpandSz);

  // One feature holding every component.
  WriteText(reg_, hklm, ml::FeaturesKey(p.productCode), L"Complete", L"");
  std::wstring featureComponents;
  for (const auto& c : p.components) featureComponents += ml::CompressGuid(c.componentCode);
  WriteText(reg_, hklm, ml::UserDataFeaturesKey(p.productCode), L"Complete", featureComponents);

  const std::wstring maintenance = L"MsiExec.exe /I" + p.productCode;
  auto writeProperties = [&](const std::wstring& key, bool localPackage) {
    WriteText(reg_, hklm, key, L"AuthorizedCDFPrefix", L"");
    WriteText(reg_, hklm, key, L"Comments", L"");
    WriteText(reg_, hklm, key, L"Contact", L"");
    WriteText(reg_, hklm, key, L"DisplayName", p.name);
    WriteText(reg_, hklm, key, L"DisplayVersion", p.version);
    WriteDword(reg_, hklm, key, L"EstimatedSize", 0);
    WriteText(reg_, hklm, key, L"HelpLink", L"");
    WriteText(reg_, hklm, key, L"HelpTelephone", L"");
    WriteText(reg_, hklm, key, L"InstallDate", p.installDate);
    WriteText(reg_, hklm, key, L"InstallLocation", p.installLocation);
    WriteText(reg_, hklm, key, L"InstallSource", p.installSource);
    WriteDword(reg_, hklm, key, L"Language", 1033);
    if (localPackage) WriteText(reg_, hklm, key, L"LocalPackage", p.localPackage);
    WriteText(reg_, hklm, key, L"ModifyPath", maintenance, regtype::kExpandSz);
    WriteText(reg_, hklm, key, L"Publisher", p.publisher);
    WriteText(reg_, hklm, key, L"ReadMe", L"");
    WriteText(reg_, hklm, key, L"Size", L"");
    WriteText(reg_, hklm, key, L"UninstallString", maintenance, regtype::kExpandSz);
    WriteText(reg_, hklm, key, L"URLInfoAbout", L"");
    WriteText(reg_, hklm, key, L"URLUpdateInfo", L"");
    WriteDword(reg_, hklm, key, L"Version", version);
    WriteDword(reg_, hklm, key, L"VersionMajor", version >> 24);
    WriteDword(reg_, hklm, key, L"VersionMinor", (version >> 16) & 0xFF);
    WriteDword(reg_, hklm, key, L"WindowsInstaller", 1);
  };
  writeProperties(ml::InstallPropertiesKey(p.productCode), true);
  writeProperties(ml::UninstallKey(p.productCode, machine64_), false);

  if (!p.upgradeCode.empty()) {
    WriteText(reg_, hklm, ml::UpgradeCodeKey(p.upgradeCode), packed, L"");
    WriteText(reg_, hklm, ml::ClassesUpgradeCodeKey(p.upgradeCode), packed, L"");
  }

  for (const auto& c : p.components) {
    WriteText(reg_, hklm, ml::ComponentKey(c.componentCode), packed, c.keyPath);
    if (auto regPath = ml::ParseRegistryKeyPath(c.keyPath)) {
      const std::wstring key = regPath->view64 ? regPath->keyPath : RegistryPathForPackage(regPath->keyPath);
      WriteText(reg_, kRoots[regPath->root], key, regPath->valueName,
                c.fileContent.empty() ? L"" : FromUtf8(c.fileContent));
      continue;
    }
    const auto host = fs_.HostPath(c.keyPath);
    if (host.empty()) continue;
    std::error_code ec;
    std::filesystem::create_directories(host.parent_path(), ec);
    std::ofstream(host, std::ios::binary | std::ios::trunc) << c.fileContent;
  }
  return true;
}

bool MsiRegistration::IsRegistered(const std::wstring& productCode) {
  return KeyExists(reg_, kHkeyLocalMachine, ml::ProductKey(productCode));
}

void MsiRegistration::Uninstall(const std::wstring& productCode) {
  const std::wstring packed = ml::PackGuid(productCode);
  if (packed.empty()) return;
  const HKey hklm = kHkeyLocalMachine;
  const std::wstring componentsRoot = ml::ComponentsRoot();
  for (const auto& component : SubKeyNames(reg_, hklm, componentsRoot)) {
    const std::wstring componentKey = componentsRoot + L"\\" + component;
    auto keyPath = ReadText(reg_, hklm, componentKey, packed);
    if (!keyPath) continue;
    RemoveValue(reg_, hklm, componentKey, packed);
    // Another product still using the component keeps its file.
    const bool shared = !ValueNames(reg_, hklm, componentKey).empty();
    RemoveKeyIfEmpty(reg_, hklm, componentKey);
    if (shared) continue;

    if (auto regPath = ml::ParseRegistryKeyPath(*keyPath)) {
      const HKey root = kRoots[regPath->root];
      std::wstring key = regPath->view64 ? regPath->keyPath : RegistryPathForPackage(regPath->keyPath);
      RemoveValue(reg_, root, key, regPath->valueName);
      // Keys the package created go when they are left empty.
      while (!key.empty() && key.find(L'\\') != std::wstring::npos && RemoveKeyIfEmpty(reg_, root, key)) {
        key = ParentOf(key);
        if (EqualsNoCase(key, L"Software") || EqualsNoCase(key, L"Software\\Wow6432Node")) break;
      }
      continue;
    }
    ReleaseSharedDll(*keyPath);
    std::uint32_t attributes = 0;
    if (fs_.GetAttributes(*keyPath, &attributes) != err::kSuccess) continue;
    fs_.SetAttributes(*keyPath, fileattr::kNormal);
    if (fs_.DeleteFileAt(*keyPath) == err::kSuccess) fs_.RemoveFolder(ParentOf(*keyPath));
  }
  RemoveRegistration(productCode);
}

void MsiRegistration::ReleaseSharedDll(const std::wstring& file) {
  // Windows Installer gives back its reference to a shared file as it
  // removes the component: the count goes down by one, and the value goes
  // at zero (Wine's msiexec does the same).
  const std::wstring key = RegistryPathForPackage(L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
  const auto count = ReadDword(reg_, kHkeyLocalMachine, key, file);
  if (!count) return;
  if (*count > 1) {
    WriteDword(reg_, kHkeyLocalMachine, key, file, *count - 1);
  } else {
    RemoveValue(reg_, kHkeyLocalMachine, key, file);
  }
}

void MsiRegistration::Zap(const std::wstring& productCode) {
  const std::wstring packed = ml::PackGuid(productCode);
  if (packed.empty()) return;
  const std::wstring componentsRoot = ml::ComponentsRoot();
  for (const auto& component : SubKeyNames(reg_, kHkeyLocalMachine, componentsRoot)) {
    const std::wstring componentKey = componentsRoot + L"\\" + component;
    if (RemoveValue(reg_, kHkeyLocalMachine, componentKey, packed) == err::kSuccess) {
      RemoveKeyIfEmpty(reg_, kHkeyLocalMachine, componentKey);
    }
  }
  RemoveRegistration(productCode);
}

void MsiRegistration::RemoveRegistration(const std::wstring& productCode) {
  const std::wstring packed = ml::PackGuid(productCode);
  const HKey hklm = kHkeyLocalMachine;
  reg_.DeleteTree(hklm, ml::ProductKey(productCode));
  reg_.DeleteTree(hklm, ml::FeaturesKey(productCode));
  reg_.DeleteTree(hklm, ml::UserDataProductKey(productCode));
  reg_.DeleteTree(hklm, ml::UninstallKey(productCode, false));
  reg_.DeleteTree(hklm, ml::UninstallKey(productCode, true));
  for (const wchar_t* root : {ml::kUpgradeCodesKey, ml::kClassesUpgradeCodesKey}) {
    for (const auto& upgrade : SubKeyNames(reg_, hklm, root)) {
      const std::wstring key = std::wstring(root) + L"\\" + upgrade;
      if (RemoveValue(reg_, hklm, key, packed) == err::kSuccess) RemoveKeyIfEmpty(reg_, hklm, key);
    }
  }
}

}  // namespace zc::sim
