// Known folders and what the system tells about itself: time, version,
// environment, current directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_error.h"

namespace zc {

struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

namespace csidl {
inline constexpr int kPersonal = 0x05;  // Documents
inline constexpr int kFavorites = 0x06;
inline constexpr int kMyMusic = 0x0d;
inline constexpr int kMyVideo = 0x0e;
inline constexpr int kDesktopDirectory = 0x10;
inline constexpr int kAppData = 0x1a;
inline constexpr int kLocalAppData = 0x1c;
inline constexpr int kCommonAppData = 0x23;  // ProgramData
inline constexpr int kWindows = 0x24;
inline constexpr int kSystem = 0x25;
inline constexpr int kProgramFiles = 0x26;
inline constexpr int kMyPictures = 0x27;
inline constexpr int kProfile = 0x28;
inline constexpr int kProgramFilesCommon = 0x2b;
inline constexpr int kCommonDocuments = 0x2e;
}  // namespace csidl

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;

  virtual LocalTime Now() = 0;
  // SHGetFolderPathW; `defaultPath` selects SHGFP_TYPE_DEFAULT over
  // SHGFP_TYPE_CURRENT. No trailing backslash.
  virtual WinError GetShellFolder(int csidl, bool defaultPath, std::wstring* path) = 0;
  // GetWindowsDirectoryW / GetSystemDirectoryW; empty text on failure.
  virtual std::wstring WindowsDirectory() = 0;
  virtual std::wstring SystemDirectory() = 0;
  // GetCurrentDirectoryW with a buffer of `capacity` characters: the length
  // written, the size needed (terminator included) when it does not fit, or
  // 0 with the error in `error`.
  virtual std::uint32_t GetCurrentDir(std::uint32_t capacity, std::wstring* directory, WinError* error) = 0;
  // GetVersionExW: false when the query fails.
  virtual bool GetVersion(OsVersion* version) = 0;
  virtual std::optional<std::wstring> GetEnvironmentValue(std::wstring_view name) = 0;
  // ExpandEnvironmentStringsW: the characters needed including the
  // terminator, 0 on failure; `expanded` receives the text when not null.
  virtual std::uint32_t ExpandEnvironment(std::wstring_view source, std::wstring* expanded) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // The running account's SID as text ("S-1-5-18" for SYSTEM); empty when
  // it cannot be told.
  virtual std::wstring CurrentUserSid() = 0;
};

}  // namespace zc
