// A temporary folder for one test, removed with everything in it when the
// test ends, and small host-side helpers to seed and inspect it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

namespace zc::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zc-simtest-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

 private:
  std::filesystem::path path_;
};

// Writes a host file, creating its folders.
inline void WriteHostFile(const std::filesystem::path& file, const std::string& content) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

inline std::string ReadHostFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every entry under a folder with its bytes and modification time (in
// nanoseconds), to prove that an operation changed nothing there.
struct FolderSnapshot {
  struct Entry {
    std::string content;  // empty for folders
    long long mtimeNs = 0;
    bool folder = false;
    friend bool operator==(const Entry&, const Entry&) = default;
  };
  std::map<std::string, Entry> entries;
  friend bool operator==(const FolderSnapshot&, const FolderSnapshot&) = default;
};

inline FolderSnapshot TakeSnapshot(const std::filesystem::path& folder) {
  FolderSnapshot snapshot;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    struct stat st {};
    ::lstat(entry.path().c_str(), &st);
    FolderSnapshot::Entry e;
    e.folder = entry.is_directory();
    e.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    if (!e.folder) e.content = ReadHostFile(entry.path());
    snapshot.entries[std::filesystem::relative(entry.path(), folder).string()] = e;
  }
  return snapshot;
}

}  // namespace zc::test
