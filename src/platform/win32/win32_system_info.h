// Known folders, time, version, environment and current directory from the
// Win32 functions.
//
// Bitness: the 64-bit build answers as the 32-bit program does on 64-bit
// Windows: the programs folder is the x86 one, and %ProgramFiles% and
// %CommonProgramFiles% are the x86 folders, as WOW64 sets them for a
// 32-bit process. The system folder is named system32 in both, by
// GetSystemDirectoryW and SHGetFolderPath alike, as a 32-bit process sees
// it; what the 32-bit process then reaches there is SysWOW64, which the
// 64-bit build's file system imitates (Wow64FileSystemPath).
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
  std::wstring CurrentUserSid() override;
};

// The variable a 32-bit process on 64-bit Windows reads for `name`
// (ProgramFiles -> ProgramFiles(x86), CommonProgramFiles ->
// CommonProgramFiles(x86)); other names are returned as they are.
std::wstring Wow64VariableName(std::wstring_view name);

// The path a 32-bit process on 64-bit Windows reaches when it names `path`:
// the native system folder and everything in it is SysWOW64, except the
// subfolders Windows exempts (catroot, catroot2, driverstore, drivers\etc,
// logfiles, spool). The 32-bit build returns `path` as it is: there Windows
// redirects. Programs started from system32 are not redirected: the 64-bit
// build starts the native ones.
std::wstring Wow64FileSystemPath(std::wstring_view path);

// `source` with every %ProgramFiles% and %CommonProgramFiles% (any case)
// written as its x86 counterpart, so that expanding it gives what a 32-bit
// process on 64-bit Windows gets.
std::wstring RewriteForWow64(std::wstring_view source);

}  // namespace zc::win32
