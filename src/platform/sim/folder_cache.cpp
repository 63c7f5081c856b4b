#include "platform/sim/folder_cache.h"

#include <fcntl.h>

namespace zc::sim {

const FolderCache::Folder* FolderCache::Find(std::wstring_view key) const {
  const auto known = folders_.find(key);
  return known == folders_.end() ? nullptr : &known->second;
}

int FolderCache::Remember(std::wstring_view key, const std::string& host, const std::wstring& windows, int parentFd,
                          const std::string& leaf) {
  if (const Folder* known = Find(key)) return known->fd.get();
  // Opened without following a link: a link is never a cached folder.
  constexpr int kFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  UniqueHostFd fd(HostFdTraits{},
                  parentFd >= 0 ? ::openat(parentFd, leaf.c_str(), kFlags) : ::open(host.c_str(), kFlags));
  if (!fd) return -1;
  return Adopt(key, host, windows, std::move(fd));
}

int FolderCache::Adopt(std::wstring_view key, const std::string& host, const std::wstring& windows, UniqueHostFd fd) {
  if (const Folder* known = Find(key)) return known->fd.get();
  // The parent's descriptor has been used: the cache may now start afresh.
  if (folders_.size() >= kMaxFolders) folders_.clear();
  const int value = fd.get();
  folders_.emplace(std::wstring(key), Folder{host, windows, std::move(fd)});
  return value;
}

void FolderCache::Forget(const std::string& removed) {
  for (auto it = folders_.begin(); it != folders_.end();) {
    const std::string& cached = it->second.host;
    const bool below = cached.compare(0, removed.size(), removed) == 0 &&
                       (cached.size() == removed.size() || cached[removed.size()] == '/');
    it = below ? folders_.erase(it) : std::next(it);
  }
}

}  // namespace zc::sim
