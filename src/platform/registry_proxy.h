// A registry that hands every call on to another one. A test derives from it
// and overrides the one call it wants to fail, or to watch.
#pragma once

#include "platform/registry.h"

namespace zc {

class ProxyRegistry : public Registry {
 public:
  explicit ProxyRegistry(Registry& target) : target_(target) {}

  WinError OpenKey(HKey root, std::wstring_view path, RegAccess access, HKey* key) override {
    return target_.OpenKey(root, path, access, key);
  }
  WinError CreateKey(HKey root, std::wstring_view path, HKey* key) override {
    return target_.CreateKey(root, path, key);
  }
  WinError CloseKey(HKey key) override { return target_.CloseKey(key); }
  WinError QueryValue(HKey key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                      std::uint32_t* size) override {
    return target_.QueryValue(key, name, type, data, size);
  }
  WinError SetValue(HKey key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                    std::uint32_t size) override {
    return target_.SetValue(key, name, type, data, size);
  }
  WinError QueryInfoKey(HKey key, RegKeyInfo* info) override { return target_.QueryInfoKey(key, info); }
  WinError EnumValue(HKey key, std::uint32_t index, std::uint32_t nameCapacity, std::wstring* name, std::uint32_t* type,
                     std::uint8_t* data, std::uint32_t* size) override {
    return target_.EnumValue(key, index, nameCapacity, name, type, data, size);
  }
  WinError EnumKey(HKey key, std::uint32_t index, std::wstring* name) override {
    return target_.EnumKey(key, index, name);
  }
  WinError DeleteValue(HKey key, std::wstring_view name) override { return target_.DeleteValue(key, name); }
  WinError DeleteTree(HKey root, std::wstring_view path) override { return target_.DeleteTree(root, path); }

 protected:
  Registry& target() { return target_; }

 private:
  Registry& target_;
};

}  // namespace zc
