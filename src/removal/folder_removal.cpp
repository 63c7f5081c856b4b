// Removing (or listing) a leftover folder tree, and the rule by which
// folders of the system are never touched.
#include "app/application.h"
#include "platform/text.h"

namespace zc {

bool EnsureTrailingBackslash(std::wstring& path) {
  if (path.empty()) return false;
  if (!EndsWith(path, L'\\')) path += L'\\';
  return true;
}

bool VEZEZERidivorOde::ClearReadOnlyAttribute(const std::wstring& path) {
  std::uint32_t attributes = 0;
  if (m_platform.fs.GetAttributes(path, &attributes) != err::kSuccess) return true;
  if (!(attributes & fileattr::kReadOnly)) return true;
  return m_platform.fs.SetAttributes(path, fileattr::kNormal) == err::kSuccess;
}

bool VEZEZERidivorOde::RemoveFolderTree(const std::wstring& folder, bool remove) {
  if (!folder.empty() && GetPathState(folder) != 0) {
    RemovePath(folder, remove);
    return true;
  }
  m_log << L"Folder not found: \"" << folder << L"\"" << eol;
  return true;
}

// A link (junction, symbolic link, mount point) is never entered: what it
// points at is not the vendor's to remove. The link itself goes.
bool VEZEZERidivorOde::RemoveLink(const std::wstring& path, std::uint32_t attributes, bool remove) {
  m_log << (remove ? L"Removing Link: " : L"Link found: ") << path << eol;
  if (!remove) return true;
  auto& fs = m_platform.fs;
  if (attributes & fileattr::kDirectory) return fs.RemoveFolder(path) == err::kSuccess;
  return ClearReadOnlyAttribute(path) && fs.DeleteFileAt(path) == err::kSuccess;
}

bool VEZEZERidivorOde::RemovePath(const std::wstring& path, bool remove) {
  std::uint32_t attributes = 0;
  const bool known = m_platform.fs.GetAttributes(path, &attributes) == err::kSuccess;
  return RemoveEntry(path, known ? &attributes : nullptr, remove);
}

// `attributes` is null when they could not be read. Inside a tree they come
// from the parent's listing (as WIN32_FIND_DATA gives them on Windows), so
// the walk does not ask the file system again for every file it meets.
bool VEZEZERidivorOde::RemoveEntry(const std::wstring& path, const std::uint32_t* attributes, bool remove) {
  auto& fs = m_platform.fs;
  if (attributes && (*attributes & fileattr::kReparsePoint)) return RemoveLink(path, *attributes, remove);

  const int state = attributes ? ((*attributes & fileattr::kDirectory) ? 2 : 1) : GetPathState(path);
  if (state == 1) {
    if (!remove) return true;
    if (attributes) {
      if ((*attributes & fileattr::kReadOnly) && fs.SetAttributes(path, fileattr::kNormal) != err::kSuccess) {
        return false;
      }
    } else if (!ClearReadOnlyAttribute(path)) {
      return false;
    }
    return fs.DeleteFileAt(path) == err::kSuccess;
  }

  std::wstring folder = path;
  if (!EnsureTrailingBackslash(folder)) return false;
  if (!IsFolderRemovable(folder)) {
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
      RemoveEntry(folder + entry.name, &entry.attributes, remove);
    } while (fs.FindNext(find.get(), &entry) == err::kSuccess);
  }
  find.reset();
  if (!remove) return true;
  return fs.RemoveFolder(path) == err::kSuccess;
}

std::wstring VEZEZERidivorOde::NormaliseForGuard(const std::wstring& folder) {
  // The path as Windows will resolve it: relative paths against the current
  // directory, "." and ".." folded, trailing dots and blanks dropped.
  std::wstring path = folder;
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  std::wstring current;
  WinError error = 0;
  m_platform.system.GetCurrentDir(32768, &current, &error);
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
    // A network path: its share is as far up as it goes.
  } else if (path.size() >= 2 && path[1] == L':') {
    if (path.size() == 2 || path[2] != L'\\') path = path.substr(0, 2) + L"\\" + path.substr(2);
  } else if (!path.empty() && path[0] == L'\\') {
    path = current.substr(0, 2) + path;
  } else {
    path = current + L"\\" + path;
  }
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  std::wstring head;
  if (path.size() >= 2 && path[1] == L':') {
    head = path.substr(0, 2);
    start = 3;
  }
  while (start <= path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
    if (!part.empty()) parts.push_back(part);
  }
  std::wstring out = head + L"\\";
  for (const auto& p : parts) out += p + L"\\";
  return ToLowerAscii(out);
}

bool VEZEZERidivorOde::IsFolderRemovable(const std::wstring& folder) {
  if (!IsFullyQualifiedPath(folder)) return false;
  std::uint32_t attributes = 0;
  if (m_platform.fs.GetAttributes(folder, &attributes) != err::kSuccess) return false;
  if (attributes & fileattr::kSystem) return false;

  const std::wstring lower = ToLowerAscii(folder);
  if (lower.find(m_strWindowsFolder) != std::wstring::npos) return false;
  if (lower.find(m_strSystemFolder) != std::wstring::npos) return false;
  if (EqualsNoCase(folder, m_strProgramFilesFolder)) return false;

  // Folders too wide to be any product's: a drive root, an ancestor of the
  // Windows, system or programs folder, and the shared folders of all users.
  const std::wstring normal = NormaliseForGuard(folder);
  if (normal.size() <= 3 || normal.rfind(L"\\\\", 0) == 0) return false;
  for (const std::wstring* guarded : {&m_strWindowsFolder, &m_strSystemFolder, &m_strProgramFilesFolder}) {
    if (guarded->size() > 1 && guarded->rfind(normal, 0) == 0) return false;
    if (normal.find(*guarded) != std::wstring::npos && guarded != &m_strProgramFilesFolder) return false;
  }
  for (const auto& guarded : m_guardFolders) {
    if (guarded.rfind(normal, 0) == 0) return false;  // the folder itself or one of its ancestors
  }
  return true;
}

}  // namespace zc
