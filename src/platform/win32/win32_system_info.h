// Known folders, time, version, environment and current directory from the
// Win32 functions.
//
// Bitness: the 64-bit build answers as the 32-bit program does on 64-bit
// Windows: the programs folder is the x86 one, the system folder of
// SHGetFolderPath the 32-bit one (SysWOW64), and %ProgramFiles% and
// %CommonProgramFiles% are the x86 folders, as WOW64 sets them for a
// 32-bit process. GetSystemDirectoryW names system32 in both, as it does
// for a 32-bit program.
#pragma once

#include "platform/system_info.h"

namespace zc::win32 {

class Win32SystemInfo : public SystemInfo {
 public:
  LocalTime Now() override;
  WinError GetShellFolder(int csidl, bool defaultPath, std::wstring* path) override;
  std::wstring WindowsDirectory() override;
  std::wstring SystemDirectory() override;
  std::uint32_t GetCurrentDir(std::uint32_t capacity, std::wstring* directory, WinError* error) override;
  bool GetVersion(OsVersion* version) override;
  std::optional<std::wstring> GetEnvironmentValue(std::wstring_view name) override;
  std::uint32_t ExpandEnvironment(std::wstring_view source, std::wstring* expanded) override;
  void Sleep(std::uint32_t milliseconds) override;
};

// The variable a 32-bit process on 64-bit Windows reads for `name`
// (ProgramFiles -> ProgramFiles(x86), CommonProgramFiles ->
// CommonProgramFiles(x86)); other names are returned as they are.
std::wstring Wow64VariableName(std::wstring_view name);

// `source` with every %ProgramFiles% and %CommonProgramFiles% (any case)
// written as its x86 counterpart, so that expanding it gives what a 32-bit
// process on 64-bit Windows gets.
std::wstring RewriteForWow64(std::wstring_view source);

}  // namespace zc::win32
