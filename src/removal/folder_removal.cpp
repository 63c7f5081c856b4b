// Removing (or listing) a leftover folder tree, and the rule by which
// folders of the system are never touched.
#include "app/application.h"
#include "platform/text.h"
#include "safety/win_path.h"

namespace zc {

bool EnsureTrailingBackslash(std::wstring& path) {
  if (path.empty()) return false;
  if (!EndsWith(path, L'\\')) path += L'\\';
  return true;
}

bool VEZEZERidivorOde::ClearReadOnlyAttribute(const std::wstring& path) {
  const auto permit = Guard().PermitFile(path);
  return permit && ClearReadOnlyAttribute(*permit, path);
}

bool VEZEZERidivorOde::ClearReadOnlyAttribute(const ScopeGuard::Permit& permit, const std::wstring& path) {
  std::uint32_t attributes = 0;
  if (m_platform.fs.GetAttributes(path, &attributes) != err::kSuccess) return true;
  if (!(attributes & fileattr::kReadOnly)) return true;
  return Guard().SetAttributes(permit, path, fileattr::kNormal) == err::kSuccess;
}

void VEZEZERidivorOde::LogSensitive(const std::wstring& path, bool folder) {
  std::wstring shown = path;
  if (folder) EnsureTrailingBackslash(shown);
  m_log << L"Sensitive Folder! Will not remove contents of: " << shown << eol;
}

bool VEZEZERidivorOde::RemoveFolderTree(const std::wstring& folder, bool remove) {
  if (!folder.empty() && GetPathState(folder) != PathState::kAbsent) {
    RemovePath(folder, remove);
    return true;
  }
  m_log << L"Folder not found: \"" << folder << L"\"" << eol;
  return true;
}

// A link (junction, symbolic link, mount point) is never entered: what it
// points at is not the vendor's to remove. The link itself goes.
bool VEZEZERidivorOde::RemoveLink(const ScopeGuard::Permit& tree, const std::wstring& path, std::uint32_t attributes,
                                  bool remove) {
  m_log << (remove ? L"Removing Link: " : L"Link found: ") << path << eol;
  if (!remove) return true;
  if (attributes & fileattr::kDirectory) return Guard().RemoveFolder(tree, path) == err::kSuccess;
  return ClearReadOnlyAttribute(tree, path) && Guard().DeleteFile(tree, path) == err::kSuccess;
}

bool VEZEZERidivorOde::RemovePath(const std::wstring& path, bool remove) {
  std::uint32_t attributes = 0;
  const bool known = m_platform.fs.GetAttributes(path, &attributes) == err::kSuccess;
  // The path is judged once, by what it resolves to; everything the walk
  // below it removes is held to that judgement.
  const auto tree = winpath::IsFullyQualified(path) ? Guard().PermitTree(path) : std::nullopt;
  if (!tree) {
    LogSensitive(path, !known || (attributes & fileattr::kDirectory));
    return false;
  }
  return RemoveEntry(*tree, path, known ? &attributes : nullptr, remove);
}

// `attributes` is null when they could not be read. Inside a tree they come
// from the parent's listing (as WIN32_FIND_DATA gives them on Windows), so
// the walk does not ask the file system again for every file it meets.
bool VEZEZERidivorOde::RemoveEntry(const ScopeGuard::Permit& tree, const std::wstring& path,
                                   const std::uint32_t* attributes, bool remove) {
  auto& fs = m_platform.fs;
  if (attributes && (*attributes & fileattr::kReparsePoint)) return RemoveLink(tree, path, *attributes, remove);

  const PathState state =
      attributes ? ((*attributes & fileattr::kDirectory) ? PathState::kFolder : PathState::kFile) : GetPathState(path);
  if (state == PathState::kFile) {
    // The open log is never deleted: the walk passes over it, and the
    // folders that hold it stay.
    if (Guard().PassesOver(tree, path)) {
      LogSensitive(path, false);
      return false;
    }
    if (!remove) return true;
    if (attributes) {
      if ((*attributes & fileattr::kReadOnly) &&
          Guard().SetAttributes(tree, path, fileattr::kNormal) != err::kSuccess) {
        return false;
      }
    } else if (!ClearReadOnlyAttribute(tree, path)) {
      return false;
    }
    return Guard().DeleteFile(tree, path) == err::kSuccess;
  }

  std::wstring folder = path;
  if (!EnsureTrailingBackslash(folder)) return false;
  if (!PassesFolderRule(folder)) {
    m_log << L"Sensitive Folder! Will not remove contents of: " << folder << eol;
    return false;
  }
  const std::wstring pattern = folder + L"*.*";
  m_log << (remove ? L"Removing Folder: " : L"Folder found: ") << pattern << eol;

  UniqueFind find(fs);
  FindData entry;
  if (fs.FindFirst(pattern, find.put(), &entry) == err::kSuccess) {
    do {
      if (entry.name == L"." || entry.name == L"..") continue;
      RemoveEntry(tree, folder + entry.name, &entry.attributes, remove);
    } while (fs.FindNext(find.get(), &entry) == err::kSuccess);
  }
  find.reset();
  if (!remove) return true;
  return Guard().RemoveFolder(tree, path) == err::kSuccess;
}

bool VEZEZERidivorOde::IsFolderRemovable(const std::wstring& folder) {
  return PassesFolderRule(folder) && Guard().PermitTree(folder).has_value();
}

// The rule the walk applies to every folder it meets below a tree the scope
// guard has judged: what the folders resolve to was judged for the whole
// tree at once, and the walk never enters a link.
bool VEZEZERidivorOde::PassesFolderRule(const std::wstring& folder) {
  if (!winpath::IsFullyQualified(folder)) return false;
  std::uint32_t attributes = 0;
  if (m_platform.fs.GetAttributes(folder, &attributes) != err::kSuccess) return false;
  if (attributes & fileattr::kSystem) return false;

  const std::wstring lower = ToLowerAscii(folder);
  if (lower.find(m_strWindowsFolder) != std::wstring::npos) return false;
  if (lower.find(m_strSystemFolder) != std::wstring::npos) return false;
  if (EqualsNoCase(folder, m_strProgramFilesFolder)) return false;
  return true;
}

}  // namespace zc
