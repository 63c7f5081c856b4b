#include "platform/sim/registry_util.h"

#include "platform/text.h"

namespace zc::sim {

namespace {

UniqueRegKey Open(Registry& reg, HKey root, std::wstring_view path, RegAccess access = RegAccess::kRead) {
  UniqueRegKey key(reg);
  if (reg.OpenKey(root, path, access, key.put()) != err::kSuccess) key.reset();
  return key;
}

}  // namespace

bool KeyExists(Registry& reg, HKey root, std::wstring_view path) { return static_cast<bool>(Open(reg, root, path)); }

std::vector<std::wstring> SubKeyNames(Registry& reg, HKey root, std::wstring_view path) {
  std::vector<std::wstring> names;
  auto key = Open(reg, root, path);
  if (!key) return names;
  std::wstring name;
  for (std::uint32_t i = 0; reg.EnumKey(key.get(), i, &name) == err::kSuccess; ++i) names.push_back(name);
  return names;
}

std::vector<std::wstring> ValueNames(Registry& reg, HKey root, std::wstring_view path) {
  std::vector<std::wstring> names;
  auto key = Open(reg, root, path);
  if (!key) return names;
  RegKeyInfo info;
  if (reg.QueryInfoKey(key.get(), &info) != err::kSuccess) return names;
  std::wstring name;
  for (std::uint32_t i = 0;; ++i) {
    std::uint32_t size = 0;
    const WinError e = reg.EnumValue(key.get(), i, info.maxValueNameLength + 1, &name, nullptr, nullptr, &size);
    if (e == err::kNoMoreItems) break;
    if (e == err::kSuccess || e == err::kMoreData) names.push_back(name);
  }
  return names;
}

std::optional<RegValueData> ReadValue(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name) {
  auto key = Open(reg, root, path);
  if (!key) return std::nullopt;
  RegValueData value;
  std::uint32_t size = 0;
  if (reg.QueryValue(key.get(), name, &value.type, nullptr, &size) != err::kSuccess) return std::nullopt;
  value.data.resize(size);
  if (size > 0 && reg.QueryValue(key.get(), name, &value.type, value.data.data(), &size) != err::kSuccess) {
    return std::nullopt;
  }
  value.data.resize(size);
  return value;
}

std::optional<std::wstring> ReadText(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name) {
  auto value = ReadValue(reg, root, path, name);
  if (!value) return std::nullopt;
  if (value->type == regtype::kDword && value->data.size() == 4) {
    const std::uint32_t n = value->data[0] | (value->data[1] << 8) | (value->data[2] << 16) |
                            (static_cast<std::uint32_t>(value->data[3]) << 24);
    return std::to_wstring(n);
  }
  std::wstring text = FromUtf16Le(value->data.data(), value->data.size());
  if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
  return text;
}

std::optional<std::uint32_t> ReadDword(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name) {
  auto value = ReadValue(reg, root, path, name);
  if (!value || value->data.size() < 4) return std::nullopt;
  return value->data[0] | (value->data[1] << 8) | (value->data[2] << 16) |
         (static_cast<std::uint32_t>(value->data[3]) << 24);
}

WinError EnsureKey(Registry& reg, HKey root, std::wstring_view path) {
  UniqueRegKey key(reg);
  return reg.CreateKey(root, path, key.put());
}

WinError WriteValue(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name, std::uint32_t type,
                    const std::vector<std::uint8_t>& data) {
  UniqueRegKey key(reg);
  if (const WinError e = reg.CreateKey(root, path, key.put())) return e;
  return reg.SetValue(key.get(), name, type, data.data(), static_cast<std::uint32_t>(data.size()));
}

std::vector<std::uint8_t> TextBytes(std::wstring_view text) {
  auto bytes = ToUtf16Le(text);
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

WinError WriteText(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name, std::wstring_view text,
                   std::uint32_t type) {
  return WriteValue(reg, root, path, name, type, TextBytes(text));
}

WinError WriteDword(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name, std::uint32_t value) {
  const std::vector<std::uint8_t> data = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                          static_cast<std::uint8_t>(value >> 16),
                                          static_cast<std::uint8_t>(value >> 24)};
  return WriteValue(reg, root, path, name, regtype::kDword, data);
}

WinError WriteMultiText(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name,
                        const std::vector<std::wstring>& items) {
  std::vector<std::uint8_t> data;
  for (const auto& item : items) {
    const auto bytes = TextBytes(item);
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  data.push_back(0);
  data.push_back(0);
  return WriteValue(reg, root, path, name, regtype::kMultiSz, data);
}

std::vector<std::wstring> SplitMultiText(const std::vector<std::uint8_t>& data) {
  std::vector<std::wstring> items;
  const std::wstring all = FromUtf16Le(data.data(), data.size());
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find(L'\0', start);
    if (end == std::wstring::npos) end = all.size();
    if (end == start) break;  // an empty item ends the list
    items.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

WinError RemoveValue(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name) {
  UniqueRegKey key(reg);
  if (const WinError e = reg.OpenKey(root, path, RegAccess::kAllAccess, key.put())) return e;
  return reg.DeleteValue(key.get(), name);
}

bool RemoveKeyIfEmpty(Registry& reg, HKey root, std::wstring_view path) {
  {
    auto key = Open(reg, root, path);
    if (!key) return false;
    RegKeyInfo info;
    if (reg.QueryInfoKey(key.get(), &info) != err::kSuccess || info.values != 0 || info.subKeys != 0) return false;
  }
  return reg.DeleteTree(root, path) == err::kSuccess;
}

}  // namespace zc::sim
