#include "platform/sim/sim_filesystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace zc::sim {

namespace {

constexpr WinError kBadNetPath = 53;
constexpr WinError kDirectory = 267;  // ERROR_DIRECTORY: not a folder
constexpr WinError kFilenameTooLong = 206;
constexpr std::size_t kMaxPath = 260;

constexpr std::uint32_t kSettableAttributes =
    fileattr::kReadOnly | fileattr::kHidden | fileattr::kSystem | fileattr::kArchive | 0x2000u /* not indexed */;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool HasInvalidCharacter(std::wstring_view name) {
  for (wchar_t c : name) {
    if (c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' || c == L'*') {
      return true;
    }
  }
  return false;
}

std::string HostName(std::wstring_view name) { return ToUtf8(name); }

class HostOutputFile : public OutputFile {
 public:
  explicit HostOutputFile(std::FILE* file) : file_(file) {}
  ~HostOutputFile() override {
    if (file_) std::fclose(file_);
  }
  bool Write(const char* bytes, std::size_t count) override {
    return std::fwrite(bytes, 1, count, file_) == count;
  }
  bool Flush() override { return std::fflush(file_) == 0; }

 private:
  std::FILE* file_;
};

bool WildcardMatch(std::wstring_view p, std::wstring_view n) {
  // Iterative glob with backtracking over the last '*'.
  std::size_t pi = 0, ni = 0, star = std::wstring_view::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == L'?' || UpcaseChar(p[pi]) == UpcaseChar(n[ni]))) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == L'*') {
      star = pi++;
      mark = ni;
    } else if (star != std::wstring_view::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == L'*') ++pi;
  return pi == p.size();
}

}  // namespace

bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name) {
  if (pattern == L"*.*" || pattern == L"*") return true;
  if (WildcardMatch(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == L".*" && name.find(L'.') == std::wstring_view::npos) {
    return WildcardMatch(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

SimFileSystem::SimFileSystem(fs::path machineRoot, std::function<std::wstring()> currentDirectory,
                             FaultPlan* faults)
    : root_(std::move(machineRoot)), currentDirectory_(std::move(currentDirectory)), faults_(faults) {
  std::error_code ec;
  canonicalRoot_ = fs::weakly_canonical(root_, ec);
  if (ec) canonicalRoot_ = root_;
}

std::wstring SimFileSystem::Key(const std::wstring& windowsPath) {
  std::wstring key = windowsPath;
  for (auto& c : key) c = UpcaseChar(c);
  return key;
}

std::optional<std::wstring> SimFileSystem::DriveRoot(wchar_t letter) const {
  const wchar_t lower = static_cast<wchar_t>(letter >= L'A' && letter <= L'Z' ? letter - L'A' + L'a' : letter);
  if (lower < L'a' || lower > L'z') return std::nullopt;
  std::wstring name = L"drive_";
  name.push_back(lower);
  std::error_code ec;
  if (!fs::is_directory(root_ / HostName(name), ec)) return std::nullopt;
  return name;
}

bool SimFileSystem::InsideMachine(const fs::path& hostPath) const {
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(hostPath, ec);
  if (ec) return false;
  const std::string root = canonicalRoot_.string() + "/drive_";
  const std::string t = target.string();
  return t.compare(0, root.size(), root) == 0;
}

WinError SimFileSystem::Resolve(std::wstring_view rawPath, Resolved* out, bool allowMissingFolders) {
  std::wstring_view path = rawPath;
  bool literal = false;
  if (path.size() >= 4 && path.substr(0, 4) == L"\\\\?\\") {
    path.remove_prefix(4);
    literal = true;
  }
  if (path.empty()) return err::kPathNotFound;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return kBadNetPath;

  // Work out the drive and the full list of parts.
  const std::wstring current = currentDirectory_ ? currentDirectory_() : L"C:\\";
  wchar_t drive = current.empty() ? L'C' : current[0];
  std::wstring full;
  if (path.size() >= 2 && path[1] == L':') {
    drive = path[0];
    std::wstring_view rest = path.substr(2);
    if (!rest.empty() && IsSeparator(rest[0])) {
      full = std::wstring(rest);
    } else if (UpcaseChar(drive) == UpcaseChar(current.empty() ? L'C' : current[0])) {
      full = current.substr(2) + L"\\" + std::wstring(rest);
    } else {
      full = L"\\" + std::wstring(rest);
    }
  } else if (IsSeparator(path[0])) {
    full = std::wstring(path);
  } else {
    full = (current.size() > 2 ? current.substr(2) : std::wstring(L"\\")) + L"\\" + std::wstring(path);
  }

  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = start;
    while (end < full.size() && !IsSeparator(full[end])) ++end;
    std::wstring part = full.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    if (!literal) {
      if (part == L".") continue;
      if (part == L"..") {
        if (!parts.empty()) parts.pop_back();
        continue;
      }
      // Win32 drops trailing dots and blanks of each name.
      while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
      if (part.empty()) continue;
    }
    if (HasInvalidCharacter(part)) return err::kInvalidName;
    parts.push_back(std::move(part));
    if (end >= full.size()) break;
  }

  std::wstring windows;
  windows.push_back(UpcaseChar(drive));
  windows += L":";
  // Characters of "X:\a\b" and its terminating NUL: MAX_PATH counts the NUL.
  std::size_t length = 3;
  for (const auto& p : parts) length += p.size() + 1;
  if (length > kMaxPath && !literal) return kFilenameTooLong;

  const auto driveFolder = DriveRoot(drive);
  if (!driveFolder) return err::kPathNotFound;
  fs::path host = root_ / HostName(*driveFolder);

  if (parts.empty()) {
    out->host = host;
    out->windows = windows + L"\\";
    out->exists = true;
    return err::kSuccess;
  }

  bool missingFolder = false;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    // The folder we are in must be a folder (following links inside the machine).
    std::error_code ec;
    const auto status = fs::symlink_status(host, ec);
    if (fs::is_symlink(status)) {
      if (!InsideMachine(host)) return err::kAccessDenied;
    }
    if (!fs::is_directory(host, ec)) {
      if (!allowMissingFolders) return err::kPathNotFound;
      host /= HostName(parts[i]);
      windows += L"\\" + parts[i];
      missingFolder = true;
      continue;
    }

    fs::path candidate = host / HostName(parts[i]);
    std::wstring name = parts[i];
    struct stat st;
    bool found = ::lstat(candidate.c_str(), &st) == 0;
    if (!found) {
      // Case-insensitive search of the folder.
      for (const auto& entry : fs::directory_iterator(host, ec)) {
        const std::wstring entryName = FromUtf8(entry.path().filename().string());
        if (EqualsNoCase(entryName, parts[i])) {
          candidate = entry.path();
          name = entryName;
          found = true;
          break;
        }
      }
    }
    windows += L"\\" + name;
    host = candidate;
    if (!found) {
      if (!last) {
        if (!allowMissingFolders) return err::kPathNotFound;
        missingFolder = true;
        continue;
      }
      out->host = host;
      out->windows = windows;
      out->exists = false;
      return err::kFileNotFound;
    }
  }
  out->host = host;
  out->windows = windows;
  out->exists = !missingFolder;
  return missingFolder ? err::kPathNotFound : err::kSuccess;
}

std::uint32_t SimFileSystem::StoredAttributes(const std::wstring& windowsPath, bool directory) const {
  const auto it = attributes_.find(Key(windowsPath));
  if (it == attributes_.end()) return directory ? 0u : fileattr::kArchive;
  return it->second;
}

WinError SimFileSystem::GetAttributes(std::wstring_view path, std::uint32_t* attributes) {
  if (faults_) {
    if (auto e = faults_->Check("GetFileAttributes", path)) return *e;
  }
  Resolved r;
  if (const WinError e = Resolve(path, &r)) return e;
  std::error_code ec;
  const auto linkStatus = fs::symlink_status(r.host, ec);
  std::uint32_t result = 0;
  if (fs::is_symlink(linkStatus)) {
    result = fileattr::kReparsePoint;
    if (fs::is_directory(r.host, ec)) result |= fileattr::kDirectory;
    result |= StoredAttributes(r.windows, true);
  } else if (fs::is_directory(linkStatus)) {
    result = fileattr::kDirectory | StoredAttributes(r.windows, true);
  } else {
    result = StoredAttributes(r.windows, false);
    if (result == 0) result = fileattr::kNormal;
  }
  *attributes = result;
  return err::kSuccess;
}

WinError SimFileSystem::SetAttributes(std::wstring_view path, std::uint32_t attributes) {
  if (faults_) {
    if (auto e = faults_->Check("SetFileAttributes", path)) return *e;
  }
  Resolved r;
  if (const WinError e = Resolve(path, &r)) return e;
  attributes_[Key(r.windows)] = attributes & kSettableAttributes;
  return err::kSuccess;
}

WinError SimFileSystem::DeleteFileAt(std::wstring_view path) {
  if (faults_) {
    if (auto e = faults_->Check("DeleteFile", path)) return *e;
  }
  Resolved r;
  if (const WinError e = Resolve(path, &r)) return e;
  std::error_code ec;
  const auto linkStatus = fs::symlink_status(r.host, ec);
  if (fs::is_directory(linkStatus)) return err::kAccessDenied;
  if (fs::is_symlink(linkStatus) && fs::is_directory(r.host, ec)) return err::kAccessDenied;
  if (StoredAttributes(r.windows, false) & fileattr::kReadOnly) return err::kAccessDenied;
  if (::unlink(r.host.c_str()) != 0) return err::kAccessDenied;
  attributes_.erase(Key(r.windows));
  return err::kSuccess;
}

WinError SimFileSystem::RemoveFolder(std::wstring_view path) {
  if (faults_) {
    if (auto e = faults_->Check("RemoveDirectory", path)) return *e;
  }
  Resolved r;
  if (const WinError e = Resolve(path, &r)) return e;
  std::error_code ec;
  const auto linkStatus = fs::symlink_status(r.host, ec);
  if (fs::is_symlink(linkStatus)) {
    // A junction goes by itself; what it points at stays.
    if (!fs::is_directory(r.host, ec)) return kDirectory;
    if (::unlink(r.host.c_str()) != 0) return err::kAccessDenied;
    attributes_.erase(Key(r.windows));
    return err::kSuccess;
  }
  if (!fs::is_directory(linkStatus)) return kDirectory;
  if (StoredAttributes(r.windows, true) & fileattr::kReadOnly) return err::kAccessDenied;
  if (!fs::is_empty(r.host, ec)) return err::kDirNotEmpty;
  if (::rmdir(r.host.c_str()) != 0) return err::kAccessDenied;
  attributes_.erase(Key(r.windows));
  return err::kSuccess;
}

WinError SimFileSystem::FindFirst(std::wstring_view pattern, FindHandleValue* handle, FindData* data) {
  *handle = 0;
  if (faults_) {
    if (auto e = faults_->Check("FindFirstFile", pattern)) return *e;
  }
  std::size_t cut = pattern.size();
  while (cut > 0 && !IsSeparator(pattern[cut - 1])) --cut;
  const std::wstring_view namePattern = pattern.substr(cut);
  std::wstring folder(pattern.substr(0, cut));
  if (namePattern.empty()) return err::kFileNotFound;
  if (folder.empty()) folder = L".";

  Resolved r;
  if (const WinError e = Resolve(folder, &r)) return e == err::kFileNotFound ? err::kPathNotFound : e;
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(r.host, ec)) && !InsideMachine(r.host)) return err::kAccessDenied;
  if (!fs::is_directory(r.host, ec)) return err::kPathNotFound;

  std::vector<FindData> entries;
  for (const auto& entry : fs::directory_iterator(r.host, ec)) {
    FindData d;
    d.name = FromUtf8(entry.path().filename().string());
    if (!MatchesWildcard(namePattern, d.name)) continue;
    std::wstring child = r.windows;
    if (!EndsWith(child, L'\\')) child += L'\\';
    child += d.name;
    std::error_code entryError;
    const auto linkStatus = fs::symlink_status(entry.path(), entryError);
    if (fs::is_symlink(linkStatus)) {
      d.attributes = fileattr::kReparsePoint | StoredAttributes(child, true);
      if (fs::is_directory(entry.path(), entryError)) d.attributes |= fileattr::kDirectory;
    } else if (fs::is_directory(linkStatus)) {
      d.attributes = fileattr::kDirectory | StoredAttributes(child, true);
    } else {
      d.attributes = StoredAttributes(child, false);
      if (d.attributes == 0) d.attributes = fileattr::kNormal;
    }
    entries.push_back(std::move(d));
  }
  if (ec) return err::kAccessDenied;
  std::sort(entries.begin(), entries.end(),
            [](const FindData& a, const FindData& b) { return CompareNoCase(a.name, b.name) < 0; });
  // A folder that is not a drive root lists "." and ".." first.
  if (r.windows.size() > 3) {
    std::vector<FindData> dots;
    for (const wchar_t* dot : {L".", L".."}) {
      if (MatchesWildcard(namePattern, dot)) dots.push_back(FindData{fileattr::kDirectory, dot});
    }
    entries.insert(entries.begin(), dots.begin(), dots.end());
  }
  if (entries.empty()) return err::kFileNotFound;

  const FindHandleValue value = nextFind_;
  nextFind_ += 4;
  FindState state{std::move(entries), 1};
  *data = state.entries[0];
  finds_.emplace(value, std::move(state));
  *handle = value;
  return err::kSuccess;
}

WinError SimFileSystem::FindNext(FindHandleValue handle, FindData* data) {
  const auto it = finds_.find(handle);
  if (it == finds_.end()) return err::kInvalidHandle;
  if (faults_) {
    if (auto e = faults_->Check("FindNextFile", L"*")) return *e;
  }
  if (it->second.next >= it->second.entries.size()) return err::kNoMoreFiles;
  *data = it->second.entries[it->second.next++];
  return err::kSuccess;
}

WinError SimFileSystem::FindClose(FindHandleValue handle) {
  return finds_.erase(handle) ? err::kSuccess : err::kInvalidHandle;
}

WinError SimFileSystem::ScheduleDeleteAtReboot(std::wstring_view path) {
  if (faults_) {
    if (auto e = faults_->Check("MoveFileEx", path)) return *e;
  }
  if (onScheduleDelete_) onScheduleDelete_(std::wstring(path));
  return err::kSuccess;
}

std::unique_ptr<OutputFile> SimFileSystem::CreateOutputFile(std::wstring_view path, WinError* error) {
  *error = err::kSuccess;
  if (faults_) {
    if (auto e = faults_->Check("CreateFile", path)) {
      *error = *e;
      return nullptr;
    }
  }
  Resolved r;
  const WinError e = Resolve(path, &r);
  if (e != err::kSuccess && e != err::kFileNotFound) {
    *error = e;
    return nullptr;
  }
  std::error_code ec;
  if (r.exists) {
    // Opening follows a link: one that leads off the machine is not ours to write through.
    if (fs::is_symlink(fs::symlink_status(r.host, ec)) && !InsideMachine(r.host)) {
      *error = err::kAccessDenied;
      return nullptr;
    }
    if (fs::is_directory(r.host, ec) || (StoredAttributes(r.windows, false) & fileattr::kReadOnly)) {
      *error = err::kAccessDenied;
      return nullptr;
    }
  }
  std::FILE* file = std::fopen(r.host.c_str(), "wb");
  if (!file) {
    *error = err::kAccessDenied;
    return nullptr;
  }
  return std::make_unique<HostOutputFile>(file);
}

fs::path SimFileSystem::HostPath(std::wstring_view path) {
  Resolved r;
  const WinError e = Resolve(path, &r, true);
  if (e != err::kSuccess && e != err::kFileNotFound && e != err::kPathNotFound) return {};
  return r.host;
}

bool SimFileSystem::LoadAttributes(const fs::path& file, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return true;  // no side file: no attributes beyond the defaults
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    const auto tab = line.find('\t');
    unsigned long value = 0;
    char* end = nullptr;
    if (tab != std::string::npos) value = std::strtoul(line.c_str() + tab + 1, &end, 16);
    if (tab == std::string::npos || end == line.c_str() + tab + 1 || *end != '\0') {
      if (error) *error = file.filename().string() + ":" + std::to_string(number) + ": expected 'PATH<TAB>HEX'";
      return false;
    }
    attributes_[Key(FromUtf8(line.substr(0, tab)))] = static_cast<std::uint32_t>(value) & kSettableAttributes;
  }
  return true;
}

bool SimFileSystem::SaveAttributes(const fs::path& file) const {
  if (attributes_.empty()) {
    std::error_code ec;
    fs::remove(file, ec);
    return !ec;
  }
  std::ostringstream out;
  out << "; attributes the host cannot hold: canonical path, tab, hexadecimal attributes\n";
  for (const auto& [path, value] : attributes_) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", value);
    out << ToUtf8(path) << '\t' << hex << '\n';
  }
  std::ofstream f(file, std::ios::binary | std::ios::trunc);
  f << out.str();
  return static_cast<bool>(f);
}

}  // namespace zc::sim
