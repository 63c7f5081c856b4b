#include "platform/win32/win32_registry.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace zc::win32 {
namespace {

#ifdef _WIN64
constexpr REGSAM kView = KEY_WOW64_32KEY;
#else
constexpr REGSAM kView = 0;
#endif

// The longest key name the registry holds, and its terminator.
constexpr DWORD kKeyNameCapacity = 256;

struct PredefinedRoot {
  HKey key;
  HKEY hkey;
};

const PredefinedRoot kPredefinedRoots[] = {
    {kHkeyClassesRoot, HKEY_CLASSES_ROOT},         {kHkeyCurrentUser, HKEY_CURRENT_USER},
    {kHkeyLocalMachine, HKEY_LOCAL_MACHINE},       {kHkeyUsers, HKEY_USERS},
    {kHkeyPerformanceData, HKEY_PERFORMANCE_DATA}, {kHkeyCurrentConfig, HKEY_CURRENT_CONFIG},
};

bool IsPredefined(HKey key) {
  for (const auto& root : kPredefinedRoots) {
    if (root.key == key) return true;
  }
  return false;
}

// The predefined roots are sign-extended pointers in a 64-bit process, so
// they are mapped by table, not by value.
HKEY ToHkey(HKey key) {
  for (const auto& root : kPredefinedRoots) {
    if (root.key == key) return root.hkey;
  }
  return reinterpret_cast<HKEY>(key.value);
}

HKey FromHkey(HKEY hkey) { return HKey{reinterpret_cast<std::uintptr_t>(hkey)}; }

REGSAM AccessMask(RegAccess access) {
  switch (access) {
    case RegAccess::kRead: return KEY_READ;
    case RegAccess::kAllAccess: return KEY_ALL_ACCESS;
    case RegAccess::kDefault: break;
  }
  // What RegOpenKeyW asks for.
  return MAXIMUM_ALLOWED;
}

WinError ToError(LSTATUS status) { return static_cast<WinError>(status); }

}  // namespace

WinError Win32Registry::OpenKey(HKey root, std::wstring_view path, RegAccess access, HKey* key) {
  if (key == nullptr) return err::kInvalidParameter;
  *key = HKey{};
  const std::wstring subKey(path);
  HKEY opened = nullptr;
  const LSTATUS status = ::RegOpenKeyExW(ToHkey(root), subKey.c_str(), 0, AccessMask(access) | kView, &opened);
  if (status != ERROR_SUCCESS) return ToError(status);
  *key = FromHkey(opened);
  return err::kSuccess;
}

WinError Win32Registry::CreateKey(HKey root, std::wstring_view path, HKey* key) {
  if (key == nullptr) return err::kInvalidParameter;
  *key = HKey{};
  const std::wstring subKey(path);
  HKEY created = nullptr;
  const LSTATUS status = ::RegCreateKeyExW(ToHkey(root), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS | kView, nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) return ToError(status);
  *key = FromHkey(created);
  return err::kSuccess;
}

WinError Win32Registry::CloseKey(HKey key) {
  if (IsPredefined(key)) return err::kSuccess;
  return ToError(::RegCloseKey(ToHkey(key)));
}

WinError Win32Registry::QueryValue(HKey key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                                   std::uint32_t* size) {
  if (data != nullptr && size == nullptr) return err::kInvalidParameter;
  const std::wstring valueName(name);
  DWORD valueType = REG_NONE;
  DWORD byteCount = size != nullptr ? *size : 0;
  const LSTATUS status = ::RegQueryValueExW(ToHkey(key), valueName.c_str(), nullptr, &valueType, data,
                                            size != nullptr ? &byteCount : nullptr);
  if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    if (size != nullptr) *size = byteCount;
    if (type != nullptr) *type = valueType;
  }
  return ToError(status);
}

WinError Win32Registry::SetValue(HKey key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                                 std::uint32_t size) {
  const std::wstring valueName(name);
  return ToError(::RegSetValueExW(ToHkey(key), valueName.c_str(), 0, type, data, size));
}

WinError Win32Registry::QueryInfoKey(HKey key, RegKeyInfo* info) {
  if (info == nullptr) return err::kInvalidParameter;
  *info = RegKeyInfo{};
  DWORD subKeys = 0, maxSubKeyLength = 0, values = 0, maxValueNameLength = 0, maxValueDataSize = 0;
  const LSTATUS status = ::RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLength, nullptr,
                                            &values, &maxValueNameLength, &maxValueDataSize, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return ToError(status);
  info->subKeys = subKeys;
  info->maxSubKeyNameLength = maxSubKeyLength;
  info->values = values;
  info->maxValueNameLength = maxValueNameLength;
  info->maxValueDataSize = maxValueDataSize;
  return err::kSuccess;
}

WinError Win32Registry::EnumValue(HKey key, std::uint32_t index, std::uint32_t nameCapacity, std::wstring* name,
                                  std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  if (data != nullptr && size == nullptr) return err::kInvalidParameter;
  // The name buffer always exists (the call needs one), even when the
  // caller does not want the name.
  std::vector<wchar_t> nameBuffer(static_cast<std::size_t>(nameCapacity) + 1, L'\0');
  DWORD nameLength = nameCapacity;
  DWORD valueType = REG_NONE;
  DWORD byteCount = size != nullptr ? *size : 0;
  const LSTATUS status = ::RegEnumValueW(ToHkey(key), index, nameBuffer.data(), &nameLength, nullptr, &valueType, data,
                                         size != nullptr ? &byteCount : nullptr);
  if (status == ERROR_SUCCESS) {
    if (name != nullptr) name->assign(nameBuffer.data(), nameLength);
    if (type != nullptr) *type = valueType;
    if (size != nullptr) *size = byteCount;
  } else if (status == ERROR_MORE_DATA && size != nullptr) {
    *size = byteCount;
  }
  return ToError(status);
}

WinError Win32Registry::EnumKey(HKey key, std::uint32_t index, std::wstring* name) {
  wchar_t buffer[kKeyNameCapacity] = {};
  DWORD length = kKeyNameCapacity;
  const LSTATUS status = ::RegEnumKeyExW(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS && name != nullptr) name->assign(buffer, length);
  return ToError(status);
}

WinError Win32Registry::DeleteValue(HKey key, std::wstring_view name) {
  const std::wstring valueName(name);
  return ToError(::RegDeleteValueW(ToHkey(key), valueName.c_str()));
}

WinError Win32Registry::DeleteTree(HKey root, std::wstring_view path) {
  // A predefined root is never deleted, nor emptied.
  if (IsPredefined(root) && path.empty()) return err::kAccessDenied;
  const std::wstring subKey(path);
#ifdef _WIN64
  // SHDeleteKeyW takes no view: open the key in the 32-bit view, empty it,
  // then delete the key itself in that view.
  UniqueHkey key;
  LSTATUS status = ::RegOpenKeyExW(ToHkey(root), subKey.c_str(), 0, KEY_ALL_ACCESS | kView, key.put());
  if (status != ERROR_SUCCESS) return ToError(status);
  status = ::RegDeleteTreeW(key.get(), nullptr);
  if (status != ERROR_SUCCESS) return ToError(status);
  if (path.empty()) {
    // The key named by an opened handle alone.
    return ToError(::RegDeleteKeyExW(key.get(), L"", kView, 0));
  }
  key.reset();
  return ToError(::RegDeleteKeyExW(ToHkey(root), subKey.c_str(), kView, 0));
#else
  return ToError(::SHDeleteKeyW(ToHkey(root), subKey.c_str()));
#endif
}

}  // namespace zc::win32
