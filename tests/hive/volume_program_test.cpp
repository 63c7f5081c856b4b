// The Linux program on a Windows volume: `zentacleanup --windows DIR`
// lists what a run would remove, with the log a machine folder of the same
// content gives, and never writes under DIR.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "hive/volume_from_machine.h"
#include "platform/sim/demo_machine.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace zc::test {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status = -1;
  std::string out;  // stdout and stderr together
  std::string log;  // the log file whose host path the program printed last
};

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

ProgramRun RunProgram(const std::string& command) {
  const ShellRun shell = RunShell(command + " 2>&1 </dev/null");
  ProgramRun run{shell.status, shell.out, {}};
  const std::string log = NamedLog(run.out);
  if (!log.empty()) run.log = Slurp(log);
  return run;
}

std::string Program() { return ZC_PROGRAM; }

// What differs between two runs of one machine by nature: the time of day.
std::string WithoutTimes(const std::string& log) {
  static const std::regex time(R"(\d{2}/\d{2}/\d{4} \d{2}:\d{2}:\d{2}|\d{1,2}:\d{2}:\d{2}( [AP]M)?)");
  return std::regex_replace(log, time, "TIME");
}

// The demo machine as a folder and as a volume (drive C: with its hives).
// The folder's machine.ini is made to say what a volume would: the tool's
// current directory is the drive's root, and no clock is fixed.
struct DemoTwins {
  TempDir dir;
  fs::path folder;
  fs::path volume;
};

std::unique_ptr<DemoTwins> MakeDemoTwins() {
  auto t = std::make_unique<DemoTwins>();
  t->folder = t->dir / "folder";
  t->volume = t->dir / "volume";
  std::string error;
  if (!sim::WriteDemoMachine(t->folder, &error)) throw std::runtime_error(error);
  auto machine = sim::SimMachine::Load(t->folder, &error);
  if (!machine) throw std::runtime_error(error);
  StateFactsInRegistry(*machine);
  WriteVolumeOfMachine(*machine, t->volume);
  return t;
}

// Every entry under `root` with its mode, its time of last change and, for
// a file, its content's digest.
std::string Listing(const fs::path& root) {
  std::string out;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::error_code ec;
    out += entry.path().string() + " " + std::to_string(static_cast<int>(entry.symlink_status().permissions())) + " " +
           std::to_string(fs::last_write_time(entry.path(), ec).time_since_epoch().count());
    if (entry.is_regular_file()) out += " " + std::to_string(std::hash<std::string>{}(Slurp(entry.path())));
    out += "\n";
  }
  return out;
}

TEST(WindowsVolumeProgram, ADryRunListsWhatTheSameMachineFolderLists) {
  auto t = MakeDemoTwins();
  const std::string before = Listing(t->volume);
  const std::pair<std::string, std::string> kRuns[] = {{"-all -dryrun", "Found Product: "},
                                                       {"-all -dryrun -folder", "Found Product: "},
                                                       {"-quillo -dryrun -folder", "Custom cleaning: "}};
  for (const auto& [args, listed] : kRuns) {
    SCOPED_TRACE(args);
    const auto onVolume = RunProgram(Program() + " --windows " + t->volume.string() + " " + args);
    ASSERT_EQ(onVolume.status, 0) << onVolume.out;
    EXPECT_NE(onVolume.out.find("is read as drive C: and never written; the log goes to "), std::string::npos);
    // The facts the run assumed are told, each with where it came from.
    EXPECT_NE(onVolume.out.find("bits = "), std::string::npos) << onVolume.out;
    ASSERT_NE(onVolume.log.find(listed), std::string::npos) << onVolume.out;
    // The log's own lines: CR LF, no BOM, the same as the folder's.
    EXPECT_NE(onVolume.log.substr(0, 3), "\xEF\xBB\xBF");
    const auto onFolder = RunProgram(Program() + " --machine " + t->folder.string() + " " + args);
    ASSERT_EQ(onFolder.status, 0) << onFolder.out;
    EXPECT_EQ(WithoutTimes(onVolume.log), WithoutTimes(onFolder.log));
  }
  EXPECT_EQ(Listing(t->volume), before) << "nothing under the volume changed";
}

TEST(WindowsVolumeProgram, OptionsThatWouldChangeTheMachineAreRefused) {
  auto t = MakeDemoTwins();
  const std::string before = Listing(t->volume);
  for (const std::string args : {"-all", "-all -folder", "-vexil", "", "-commonfiles -quorix"}) {
    SCOPED_TRACE(args);
    const auto run = RunProgram(Program() + " --windows " + t->volume.string() + " " + args);
    EXPECT_EQ(run.status, 2) << run.out;
    EXPECT_NE(run.out.find("a Windows volume is only ever read: give -dryrun"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("exit status: 2\n"), std::string::npos);
  }
  // "-dryrun" as the value of -log is no dry run.
  const auto logValue = RunProgram(Program() + " --windows " + t->volume.string() + " -log -dryrun -all");
  EXPECT_EQ(logValue.status, 2) << logValue.out;
  // Given with a machine folder, or with what writes elsewhere, the run does not guess which is meant.
  for (const std::string& other : {" --machine " + t->folder.string(), " --make-demo " + (t->volume / "demo").string(),
                                   std::string(" --catalogue")}) {
    const auto both = RunProgram(Program() + " --windows " + t->volume.string() + other + " -all -dryrun");
    EXPECT_EQ(both.status, 2) << other << both.out;
  }
  EXPECT_EQ(Listing(t->volume), before);
}

// Every form the tool reads as a dry run, the help, and a command line the
// tool refuses: each runs, and none changes the volume.
TEST(WindowsVolumeProgram, WhatOnlyListsRunsAndChangesNothing) {
  auto t = MakeDemoTwins();
  WriteHostFile(t->volume / "existing.log", "an administrator's file");
  const std::string before = Listing(t->volume);
  const std::pair<std::string, int> kRuns[] = {{"/DRYRUN -all", 0},
                                               {"dryrun -quillo", 0},
                                               {"-help -all", 0},
                                               {"-all -dryrn", 7},
                                               // A log asked for on the volume, there already, in another case too.
                                               {"-all -dryrun -log C:\\existing.log", 0},
                                               {"-all -dryrun -log C:\\EXISTING.LOG", 0}};
  for (const auto& [args, status] : kRuns) {
    SCOPED_TRACE(args);
    const auto run = RunProgram(Program() + " --windows " + t->volume.string() + " " + args);
    EXPECT_EQ(run.status, status) << run.out;
    EXPECT_FALSE(run.log.empty()) << "the log is a host file of its own: " << run.out;
  }
  EXPECT_EQ(Listing(t->volume), before);
}

// The log's folder is made in $TMPDIR: one inside the volume is refused
// before anything is made there.
TEST(WindowsVolumeProgram, ATemporaryFolderInsideTheVolumeIsRefused) {
  auto t = MakeDemoTwins();
  fs::create_directories(t->volume / "Temp");
  const std::string before = Listing(t->volume);
  const auto inside = RunProgram("TMPDIR=" + (t->volume / "Temp").string() + " " + Program() + " --windows " +
                                 t->volume.string() + " -all -dryrun");
  EXPECT_EQ(inside.status, 2) << inside.out;
  EXPECT_NE(inside.out.find("lies in " + t->volume.string() + ", which is not written"), std::string::npos)
      << inside.out;
  const auto missing = RunProgram("TMPDIR=" + (t->dir / "none").string() + " " + Program() + " --windows " +
                                  t->volume.string() + " -all -dryrun");
  EXPECT_EQ(missing.status, 2) << missing.out;
  EXPECT_NE(missing.out.find("exit status: 2\n"), std::string::npos) << missing.out;
  EXPECT_EQ(Listing(t->volume), before);
}

TEST(WindowsVolumeProgram, AFolderThatIsNoWindowsVolumeIsRefusedByName) {
  TempDir dir;
  fs::create_directories(dir / "empty");
  const auto run = RunProgram(Program() + " --windows " + (dir / "empty").string() + " -all -dryrun");
  EXPECT_EQ(run.status, 2) << run.out;
  EXPECT_NE(run.out.find("Windows volume refused, nothing was changed: "), std::string::npos) << run.out;
  EXPECT_TRUE(fs::is_empty(dir / "empty"));
}

TEST(WindowsVolumeProgram, AReadOnlyMountOfTheVolumeIsReadAsItIs) {
  if (::geteuid() != 0 || std::system("unshare -m true 2>/dev/null") != 0) {
    GTEST_SKIP() << "needs root and mount namespaces";
  }
  auto t = MakeDemoTwins();
  const std::string before = Listing(t->volume);
  const std::string ro = (t->dir / "ro").string();
  fs::create_directories(ro);
  const auto run =
      RunProgram("unshare -m sh -c 'mount --bind " + t->volume.string() + " " + ro + " && mount -o remount,bind,ro " +
                 ro + " && " + Program() + " --windows " + ro + " -all -dryrun -folder'");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.log.find("Found Product: "), std::string::npos) << run.out;
  EXPECT_EQ(Listing(t->volume), before);
}

// A junction inside the volume (ntfs-3g shows one as a symbolic link) that
// leads into the Windows folder is never taken for a vendor folder.
TEST(WindowsVolumeProgram, AJunctionIntoTheWindowsFolderIsNotListedForRemoval) {
  auto t = MakeDemoTwins();
  const fs::path vendor = t->volume / "Program Files" / "ZENTA Technologies" / "ZENTA Vexil";
  ASSERT_TRUE(fs::is_directory(vendor));
  fs::create_directory_symlink("../../../WINDOWS", vendor / "Linked");
  const auto run = RunProgram(Program() + " --windows " + t->volume.string() + " -all -dryrun -folder");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.log.find("Link found: C:\\Program Files\\ZENTA Technologies\\ZENTA Vexil\\Linked\r\n"),
            std::string::npos)
      << run.log;
  EXPECT_EQ(run.log.find("Linked\\"), std::string::npos) << run.log;
  EXPECT_EQ(run.log.find("WINDOWS\\system32"), std::string::npos) << run.log;
  EXPECT_TRUE(fs::is_symlink(vendor / "Linked"));
}

}  // namespace
}  // namespace zc::test
