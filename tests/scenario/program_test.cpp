// The Linux program as scripts use it: its own options, the machine folder,
// the log path on stderr and the exit status.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "support/shell.h"
#include "support/temp_dir.h"

namespace zc::test {
namespace {

using ProgramRun = ShellRun;  // out: stdout and stderr together

ProgramRun RunProgram(const std::string& arguments, const std::string& input = "</dev/null") {
  return RunShell(std::string(ZC_PROGRAM) + " " + arguments + " 2>&1 " + input);
}

std::string Slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Program, RunsOnAMachineMadeByHandFromAWineExport) {
  TempDir dir;
  const auto machine = dir / "m";
  std::filesystem::create_directories(machine / "drive_c" / "Temp");
  std::filesystem::copy_file(std::filesystem::path(ZC_SOURCE_DIR) / "tests/fixtures/wine-installer/registry.reg",
                             machine / "registry.reg");
  WriteHostFile(machine / "machine.ini",
                "[system]\nbits = 64\nclock = 2013-04-12 09:30:15\n[environment]\nTMP = C:\\Temp\n");

  const auto run = RunProgram("--machine " + machine.string() + " -all -dryrun");
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string log = Slurp(machine / "drive_c/Temp/ZENTACleanup2_20130412_093015.log");
  EXPECT_NE(
      log.find("Found Product: ZENTA Fixture Product 1.2  -- GUID: {4E1F6C2A-7B3D-4C59-9A10-2B6E8D5F3A71} -- "
               "Version: 1.2.3.4 -- Install Directoy: =C:\\Program Files (x86)\\ZENTA Technologies\\Fixture\\= \r\n"),
      std::string::npos)
      << log;
  // The log's host path, then the tool's status.
  EXPECT_TRUE(run.out.ends_with("zentacleanup: log: " + machine.string() +
                                "/drive_c/Temp/ZENTACleanup2_20130412_093015.log\nexit status: 0\n"))
      << run.out;
}

TEST(Program, AMalformedMachineIsRefusedAndNothingIsWritten) {
  TempDir dir;
  const auto machine = dir / "m";
  std::filesystem::create_directories(machine / "drive_c");
  WriteHostFile(machine / "machine.ini", "[system]\nbits = 48\n");
  WriteHostFile(machine / "registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
  const auto run = RunProgram("--machine " + machine.string() + " -all");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("machine.ini:2:"), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with("exit status: 2\n"));
  EXPECT_EQ(NamedLog(run.out), "") << run.out;
  EXPECT_EQ(Slurp(machine / "registry.reg"), "Windows Registry Editor Version 5.00\r\n\r\n");
  EXPECT_TRUE(std::filesystem::is_empty(machine / "drive_c"));
}

TEST(Program, CatalogueListsTheEightFamilies) {
  const auto run = RunProgram("--catalogue");
  EXPECT_EQ(run.status, 0);
  std::istringstream lines(run.out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) ++count;
  EXPECT_EQ(count, 9);  // the eight families, then the status
  EXPECT_TRUE(run.out.ends_with("\nexit status: 0\n"));
  EXPECT_EQ(run.out.rfind("Quillo Software\t{", 0), 0u);
}

TEST(Program, PackGuidPrintsWindowsInstallersFormOfEachGuid) {
  const auto run =
      RunProgram("--pack-guid {12345678-ABCD-EF01-2345-6789ABCDEF01} {11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "87654321DCBA10FE32547698BADCFE10\n11111111222233334444555555555555\nexit status: 0\n");
}

TEST(Program, PackGuidRefusesATextThatIsNoBracedGuidAndPrintsNothingElse) {
  const auto run =
      RunProgram("--pack-guid {12345678-ABCD-EF01-2345-6789ABCDEF01} 12345678-ABCD-EF01-2345-6789ABCDEF01");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "zentacleanup: not a braced GUID: 12345678-ABCD-EF01-2345-6789ABCDEF01\nexit status: 2\n");
  EXPECT_EQ(RunProgram("--pack-guid").status, 2);
}

TEST(Program, WithoutAMachineItWorksOnAFreshDemoCopyAndSaysWhere) {
  const auto run = RunProgram("-all -dryrun");
  EXPECT_EQ(run.status, 0) << run.out;
  const auto at = run.out.find("demo machine in ");
  ASSERT_NE(at, std::string::npos) << run.out;
  const auto end = run.out.find('\n', at);
  const std::filesystem::path folder = run.out.substr(at + 16, end - at - 16);
  EXPECT_TRUE(std::filesystem::exists(folder / "registry.reg"));
  // The log, on the demo copy, with the products it found; then the status.
  ASSERT_TRUE(run.out.ends_with("\nexit status: 0\n")) << run.out;
  const std::string log = NamedLog(run.out);
  EXPECT_TRUE(log.starts_with(folder.string())) << run.out;
  EXPECT_NE(Slurp(log).find("Found Product: Quillo Software 10.8"), std::string::npos) << log;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

TEST(Program, ProgramOptionsAreTakenOutBeforeTheToolSeesTheRest) {
  // A machine folder named like a keyword must not be read as one.
  TempDir dir;
  const auto machine = dir / "logs";
  std::filesystem::create_directories(machine / "drive_c" / "Temp");
  WriteHostFile(machine / "machine.ini", "[system]\nclock = 2013-04-12 09:30:15\n[environment]\nTMP = C:\\Temp\n");
  WriteHostFile(machine / "registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
  const auto run = RunProgram("--machine " + machine.string() + " -dryrun");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(std::filesystem::exists(machine / "drive_c/Temp/ZENTACleanup2_20130412_093015.log"));
}

// A copy of the demo machine with more lines for its machine.ini.
std::filesystem::path DemoCopy(const TempDir& dir, const std::string& extraIni = "") {
  const auto machine = dir / "demo";
  const auto made = RunProgram("--make-demo " + machine.string());
  EXPECT_EQ(made.status, 0) << made.out;
  if (!extraIni.empty()) {
    std::ofstream(machine / "machine.ini", std::ios::app) << "\n" << extraIni;
  }
  return machine;
}

// A log that could not be made is not named: the line says there is none.
TEST(Program, ARunThatCouldWriteNoLogSaysSo) {
  TempDir dir;
  const auto machine = DemoCopy(dir, "[faults]\nCreateFile = 5\n");
  const auto run = RunProgram("--machine " + machine.string() + " -all -dryrun");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(NamedLog(run.out), "") << run.out;
  EXPECT_TRUE(run.out.ends_with("zentacleanup: no log was written\nexit status: 0\n")) << run.out;
}

// The tool's status reaches scripts as a small number of its own, and the
// last line on stderr names the tool's own status.
TEST(Program, EachToolStatusHasItsOwnExitStatus) {
  const std::string vexil = "{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}";
  const std::string quorix = "{C5FCEA76-5728-4F57-9BEF-A12844413281}";
  struct Case {
    const char* what;
    std::string ini;
    std::string arguments;
    int program;
    int tool;
  };
  for (const auto& c : std::vector<Case>{
           {"completed", "", "-vexil", 0, 0},
           {"an uninstall failed", "[msiexec]\n" + vexil + " = 1603\n", "-vexil", 3, 1603},
           {"another installation in progress", "[msiexec]\n" + vexil + " = 1618\n", "-vexil", 4, 1618},
           {"a restart initiated", "[msiexec]\n" + vexil + " = 3010\n", "-vexil", 5, 1641},
           {"an unknown option", "", "-vexil -x", 7, 1639},
           // Where several apply, the first in the order 1639, 1, 1618, 1603, 1641, 3010.
           {"an unknown option wins over a failure", "[msiexec]\n" + vexil + " = 1603\n", "-vexil -x", 7, 1639},
           {"a failure wins over a restart", "[msiexec]\n" + quorix + " = 1603\n" + vexil + " = 3010\n", "-all -folder",
            3, 1603},
           {"an installation in progress wins over a restart",
            "[msiexec]\n" + quorix + " = 1618\n" + vexil + " = 3010\n", "-all -folder", 4, 1618},
       }) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const auto machine = DemoCopy(dir, c.ini);
    const auto run = RunProgram("--machine " + machine.string() + " " + c.arguments);
    EXPECT_EQ(run.status, c.program) << run.out;
    EXPECT_TRUE(run.out.ends_with("\nexit status: " + std::to_string(c.tool) + "\n")) << run.out;
  }
  // A dependency refusal: removing the Quillo product while the newer Quorix
  // product is installed, from the list of the basic-mode dialog.
  {
    TempDir dir;
    const auto machine = DemoCopy(dir);
    WriteHostFile(dir / "look.txt", "cancel\n");
    const auto listed = RunProgram("--machine " + machine.string() + " --answers " + (dir / "look.txt").string());
    const auto at = listed.out.find(": Quillo Software 10.8\n");
    ASSERT_NE(at, std::string::npos) << listed.out;
    const int quillo = std::stoi(listed.out.substr(listed.out.rfind(' ', at - 1) + 1));
    ASSERT_GT(quillo, 0);
    WriteHostFile(dir / "answers.txt", "remove " + std::to_string(quillo) + "\nyes\nok\ncancel\n");
    const auto run = RunProgram("--machine " + machine.string() + " --answers " + (dir / "answers.txt").string());
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_TRUE(run.out.ends_with("\nexit status: 1\n")) << run.out;
  }
  // Without the right to restart, the restart is required and not triggered.
  TempDir dir;
  const auto machine = DemoCopy(dir, "[msiexec]\n" + vexil + " = 3010\n");
  std::string ini = Slurp(machine / "machine.ini");
  ini.replace(ini.find("[system]\n"), 9, "[system]\nshutdown_privilege = missing\n");
  WriteHostFile(machine / "machine.ini", ini);
  const auto run = RunProgram("--machine " + machine.string() + " -vexil");
  EXPECT_EQ(run.status, 6) << run.out;
  EXPECT_TRUE(run.out.ends_with("\nexit status: 3010\n")) << run.out;
}

TEST(Program, HelpAndUsageMistakes) {
  for (const char* help : {"--help", "-h"}) {
    const auto run = RunProgram(help);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.rfind("usage: zentacleanup", 0), 0u) << run.out;
  }
  const auto missing = RunProgram("--machine");
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(missing.out.ends_with("exit status: 2\n"));
  // Any folder is no machine: an empty one is refused and stays empty.
  TempDir dir;
  std::filesystem::create_directories(dir / "empty");
  const auto empty = RunProgram("--machine " + (dir / "empty").string() + " -all -dryrun");
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(empty.out.find("holds no registry.reg"), std::string::npos) << empty.out;
  EXPECT_TRUE(std::filesystem::is_empty(dir / "empty"));
}

// Answers piped on standard input with "--answers -".
// A program option mistyped is bad usage, refused before anything is made;
// any other argument still goes to the tool, which refuses what it does not
// know.
class NearMiss : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(NearMiss, IsRefusedNamingTheOptionAndMakesNothing) {
  const auto [arguments, meant] = GetParam();
  TempDir dir;
  std::filesystem::create_directories(dir / "tmp");
  const auto run = RunShell("TMPDIR=" + (dir / "tmp").string() + " " + ZC_PROGRAM + " " + arguments +
                            " -all -dryrun 2>&1 </dev/null");
  EXPECT_EQ(run.status, 2) << run.out;
  EXPECT_NE(run.out.find(std::string("did you mean ") + meant + "?"), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with("exit status: 2\n")) << run.out;
  EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp")) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Program, NearMiss,
    testing::Values(std::pair{"--machin /srv/snap", "--machine"}, std::pair{"--Machine /srv/snap", "--machine"},
                    std::pair{"--machine=/srv/snap", "--machine"}, std::pair{"--mahcine /srv/snap", "--machine"},
                    std::pair{"--window /mnt/win", "--windows"}, std::pair{"--WINDOWS /mnt/win", "--windows"},
                    std::pair{"--answer a.txt", "--answers"}, std::pair{"--catalog", "--catalogue"},
                    std::pair{"--cat", "--catalogue"}, std::pair{"--makedemo d", "--make-demo"},
                    std::pair{"--packguid {X}", "--pack-guid"}, std::pair{"--hlep", "--help"},
                    std::pair{"--HELP", "--help"}));

TEST(Program, ToolArgumentsThatAreNoNearMissStillReachTheTool) {
  for (const char* arguments : {"-all --dryrun", "-all -dryrn", "-all --folder", "-all --log x"}) {
    SCOPED_TRACE(arguments);
    TempDir dir;
    const auto machine = DemoCopy(dir);
    const auto run = RunProgram("--machine " + machine.string() + " " + arguments);
    EXPECT_EQ(run.status, 7) << run.out;
    EXPECT_NE(Slurp(NamedLog(run.out)).find("Unknown command line option: "), std::string::npos) << run.out;
  }
}

// The README's usage block and --help name the same options.
TEST(Program, HelpAndTheReadmeNameTheSameOptions) {
  auto options = [](const std::string& text) {
    std::set<std::string> found;
    static const std::regex option(R"((^|[\s\[|])(--[a-z][a-z-]*))");
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) found.insert((*it)[2]);
    return found;
  };
  const std::string readme = Slurp(std::filesystem::path(ZC_SOURCE_DIR) / "README.md");
  const auto section = readme.find("## The Linux program");
  ASSERT_NE(section, std::string::npos);
  const auto blockStart = readme.find("```\n", section);
  const auto blockEnd = readme.find("```\n", blockStart + 4);
  ASSERT_NE(blockEnd, std::string::npos);
  const auto help = RunProgram("--help");
  EXPECT_EQ(options(readme.substr(blockStart, blockEnd - blockStart)), options(help.out)) << help.out;
  EXPECT_GE(options(help.out).size(), 7u);
}

TEST(Program, AnswersComeFromStandardInputWhenAsked) {
  TempDir dir;
  const auto machine = DemoCopy(dir);
  const auto run =
      RunProgram("--machine " + machine.string() + " --answers -",
                 "< " + (std::filesystem::path(ZC_SOURCE_DIR) / "tests/fixtures/answers/dryrun-all.txt").string());
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("[Operation Completed] Dry Run operation performed on All ZENTA Products"), std::string::npos)
      << run.out;
  // Piped without --answers, the same words are no answers: the dialog ends
  // with Cancel, and nothing is removed.
  const std::string registry = Slurp(machine / "registry.reg");
  WriteHostFile(dir / "words.txt", "remove 0\nyes\nok\ncancel\n");
  const auto piped = RunProgram("--machine " + machine.string(), "< " + (dir / "words.txt").string());
  EXPECT_EQ(piped.status, 0) << piped.out;
  EXPECT_EQ(Slurp(machine / "registry.reg"), registry);
  EXPECT_EQ(Slurp(NamedLog(piped.out)).find("Cleaning up"), std::string::npos) << piped.out;
}

// A machine that cannot be written still answers a dry run, its log in a
// host file of its own; it refuses anything else, and stays as it was.
TEST(Program, AReadOnlyMachineTakesADryRunAndStaysAsItWas) {
  TempDir dir;
  const auto machine = DemoCopy(dir);
  const auto before = std::system(
      ("cd " + machine.string() + " && find . -type f -exec md5sum {} + | sort > " + (dir / "before.txt").string())
          .c_str());
  ASSERT_EQ(before, 0);
  // A read-only bind mount of the folder, in a mount namespace of its own.
  const std::string ro = (dir / "ro").string();
  std::filesystem::create_directories(ro);
  const std::string mount = "unshare -m sh -c 'mount --bind " + machine.string() + " " + ro +
                            " && mount -o remount,bind,ro " + ro + " && " + std::string(ZC_PROGRAM) + " --machine " +
                            ro;
  auto runInNamespace = [&](const std::string& args) { return RunShell(mount + " " + args + "' 2>&1 </dev/null"); };
  const auto dry = runInNamespace("-all -dryrun");
  ASSERT_EQ(dry.status, 0) << dry.out;
  EXPECT_NE(dry.out.find("cannot be written; the log goes to "), std::string::npos) << dry.out;
  // The printed log is a host file outside the machine, with the run's lines.
  const std::string log = NamedLog(dry.out);
  ASSERT_FALSE(log.empty()) << dry.out;
  EXPECT_EQ(log.find(machine.string()), std::string::npos);
  EXPECT_NE(Slurp(log).find("Found Product: Quillo Software 10.8"), std::string::npos) << log;
  const auto removal = runInNamespace("-all -folder");
  EXPECT_EQ(removal.status, 2) << removal.out;
  EXPECT_NE(removal.out.find("only a dry run (-dryrun) can run on it"), std::string::npos);
  ASSERT_EQ(std::system(("cd " + machine.string() + " && find . -type f -exec md5sum {} + | sort > " +
                         (dir / "after.txt").string())
                            .c_str()),
            0);
  EXPECT_EQ(Slurp(dir / "before.txt"), Slurp(dir / "after.txt"));
}

}  // namespace
}  // namespace zc::test
