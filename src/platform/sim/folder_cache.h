// Folders of the simulated drives met on the way to an entry, kept open so
// that what lies in them can be found without walking from the drive root
// again. Only real folders reached through no link are kept.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/sim/host_file.h"

namespace zc::sim {

class FolderCache {
 public:
  struct Folder {
    std::string host;
    std::wstring windows;  // canonical Windows path, with the case found on disk
    // The folder itself, opened when it was resolved: a folder removed or
    // replaced since then finds nothing below it, which sends the lookup
    // back to the drive root.
    UniqueHostFd fd;
  };

  // The folder cached under `key` (a drive letter and names as a caller
  // spelled them: "C:\Program Files\X"); null when there is none.
  const Folder* Find(std::wstring_view key) const;
  // Opens the folder `leaf` of `parentFd` (or `host` when no parent is
  // open) without following a link, and caches it. Its descriptor, or -1
  // when it cannot be opened.
  int Remember(std::wstring_view key, const std::string& host, const std::wstring& windows, int parentFd,
               const std::string& leaf);
  // Caches a folder already open (by a listing); returns its descriptor.
  int Adopt(std::wstring_view key, const std::string& host, const std::wstring& windows, UniqueHostFd fd);
  // Forgets the folder at `host` and every folder below it.
  void Forget(const std::string& host);
  void Clear() { folders_.clear(); }

 private:
  // Bounded: a walk needs only the folders above the one it is in, and
  // starting afresh now and then costs one walk from the root.
  static constexpr std::size_t kMaxFolders = 128;
  std::map<std::wstring, Folder, std::less<>> folders_;
};

}  // namespace zc::sim
