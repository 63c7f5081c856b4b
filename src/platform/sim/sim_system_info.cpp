#include "platform/sim/sim_system_info.h"

#include <ctime>

#include "platform/text.h"

namespace zc::sim {

LocalTime SimSystemInfo::Now() {
  if (config_.clock) return *config_.clock;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

WinError SimSystemInfo::GetShellFolder(int csidl, bool /*defaultPath*/, std::wstring* path) {
  path->clear();
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kSHGetFolderPath, std::to_wstring(csidl))) return *e;
  }
  switch (csidl) {
    case csidl::kProgramFiles: *path = config_.programsFolder; return err::kSuccess;
    case csidl::kWindows: *path = config_.windowsFolder; return err::kSuccess;
    case csidl::kSystem:
      // A 32-bit program on 64-bit Windows is given the 32-bit system folder.
      *path = config_.bits == 64 ? config_.windowsFolder + L"\\SysWOW64" : config_.systemFolder;
      return err::kSuccess;
    default: return err::kInvalidParameter;
  }
}

std::wstring SimSystemInfo::WindowsDirectory() {
  if (faults_ && faults_->Check(FaultOp::kGetWindowsDirectory, L"*")) return {};
  return config_.windowsFolder;
}

std::wstring SimSystemInfo::SystemDirectory() {
  if (faults_ && faults_->Check(FaultOp::kGetSystemDirectory, L"*")) return {};
  return config_.systemFolder;
}

std::uint32_t SimSystemInfo::GetCurrentDir(std::uint32_t capacity, std::wstring* directory, WinError* error) {
  *error = err::kSuccess;
  directory->clear();
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kGetCurrentDirectory, L"*")) {
      *error = *e;
      return 0;
    }
  }
  const auto length = static_cast<std::uint32_t>(Utf16Length(config_.currentDirectory));
  if (length + 1 > capacity) return length + 1;
  *directory = config_.currentDirectory;
  return length;
}

bool SimSystemInfo::GetVersion(OsVersion* version) {
  if (faults_ && faults_->Check(FaultOp::kGetVersionEx, L"*")) return false;
  *version = config_.version;
  return true;
}

std::optional<std::wstring> SimSystemInfo::GetEnvironmentValue(std::wstring_view name) {
  for (const auto& [key, value] : config_.environment) {
    if (EqualsNoCase(key, name)) return value;
  }
  // What every Windows machine has, unless machine.ini says otherwise.
  if (EqualsNoCase(name, L"SystemRoot") || EqualsNoCase(name, L"windir")) return config_.windowsFolder;
  if (EqualsNoCase(name, L"SystemDrive")) return config_.windowsFolder.substr(0, 2);
  const std::wstring drive = config_.windowsFolder.substr(0, 2);
  const bool x64 = config_.bits == 64;
  const std::wstring native = x64 ? drive + L"\\Program Files" : config_.programsFolder;
  if (EqualsNoCase(name, L"ProgramFiles")) return config_.programsFolder;
  if (EqualsNoCase(name, L"CommonProgramFiles")) return config_.programsFolder + L"\\Common Files";
  if (x64 && EqualsNoCase(name, L"ProgramFiles(x86)")) return config_.programsFolder;
  if (x64 && EqualsNoCase(name, L"CommonProgramFiles(x86)")) return config_.programsFolder + L"\\Common Files";
  if (x64 && EqualsNoCase(name, L"ProgramW6432")) return native;
  if (x64 && EqualsNoCase(name, L"CommonProgramW6432")) return native + L"\\Common Files";
  const bool xp = config_.version.major < 6;
  if (EqualsNoCase(name, L"ALLUSERSPROFILE")) {
    return xp ? drive + L"\\Documents and Settings\\All Users" : drive + L"\\ProgramData";
  }
  if (!xp && EqualsNoCase(name, L"ProgramData")) return drive + L"\\ProgramData";
  // SYSTEM's temporary folder is the Windows folder's, its profile lies in
  // the system folder.
  if (config_.IsSystemAccount() && (EqualsNoCase(name, L"TMP") || EqualsNoCase(name, L"TEMP"))) {
    return config_.windowsFolder + (EndsWith(config_.windowsFolder, L'\\') ? L"Temp" : L"\\Temp");
  }
  if (config_.IsSystemAccount() && EqualsNoCase(name, L"USERPROFILE")) {
    return config_.systemFolder + L"\\config\\systemprofile";
  }
  if (EqualsNoCase(name, L"USERPROFILE")) {
    return xp ? drive + L"\\Documents and Settings\\Admin" : drive + L"\\Users\\Admin";
  }
  if (!xp && EqualsNoCase(name, L"PUBLIC")) return drive + L"\\Users\\Public";
  return std::nullopt;
}

std::uint32_t SimSystemInfo::ExpandEnvironment(std::wstring_view source, std::wstring* expanded) {
  if (faults_ && faults_->Check(FaultOp::kExpandEnvironmentStrings, source)) return 0;
  const std::wstring out =
      ExpandPercentVariables(source, [this](std::wstring_view name) { return GetEnvironmentValue(name); });
  if (expanded) *expanded = out;
  return static_cast<std::uint32_t>(Utf16Length(out) + 1);
}

std::wstring SimSystemInfo::CurrentUserSid() {
  if (faults_ && faults_->Check(FaultOp::kGetTokenInformation, L"*")) return {};
  return config_.user;
}

}  // namespace zc::sim
