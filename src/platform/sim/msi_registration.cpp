#include "platform/sim/msi_registration.h"

#include <filesystem>
#include <fstream>

#include "platform/sim/installer_layout.h"
#include "platform/sim/registry_util.h"
#include "platform/sim/sim_installer.h"
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
  const ml::Place& place = p.place;
  const std::uint32_t version = PackedVersion(p.version);
  const std::wstring packageCode = ml::PackGuid(p.packageCode.empty() ? p.productCode : p.packageCode);

  // What Windows Installer (and Wine's) writes for a product: the
  // context's product key, features and upgrade codes, and its UserData.
  const auto productKey = ml::ProductKey(p.productCode, place);
  const HKey productRoot = productKey.root;
  WriteDword(reg_, productRoot, productKey.path, L"AdvertiseFlags", 0x184);
  WriteDword(reg_, productRoot, productKey.path, L"Assignment", 0);
  WriteDword(reg_, productRoot, productKey.path, L"AuthorizedLUAApp", 0);
  WriteMultiText(reg_, productRoot, productKey.path, L"Clients", {L":"});
  WriteDword(reg_, productRoot, productKey.path, L"InstanceType", 0);
  WriteDword(reg_, productRoot, productKey.path, L"Language", 1033);
  WriteText(reg_, productRoot, productKey.path, L"PackageCode", packageCode);
  WriteText(reg_, productRoot, productKey.path, L"ProductName", p.name);
  WriteDword(reg_, productRoot, productKey.path, L"Version", version);
  const std::wstring sourceList = productKey.path + L"\\SourceList";
  WriteText(reg_, productRoot, sourceList, L"LastUsedSource", L"n;1;" + p.installSource);
  WriteText(reg_, productRoot, sourceList, L"PackageName", p.packageName);
  WriteText(reg_, productRoot, sourceList + L"\\Media", L"1", L";");
  WriteText(reg_, productRoot, sourceList + L"\\Media", L"DiskPrompt", L"");
  WriteText(reg_, productRoot, sourceList + L"\\Media", L"MediaPackage", L"");
  WriteText(reg_, productRoot, sourceList + L"\\Net", L"1", p.installSource, regtype::kExpandSz);

  // One feature holding every component.
  const auto features = ml::FeaturesKey(p.productCode, place);
  WriteText(reg_, features.root, features.path, L"Complete", L"");
  std::wstring featureComponents;
  for (const auto& c : p.components) featureComponents += ml::CompressGuid(c.componentCode);
  WriteText(reg_, hklm, ml::UserDataFeaturesKey(p.productCode, place), L"Complete", featureComponents);

  const std::wstring maintenance = L"MsiExec.exe /I" + p.productCode;
  auto writeProperties = [&](HKey root, const std::wstring& key, bool localPackage) {
    WriteText(reg_, root, key, L"AuthorizedCDFPrefix", L"");
    WriteText(reg_, root, key, L"Comments", L"");
    WriteText(reg_, root, key, L"Contact", L"");
    WriteText(reg_, root, key, L"DisplayName", p.name);
    WriteText(reg_, root, key, L"DisplayVersion", p.version);
    WriteDword(reg_, root, key, L"EstimatedSize", 0);
    WriteText(reg_, root, key, L"HelpLink", L"");
    WriteText(reg_, root, key, L"HelpTelephone", L"");
    WriteText(reg_, root, key, L"InstallDate", p.installDate);
    WriteText(reg_, root, key, L"InstallLocation", p.installLocation);
    WriteText(reg_, root, key, L"InstallSource", p.installSource);
    WriteDword(reg_, root, key, L"Language", 1033);
    if (localPackage) WriteText(reg_, root, key, L"LocalPackage", p.localPackage);
    WriteText(reg_, root, key, L"ModifyPath", maintenance, regtype::kExpandSz);
    WriteText(reg_, root, key, L"Publisher", p.publisher);
    WriteText(reg_, root, key, L"ReadMe", L"");
    WriteText(reg_, root, key, L"Size", L"");
    WriteText(reg_, root, key, L"UninstallString", maintenance, regtype::kExpandSz);
    WriteText(reg_, root, key, L"URLInfoAbout", L"");
    WriteText(reg_, root, key, L"URLUpdateInfo", L"");
    WriteDword(reg_, root, key, L"Version", version);
    WriteDword(reg_, root, key, L"VersionMajor", version >> 24);
    WriteDword(reg_, root, key, L"VersionMinor", (version >> 16) & 0xFF);
    WriteDword(reg_, root, key, L"WindowsInstaller", 1);
  };
  writeProperties(hklm, ml::InstallPropertiesKey(p.productCode, place), true);
  const auto uninstall = ml::UninstallKey(p.productCode, place, machine64_);
  writeProperties(uninstall.root, uninstall.path, false);

  if (!p.upgradeCode.empty()) {
    const auto upgrade = ml::UpgradeCodeKey(p.upgradeCode, place);
    WriteText(reg_, upgrade.root, upgrade.path, packed, L"");
    if (!place.perUser()) WriteText(reg_, hklm, ml::ClassesUpgradeCodeKey(p.upgradeCode), packed, L"");
  }

  const std::wstring componentsRoot = ml::ComponentsRoot(place);
  for (const auto& c : p.components) {
    WriteText(reg_, hklm, componentsRoot + L"\\" + ml::PackGuid(c.componentCode), packed, c.keyPath);
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
  return LocateProduct(reg_, productCode, account_).has_value();
}

void MsiRegistration::Uninstall(const std::wstring& productCode) {
  const std::wstring packed = ml::PackGuid(productCode);
  if (packed.empty()) return;
  const auto place = LocateProduct(reg_, productCode, account_);
  if (!place) return;
  const HKey hklm = kHkeyLocalMachine;
  const std::wstring componentsRoot = ml::ComponentsRoot(*place);
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
  RemoveRegistration(productCode, *place);
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
  if (ml::PackGuid(productCode).empty()) return;
  for (const auto& place : {ml::Place::Machine(), ml::Place::Unmanaged(account_), ml::Place::Managed(account_)}) {
    ForgetComponents(productCode, place);
    RemoveRegistration(productCode, place);
  }
}

void MsiRegistration::ForgetComponents(const std::wstring& productCode, const ml::Place& place) {
  const std::wstring packed = ml::PackGuid(productCode);
  const std::wstring componentsRoot = ml::ComponentsRoot(place);
  for (const auto& component : SubKeyNames(reg_, kHkeyLocalMachine, componentsRoot)) {
    const std::wstring componentKey = componentsRoot + L"\\" + component;
    if (RemoveValue(reg_, kHkeyLocalMachine, componentKey, packed) == err::kSuccess) {
      RemoveKeyIfEmpty(reg_, kHkeyLocalMachine, componentKey);
    }
  }
}

void MsiRegistration::RemoveRegistration(const std::wstring& productCode, const ml::Place& place) {
  const std::wstring packed = ml::PackGuid(productCode);
  const HKey hklm = kHkeyLocalMachine;
  for (const auto& key : {ml::ProductKey(productCode, place), ml::FeaturesKey(productCode, place),
                          ml::UninstallKey(productCode, place, false), ml::UninstallKey(productCode, place, true)}) {
    reg_.DeleteTree(key.root, key.path);
  }
  reg_.DeleteTree(hklm, ml::UserDataProductKey(productCode, place));
  // Upgrade codes list the product per context; Wine also lists a per-user
  // product's under HKLM, so those go with any context.
  const ml::KeyAt upgradeRoots[] = {{hklm, ml::kUpgradeCodesKey},
                                    {hklm, ml::kClassesUpgradeCodesKey},
                                    {ml::InstallerKey(place).root, ml::InstallerKey(place).path + L"\\UpgradeCodes"}};
  for (const auto& root : upgradeRoots) {
    for (const auto& upgrade : SubKeyNames(reg_, root.root, root.path)) {
      const std::wstring key = root.path + L"\\" + upgrade;
      if (RemoveValue(reg_, root.root, key, packed) == err::kSuccess) RemoveKeyIfEmpty(reg_, root.root, key);
    }
  }
}

}  // namespace zc::sim
