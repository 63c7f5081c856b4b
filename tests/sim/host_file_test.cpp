// Side files of a machine folder: odd things in a side file's place are
// refused by name without a hang, and write-back replaces, never writes
// through.
#include "platform/sim/host_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace zc::sim {
namespace {

namespace fs = std::filesystem;
using test::ReadHostFile;
using test::TempDir;
using test::WriteHostFile;

std::string Contents(const fs::path& file) {
  std::string text;
  EXPECT_EQ(sim::ReadHostFile(file, 1 << 20, &text), std::nullopt);
  return text;
}

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(HostFileRead, ReadsARegularFileInChunks) {
  TempDir dir;
  std::string big(200000, 'x');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  WriteHostFile(dir / "machine.ini", big);

  HostFileReader reader;
  ASSERT_EQ(HostFileReader::Open(dir / "machine.ini", &reader), std::nullopt);
  EXPECT_EQ(reader.size(), big.size());
  std::string read;
  std::uint8_t buffer[4096];
  std::size_t got = 0;
  do {
    ASSERT_EQ(reader.Read(buffer, &got), std::nullopt);
    EXPECT_LE(got, sizeof buffer);
    read.append(reinterpret_cast<const char*>(buffer), got);
  } while (got != 0);
  EXPECT_EQ(read, big);
  EXPECT_EQ(Contents(dir / "machine.ini"), big);
}

// Each odd thing in a side file's place, refused at once by name.
TEST(HostFileRead, RefusesWhatIsNotARegularFile) {
  TempDir dir;
  WriteHostFile(dir / "target.reg", "Windows Registry Editor Version 5.00\r\n");
  fs::create_symlink(dir / "target.reg", dir / "link.reg");
  fs::create_symlink("/dev/zero", dir / "zero.reg");
  fs::create_directory(dir / "folder.reg");
  ASSERT_EQ(::mkfifo((dir / "fifo.reg").c_str(), 0600), 0);  // no writer: a blocking open would hang

  struct Case {
    fs::path file;
    const char* kind;
  };
  const Case cases[] = {
      {dir / "link.reg", "a symbolic link"},
      {dir / "zero.reg", "a symbolic link"},
      {dir / "folder.reg", "a folder"},
      {dir / "fifo.reg", "a FIFO"},
      {"/dev/zero", "a character device"},
      {"/dev/null", "a character device"},
      {dir / "absent.reg", "cannot open the file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.string());
    HostFileReader reader;
    auto error = HostFileReader::Open(c.file, &reader);
    ASSERT_TRUE(error);
    EXPECT_FALSE(reader.is_open());
    EXPECT_EQ(error->file, c.file.string());
    EXPECT_NE(error->message.find(c.kind), std::string::npos) << error->message;
    EXPECT_EQ(error->ToString().rfind(c.file.string() + ": ", 0), 0u);
    std::string contents = "left over";
    EXPECT_TRUE(sim::ReadHostFile(c.file, 1 << 20, &contents));
    EXPECT_TRUE(contents.empty());
  }
}

TEST(HostFileRead, RefusesASocket) {
  TempDir dir;
  const fs::path path = dir / "socket.reg";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.string().size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, path.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  HostFileReader reader;
  auto error = HostFileReader::Open(path, &reader);
  ::close(fd);
  ASSERT_TRUE(error);
  EXPECT_NE(error->message.find("a socket"), std::string::npos) << error->message;
}

TEST(HostFileRead, UnreadableFileIsRefusedByName) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  WriteHostFile(dir / "machine.ini", "[system]\n");
  ::chmod((dir / "machine.ini").c_str(), 0);
  HostFileReader reader;
  auto error = HostFileReader::Open(dir / "machine.ini", &reader);
  ASSERT_TRUE(error);
  EXPECT_NE(error->ToString().find("machine.ini: cannot open the file: Permission denied"), std::string::npos);
}

TEST(HostFileRead, WholeFileIsBoundedBySize) {
  TempDir dir;
  WriteHostFile(dir / "file-attributes.txt", std::string(1000, 'a'));
  std::string contents;
  EXPECT_EQ(sim::ReadHostFile(dir / "file-attributes.txt", 1000, &contents), std::nullopt);
  EXPECT_EQ(contents.size(), 1000u);
  auto error = sim::ReadHostFile(dir / "file-attributes.txt", 999, &contents);
  ASSERT_TRUE(error);
  EXPECT_NE(error->message.find("larger than 999 bytes"), std::string::npos);
  EXPECT_TRUE(contents.empty());
}

mode_t ModeOf(const fs::path& file) {
  struct stat info {};
  EXPECT_EQ(::lstat(file.c_str(), &info), 0);
  return info.st_mode;
}

std::vector<fs::path> Entries(const fs::path& dir) {
  std::vector<fs::path> entries;
  for (const auto& entry : fs::directory_iterator(dir)) entries.push_back(entry.path().filename());
  std::sort(entries.begin(), entries.end());
  return entries;
}

TEST(HostFileReplace, ReplacesAtomicallyAndKeepsThePermissions) {
  TempDir dir;
  WriteHostFile(dir / "registry.reg", "old");
  ::chmod((dir / "registry.reg").c_str(), 0640);
  struct stat before {};
  ASSERT_EQ(::stat((dir / "registry.reg").c_str(), &before), 0);

  ASSERT_EQ(ReplaceHostFile(dir / "registry.reg", Bytes("new contents")), std::nullopt);
  EXPECT_EQ(ReadHostFile(dir / "registry.reg"), "new contents");
  EXPECT_EQ(ModeOf(dir / "registry.reg") & 07777, 0640u);
  struct stat after {};
  ASSERT_EQ(::stat((dir / "registry.reg").c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file, renamed into place
  EXPECT_EQ(Entries(dir.path()), std::vector<fs::path>{"registry.reg"});

  // A new file gets the usual permissions.
  ASSERT_EQ(ReplaceHostFile(dir / "restart-requested", Bytes("x")), std::nullopt);
  EXPECT_EQ(ModeOf(dir / "restart-requested") & 07777, 0644u);
}

TEST(HostFileReplace, ALinkIsReplacedNeverWrittenThrough) {
  TempDir dir;
  WriteHostFile(dir / "elsewhere" / "precious.txt", "must stay");
  ::chmod((dir / "elsewhere" / "precious.txt").c_str(), 0600);
  fs::create_symlink(dir / "elsewhere" / "precious.txt", dir / "registry.reg");
  fs::create_symlink(dir / "nowhere", dir / "machine.ini");  // dangling

  ASSERT_EQ(ReplaceHostFile(dir / "registry.reg", Bytes("written")), std::nullopt);
  ASSERT_EQ(ReplaceHostFile(dir / "machine.ini", Bytes("ini")), std::nullopt);
  EXPECT_EQ(ReadHostFile(dir / "elsewhere" / "precious.txt"), "must stay");
  EXPECT_TRUE(S_ISREG(ModeOf(dir / "registry.reg")));
  EXPECT_EQ(ModeOf(dir / "registry.reg") & 07777, 0644u);  // not the link target's
  EXPECT_EQ(ReadHostFile(dir / "registry.reg"), "written");
  EXPECT_TRUE(S_ISREG(ModeOf(dir / "machine.ini")));
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

TEST(HostFileReplace, FailuresLeaveTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  WriteHostFile(dir / "registry.reg", "old");

  // The producer gives up half-way.
  auto error = ReplaceHostFile(dir / "registry.reg", [](const HostFileSink& sink) {
    sink(Bytes("half of it"));
    return false;
  });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->file, (dir / "registry.reg").string());
  EXPECT_EQ(ReadHostFile(dir / "registry.reg"), "old");
  EXPECT_EQ(Entries(dir.path()), std::vector<fs::path>{"registry.reg"});

  // A folder in the file's place stays a folder.
  fs::create_directory(dir / "folder.reg");
  WriteHostFile(dir / "folder.reg" / "inside", "x");
  error = ReplaceHostFile(dir / "folder.reg", Bytes("new"));
  ASSERT_TRUE(error);
  EXPECT_NE(error->message.find("a folder"), std::string::npos);
  EXPECT_EQ(ReadHostFile(dir / "folder.reg" / "inside"), "x");

  // No folder to make the temporary file in.
  error = ReplaceHostFile(dir / "no-such-folder" / "registry.reg", Bytes("new"));
  ASSERT_TRUE(error);
  EXPECT_NE(error->message.find("temporary file"), std::string::npos);
  EXPECT_EQ(Entries(dir.path()), (std::vector<fs::path>{"folder.reg", "registry.reg"}));
}

TEST(HostFileReplace, AWriteErrorIsReportedAndLeavesTheOldFile) {
  // A file-size limit makes the write fail as a full disk would (EFBIG
  // instead of a signal while SIGXFSZ is ignored).
  TempDir dir;
  WriteHostFile(dir / "registry.reg", "old");
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 65536;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  auto error = ReplaceHostFile(dir / "registry.reg", [](const HostFileSink& sink) {
    const std::vector<std::uint8_t> chunk(16384, 'x');
    for (int i = 0; i < 16; ++i) {
      if (!sink(chunk)) return false;
    }
    return true;
  });
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  ASSERT_TRUE(error);
  EXPECT_NE(error->message.find("cannot write the temporary file: File too large"), std::string::npos)
      << error->message;
  EXPECT_EQ(ReadHostFile(dir / "registry.reg"), "old");
  EXPECT_EQ(Entries(dir.path()), std::vector<fs::path>{"registry.reg"});
}

}  // namespace
}  // namespace zc::sim
