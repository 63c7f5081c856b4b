// The simulated machine never reaches the host outside its folder, whatever
// Windows path or side file it is given: a sentinel beside the machine
// folder survives every way in, byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "removal/removal_support.h"
#include "support/temp_dir.h"

namespace zc::test {
namespace {

namespace fs = std::filesystem;

const std::string kSentinel = "the host's own file\n";

// A machine in DIR/m with a sentinel file and folder beside it in DIR.
class Contained : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteHostFile(dir_ / "sentinel.txt", kSentinel);
    fs::create_directories(dir_ / "Sentinel");
    WriteHostFile(dir_ / "Sentinel" / "keep.txt", kSentinel);
  }

  // The machine, made from `ini` (a ScenarioMachine's defaults otherwise).
  std::unique_ptr<sim::SimMachine> Machine(sim::MachineConfig config = ScenarioMachine::DefaultConfig()) {
    auto machine = sim::SimMachine::Create(dir_ / "m", std::move(config));
    for (const char* folder : {"drive_c/Temp", "drive_c/Tools", "drive_c/WINDOWS/system32", "drive_c/Program Files"}) {
      fs::create_directories(dir_ / "m" / folder);
    }
    WriteHostFile(dir_ / "m/drive_c/WINDOWS/system32/msiexec.exe", "MZ");
    WriteHostFile(dir_ / "m/drive_c/Tools/MSIZap.exe", "MZ");
    return machine;
  }

  void ExpectSentinelsIntact() {
    EXPECT_EQ(Slurp(dir_ / "sentinel.txt"), kSentinel);
    EXPECT_EQ(Slurp(dir_ / "Sentinel" / "keep.txt"), kSentinel);
    // Nothing new beside the machine either.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Sentinel", "m", "sentinel.txt"}));
  }

  static std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  TempDir dir_;
};

// Windows paths that climb: "\\?\" passes ".." on as a name (invalid: the
// file system refuses it), "\\.\" and plain paths stop at the drive's root.
const wchar_t* const kClimbing[] = {
    L"\\\\?\\C:\\..\\..\\Sentinel\\", L"\\??\\C:\\..\\..\\Sentinel\\", L"\\\\.\\C:\\..\\..\\Sentinel\\",
    L"C:\\..\\..\\Sentinel\\",        L"\\\\?\\C:\\..\\..\\",          L"\\\\?\\GLOBALROOT\\..\\Sentinel\\",
};

TEST_F(Contained, InstallLocationsThatClimbReachNothingOutside) {
  for (const wchar_t* location : kClimbing) {
    SCOPED_TRACE(ToUtf8(location));
    auto machine = Machine();
    auto product = VendorProduct(L"{4233A874-F8D9-4777-B94C-432B2889509D}", L"Quillo Software 10.8", location);
    product.components.clear();
    machine->msi().Register(product);
    VEZEZERidivorOde app(machine->platform());
    app.InitInstance(L"ZENTACleanup.exe -all -folder");
    VEZEZERidivorOde again(machine->platform());
    again.InitInstance(L"ZENTACleanup.exe -quillo -folder");
    machine.reset();
    ExpectSentinelsIntact();
    fs::remove_all(dir_ / "m");
  }
}

TEST_F(Contained, AnAppPathsValueThatClimbsReachesNothingOutside) {
  for (const wchar_t* folder : kClimbing) {
    SCOPED_TRACE(ToUtf8(folder));
    auto machine = Machine();
    sim::WriteText(machine->nativeRegistry(), kHkeyLocalMachine,
                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quillo.exe", L"",
                   std::wstring(folder) + L"Quillo.exe");
    auto product = VendorProduct(L"{4233A874-F8D9-4777-B94C-432B2889509D}", L"Quillo Software 10.8", L"");
    machine->msi().Register(product);
    VEZEZERidivorOde app(machine->platform());
    app.InitInstance(L"ZENTACleanup.exe -quillo -folder");
    machine.reset();
    ExpectSentinelsIntact();
    fs::remove_all(dir_ / "m");
  }
}

TEST_F(Contained, ALogOrTmpThatClimbsWritesNothingOutside) {
  for (const wchar_t* log :
       {L"\\\\?\\C:\\..\\..\\escaped.log", L"\\\\.\\C:\\..\\..\\escaped.log", L"\\??\\C:\\..\\..\\escaped.log"}) {
    SCOPED_TRACE(ToUtf8(log));
    auto machine = Machine();
    VEZEZERidivorOde app(machine->platform());
    app.InitInstance(L"ZENTACleanup.exe -dryrun -log \"" + std::wstring(log) + L"\"");
    // The log that opened lies on the machine.
    EXPECT_EQ(machine->fs().HostPath(app.LogPath()).string().rfind((dir_ / "m" / "drive_c").string(), 0), 0u);
    machine.reset();
    ExpectSentinelsIntact();
    fs::remove_all(dir_ / "m");
  }
  auto config = ScenarioMachine::DefaultConfig();
  config.environment = {{L"TMP", L"\\\\?\\C:\\..\\.."}};
  auto machine = Machine(config);
  VEZEZERidivorOde app(machine->platform());
  app.InitInstance(L"ZENTACleanup.exe -dryrun");
  machine.reset();
  ExpectSentinelsIntact();
}

// A current directory or Windows folder given as a climbing path is no
// path of the machine: the machine is refused before it runs.
TEST_F(Contained, MachineIniPathsThatClimbAreRefused) {
  fs::create_directories(dir_ / "m" / "drive_c");
  WriteHostFile(dir_ / "m" / "registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
  for (const char* line : {"current_directory = \\\\?\\C:\\..\\..", "windows = \\\\.\\C:\\..\\..\\Sentinel",
                           "system = \\??\\C:\\..\\Sentinel"}) {
    WriteHostFile(dir_ / "m" / "machine.ini", std::string("[system]\n") + line + "\n");
    std::string error;
    EXPECT_FALSE(sim::SimMachine::Load(dir_ / "m", &error)) << line;
    EXPECT_NE(error.find("machine.ini:2: "), std::string::npos) << error;
  }
  ExpectSentinelsIntact();
}

// Side files that are links to host files outside are refused (read) or
// replaced (written), never followed.
TEST_F(Contained, SideFilesThatAreLinksAreNeverFollowed) {
  std::string error;
  {
    auto machine = Machine();
    std::string saveError;
    ASSERT_TRUE(machine->Save(&saveError)) << saveError;
  }
  for (const char* side : {"registry.reg", "machine.ini", "file-attributes.txt"}) {
    SCOPED_TRACE(side);
    const fs::path file = dir_ / "m" / side;
    const fs::path kept = dir_ / "m" / "kept";
    if (fs::exists(fs::symlink_status(file))) fs::rename(file, kept);
    fs::create_symlink(dir_ / "sentinel.txt", file);
    EXPECT_FALSE(sim::SimMachine::Load(dir_ / "m", &error));
    EXPECT_NE(error.find(side), std::string::npos) << error;
    fs::remove(file);
    if (fs::exists(fs::symlink_status(kept))) fs::rename(kept, file);
  }
  // Written back: a restart marker and an attribute table that are links
  // are replaced by files; the host files they pointed at stay.
  WriteHostFile(dir_ / "m" / "machine.ini", "[system]\nshutdown_privilege = held\n");
  fs::create_symlink(dir_ / "sentinel.txt", dir_ / "m" / "restart-requested");
  auto machine = sim::SimMachine::Load(dir_ / "m", &error);
  ASSERT_TRUE(machine) << error;
  WriteHostFile(dir_ / "m/drive_c/Program Files/x.dll", "MZ");
  machine->fs().SetAttributes(L"C:\\Program Files\\x.dll", fileattr::kReadOnly);
  UniqueToken token(machine->power());
  machine->power().OpenProcessTokenHandle(token.put());
  machine->power().SetShutdownPrivilege(token.get(), true);
  machine->power().RequestRestart();
  std::string saveError;
  ASSERT_TRUE(machine->Save(&saveError)) << saveError;
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(dir_ / "m" / "restart-requested")));
  ExpectSentinelsIntact();
}

// A FIFO in a side file's place is refused at once, never waited on; a
// folder there is refused, not taken for none.
TEST_F(Contained, OddHostFilesInASideFilesPlaceAreRefusedByName) {
  fs::create_directories(dir_ / "m" / "drive_c");
  WriteHostFile(dir_ / "m" / "registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
  for (const char* side : {"machine.ini", "file-attributes.txt", "registry.reg"}) {
    for (const char* kind : {"fifo", "folder"}) {
      SCOPED_TRACE(std::string(side) + " as a " + kind);
      const fs::path file = dir_ / "m" / side;
      const fs::path kept = dir_ / "m" / "kept";
      if (fs::exists(fs::symlink_status(file))) fs::rename(file, kept);
      if (std::string(kind) == "fifo") {
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
      } else {
        fs::create_directory(file);
      }
      std::string error;
      EXPECT_FALSE(sim::SimMachine::Load(dir_ / "m", &error));
      EXPECT_NE(error.find(side), std::string::npos) << error;
      fs::remove(file);
      if (fs::exists(fs::symlink_status(kept))) fs::rename(kept, file);
    }
  }
}

}  // namespace
}  // namespace zc::test
