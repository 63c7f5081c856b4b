// The registry as the tool uses it: open, read, enumerate, delete. Results
// are Windows error codes; "not found" (2) is a normal answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/unique_handle.h"
#include "platform/win_error.h"

namespace zc {

// A key handle. Predefined roots carry their Windows values; keys opened
// through a backend carry whatever number that backend gives them.
struct HKey {
  std::uintptr_t value = 0;
  friend bool operator==(HKey, HKey) = default;
};

inline constexpr HKey kHkeyClassesRoot{0x80000000u};
inline constexpr HKey kHkeyCurrentUser{0x80000001u};
inline constexpr HKey kHkeyLocalMachine{0x80000002u};
inline constexpr HKey kHkeyUsers{0x80000003u};
inline constexpr HKey kHkeyPerformanceData{0x80000004u};
inline constexpr HKey kHkeyCurrentConfig{0x80000005u};

namespace regtype {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kDwordBigEndian = 5;
inline constexpr std::uint32_t kLink = 6;
inline constexpr std::uint32_t kMultiSz = 7;
inline constexpr std::uint32_t kQword = 11;
}  // namespace regtype

// Keys under HKEY_LOCAL_MACHINE that the tool reads or cleans, spelled as
// the tool spells them; the last two end in a backslash, for the name that
// follows.
namespace regpath {
inline constexpr const wchar_t* kSharedDlls = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
inline constexpr const wchar_t* kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr const wchar_t* kAppPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
}  // namespace regpath

enum class RegAccess {
  kDefault,    // RegOpenKeyW: no access mask given
  kRead,       // KEY_READ
  kAllAccess,  // KEY_ALL_ACCESS
};

struct RegKeyInfo {
  std::uint32_t subKeys = 0;
  std::uint32_t maxSubKeyNameLength = 0;  // characters, without terminator
  std::uint32_t values = 0;
  std::uint32_t maxValueNameLength = 0;  // characters, without terminator
  std::uint32_t maxValueDataSize = 0;    // bytes
};

class Registry {
 public:
  virtual ~Registry() = default;

  virtual WinError OpenKey(HKey root, std::wstring_view path, RegAccess access, HKey* key) = 0;
  // RegCreateKeyExW with KEY_ALL_ACCESS: opens the key, creating it and its parents.
  virtual WinError CreateKey(HKey root, std::wstring_view path, HKey* key) = 0;
  virtual WinError CloseKey(HKey key) = 0;

  // RegQueryValueExW. `size` is in bytes: on entry the buffer's size, on
  // return the value's size. A null `data` asks for the size only; a short
  // buffer gives 234 with the size needed. `type` may be null.
  virtual WinError QueryValue(HKey key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) = 0;

  // RegSetValueExW.
  virtual WinError SetValue(HKey key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) = 0;

  virtual WinError QueryInfoKey(HKey key, RegKeyInfo* info) = 0;

  // RegEnumValueW. `nameCapacity` is the name buffer in characters including
  // the terminator; a longer name gives 234. Data as for QueryValue. Past the
  // last value: 259.
  virtual WinError EnumValue(HKey key, std::uint32_t index, std::uint32_t nameCapacity, std::wstring* name,
                             std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) = 0;

  // RegEnumKeyExW with a buffer large enough for any key name. Past the last: 259.
  virtual WinError EnumKey(HKey key, std::uint32_t index, std::wstring* name) = 0;

  // RegDeleteValueW: the values after it move down by one index.
  virtual WinError DeleteValue(HKey key, std::wstring_view name) = 0;

  // SHDeleteKeyW: the key with all its sub-keys and values; 2 when absent.
  virtual WinError DeleteTree(HKey root, std::wstring_view path) = 0;
};

// An opened key, closed when the owner goes.
using UniqueRegKey = ServiceHandle<Registry, HKey, &Registry::CloseKey>;

// Every method above, once, for the forwarding proxies (platform/proxy.h)
// and the dry-run view, which refuses the CHANGES rows while a dry run is
// under way; each names the Windows call it stands for and its target.
//   READS(Result, Method, (Parameters), (Arguments))
//   CHANGES(Result, Method, (Parameters), (Arguments), WindowsCall, Target)
// clang-format off
#define ZC_REGISTRY_METHODS(READS, CHANGES) \
  READS(WinError, OpenKey, (HKey root, std::wstring_view path, RegAccess access, HKey* key), (root, path, access, key)) \
  CHANGES(WinError, CreateKey, (HKey root, std::wstring_view path, HKey* key), (root, path, key), RegCreateKey, path) \
  READS(WinError, CloseKey, (HKey key), (key)) \
  READS(WinError, QueryValue, (HKey key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size), (key, name, type, data, size)) \
  CHANGES(WinError, SetValue, (HKey key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size), (key, name, type, data, size), RegSetValue, name) \
  READS(WinError, QueryInfoKey, (HKey key, RegKeyInfo* info), (key, info)) \
  READS(WinError, EnumValue, (HKey key, std::uint32_t index, std::uint32_t nameCapacity, std::wstring* name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size), (key, index, nameCapacity, name, type, data, size)) \
  READS(WinError, EnumKey, (HKey key, std::uint32_t index, std::wstring* name), (key, index, name)) \
  CHANGES(WinError, DeleteValue, (HKey key, std::wstring_view name), (key, name), RegDeleteValue, name) \
  CHANGES(WinError, DeleteTree, (HKey root, std::wstring_view path), (root, path), SHDeleteKey, path)
// clang-format on

}  // namespace zc
