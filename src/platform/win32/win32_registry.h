// The registry over the Win32 registry functions.
//
// Handles: the predefined roots zc::kHkey* stand for HKEY_CLASSES_ROOT and
// its siblings; a key opened here carries its HKEY's value.
//
// Bitness: the 64-bit build is the test twin of the 32-bit program on 64-bit
// Windows, so every access it makes goes to the 32-bit view
// (KEY_WOW64_32KEY). The 32-bit build asks for no view.
#pragma once

#include "platform/registry.h"

namespace zc::win32 {

class Win32Registry : public Registry {
 public:
  WinError OpenKey(HKey root, std::wstring_view path, RegAccess access, HKey* key) override;
  WinError CreateKey(HKey root, std::wstring_view path, HKey* key) override;
  WinError CloseKey(HKey key) override;
  WinError QueryValue(HKey key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                      std::uint32_t* size) override;
  WinError SetValue(HKey key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                    std::uint32_t size) override;
  WinError QueryInfoKey(HKey key, RegKeyInfo* info) override;
  WinError EnumValue(HKey key, std::uint32_t index, std::uint32_t nameCapacity, std::wstring* name, std::uint32_t* type,
                     std::uint8_t* data, std::uint32_t* size) override;
  WinError EnumKey(HKey key, std::uint32_t index, std::wstring* name) override;
  WinError DeleteValue(HKey key, std::wstring_view name) override;
  WinError DeleteTree(HKey root, std::wstring_view path) override;
};

}  // namespace zc::win32
