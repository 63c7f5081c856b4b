// The folder walk at machine scale, one walk per process so that its peak
// RSS is its own. scripts/bench.sh drives it:
//
//   tree_bench tree HOSTDIR [FOLDERS FILES_PER_FOLDER]
//       writes the benchmark tree into HOSTDIR (created): FOLDERS folders in
//       two levels (100 at the top, the rest below them), FILES_PER_FOLDER
//       small files in each; default 10,000 folders of 10 files.
//   tree_bench walk MACHINE WINDOWS-FOLDER remove|list [flushed|buffered|none]
//       loads the machine, makes the application object as the tool does
//       (catalogue built, log open) and times RemoveFolderTree on the folder.
//       The log is the tool's (flushed at every end of line), the same file
//       flushed only at its close, or none at all.
//   tree_bench grow MACHINE FILES SHARED_VALUES
//       turns a demo machine into a large one: a leftover tree of FILES
//       files under the Quillo folder and SHARED_VALUES SharedDlls values,
//       one in ten of them under the vendor's folder.
//   tree_bench regio MACHINE
//       times loading the machine's registry.reg and writing it back.
//
// Each command prints one line of key=value pairs on stdout.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "app/application.h"
#include "platform/sim/machine.h"
#include "platform/sim/reg_file.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr wchar_t kLeftovers[] = L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Leftovers";

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "tree_bench: %s\n", message.c_str());
  return 1;
}

// Writes the tree with plain system calls: 100 top folders, the others
// spread below them, every folder holding `files` files of a few bytes.
bool WriteTree(const fs::path& root, int folders, int files, long* written) {
  static const char kContent[] = "MZ benchmark file\r\n";
  std::error_code ec;
  fs::create_directories(root, ec);
  if (ec) return false;
  const int top = folders < 100 ? folders : 100;
  const int below = folders - top;
  *written = 0;
  auto fill = [&](const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0755) != 0) return false;
    for (int f = 0; f < files; ++f) {
      char name[32];
      std::snprintf(name, sizeof name, "/file%03d.dll", f);
      const std::string path = folder.string() + name;
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0) return false;
      const bool ok = ::write(fd, kContent, sizeof kContent - 1) == static_cast<ssize_t>(sizeof kContent - 1);
      ::close(fd);
      if (!ok) return false;
      ++*written;
    }
    return true;
  };
  for (int t = 0; t < top; ++t) {
    char name[32];
    std::snprintf(name, sizeof name, "Module %03d", t);
    const fs::path folder = root / name;
    if (!fill(folder)) return false;
    // This top folder's share of the folders below.
    const int share = below / top + (t < below % top ? 1 : 0);
    for (int s = 0; s < share; ++s) {
      std::snprintf(name, sizeof name, "Component %03d", s);
      if (!fill(folder / name)) return false;
    }
  }
  return true;
}

int CmdTree(int argc, char** argv) {
  if (argc < 3) return Fail("tree HOSTDIR [FOLDERS FILES_PER_FOLDER]");
  const int folders = argc > 3 ? std::atoi(argv[3]) : 10000;
  const int files = argc > 4 ? std::atoi(argv[4]) : 10;
  long written = 0;
  const auto start = Clock::now();
  if (!WriteTree(argv[2], folders, files, &written)) return Fail(std::string("cannot write the tree in ") + argv[2]);
  std::printf("files=%ld folders=%d seconds=%.3f\n", written, folders, Seconds(start));
  return 0;
}

// The log as the tool writes it, but flushed only when it is closed: what
// the walk would cost if the log did not flush at every end of line.
class BufferedOutputFile : public zc::OutputFile {
 public:
  explicit BufferedOutputFile(std::FILE* file) : file_(file) {}
  ~BufferedOutputFile() override { std::fclose(file_); }
  bool Write(const char* bytes, std::size_t count) override { return std::fwrite(bytes, 1, count, file_) == count; }
  bool Flush() override { return true; }

 private:
  std::FILE* file_;
};

// Only CreateOutputFile is asked of it, by OperationLog::Open.
class BufferedLogSink : public zc::FileSystem {
 public:
  explicit BufferedLogSink(fs::path host) : host_(std::move(host)) {}
  zc::WinError GetAttributes(std::wstring_view, std::uint32_t*) override { return zc::err::kAccessDenied; }
  zc::WinError SetAttributes(std::wstring_view, std::uint32_t) override { return zc::err::kAccessDenied; }
  zc::WinError DeleteFileAt(std::wstring_view) override { return zc::err::kAccessDenied; }
  zc::WinError RemoveFolder(std::wstring_view) override { return zc::err::kAccessDenied; }
  zc::WinError FindFirst(std::wstring_view, zc::FindHandleValue*, zc::FindData*) override {
    return zc::err::kAccessDenied;
  }
  zc::WinError FindNext(zc::FindHandleValue, zc::FindData*) override { return zc::err::kAccessDenied; }
  zc::WinError FindClose(zc::FindHandleValue) override { return zc::err::kAccessDenied; }
  zc::WinError ScheduleDeleteAtReboot(std::wstring_view) override { return zc::err::kAccessDenied; }
  zc::WinError GetFinalPath(std::wstring_view, bool, std::wstring*) override { return zc::err::kAccessDenied; }
  std::unique_ptr<zc::OutputFile> OpenOutputFileToAppend(std::wstring_view, zc::WinError* error) override {
    *error = zc::err::kAccessDenied;
    return nullptr;
  }
  std::unique_ptr<zc::OutputFile> CreateOutputFile(std::wstring_view, zc::WinError* error) override {
    std::FILE* file = std::fopen(host_.c_str(), "wb");
    *error = file ? zc::err::kSuccess : zc::err::kAccessDenied;
    if (!file) return nullptr;
    std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    return std::make_unique<BufferedOutputFile>(file);
  }

 private:
  fs::path host_;
};

long CountLines(const fs::path& file) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return -1;
  long lines = 0;
  for (int c; (c = std::fgetc(f)) != EOF;) lines += c == '\n';
  std::fclose(f);
  return lines;
}

int CmdWalk(int argc, char** argv) {
  if (argc < 5) return Fail("walk MACHINE WINDOWS-FOLDER remove|list [flushed|buffered|none]");
  const std::string mode = argv[4];
  const std::string logMode = argc > 5 ? argv[5] : "flushed";
  const bool remove = mode == "remove";
  if (!remove && mode != "list") return Fail("walk: remove or list");
  if (logMode != "flushed" && logMode != "buffered" && logMode != "none")
    return Fail("walk: flushed, buffered or none");

  std::string error;
  auto machine = zc::sim::SimMachine::Load(argv[2], &error);
  if (!machine) return Fail(error);
  const std::wstring folder = zc::FromUtf8(argv[3]);
  const std::wstring logPath = L"C:\\Temp\\tree_bench.log";
  const fs::path logHost = machine->fs().HostPath(logPath);

  zc::VEZEZERidivorOde app(machine->platform());
  BufferedLogSink buffered(logHost);
  if (logMode == "flushed") app.m_log.Open(machine->fs(), logPath);
  if (logMode == "buffered") app.m_log.Open(buffered, logPath);
  app.BuildProductCodeLists(true);

  const auto start = Clock::now();
  app.RemoveFolderTree(folder, remove);
  app.m_log.Close();
  const double seconds = Seconds(start);

  const bool gone = machine->fs().HostPath(folder).empty() || !fs::exists(machine->fs().HostPath(folder));
  std::printf("seconds=%.4f peak_rss_mib=%.1f log_lines=%ld folder_gone=%d\n", seconds, PeakRssMiB(),
              logMode == "none" ? 0L : CountLines(logHost), gone ? 1 : 0);
  return 0;
}

int CmdGrow(int argc, char** argv) {
  if (argc < 5) return Fail("grow MACHINE FILES SHARED_VALUES");
  const int files = std::atoi(argv[3]);
  const int values = std::atoi(argv[4]);
  std::string error;
  auto machine = zc::sim::SimMachine::Load(argv[2], &error);
  if (!machine) return Fail(error);

  long written = 0;
  if (!WriteTree(machine->fs().HostPath(kLeftovers), files / 10, 10, &written)) return Fail("cannot write the tree");

  auto& reg = machine->nativeRegistry();
  for (int i = 0; i < values; ++i) {
    std::wstring name;
    if (i % 10 == 0) {
      name = std::wstring(kLeftovers) + L"\\Module " + std::to_wstring(i % 100) + L"\\shared" + std::to_wstring(i) +
             L".dll";
    } else {
      name = L"C:\\Program Files\\Harbor Lane\\Product" + std::to_wstring(i % 97) + L"\\bin\\file" +
             std::to_wstring(i) + L".dll";
    }
    zc::sim::WriteDword(reg, zc::kHkeyLocalMachine, kSharedDlls, name, static_cast<std::uint32_t>(i % 5 + 1));
  }
  if (!machine->Save(&error)) return Fail(error);
  std::printf("files=%ld shared_values=%d\n", written, values);
  return 0;
}

int CmdRegIo(int argc, char** argv) {
  if (argc < 3) return Fail("regio MACHINE");
  const fs::path file = fs::path(argv[2]) / zc::sim::kRegistryFile;
  const fs::path copy = fs::path(argv[2]) / "registry.bench.reg";
  const auto start = Clock::now();
  {
    zc::sim::RegStore store;
    if (auto e = zc::sim::LoadRegFile(file, store)) return Fail(e->ToString());
    if (auto e = zc::sim::SaveRegFile(copy, store)) return Fail(e->ToString());
  }
  const double seconds = Seconds(start);
  std::error_code ec;
  fs::remove(copy, ec);
  std::printf("seconds=%.4f peak_rss_mib=%.1f\n", seconds, PeakRssMiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "tree") return CmdTree(argc, argv);
  if (command == "walk") return CmdWalk(argc, argv);
  if (command == "grow") return CmdGrow(argc, argv);
  if (command == "regio") return CmdRegIo(argc, argv);
  return Fail("usage: tree_bench tree|walk|grow|regio ...");
}
