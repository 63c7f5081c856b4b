// Where each family keeps its files, the vendor's folders, and the guard
// folders by which folder removal knows what it must never delete.
#include <array>

#include "app/application.h"
#include "platform/text.h"
#include "safety/protected_folders.h"
#include "system/uninstaller_base.h"

namespace zc {

namespace {

std::wstring Format(const wchar_t* pattern, const std::wstring& programs) {
  std::wstring out(pattern);
  const auto at = out.find(L"%s");
  if (at != std::wstring::npos) out.replace(at, 2, programs);
  return out;
}

}  // namespace

VEZEZERidivorOde::PathState VEZEZERidivorOde::GetPathState(const std::wstring& path) {
  std::uint32_t attributes = 0;
  const WinError error = m_platform.fs.GetAttributes(path, &attributes);
  if (error != err::kSuccess) {
    return (error == err::kFileNotFound || error == err::kPathNotFound) ? PathState::kAbsent : PathState::kUnknown;
  }
  return (attributes & fileattr::kDirectory) ? PathState::kFolder : PathState::kFile;
}

std::wstring VEZEZERidivorOde::LookupInstallLocation(const std::wstring& productCode, const std::wstring& programFile) {
  if (!productCode.empty()) {
    std::wstring location =
        ReadLocalMachineString(m_platform.registry, regpath::kUninstall + productCode, L"InstallLocation");
    if (!location.empty()) return location;
  }
  if (!programFile.empty()) {
    const std::wstring value = ReadLocalMachineString(m_platform.registry, regpath::kAppPaths + programFile, L"");
    if (!value.empty()) {
      const std::wstring lowerValue = ToLowerAscii(value);
      const std::wstring lowerFile = ToLowerAscii(programFile);
      const auto at = lowerValue.find(lowerFile);
      return at == std::wstring::npos ? lowerValue : lowerValue.substr(0, at);
    }
  }
  return {};
}

bool VEZEZERidivorOde::BuildFolderCatalogue() {
  std::wstring programs;
  m_platform.system.GetShellFolder(csidl::kProgramFiles, false, &programs);

  struct FamilyFolder {
    std::wstring& field;
    const std::vector<std::wstring>& codes;
    const wchar_t* programFile;
    bool appPathsWhenNoCode;
    std::array<const wchar_t*, 4> defaults;
  };
  const FamilyFolder folders[] = {
      {m_strTavloDriversFolder,
       m_tavloDriverProductCodes,
       L"ZENTATavloService.exe",
       true,
       {L"%s\\ZENTA Technologies\\ZENTA Tavlo Drivers", L"%s\\ZENTA Technologies\\ZENTA Product Drivers",
        L"%s\\ZENTA Technologies Inc\\ZENTA Tavlo Drivers", L"%s\\ZENTA Technologies Inc\\Tavlo Drivers"}},
      {m_strQuilloFolder,
       m_quilloProductCodes,
       L"Quillo.exe",
       true,
       {L"%s\\ZENTA Technologies\\Quillo Software", L"%s\\ZENTA Technologies Inc\\Quillo Software",
        L"%s\\ZENTA Technologies\\ZENTA Quillo", nullptr}},
      {m_strQuorixFolder,
       m_quorixProductCodes,
       L"QuorixTools.exe",
       true,
       {L"%s\\ZENTA Technologies\\ZENTA Quorix", L"%s\\ZENTA Technologies\\Teviro",
        L"%s\\ZENTA Technologies Inc\\Teviro", nullptr}},
      {m_strConvexaFolder, m_convexaProductCodes, L"Convexa.exe", false, {nullptr, nullptr, nullptr, nullptr}},
      {m_strConvexaPEFolder, m_convexaPEProductCodes, L"ConvexaPE.exe", false, {nullptr, nullptr, nullptr, nullptr}},
      {m_strTavloSoftwareFolder,
       m_tavloSoftwareProductCodes,
       L"",
       false,
       {L"%s\\ZENTA Technologies Inc\\ZENTA Tavlo Software", nullptr, nullptr, nullptr}},
  };

  for (const auto& family : folders) {
    for (const auto& code : family.codes) {
      if (!family.field.empty()) break;
      family.field = LookupInstallLocation(code, family.programFile);
    }
    if (family.field.empty() && family.appPathsWhenNoCode)
      family.field = LookupInstallLocation(L"", family.programFile);
    if (family.field.empty() && family.defaults[0]) {
      std::size_t i = 0;
      family.field = Format(family.defaults[0], programs);
      while (GetPathState(family.field) == PathState::kAbsent && i + 1 < family.defaults.size() &&
             family.defaults[i + 1]) {
        family.field = Format(family.defaults[++i], programs);
      }
    }
  }

  m_strCommonFilesFolder = Format(L"%s\\Common Files\\ZENTA Technologies", programs);
  m_strCommonFilesIncFolder = Format(L"%s\\Common Files\\ZENTA Technologies Inc", programs);
  m_strVendorFolder = Format(L"%s\\ZENTA Technologies", programs);
  m_strVendorIncFolder = Format(L"%s\\ZENTA Technologies Inc", programs);
  m_strProgramFilesFolder = ToLowerAscii(programs) + L"\\";
  m_strWindowsFolder = ToLowerAscii(m_platform.system.WindowsDirectory()) + L"\\";
  m_strSystemFolder = ToLowerAscii(m_platform.system.SystemDirectory()) + L"\\";
  RebuildGuard();
  return true;
}

}  // namespace zc
