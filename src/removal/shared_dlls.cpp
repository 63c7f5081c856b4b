// The SharedDlls reference counts of files under a folder: listed, or
// deleted outright.
#include <cstdio>

#include "app/application.h"
#include "platform/text.h"
#include "safety/win_path.h"

namespace zc {

namespace {

std::wstring EntryLine(const wchar_t* head, const std::wstring& name, std::int32_t count) {
  return head + name + L"  -- Shared Count: " + std::to_wstring(count);
}

}  // namespace

bool VEZEZERidivorOde::CleanSharedDlls(const std::wstring& keyPath, const std::wstring& folder, bool remove) {
  std::wstring guarded = folder;
  if (!EndsWith(guarded, L'\\')) guarded += L'\\';
  // A folder too wide or protected is refused whether or not it exists: the
  // values of a missing drive's root are still other products' counts.
  if (!winpath::IsFullyQualified(guarded) || !Guard().PermitsSharedDllsFolder(guarded) ||
      (!IsFolderRemovable(guarded) && GetPathState(guarded) != PathState::kAbsent)) {
    LogSensitiveSharedDlls(guarded);
    return false;
  }

  m_log << eol << L"*** List of ZENTA Related Shared DLL registry entries for path  " << folder << eol;

  auto& registry = m_platform.registry;
  UniqueRegKey key(registry);
  if (registry.OpenKey(kHkeyLocalMachine, keyPath, RegAccess::kAllAccess, key.put()) != err::kSuccess) return false;
  RegKeyInfo info;
  if (registry.QueryInfoKey(key.get(), &info) != err::kSuccess) return false;
  if (info.values == 0 || info.maxValueNameLength == 0) return true;

  std::wstring_view top = folder;
  while (!top.empty() && top.back() == L'\\') top.remove_suffix(1);
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
    // Only below the folder, at a name's boundary: "...\\Vexil" does not
    // take "...\\Vexilon\\x.dll", another product's.
    if (!winpath::IsBelow(name, top)) continue;
    // A name that only seems to lie below the folder ("..\\" on its way) is
    // judged as the file it names, in a dry run as in a removal.
    if (!Guard().PermitsSharedDllsValue(folder, name)) {
      LogSensitiveSharedDlls(name);
      continue;
    }

    const auto shared = static_cast<std::int32_t>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                  (static_cast<std::uint32_t>(data[3]) << 24));
    if (!remove) {
      m_log << EntryLine(L"Entry Found: ", name, shared) << eol;
      continue;
    }
    last = Guard().DeleteSharedDllsValue(registry, key.get(), folder, name);
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

void VEZEZERidivorOde::LogSensitiveSharedDlls(const std::wstring& path) {
  m_log << L"Sensitive Path! Will not remove Shared DLL registry entries for: " << path << eol;
}

}  // namespace zc
