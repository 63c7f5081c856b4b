// Replays every input that a fuzzer once found breaking a promise, and the
// seed corpora, through the same checks the fuzz targets make.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/properties.h"

namespace zc {
namespace {

namespace fs = std::filesystem;

void Replay(const char* target, bool (*holds)(const std::uint8_t*, std::size_t)) {
  int inputs = 0;
  for (const char* kind : {"regressions", "corpus"}) {
    const fs::path folder = fs::path(ZC_SOURCE_DIR) / "tests/fuzz" / kind / target;
    if (!fs::exists(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_TRUE(holds(bytes.data(), bytes.size())) << entry.path();
      ++inputs;
    }
  }
  EXPECT_GT(inputs, 0) << target;
}

TEST(FuzzRegressions, CommandLine) { Replay("command_line", fuzz::CommandLineHolds); }
TEST(FuzzRegressions, Version) { Replay("version", fuzz::VersionHolds); }
TEST(FuzzRegressions, RegFile) { Replay("reg_file", fuzz::RegFileHolds); }
TEST(FuzzRegressions, MachineIni) { Replay("machine_ini", fuzz::MachineIniHolds); }
TEST(FuzzRegressions, Attributes) { Replay("attributes", fuzz::AttributesHold); }

}  // namespace
}  // namespace zc
