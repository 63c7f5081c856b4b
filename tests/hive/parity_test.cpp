// Parity: a machine folder and the same machine as a Windows volume (its
// drive with the SOFTWARE and SYSTEM hives) give the tool the same
// registry, the same facts and, run for run, the same log.
#include <gtest/gtest.h>

#include <fstream>

#include "app/application.h"
#include "platform/sim/demo_machine.h"
#include "hive/hive_support.h"
#include "hive/volume_from_machine.h"
#include "platform/sim/registry_util.h"
#include "platform/volume/windows_volume.h"
#include "support/scenario.h"
#include "support/temp_dir.h"

namespace zc::test {
namespace {

namespace fs = std::filesystem;

struct Twins {
  TempDir dir;
  std::unique_ptr<sim::SimMachine> folder;  // the machine folder
  std::unique_ptr<sim::SimMachine> volume;  // the same machine read from its volume
  volume::WindowsVolume read;               // what LoadWindowsVolume gave (the registry moved out)
};

// Loads the machine folder that `make` writes, turns it into a volume,
// and makes a machine of that volume. What a volume cannot tell (the
// clock, the current directory) is given as the folder's machine.ini has it.
template <typename Make>
std::unique_ptr<Twins> MakeTwins(Make make) {
  auto t = std::make_unique<Twins>();
  make(t->dir / "folder");
  std::string error;
  t->folder = sim::SimMachine::Load(t->dir / "folder", &error);
  if (!t->folder) throw std::runtime_error(error);
  StateFactsInRegistry(*t->folder);
  WriteVolumeOfMachine(*t->folder, t->dir / "volume" / "drive_c");

  if (!volume::LoadWindowsVolume(t->dir / "volume" / "drive_c", &t->read, &error)) throw std::runtime_error(error);
  sim::MachineConfig config = t->read.config;
  // Both sides show one clock, so that a second passing between the runs changes nothing.
  if (!t->folder->config().clock) t->folder->config().clock = kScenarioClock;
  config.clock = t->folder->config().clock;
  config.currentDirectory = t->folder->config().currentDirectory;
  // As zentacleanup --windows makes it: drive C: is the volume's root, the log goes elsewhere.
  fs::create_directories(t->dir / "work");
  t->volume =
      sim::SimMachine::OverVolume(t->dir / "work", t->dir / "volume" / "drive_c", config, std::move(t->read.registry));
  const fs::path attributes = t->dir / "folder" / sim::kAttributesFile;
  if (fs::exists(attributes) && !t->volume->fs().LoadAttributes(attributes, &error)) throw std::runtime_error(error);
  return t;
}

void WriteWineFixtureMachine(const fs::path& folder) {
  const fs::path fixture = fs::path(ZC_SOURCE_DIR) / "tests/fixtures/wine-installer";
  fs::create_directories(folder / "drive_c" / "Temp");
  fs::create_directories(folder / "drive_c" / "Tools");
  fs::copy_file(fixture / "registry.reg", folder / sim::kRegistryFile);
  WriteHostFile(folder / "drive_c/Program Files (x86)/ZENTA Technologies/Fixture/Fixture.dll", "MZ");
  WriteHostFile(folder / sim::kConfigFile,
                "[system]\nbits = 64\nclock = 2013-04-12 09:30:15\ncurrent_directory = C:\\Tools\n"
                "windows = C:\\Windows\n[environment]\nTMP = C:\\Temp\n[services]\nSpooler = stopped\n");
  fs::create_directories(folder / "drive_c" / "Windows" / "system32");
}

void WriteDemo(const fs::path& folder) {
  std::string error;
  if (!sim::WriteDemoMachine(folder, &error)) throw std::runtime_error(error);
}

std::string RunDryRun(sim::SimMachine& machine, const std::wstring& arguments) {
  VEZEZERidivorOde app(machine.platform());
  app.InitInstance(L"ZENTACleanup.exe " + arguments);
  std::ifstream in(machine.fs().HostPath(app.LogPath()), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void ExpectSameRegistry(Twins& t) {
  for (sim::SimRegistry* which : {&t.folder->registry(), &t.folder->nativeRegistry()}) {
    const bool tool = which == &t.folder->registry();
    SCOPED_TRACE(tool ? "the tool's view" : "the native view");
    Registry& a = *which;
    Registry& b = tool ? static_cast<Registry&>(t.volume->registry()) : t.volume->nativeRegistry();
    const std::string software = DumpThroughRegistry(a, kHkeyLocalMachine, L"SOFTWARE");
    EXPECT_FALSE(software.empty());
    EXPECT_EQ(DumpThroughRegistry(b, kHkeyLocalMachine, L"SOFTWARE"), software);
    EXPECT_EQ(DumpThroughRegistry(b, kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet"),
              DumpThroughRegistry(a, kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet"));
    EXPECT_EQ(DumpThroughRegistry(b, kHkeyClassesRoot, L""), DumpThroughRegistry(a, kHkeyClassesRoot, L""));
  }
}

void ExpectSameFacts(Twins& t) {
  const sim::MachineConfig& a = t.folder->config();
  const sim::MachineConfig& b = t.volume->config();
  EXPECT_EQ(b.bits, a.bits);
  EXPECT_EQ(b.version.major, a.version.major);
  EXPECT_EQ(b.version.minor, a.version.minor);
  EXPECT_EQ(b.windowsFolder, a.windowsFolder);
  EXPECT_EQ(b.systemFolder, a.systemFolder);
  EXPECT_EQ(b.programsFolder, a.programsFolder);
  const bool spooler =
      sim::KeyExists(t.folder->nativeRegistry(), kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\Spooler");
  EXPECT_EQ(b.services.count(L"spooler"), spooler ? 1u : 0u);
  auto& sa = t.folder->system();
  auto& sb = t.volume->system();
  for (const wchar_t* name :
       {L"TMP", L"SystemRoot", L"windir", L"SystemDrive", L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432",
        L"CommonProgramFiles", L"CommonProgramFiles(x86)", L"CommonProgramW6432", L"ProgramData", L"ALLUSERSPROFILE"}) {
    EXPECT_EQ(sb.GetEnvironmentValue(name), sa.GetEnvironmentValue(name)) << ToUtf8(name);
  }
  // Only the folder that holds the profiles counts (no user is logged on to a volume).
  auto parent = [](const std::optional<std::wstring>& p) { return p ? p->substr(0, p->find_last_of(L'\\')) : L""; };
  EXPECT_EQ(parent(sb.GetEnvironmentValue(L"USERPROFILE")), parent(sa.GetEnvironmentValue(L"USERPROFILE")));
  EXPECT_EQ(parent(sb.GetEnvironmentValue(L"PUBLIC")), parent(sa.GetEnvironmentValue(L"PUBLIC")));
}

void ExpectSameLogs(Twins& t, const std::vector<std::wstring>& runs) {
  for (const auto& arguments : runs) {
    SCOPED_TRACE(ToUtf8(arguments));
    const std::string a = RunDryRun(*t.folder, arguments);
    const std::string b = RunDryRun(*t.volume, arguments);
    EXPECT_NE(a.find(arguments.find(L"-all") == 0 ? "Found Product: " : "Custom cleaning: "), std::string::npos) << a;
    EXPECT_EQ(b, a);
  }
}

TEST(VolumeParity, TheDemoMachineAsAVolume) {
  auto t = MakeTwins(WriteDemo);
  ExpectSameRegistry(*t);
  ExpectSameFacts(*t);
  ExpectSameLogs(*t, {L"-all -dryrun", L"-all -dryrun -folder", L"-quillo -dryrun -folder", L"-drivers -dryrun",
                      L"-commonfiles -vexil -dryrun -folder"});
}

TEST(VolumeParity, AMachineWineInstalledAPackageOnAsAVolume) {
  auto t = MakeTwins(WriteWineFixtureMachine);
  EXPECT_EQ(t->volume->config().bits, 64);
  ExpectSameRegistry(*t);
  ExpectSameFacts(*t);
  ExpectSameLogs(*t, {L"-all -dryrun -folder", L"-commonfiles -dryrun"});
}

}  // namespace
}  // namespace zc::test
