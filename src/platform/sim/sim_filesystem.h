// The simulated machine's drives: drive X: is the host folder drive_x of
// the machine. Windows paths resolve case-insensitively; attributes that
// the host cannot hold (read-only, hidden, system, archive) are kept in a
// side table; a host symbolic link is a reparse point.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/filesystem.h"
#include "platform/sim/attribute_table.h"
#include "platform/sim/faults.h"
#include "platform/sim/folder_cache.h"
#include "platform/sim/host_file.h"
#include "platform/unique_handle.h"

namespace zc::sim {

class SimFileSystem : public FileSystem {
 public:
  // `machineRoot` holds the drive_x folders. `currentDirectory` is asked
  // for relative paths. `onScheduleDelete` receives each path that
  // MoveFileEx schedules for deletion at restart.
  SimFileSystem(std::filesystem::path machineRoot, std::function<std::wstring()> currentDirectory, FaultPlan* faults);

  WinError GetAttributes(std::wstring_view path, std::uint32_t* attributes) override;
  WinError SetAttributes(std::wstring_view path, std::uint32_t attributes) override;
  WinError DeleteFileAt(std::wstring_view path) override;
  WinError RemoveFolder(std::wstring_view path) override;
  WinError FindFirst(std::wstring_view pattern, FindHandleValue* handle, FindData* data) override;
  WinError FindNext(FindHandleValue handle, FindData* data) override;
  WinError FindClose(FindHandleValue handle) override;
  WinError ScheduleDeleteAtReboot(std::wstring_view path) override;
  WinError GetFinalPath(std::wstring_view path, bool followLink, std::wstring* finalPath) override;
  std::unique_ptr<OutputFile> CreateOutputFile(std::wstring_view path, WinError* error) override;
  std::unique_ptr<OutputFile> OpenOutputFileToAppend(std::wstring_view path, WinError* error) override;

  void SetScheduleDeleteHandler(std::function<void(const std::wstring&)> handler) {
    onScheduleDelete_ = std::move(handler);
  }

  // For a machine that cannot be written: every output file (the log) goes
  // to a host file in `hostFolder` instead, which HostPath then names.
  void RedirectOutputFiles(std::filesystem::path hostFolder) { outputFolder_ = std::move(hostFolder); }

  // Makes drive `letter` the host folder `hostFolder` (a mounted Windows
  // volume) instead of the machine's drive_x folder. Links inside it stay
  // on the drive; a link out of it leads off the machine. A write-protected
  // drive refuses every change on it (deletion, removal, attributes, a file
  // opened for writing that is not redirected) with ERROR_WRITE_PROTECT,
  // whatever view of the platform the caller holds.
  void MapDrive(wchar_t letter, const std::filesystem::path& hostFolder, bool writeProtected);

  // The side table of attributes, by canonical Windows path; written back
  // only when it changed.
  bool LoadAttributes(const std::filesystem::path& file, std::string* error);
  bool SaveAttributes(const std::filesystem::path& file, std::string* error);

  // Where a Windows path lives on the host (for tests and the front end);
  // empty when it does not resolve.
  std::filesystem::path HostPath(std::wstring_view path);

  // Open find handles (a test checks that every search was closed).
  std::size_t OpenFindHandles() const { return finds_.size(); }

 private:
  struct Resolved {
    // The host path of the entry (or where it would be). A plain string:
    // a path object splits itself into parts on every copy.
    std::string host;
    std::wstring windows;  // canonical Windows path, with the case found on disk
    bool exists = false;
    unsigned mode = 0;  // lstat's st_mode of the entry itself; 0 when it is missing
    // When found in a cached folder: that folder's descriptor (owned by the
    // cache) and the entry's host name in it, for calls relative to it.
    int folderFd = -1;
    std::string leaf;
    std::wstring key;  // the cache key of the path as the caller spelled it
  };
  struct FindState {
    std::vector<FindData> entries;
    std::size_t next = 0;
  };

  // Normalises a Windows path the way the Win32 path functions do and
  // finds it on the host. Errors: 2 for a missing last part, 3 for a
  // missing folder on the way, 123 for an invalid name, 206 for a path too
  // long, 53 for a network path, 5 for a link that leads off the machine.
  WinError Resolve(std::wstring_view path, Resolved* resolved, bool allowMissingFolders = false);
  // Where a walk stands: a folder (or, at the end, the entry), what lstat
  // said of it, and its descriptor when it is a cached folder.
  struct WalkState {
    std::string host;
    std::wstring windows;
    unsigned mode = 0;
    int fd = -1;
  };
  struct WalkPlan {
    const std::vector<std::wstring_view>& parts;
    const std::wstring& key;               // the cache key of the whole path
    const std::vector<std::size_t>& ends;  // ends[k]: end of the key of the first k parts
    bool allowMissingFolders;
  };
  // Walks parts[first..] from `at`. Begun in a cached folder, a missing
  // name gives no answer (nullopt): the cache may be stale, and the caller
  // walks again from the drive root.
  std::optional<WinError> Walk(const WalkPlan& plan, std::size_t first, WalkState at, bool fromCache, Resolved* out);
  // Removes the entry: relative to its cached folder when there is one.
  int UnlinkResolved(const Resolved& r, bool folder) const;
  std::unique_ptr<OutputFile> OpenOutput(std::wstring_view path, bool append, WinError* error);
  // The host folder of drive `letter`; none when the machine has no such drive.
  std::optional<std::string> DriveRoot(wchar_t letter) const;
  bool InsideMachine(const std::filesystem::path& hostPath) const;
  // The Windows path of a canonical host path on one of the machine's
  // drives; empty when it lies elsewhere.
  std::wstring WindowsPathOfHost(const std::string& canonicalHost) const;

  std::filesystem::path root_;
  std::filesystem::path canonicalRoot_;
  std::map<wchar_t, std::string> mappedDrives_;  // lower-case letter -> canonical host folder
  std::set<wchar_t> writeProtected_;             // lower-case letters
  bool WriteProtected(const std::wstring& windowsPath) const;
  std::function<std::wstring()> currentDirectory_;
  FaultPlan* faults_;
  std::function<void(const std::wstring&)> onScheduleDelete_;
  // Orders paths as their upper-cased forms compare, so that a path is
  // looked up in any case without making its upper-cased copy.
  struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::wstring_view a, std::wstring_view b) const;
  };
  AttributeTable attributes_;
  std::map<FindHandleValue, FindState> finds_;
  // Folders resolved before, by drive letter and names as the caller spelled
  // them. An entry goes when its folder is removed through this object, and
  // the whole cache goes on any miss, so that a folder changed behind its
  // back is walked again.
  FolderCache folders_;
  FindHandleValue nextFind_ = 0x100;
  std::filesystem::path outputFolder_;
  std::map<std::wstring, std::string, NoCaseLess> redirected_;  // Windows path -> host file
};

// Windows wildcard matching of one name: '*' any run, '?' one character,
// case-insensitive; "*.*" matches every name, and a pattern ending in ".*"
// also matches the name without an extension.
bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name);

}  // namespace zc::sim
