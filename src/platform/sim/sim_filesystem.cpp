#include "platform/sim/sim_filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/sim/short_names.h"
#include "platform/text.h"
#include "safety/win_path.h"

namespace fs = std::filesystem;

namespace zc::sim {

namespace {

using winpath::kMaxPath;

std::string HostName(std::wstring_view name) { return ToUtf8(name); }

class HostOutputFile : public OutputFile {
 public:
  explicit HostOutputFile(std::FILE* file) : file_(file) {}
  ~HostOutputFile() override {
    if (file_) std::fclose(file_);
  }
  bool Write(const char* bytes, std::size_t count) override { return std::fwrite(bytes, 1, count, file_) == count; }
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

// Calls `each(name, type)` for every entry of an open folder but "." and
// "..", the type a DT_ constant (DT_LNK, DT_DIR, or another for a file).
// getdents64 on the descriptor itself: a DIR stream would cost three more
// calls a folder. False when the folder cannot be read.
template <typename Each>
bool ListHostFolder(int fd, Each&& each) {
  alignas(dirent64) char buffer[32768];
  for (;;) {
    const ssize_t size = ::getdents64(fd, buffer, sizeof buffer);
    if (size < 0) return false;
    if (size == 0) return true;
    for (ssize_t at = 0; at < size;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
      at += entry->d_reclen;
      const std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      unsigned type = entry->d_type;
      if (type == DT_UNKNOWN) {
        struct stat st;
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
      }
      each(name, type);
    }
  }
}

}  // namespace

bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name) {
  if (pattern == L"*.*" || pattern == L"*") return true;
  if (WildcardMatch(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == L".*" &&
      name.find(L'.') == std::wstring_view::npos) {
    return WildcardMatch(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

SimFileSystem::SimFileSystem(fs::path machineRoot, std::function<std::wstring()> currentDirectory, FaultPlan* faults)
    : root_(std::move(machineRoot)), currentDirectory_(std::move(currentDirectory)), faults_(faults) {
  std::error_code ec;
  canonicalRoot_ = fs::weakly_canonical(root_, ec);
  if (ec) canonicalRoot_ = root_;
}

bool SimFileSystem::NoCaseLess::operator()(std::wstring_view a, std::wstring_view b) const {
  return CompareNoCase(a, b) < 0;
}

namespace {
wchar_t LowerDrive(wchar_t letter) {
  return static_cast<wchar_t>(letter >= L'A' && letter <= L'Z' ? letter - L'A' + L'a' : letter);
}
}  // namespace

void SimFileSystem::MapDrive(wchar_t letter, const fs::path& hostFolder, bool writeProtected) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(hostFolder, ec);
  if (ec) canonical = hostFolder;
  mappedDrives_[LowerDrive(letter)] = canonical.string();
  if (writeProtected) {
    writeProtected_.insert(LowerDrive(letter));
  } else {
    writeProtected_.erase(LowerDrive(letter));
  }
  folders_.Clear();
}

bool SimFileSystem::WriteProtected(const std::wstring& windowsPath) const {
  return !windowsPath.empty() && writeProtected_.count(LowerDrive(windowsPath[0])) != 0;
}

std::optional<std::string> SimFileSystem::DriveRoot(wchar_t letter) const {
  const wchar_t lower = LowerDrive(letter);
  if (lower < L'a' || lower > L'z') return std::nullopt;
  if (const auto mapped = mappedDrives_.find(lower); mapped != mappedDrives_.end()) return mapped->second;
  std::wstring name = L"drive_";
  name.push_back(lower);
  std::error_code ec;
  const fs::path folder = root_ / HostName(name);
  if (!fs::is_directory(folder, ec)) return std::nullopt;
  return folder.string();
}

bool SimFileSystem::InsideMachine(const fs::path& hostPath) const {
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(hostPath, ec);
  if (ec) return false;
  return !WindowsPathOfHost(target.string()).empty();
}

std::wstring SimFileSystem::WindowsPathOfHost(const std::string& host) const {
  // The names below a drive's host folder, as a path of that drive.
  auto onDrive = [&host](wchar_t letter, std::size_t rest) {
    std::wstring windows{static_cast<wchar_t>(letter - L'a' + L'A'), L':', L'\\'};
    if (host.size() > rest + 1) {
      std::wstring names = FromUtf8(std::string_view(host).substr(rest + 1));
      for (auto& c : names) {
        if (c == L'/') c = L'\\';
      }
      windows += names;
    }
    return windows;
  };
  for (const auto& [letter, folder] : mappedDrives_) {
    if (host.compare(0, folder.size(), folder) == 0 && (host.size() == folder.size() || host[folder.size()] == '/')) {
      return onDrive(letter, folder.size());
    }
  }
  const std::string root = canonicalRoot_.string() + "/drive_";
  if (host.size() <= root.size() || host.compare(0, root.size(), root) != 0) return {};
  const char letter = host[root.size()];
  if (letter < 'a' || letter > 'z') return {};
  if (mappedDrives_.count(static_cast<wchar_t>(letter))) return {};  // not that drive's folder any more
  const std::size_t rest = root.size() + 1;
  if (host.size() > rest && host[rest] != '/') return {};
  return onDrive(static_cast<wchar_t>(letter), rest);
}

WinError SimFileSystem::GetFinalPath(std::wstring_view path, bool followLink, std::wstring* finalPath) {
  finalPath->clear();
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kGetFinalPathNameByHandle, path)) return *e;
  }
  Resolved r;
  if (const WinError e = Resolve(path, &r)) return e;
  // The host's own answer: every link on the way (and the entry itself when
  // it is followed) resolved, then told as a path of the machine's drives.
  const std::size_t cut = r.host.rfind('/');
  const bool follow = followLink || !S_ISLNK(r.mode);
  const std::string resolveWhat = follow ? r.host : r.host.substr(0, cut);
  char* real = ::realpath(resolveWhat.c_str(), nullptr);
  if (!real) return err::kAccessDenied;
  std::string canonical = real;
  std::free(real);
  if (!follow) canonical += r.host.substr(cut);
  std::wstring windows = WindowsPathOfHost(canonical);
  // A link that leads off the machine is no path of it.
  if (windows.empty()) return err::kAccessDenied;
  *finalPath = std::move(windows);
  return err::kSuccess;
}

WinError SimFileSystem::Resolve(std::wstring_view rawPath, Resolved* out, bool allowMissingFolders) {
  // The path as Win32 completes and normalises it. The current directory is
  // asked only for a path that depends on it; the names are views of the
  // caller's text (or of the current directory), so nothing is copied.
  std::wstring current;
  winpath::PathView parsed = winpath::Parse(rawPath);
  if (parsed.form == winpath::Form::kRelative || parsed.form == winpath::Form::kDriveRelative ||
      parsed.form == winpath::Form::kRooted) {
    current = currentDirectory_ ? currentDirectory_() : L"C:\\";
    parsed = winpath::MakeAbsolute(rawPath, current);
  }
  if (parsed.error != err::kSuccess) return parsed.error;
  if (parsed.form == winpath::Form::kUnc) return err::kBadNetPath;
  // A device that is no drive ("\\.\pipe\x", a volume by its GUID) is
  // nothing of the machine's drives.
  if (parsed.form != winpath::Form::kDrive) return err::kPathNotFound;
  const bool literal = parsed.literal;
  const wchar_t drive = parsed.drive;
  const std::vector<std::wstring_view>& parts = parsed.names;

  std::wstring windows;
  windows.push_back(UpcaseChar(drive));
  windows += L":";
  // Characters of "X:\a\b" and its terminating NUL: MAX_PATH counts the NUL.
  std::size_t length = 3;
  for (const auto& p : parts) length += p.size() + 1;
  if (length > kMaxPath && !literal) return err::kFilenameTooLong;

  // The key of each folder on the way: ends[k] ends that of the first k parts.
  std::wstring key;
  key.reserve(length);
  key = windows;
  std::vector<std::size_t> ends;
  ends.reserve(parts.size() + 1);
  ends.push_back(key.size());
  for (const auto& p : parts) {
    key += L'\\';
    key += p;
    ends.push_back(key.size());
  }

  WalkPlan plan{parts, key, ends, allowMissingFolders};
  if (!parts.empty()) {
    // Start in the deepest folder on the way that the cache knows.
    for (std::size_t k = parts.size(); k-- > 0;) {
      const FolderCache::Folder* cached = folders_.Find(std::wstring_view(key).substr(0, ends[k]));
      if (!cached) continue;
      // Room for the rest of the path, so that appending the names to come
      // does not reallocate.
      const std::size_t rest = key.size() - ends[k];
      WalkState from{{}, {}, S_IFDIR, cached->fd.get()};
      from.host.reserve(cached->host.size() + 3 * rest);
      from.host = cached->host;
      from.windows.reserve(cached->windows.size() + rest);
      from.windows = cached->windows;
      if (const std::optional<WinError> e = Walk(plan, k, std::move(from), true, out)) {
        out->key = std::move(key);
        return *e;
      }
      // A name is missing: the folder may have changed behind our back.
      // Forget everything and walk from the drive root.
      folders_.Clear();
      break;
    }
  }

  const auto driveFolder = DriveRoot(drive);
  if (!driveFolder) return err::kPathNotFound;
  WalkState root{*driveFolder, windows, 0, -1};
  struct stat st;
  root.mode = ::lstat(root.host.c_str(), &st) == 0 ? st.st_mode : 0u;
  if (parts.empty()) {
    out->host = root.host;
    out->windows = windows + L"\\";
    out->exists = true;
    out->mode = root.mode;
    return err::kSuccess;
  }
  if (S_ISDIR(root.mode))
    root.fd = folders_.Remember(std::wstring_view(key).substr(0, ends[0]), root.host, windows, -1, {});
  // From the drive root the walk always knows its answer.
  const WinError e = Walk(plan, 0, std::move(root), false, out).value_or(err::kPathNotFound);
  out->key = std::move(key);
  return e;
}

std::optional<WinError> SimFileSystem::Walk(const WalkPlan& plan, std::size_t first, WalkState at, bool fromCache,
                                            Resolved* out) {
  const auto& parts = plan.parts;
  bool missingFolder = false;
  bool throughLink = false;
  for (std::size_t i = first; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    // The folder we are in must be a folder (following links inside the machine).
    bool isFolder = S_ISDIR(at.mode);
    if (S_ISLNK(at.mode)) {
      if (!InsideMachine(at.host)) return err::kAccessDenied;
      std::error_code ec;
      isFolder = fs::is_directory(at.host, ec);
      throughLink = true;
      at.fd = -1;
    }
    if (!isFolder) {
      if (!plan.allowMissingFolders) return err::kPathNotFound;
      at.host += '/';
      at.host += HostName(parts[i]);
      at.windows += L'\\';
      at.windows += parts[i];
      missingFolder = true;
      at.mode = 0;
      at.fd = -1;
      continue;
    }

    // Look the name up in the folder: relative to it when it is open.
    std::string leaf = HostName(parts[i]);
    std::wstring_view name = parts[i];
    std::wstring foundName;
    struct stat st;
    auto lookUp = [&] {
      return (at.fd >= 0 ? ::fstatat(at.fd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW)
                         : ::lstat((at.host + '/' + leaf).c_str(), &st)) == 0;
    };
    bool found = lookUp();
    if (!found) {
      // Case-insensitive search of the folder, then its short names.
      std::error_code ec;
      std::vector<std::wstring> names;
      for (const auto& entry : fs::directory_iterator(at.host, ec)) {
        std::wstring entryName = FromUtf8(entry.path().filename().string());
        if (EqualsNoCase(entryName, parts[i])) {
          leaf = entry.path().filename().string();
          foundName = std::move(entryName);
          name = foundName;
          found = lookUp();
          break;
        }
        names.push_back(std::move(entryName));
      }
      if (!found && MayBeShortName(parts[i])) {
        if (auto longName = LongNameOf(parts[i], names)) {
          leaf = HostName(*longName);
          foundName = std::move(*longName);
          name = foundName;
          found = lookUp();
        }
      }
    }
    if (!found && fromCache) return std::nullopt;
    const int folderFd = at.fd;
    at.host += '/';
    at.host += leaf;
    at.windows += L'\\';
    at.windows += name;
    at.mode = found ? st.st_mode : 0u;
    at.fd = -1;
    if (!found) {
      if (!last) {
        if (!plan.allowMissingFolders) return err::kPathNotFound;
        missingFolder = true;
        continue;
      }
      out->host = at.host;
      out->windows = at.windows;
      out->exists = false;
      out->mode = 0;
      return err::kFileNotFound;
    }
    if (last) {
      out->folderFd = missingFolder ? -1 : folderFd;
      out->leaf = std::move(leaf);
    } else if (S_ISDIR(at.mode) && !throughLink && !missingFolder) {
      at.fd = folders_.Remember(std::wstring_view(plan.key).substr(0, plan.ends[i + 1]), at.host, at.windows, folderFd,
                                leaf);
    }
  }
  out->host = std::move(at.host);
  out->windows = std::move(at.windows);
  out->exists = !missingFolder;
  out->mode = missingFolder ? 0u : at.mode;
  return missingFolder ? err::kPathNotFound : err::kSuccess;
}

int SimFileSystem::UnlinkResolved(const Resolved& r, bool folder) const {
  const int flags = folder ? AT_REMOVEDIR : 0;
  if (r.folderFd >= 0) return ::unlinkat(r.folderFd, r.leaf.c_str(), flags);
  return ::unlinkat(AT_FDCWD, r.host.c_str(), flags);
}

WinError SimFileSystem::GetAttributes(std::wstring_view path, std::uint32_t* attributes) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kGetFileAttributes, path)) return *e;
  }
  Resolved r;
  if (const WinError e = Resolve(path, &r)) return e;
  std::error_code ec;
  std::uint32_t result = 0;
  if (S_ISLNK(r.mode)) {
    result = fileattr::kReparsePoint;
    if (fs::is_directory(r.host, ec)) result |= fileattr::kDirectory;
    result |= attributes_.Stored(r.windows, true);
  } else if (S_ISDIR(r.mode)) {
    result = fileattr::kDirectory | attributes_.Stored(r.windows, true);
  } else {
    result = attributes_.Stored(r.windows, false);
    if (result == 0) result = fileattr::kNormal;
  }
  *attributes = result;
  return err::kSuccess;
}

WinError SimFileSystem::SetAttributes(std::wstring_view path, std::uint32_t attributes) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kSetFileAttributes, path)) return *e;
  }
  Resolved r;
  if (const WinError e = Resolve(path, &r)) return e;
  if (WriteProtected(r.windows)) return err::kWriteProtect;
  attributes_.Store(r.windows, attributes & kSettableAttributes);
  return err::kSuccess;
}

WinError SimFileSystem::DeleteFileAt(std::wstring_view path) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kDeleteFile, path)) return *e;
  }
  Resolved r;
  if (const WinError e = Resolve(path, &r)) return e;
  if (WriteProtected(r.windows)) return err::kWriteProtect;
  std::error_code ec;
  if (S_ISDIR(r.mode)) return err::kAccessDenied;
  if (S_ISLNK(r.mode) && fs::is_directory(r.host, ec)) return err::kAccessDenied;
  if (attributes_.Stored(r.windows, false) & fileattr::kReadOnly) return err::kAccessDenied;
  if (UnlinkResolved(r, false) != 0) return err::kAccessDenied;
  attributes_.Forget(r.windows);
  return err::kSuccess;
}

WinError SimFileSystem::RemoveFolder(std::wstring_view path) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kRemoveDirectory, path)) return *e;
  }
  Resolved r;
  if (const WinError e = Resolve(path, &r)) return e;
  if (WriteProtected(r.windows)) return err::kWriteProtect;
  std::error_code ec;
  if (S_ISLNK(r.mode)) {
    // A junction goes by itself; what it points at stays.
    if (!fs::is_directory(r.host, ec)) return err::kDirectory;
    if (UnlinkResolved(r, false) != 0) return err::kAccessDenied;
    attributes_.Forget(r.windows);
    return err::kSuccess;
  }
  if (!S_ISDIR(r.mode)) return err::kDirectory;
  if (attributes_.Stored(r.windows, true) & fileattr::kReadOnly) return err::kAccessDenied;
  if (UnlinkResolved(r, true) != 0)
    return errno == ENOTEMPTY || errno == EEXIST ? err::kDirNotEmpty : err::kAccessDenied;
  folders_.Forget(r.host);
  attributes_.Forget(r.windows);
  return err::kSuccess;
}

WinError SimFileSystem::FindFirst(std::wstring_view pattern, FindHandleValue* handle, FindData* data) {
  *handle = 0;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kFindFirstFile, pattern)) return *e;
  }
  const std::size_t cut = winpath::LastNameStart(pattern);
  const std::wstring_view namePattern = pattern.substr(cut);
  std::wstring folder(pattern.substr(0, cut));
  if (namePattern.empty()) return err::kFileNotFound;
  if (folder.empty()) folder = L".";

  Resolved r;
  if (const WinError e = Resolve(folder, &r)) return e == err::kFileNotFound ? err::kPathNotFound : e;
  std::error_code ec;
  if (S_ISLNK(r.mode) && !InsideMachine(r.host)) return err::kAccessDenied;
  if (!S_ISDIR(r.mode) && !(S_ISLNK(r.mode) && fs::is_directory(r.host, ec))) return err::kPathNotFound;

  // Listed relative to the resolved parent, with each entry's type from
  // the listing: no further call but for a link (or a file system that
  // gives no type). A real folder reached through no link is then kept
  // open in the cache, since the walk goes on inside it.
  const bool cacheable = r.folderFd >= 0 && S_ISDIR(r.mode);
  UniqueHostFd listFd(HostFdTraits{},
                      cacheable ? ::openat(r.folderFd, r.leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                : ::open(r.host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!listFd) return err::kAccessDenied;
  std::vector<FindData> entries;
  std::wstring child;
  const bool listed = ListHostFolder(listFd.get(), [&](std::string_view hostName, unsigned type) {
    FindData d;
    d.name = FromUtf8(hostName);
    if (!MatchesWildcard(namePattern, d.name)) return;
    // The canonical path is needed only to look up stored attributes.
    if (!attributes_.empty()) {
      child = r.windows;
      if (!EndsWith(child, L'\\')) child += L'\\';
      child += d.name;
    }
    if (type == DT_LNK) {
      d.attributes = fileattr::kReparsePoint | attributes_.Stored(child, true);
      struct stat target;
      if (::fstatat(listFd.get(), std::string(hostName).c_str(), &target, 0) == 0 && S_ISDIR(target.st_mode)) {
        d.attributes |= fileattr::kDirectory;
      }
    } else if (type == DT_DIR) {
      d.attributes = fileattr::kDirectory | attributes_.Stored(child, true);
    } else {
      d.attributes = attributes_.Stored(child, false);
      if (d.attributes == 0) d.attributes = fileattr::kNormal;
    }
    entries.push_back(std::move(d));
  });
  if (!listed) return err::kAccessDenied;
  if (cacheable) folders_.Adopt(r.key, r.host, r.windows, std::move(listFd));
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
    if (auto e = faults_->Check(FaultOp::kFindNextFile, L"*")) return *e;
  }
  if (it->second.next >= it->second.entries.size()) return err::kNoMoreFiles;
  *data = std::move(it->second.entries[it->second.next++]);  // each entry is handed out once
  return err::kSuccess;
}

WinError SimFileSystem::FindClose(FindHandleValue handle) {
  return finds_.erase(handle) ? err::kSuccess : err::kInvalidHandle;
}

WinError SimFileSystem::ScheduleDeleteAtReboot(std::wstring_view path) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kMoveFileEx, path)) return *e;
  }
  if (onScheduleDelete_) onScheduleDelete_(std::wstring(path));
  return err::kSuccess;
}

std::unique_ptr<OutputFile> SimFileSystem::CreateOutputFile(std::wstring_view path, WinError* error) {
  return OpenOutput(path, false, error);
}

std::unique_ptr<OutputFile> SimFileSystem::OpenOutputFileToAppend(std::wstring_view path, WinError* error) {
  return OpenOutput(path, true, error);
}

std::unique_ptr<OutputFile> SimFileSystem::OpenOutput(std::wstring_view path, bool append, WinError* error) {
  *error = err::kSuccess;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kCreateFile, path)) {
      *error = *e;
      return nullptr;
    }
  }
  Resolved r;
  const WinError e = Resolve(path, &r);
  if (e != err::kSuccess && (e != err::kFileNotFound || append)) {
    *error = e;
    return nullptr;
  }
  std::string host = r.host;
  if (!outputFolder_.empty()) {
    // The machine cannot be written: what the tool writes goes to a host
    // file of its own, one for each Windows path.
    auto known = redirected_.find(r.windows);
    if (known == redirected_.end()) {
      if (append) {
        *error = err::kFileNotFound;
        return nullptr;
      }
      // Numbered, so that names never collide; cut to fit a host name (255
      // bytes), which a Windows name of 255 characters may not in UTF-8.
      std::string name = std::to_string(redirected_.size() + 1) + "-" + HostName(winpath::LastName(r.windows));
      if (name.size() > 200) name.resize(200);
      known = redirected_.emplace(r.windows, (outputFolder_ / name).string()).first;
    }
    host = known->second;
  } else if (WriteProtected(r.windows)) {
    *error = err::kWriteProtect;
    return nullptr;
  } else if (r.exists) {
    std::error_code ec;
    // Opening follows a link: one that leads off the machine is not ours to write through.
    if (fs::is_symlink(fs::symlink_status(r.host, ec)) && !InsideMachine(r.host)) {
      *error = err::kAccessDenied;
      return nullptr;
    }
    if (fs::is_directory(r.host, ec) || (attributes_.Stored(r.windows, false) & fileattr::kReadOnly)) {
      *error = err::kAccessDenied;
      return nullptr;
    }
  }
  std::FILE* file = std::fopen(host.c_str(), append ? "ab" : "wb");
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
  if (const auto known = redirected_.find(r.windows); known != redirected_.end()) return known->second;
  return r.host;
}

bool SimFileSystem::LoadAttributes(const fs::path& file, std::string* error) {
  return attributes_.Load(
      file, [this](wchar_t drive) { return DriveRoot(drive).has_value(); }, error);
}

bool SimFileSystem::SaveAttributes(const fs::path& file, std::string* error) { return attributes_.Save(file, error); }

}  // namespace zc::sim
