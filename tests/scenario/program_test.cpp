// The Linux program as scripts use it: its own options, the machine folder,
// the log path on stderr and the exit status.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace zc::test {
namespace {

struct ProgramRun {
  int status = -1;
  std::string out;  // stdout and stderr together
};

ProgramRun RunProgram(const std::string& arguments) {
  ProgramRun run;
  const std::string command = std::string(ZC_PROGRAM) + " " + arguments + " 2>&1 </dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
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
  // The last line on stderr is the log's host path.
  EXPECT_NE(run.out.find("drive_c/Temp/ZENTACleanup2_20130412_093015.log"), std::string::npos);
}

TEST(Program, AMalformedMachineIsRefusedAndNothingIsWritten) {
  TempDir dir;
  const auto machine = dir / "m";
  std::filesystem::create_directories(machine / "drive_c");
  WriteHostFile(machine / "machine.ini", "[system]\nbits = 48\n");
  const auto run = RunProgram("--machine " + machine.string() + " -all");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("machine.ini:2:"), std::string::npos) << run.out;
  EXPECT_FALSE(std::filesystem::exists(machine / "registry.reg"));
  EXPECT_TRUE(std::filesystem::is_empty(machine / "drive_c"));
}

TEST(Program, CatalogueListsTheEightFamilies) {
  const auto run = RunProgram("--catalogue");
  EXPECT_EQ(run.status, 0);
  std::istringstream lines(run.out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) ++count;
  EXPECT_EQ(count, 8);
  EXPECT_EQ(run.out.rfind("Quillo Software\t{", 0), 0u);
}

TEST(Program, PackGuidPrintsWindowsInstallersFormOfEachGuid) {
  const auto run =
      RunProgram("--pack-guid {12345678-ABCD-EF01-2345-6789ABCDEF01} {11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "87654321DCBA10FE32547698BADCFE10\n11111111222233334444555555555555\n");
}

TEST(Program, PackGuidRefusesATextThatIsNoBracedGuidAndPrintsNothingElse) {
  const auto run =
      RunProgram("--pack-guid {12345678-ABCD-EF01-2345-6789ABCDEF01} 12345678-ABCD-EF01-2345-6789ABCDEF01");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "zentacleanup: not a braced GUID: 12345678-ABCD-EF01-2345-6789ABCDEF01\n");
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
  // The last line is the log, on the demo copy, with the products it found.
  std::string last = run.out.substr(0, run.out.size() - 1);
  last = last.substr(last.rfind('\n') + 1);
  EXPECT_NE(Slurp(last).find("Found Product: Quillo Software 10.8"), std::string::npos) << last;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

TEST(Program, ProgramOptionsAreTakenOutBeforeTheToolSeesTheRest) {
  // A machine folder named like a keyword must not be read as one.
  TempDir dir;
  const auto machine = dir / "logs";
  std::filesystem::create_directories(machine / "drive_c" / "Temp");
  WriteHostFile(machine / "machine.ini", "[system]\nclock = 2013-04-12 09:30:15\n[environment]\nTMP = C:\\Temp\n");
  const auto run = RunProgram("--machine " + machine.string() + " -dryrun");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(std::filesystem::exists(machine / "drive_c/Temp/ZENTACleanup2_20130412_093015.log"));
}

}  // namespace
}  // namespace zc::test
