// Asks the Windows program's own platform layer (src/platform/win32) what
// the machine looks like, for the Wine suite: built for i686 and for x86_64
// from the same sources as ZENTACleanup.exe, it shows whether the 64-bit
// twin sees what the 32-bit program sees on the same 64-bit prefix.
//
// One fact a line, "name<TAB>value", UTF-8. The suite seeds beforehand:
//   HKLM\Software\ZENTA Probe, value View: "32-bit view" in the 32-bit
//     registry view, "64-bit view" in the 64-bit one;
//   zcprobe-native.txt in system32 and zcprobe-wow64.txt in syswow64, and
//     zcprobe-spool.txt in system32\spool only;
//   zcbits.exe in system32 (a 64-bit program) and in syswow64 (a 32-bit
//     one), each exiting with its own pointer width in bits.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_spooler.h"
#include "platform/win32/win32_system_info.h"

namespace {

void Fact(const std::string& name, const std::wstring& value) {
  std::printf("%s\t%s\n", name.c_str(), zc::ToUtf8(value).c_str());
}

std::wstring ErrorText(zc::WinError error) { return L"error " + std::to_wstring(error); }

std::wstring ShellFolder(zc::win32::Win32SystemInfo& system, int csidl, bool defaultPath) {
  std::wstring path;
  const zc::WinError error = system.GetShellFolder(csidl, defaultPath, &path);
  return error == zc::err::kSuccess ? path : ErrorText(error);
}

std::wstring Visible(zc::win32::Win32FileSystem& fs, const std::wstring& folder) {
  std::wstring seen;
  for (const wchar_t* name : {L"zcprobe-native.txt", L"zcprobe-wow64.txt"}) {
    std::uint32_t attributes = 0;
    if (fs.GetAttributes(folder + L"\\" + name, &attributes) == zc::err::kSuccess) {
      if (!seen.empty()) seen += L' ';
      seen += name;
    }
  }
  return seen.empty() ? L"none" : seen;
}

std::wstring ExitCodeOf(zc::win32::Win32Processes& processes, const std::wstring& program) {
  zc::ProcessHandles handles;
  const zc::WinError error = processes.StartProcess(program, L"\"" + program + L"\"", &handles);
  if (error != zc::err::kSuccess) return ErrorText(error);
  processes.Wait(handles.process, 60000);
  std::uint32_t code = 0;
  processes.GetExitCode(handles.process, &code);
  processes.CloseHandle(handles.thread);
  processes.CloseHandle(handles.process);
  return std::to_wstring(code);
}

std::wstring RegistryText(zc::win32::Win32Registry& registry, const wchar_t* path, const wchar_t* valueName) {
  zc::HKey key;
  zc::WinError error = registry.OpenKey(zc::kHkeyLocalMachine, path, zc::RegAccess::kRead, &key);
  if (error != zc::err::kSuccess) return ErrorText(error);
  std::vector<std::uint8_t> data(512, 0);
  auto size = static_cast<std::uint32_t>(data.size() - 2);
  std::uint32_t type = 0;
  error = registry.QueryValue(key, valueName, &type, data.data(), &size);
  registry.CloseKey(key);
  if (error != zc::err::kSuccess) return ErrorText(error);
  return reinterpret_cast<const wchar_t*>(data.data());
}

template <typename Record, typename Enum, typename Format>
std::wstring Records(Enum enumerate, Format format) {
  std::uint32_t needed = 0;
  std::vector<Record> records;
  zc::WinError error = enumerate(0, &needed, &records);
  if (error == zc::err::kInsufficientBuffer) error = enumerate(needed, &needed, &records);
  if (error != zc::err::kSuccess) return ErrorText(error);
  std::wstring out;
  for (const auto& record : records) {
    if (!out.empty()) out += L"; ";
    out += format(record);
  }
  return out.empty() ? L"none" : out;
}

}  // namespace

int wmain() {
  zc::win32::Win32SystemInfo system;
  zc::win32::Win32Registry registry;
  zc::win32::Win32FileSystem fs;
  zc::win32::Win32Processes processes;
  zc::win32::Win32Spooler spooler;

  Fact("pointer-bits", std::to_wstring(sizeof(void*) * 8));

  zc::OsVersion version;
  Fact("version", system.GetVersion(&version) ? std::to_wstring(version.major) + L"." + std::to_wstring(version.minor)
                                              : std::wstring(L"error"));
  Fact("system-directory", system.SystemDirectory());
  Fact("windows-directory", system.WindowsDirectory());
  Fact("shell-folder-system", ShellFolder(system, zc::csidl::kSystem, false));
  Fact("shell-folder-windows", ShellFolder(system, zc::csidl::kWindows, true));
  Fact("shell-folder-programs", ShellFolder(system, zc::csidl::kProgramFiles, false));

  for (const wchar_t* name :
       {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"CommonProgramFiles", L"CommonProgramFiles(x86)",
        L"CommonProgramW6432", L"ProgramData", L"ALLUSERSPROFILE", L"windir", L"SystemRoot"}) {
    const auto value = system.GetEnvironmentValue(name);
    Fact("environment-" + zc::ToUtf8(name), value ? *value : std::wstring(L"(not set)"));
  }
  for (const wchar_t* text : {L"%ProgramFiles%\\A", L"%CommonProgramFiles%\\B", L"%SystemRoot%\\system32\\C"}) {
    std::wstring expanded;
    system.ExpandEnvironment(text, &expanded);
    Fact("expand-" + zc::ToUtf8(text), expanded);
  }

  Fact("registry-view", RegistryText(registry, L"Software\\ZENTA Probe", L"View"));
  Fact("registry-shareddlls-key",
       RegistryText(registry, L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls", L"C:\\zcprobe.dll"));

  Fact("files-in-system-directory", Visible(fs, system.SystemDirectory()));
  Fact("files-in-shell-folder-system", Visible(fs, ShellFolder(system, zc::csidl::kSystem, false)));
  std::uint32_t attributes = 0;
  Fact("spool-file-in-system-directory",
       fs.GetAttributes(system.SystemDirectory() + L"\\spool\\zcprobe-spool.txt", &attributes) == zc::err::kSuccess
           ? L"seen"
           : L"not seen");
  Fact("program-started-from-system-directory", ExitCodeOf(processes, system.SystemDirectory() + L"\\zcbits.exe"));

  std::wstring directory;
  const zc::WinError driverError = spooler.GetDriverDirectory(&directory);
  Fact("spooler-driver-directory", driverError == zc::err::kSuccess ? directory : ErrorText(driverError));
  const zc::WinError processorError = spooler.GetProcessorDirectory(&directory);
  Fact("spooler-processor-directory", processorError == zc::err::kSuccess ? directory : ErrorText(processorError));
  Fact("spooler-monitors", Records<zc::MonitorRecord>(
                               [&](std::uint32_t size, std::uint32_t* needed, std::vector<zc::MonitorRecord>* out) {
                                 return spooler.EnumMonitors(size, needed, out);
                               },
                               [](const zc::MonitorRecord& r) {
                                 return r.name.value_or(L"") + L"|" + r.environment.value_or(L"") + L"|" +
                                        r.dllName.value_or(L"");
                               }));
  Fact("spooler-drivers", Records<zc::DriverRecord>(
                              [&](std::uint32_t size, std::uint32_t* needed, std::vector<zc::DriverRecord>* out) {
                                return spooler.EnumDrivers(size, needed, out);
                              },
                              [](const zc::DriverRecord& r) {
                                return r.name.value_or(L"") + L"|" + r.environment.value_or(L"") + L"|" +
                                       r.driverPath.value_or(L"");
                              }));
  return 0;
}
