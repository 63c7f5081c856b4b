#include "platform/sim/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zc::sim {
namespace {

std::string ErrnoText(int error) { return std::strerror(error); }

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  return "not a regular file";
}

std::string NotRegular(mode_t mode) { return std::string("is ") + KindOf(mode) + ", not a regular file; refused"; }

bool WriteAll(int fd, std::span<const std::uint8_t> bytes, int* error) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

void HostFdTraits::Close(int fd) const { ::close(fd); }

std::optional<HostFileError> HostFileReader::Open(const std::filesystem::path& file, HostFileReader* out) {
  *out = HostFileReader();
  const std::string name = file.string();
  UniqueHostFd fd(HostFdTraits{}, ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd) {
    // A link (ELOOP) or a socket (ENXIO) cannot be opened: say what it is.
    const int error = errno;
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
      return HostFileError{name, NotRegular(info.st_mode)};
    return HostFileError{name, "cannot open the file: " + ErrnoText(error)};
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return HostFileError{name, "cannot read the file's status: " + ErrnoText(errno)};
  if (!S_ISREG(info.st_mode)) return HostFileError{name, NotRegular(info.st_mode)};
  // A regular file never blocks; reads go back to the ordinary mode anyway.
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  out->fd_ = std::move(fd);
  out->size_ = static_cast<std::uint64_t>(info.st_size);
  out->name_ = name;
  return std::nullopt;
}

std::optional<HostFileError> HostFileReader::Read(std::span<std::uint8_t> buffer, std::size_t* got) {
  *got = 0;
  if (!fd_) return HostFileError{name_, "the file is not open"};
  while (true) {
    const ssize_t n = ::read(fd_.get(), buffer.data(), buffer.size());
    if (n >= 0) {
      *got = static_cast<std::size_t>(n);
      return std::nullopt;
    }
    if (errno != EINTR) return HostFileError{name_, "cannot read the file: " + ErrnoText(errno)};
  }
}

std::optional<HostFileError> ReadHostFile(const std::filesystem::path& file, std::size_t maxBytes,
                                          std::string* contents) {
  contents->clear();
  HostFileReader reader;
  if (auto error = HostFileReader::Open(file, &reader)) return error;
  auto tooLarge = [&] {
    contents->clear();
    return HostFileError{reader.name(), "larger than " + std::to_string(maxBytes) + " bytes; refused"};
  };
  if (reader.size() > maxBytes) return tooLarge();
  contents->reserve(static_cast<std::size_t>(reader.size()));
  std::uint8_t buffer[1 << 16];
  while (true) {
    std::size_t got = 0;
    if (auto error = reader.Read(buffer, &got)) {
      contents->clear();
      return error;
    }
    if (got == 0) return std::nullopt;
    if (got > maxBytes - contents->size()) return tooLarge();
    contents->append(reinterpret_cast<const char*>(buffer), got);
  }
}

std::optional<HostFileError> ReplaceHostFile(const std::filesystem::path& file,
                                             const std::function<bool(const HostFileSink&)>& produce) {
  const std::string name = file.string();
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";

  // What is in the file's place decides the mode; a folder stays a folder.
  mode_t mode = 0644;
  struct stat existing {};
  if (::lstat(file.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return HostFileError{name, NotRegular(existing.st_mode)};
    if (S_ISREG(existing.st_mode)) mode = existing.st_mode & 07777;
  }

  std::string temp = (folder / (file.filename().string() + ".XXXXXX")).string();
  UniqueHostFd fd(HostFdTraits{}, ::mkstemp(temp.data()));
  if (!fd) return HostFileError{name, "cannot create a temporary file in its folder: " + ErrnoText(errno)};
  auto fail = [&](const std::string& what, int error) {
    fd.reset();
    ::unlink(temp.c_str());
    return HostFileError{name, error != 0 ? what + ": " + ErrnoText(error) : what};
  };

  if (::fchmod(fd.get(), mode) != 0) return fail("cannot set the permissions of the temporary file", errno);
  int writeError = 0;
  const HostFileSink sink = [&fd, &writeError](std::span<const std::uint8_t> bytes) {
    return writeError == 0 && WriteAll(fd.get(), bytes, &writeError);
  };
  if (!produce(sink)) {
    if (writeError != 0) return fail("cannot write the temporary file", writeError);
    return fail("the new contents could not be made; the file is left as it was", 0);
  }
  if (::fsync(fd.get()) != 0) return fail("cannot flush the temporary file to disk", errno);
  if (::close(fd.release()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return HostFileError{name, "cannot close the temporary file: " + ErrnoText(error)};
  }
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return HostFileError{name, "cannot replace the file: " + ErrnoText(error)};
  }
  // Make the rename itself durable.
  UniqueHostFd dir(HostFdTraits{}, ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());
  return std::nullopt;
}

std::optional<HostFileError> ReplaceHostFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
  return ReplaceHostFile(file, [bytes](const HostFileSink& sink) { return sink(bytes); });
}

}  // namespace zc::sim
