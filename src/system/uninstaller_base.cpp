#include "system/uninstaller_base.h"

#include <cstdio>
#include <vector>

#include "platform/text.h"

namespace zc {

namespace {

constexpr std::uint32_t kFirstReadBytes = 512;

// The data of a value taken as UTF-16 text, up to the first NUL or the end
// of the data.
std::wstring TextOf(const std::uint8_t* data, std::uint32_t size) {
  std::wstring text = FromUtf16Le(data, size - size % 2);
  if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
  return text;
}

std::wstring HandleDigits(HKey key) {
  wchar_t buffer[16];
  std::swprintf(buffer, 16, L"%08X", static_cast<unsigned>(key.value & 0xFFFFFFFFu));
  return buffer;
}

}  // namespace

std::wstring RootKeyName(HKey root) {
  if (root == kHkeyClassesRoot) return L"HKEY_CLASSES_ROOT\\";
  if (root == kHkeyCurrentUser) return L"HKEY_CURRENT_USER\\";
  if (root == kHkeyLocalMachine) return L"HKEY_LOCAL_MACHINE\\";
  if (root == kHkeyUsers) return L"HKEY_USERS\\";
  if (root == kHkeyCurrentConfig) return L"HKEY_CURRENT_CONFIG\\";
  return L"SUBKEY\\";
}

bool UninstallerBase::DeleteKey(HKey root, const std::wstring& path) {
  m_log << L"DeleteKey: " << RootKeyName(root) << path << eol;
  if (m_bDryRun) return true;
  const WinError result = m_registry.DeleteTree(root, path);
  if (result == err::kSuccess) return true;
  if (result == err::kFileNotFound) {
    m_log << "Nothing to delete, key does not exist" << eol;
    return true;
  }
  m_log << "FAILED with error code " << result << eol;
  return false;
}

std::wstring UninstallerBase::QueryStringValue(HKey key, const std::wstring& name, const std::wstring& defaultText,
                                               std::uint32_t* status) {
  std::vector<std::uint8_t> buffer(kFirstReadBytes, 0);
  std::uint32_t size = kFirstReadBytes;
  std::uint32_t type = 0;
  WinError result = m_registry.QueryValue(key, name, &type, buffer.data(), &size);
  if (result == err::kMoreData && (type == regtype::kSz || type == regtype::kExpandSz)) {
    buffer.assign(size, 0);
    result = m_registry.QueryValue(key, name, &type, buffer.data(), &size);
  }
  if (status) *status = result;
  if (result != err::kSuccess) {
    m_log << L"Failed to read \"" << HandleDigits(key) << L":" << name << L"\", using default: " << defaultText << eol;
    return defaultText;
  }
  std::wstring text = TextOf(buffer.data(), size < buffer.size() ? size : static_cast<std::uint32_t>(buffer.size()));
  if (type == regtype::kExpandSz) text = ExpandEnvironment(text);
  return text;
}

std::wstring UninstallerBase::ReadStringValue(HKey root, const std::wstring& path, const std::wstring& name,
                                              const std::wstring& defaultText, std::uint32_t* status) {
  UniqueRegKey key(m_registry);
  const WinError result = m_registry.OpenKey(root, path, RegAccess::kDefault, key.put());
  if (status) *status = result;
  if (result != err::kSuccess) {
    m_log << L"Failed to open key \"" << path << L"\", using default value: " << defaultText << eol;
    return defaultText;
  }
  return QueryStringValue(key.get(), name, defaultText);
}

std::wstring UninstallerBase::ExpandEnvironment(const std::wstring& text) {
  const std::uint32_t needed = m_system.ExpandEnvironment(text, nullptr);
  if (needed == 0) return {};
  std::wstring expanded;
  m_system.ExpandEnvironment(text, &expanded);
  return expanded;
}

std::wstring ReadLocalMachineString(Registry& registry, const std::wstring& path, const std::wstring& name) {
  UniqueRegKey key(registry);
  if (registry.OpenKey(kHkeyLocalMachine, path, RegAccess::kRead, key.put()) != err::kSuccess) return {};
  std::uint32_t size = 0;
  if (registry.QueryValue(key.get(), name, nullptr, nullptr, &size) != err::kSuccess || size == 0) return {};
  // size / 2 + 1 characters: room for a terminator after an odd-sized or
  // unterminated value.
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size / 2 + 1) * 2, 0);
  std::uint32_t readSize = size;
  registry.QueryValue(key.get(), name, nullptr, buffer.data(), &readSize);
  return TextOf(buffer.data(), size - size % 2);
}

}  // namespace zc
