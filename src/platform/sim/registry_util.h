// Small conveniences over the Registry interface for the simulated
// machine's own programs (installer, msiexec, spooler, services) and for
// building machines. The tool itself never uses these: it makes its calls
// one by one, as on Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace zc::sim {

struct RegValueData {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

bool KeyExists(Registry& reg, HKey root, std::wstring_view path);
std::vector<std::wstring> SubKeyNames(Registry& reg, HKey root, std::wstring_view path);
std::vector<std::wstring> ValueNames(Registry& reg, HKey root, std::wstring_view path);
std::optional<RegValueData> ReadValue(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name);
// REG_SZ / REG_EXPAND_SZ as text (up to the first NUL); REG_DWORD as decimal.
std::optional<std::wstring> ReadText(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name);
std::optional<std::uint32_t> ReadDword(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name);

WinError WriteValue(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name, std::uint32_t type,
                    const std::vector<std::uint8_t>& data);
WinError WriteText(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name, std::wstring_view text,
                   std::uint32_t type = regtype::kSz);
WinError WriteDword(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name, std::uint32_t value);
WinError WriteMultiText(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name,
                        const std::vector<std::wstring>& items);
WinError EnsureKey(Registry& reg, HKey root, std::wstring_view path);
WinError RemoveValue(Registry& reg, HKey root, std::wstring_view path, std::wstring_view name);
// Deletes the key when it has neither values nor sub-keys.
bool RemoveKeyIfEmpty(Registry& reg, HKey root, std::wstring_view path);

std::vector<std::uint8_t> TextBytes(std::wstring_view text);  // UTF-16LE with its NUL
std::vector<std::wstring> SplitMultiText(const std::vector<std::uint8_t>& data);

}  // namespace zc::sim
