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
#include <vector>

#include "platform/filesystem.h"
#include "platform/sim/faults.h"

namespace zc::sim {

class SimFileSystem : public FileSystem {
 public:
  // `machineRoot` holds the drive_x folders. `currentDirectory` is asked
  // for relative paths. `onScheduleDelete` receives each path that
  // MoveFileEx schedules for deletion at restart.
  SimFileSystem(std::filesystem::path machineRoot, std::function<std::wstring()> currentDirectory,
                FaultPlan* faults);

  WinError GetAttributes(std::wstring_view path, std::uint32_t* attributes) override;
  WinError SetAttributes(std::wstring_view path, std::uint32_t attributes) override;
  WinError DeleteFileAt(std::wstring_view path) override;
  WinError RemoveFolder(std::wstring_view path) override;
  WinError FindFirst(std::wstring_view pattern, FindHandleValue* handle, FindData* data) override;
  WinError FindNext(FindHandleValue handle, FindData* data) override;
  WinError FindClose(FindHandleValue handle) override;
  WinError ScheduleDeleteAtReboot(std::wstring_view path) override;
  std::unique_ptr<OutputFile> CreateOutputFile(std::wstring_view path, WinError* error) override;

  void SetScheduleDeleteHandler(std::function<void(const std::wstring&)> handler) {
    onScheduleDelete_ = std::move(handler);
  }

  // The side table of attributes, by canonical Windows path.
  bool LoadAttributes(const std::filesystem::path& file, std::string* error);
  bool SaveAttributes(const std::filesystem::path& file) const;

  // Where a Windows path lives on the host (for tests and the front end);
  // empty when it does not resolve.
  std::filesystem::path HostPath(std::wstring_view path);

  // Open find handles (a test checks that every search was closed).
  std::size_t OpenFindHandles() const { return finds_.size(); }

 private:
  struct Resolved {
    std::filesystem::path host;  // the host path of the entry (or where it would be)
    std::wstring windows;        // canonical Windows path, with the case found on disk
    bool exists = false;
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
  std::optional<std::wstring> DriveRoot(wchar_t letter) const;
  bool InsideMachine(const std::filesystem::path& hostPath) const;
  std::uint32_t StoredAttributes(const std::wstring& windowsPath, bool directory) const;
  static std::wstring Key(const std::wstring& windowsPath);

  std::filesystem::path root_;
  std::filesystem::path canonicalRoot_;
  std::function<std::wstring()> currentDirectory_;
  FaultPlan* faults_;
  std::function<void(const std::wstring&)> onScheduleDelete_;
  std::map<std::wstring, std::uint32_t> attributes_;  // by upper-cased canonical path
  std::map<FindHandleValue, FindState> finds_;
  FindHandleValue nextFind_ = 0x100;
};

// Windows wildcard matching of one name: '*' any run, '?' one character,
// case-insensitive; "*.*" matches every name, and a pattern ending in ".*"
// also matches the name without an extension.
bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name);

}  // namespace zc::sim
