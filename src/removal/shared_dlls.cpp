// The SharedDlls reference counts of files under a folder: listed, or
// deleted outright.
#include <cstdio>

#include "app/application.h"
#include "platform/text.h"

namespace zc {

namespace {

wchar_t LowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

// Whether `lowerPart` (lower-cased A-Z) occurs in `text` lower-cased the
// same way: what ToLowerAscii(text).find(lowerPart) tells, without making
// a lower-cased copy of every value name of the key.
bool ContainsLowerAscii(std::wstring_view text, std::wstring_view lowerPart) {
  if (lowerPart.empty()) return true;
  if (text.size() < lowerPart.size()) return false;
  for (std::size_t i = 0; i + lowerPart.size() <= text.size(); ++i) {
    std::size_t j = 0;
    while (j < lowerPart.size() && LowerAscii(text[i + j]) == lowerPart[j]) ++j;
    if (j == lowerPart.size()) return true;
  }
  return false;
}

std::wstring EntryLine(const wchar_t* head, const std::wstring& name, std::int32_t count) {
  return head + name + L"  -- Shared Count: " + std::to_wstring(count);
}

}  // namespace

bool VEZEZERidivorOde::CleanSharedDlls(const std::wstring& keyPath, const std::wstring& folder, bool remove) {
  std::wstring guarded = folder;
  if (!EndsWith(guarded, L'\\')) guarded += L'\\';
  if (!IsFullyQualifiedPath(guarded) || (!IsFolderRemovable(guarded) && GetPathState(guarded) != 0)) {
    m_log << L"Sensitive Path! Will not remove Shared DLL registry entries for: " << guarded << eol;
    return false;
  }

  m_log << eol << L"*** List of ZENTA Related Shared DLL registry entries for path  " << folder << eol;

  auto& registry = m_platform.registry;
  UniqueRegKey key(registry);
  if (registry.OpenKey(kHkeyLocalMachine, keyPath, RegAccess::kAllAccess, key.put()) != err::kSuccess) return false;
  RegKeyInfo info;
  if (registry.QueryInfoKey(key.get(), &info) != err::kSuccess) return false;
  if (info.values == 0 || info.maxValueNameLength == 0) return true;

  const std::wstring lowerFolder = ToLowerAscii(folder);
  const std::uint32_t nameCapacity = info.maxValueNameLength + 1;
  std::uint32_t count = info.values;
  WinError last = err::kSuccess;
  std::wstring name;  // one buffer for the whole walk, as a caller of RegEnumValue keeps one
  for (std::uint32_t index = 0; index < count; ++index) {
    std::uint8_t data[4] = {0, 0, 0, 0};
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    last = registry.EnumValue(key.get(), index, nameCapacity, &name, &type, data, &size);
    // A value whose data is not one 32-bit count cannot be read into the
    // count and is passed over, as a value that cannot be read.
    if (last != err::kSuccess) continue;
    if (!ContainsLowerAscii(name, lowerFolder)) continue;

    const auto shared = static_cast<std::int32_t>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                  (static_cast<std::uint32_t>(data[3]) << 24));
    if (!remove) {
      m_log << EntryLine(L"Entry Found: ", name, shared) << eol;
      continue;
    }
    last = registry.DeleteValue(key.get(), name);
    if (last == err::kSuccess) {
      m_log << EntryLine(L"Removed Entry : ", name, shared) << eol;
      // The value after it has moved into this index: read it next.
      --index;
      --count;
    } else {
      m_log << eol;
    }
  }
  return last == err::kSuccess;
}

}  // namespace zc
