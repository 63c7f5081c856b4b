// The side files of a machine folder (registry.reg, machine.ini,
// file-attributes.txt, restart-requested) as host files, read and written
// so that an odd folder can neither hang a run nor be written through:
//
//  - A side file is opened for reading without following a symbolic link
//    and without blocking (a FIFO with no writer would otherwise wait for
//    one), and must be a regular file: a link, FIFO, socket, device or
//    folder in its place is refused with a message naming the file.
//  - It is read in bounded chunks, so a caller can stream it; a caller that
//    wants it whole gives the most it will hold.
//  - It is written by replacing it: the new contents go to a temporary file
//    in the same folder, which is flushed to disk and renamed over the old
//    name. The old path is never opened for writing, so a link there is
//    replaced by a file rather than written through, and a failure at any
//    point leaves the old file as it was.
//
// Failures are values naming the file; nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "platform/unique_handle.h"

namespace zc::sim {

struct HostFileError {
  std::string file;
  std::string message;

  // "FILE: MESSAGE".
  std::string ToString() const { return file + ": " + message; }
};

// A host descriptor owned by its holder: every descriptor the simulated
// machine opens is held by one.
struct HostFdTraits {
  using Value = int;
  static int Invalid() { return -1; }
  void Close(int fd) const;
};
using UniqueHostFd = UniqueHandle<HostFdTraits>;

// A side file open for reading.
class HostFileReader {
 public:
  HostFileReader() = default;

  // Opens `file` as described above. On error `out` is left closed.
  static std::optional<HostFileError> Open(const std::filesystem::path& file, HostFileReader* out);

  // Reads the next bytes into `buffer` (up to its size); `*got` is 0 at the
  // end of the file. Interrupted reads are retried.
  std::optional<HostFileError> Read(std::span<std::uint8_t> buffer, std::size_t* got);

  bool is_open() const { return static_cast<bool>(fd_); }
  // The file's size when it was opened.
  std::uint64_t size() const { return size_; }
  const std::string& name() const { return name_; }

 private:
  UniqueHostFd fd_;
  std::uint64_t size_ = 0;
  std::string name_;
};

// Reads the whole side file; refused when it holds more than `maxBytes`
// (checked while reading, so a file that grows is refused too).
std::optional<HostFileError> ReadHostFile(const std::filesystem::path& file, std::size_t maxBytes,
                                          std::string* contents);

// Receives the new contents in pieces; returns false to give up (an error
// of the caller's, reported as the write failing).
using HostFileSink = std::function<bool(std::span<const std::uint8_t>)>;

// Replaces `file` with what `produce` hands to the sink (see above). The
// new file keeps the permission bits of the regular file it replaces, or
// gets 0644. A folder in the file's place is refused.
std::optional<HostFileError> ReplaceHostFile(const std::filesystem::path& file,
                                             const std::function<bool(const HostFileSink&)>& produce);
std::optional<HostFileError> ReplaceHostFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);

}  // namespace zc::sim
