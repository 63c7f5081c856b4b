// The hive fuzzer's seeds are what the hive writer makes of the sample
// trees (ZC_WRITE_HIVE_SEEDS=1 writes them anew), and every seed and every
// input the fuzzer once found is replayed through its checks.
#include <gtest/gtest.h>

#include <cstdlib>

#include "hive/hive_fuzz_property.h"
#include "support/temp_dir.h"

namespace zc::test {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(ZC_SOURCE_DIR) / "tests/fuzz/corpus/hive";
const fs::path kRegressions = fs::path(ZC_SOURCE_DIR) / "tests/fuzz/regressions/hive";

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Seeds() {
  sim::RegKey sample(L"SOFTWARE", nullptr);
  FillSample(sample);
  sim::RegKey system(L"SYSTEM", nullptr);
  FillSampleSystem(system);
  HiveOptions dirty;
  dirty.dirty = true;
  HiveOptions utf16;
  utf16.utf16Names = true;
  return {{"empty", EmptyHiveBytes()},
          {"sample", HiveBytes(sample)},
          {"sample-dirty", HiveBytes(sample, dirty)},
          {"sample-utf16-names", HiveBytes(sample, utf16)},
          {"system", HiveBytes(system)}};
}

TEST(HiveFuzzCorpus, TheSeedsAreWhatTheWriterMakes) {
  const bool write = std::getenv("ZC_WRITE_HIVE_SEEDS") != nullptr;
  if (write) fs::create_directories(kCorpus);
  for (const auto& [name, bytes] : Seeds()) {
    if (write) WriteBytes(kCorpus / name, bytes);
    EXPECT_EQ(ReadBytes(kCorpus / name), bytes) << name;
  }
}

TEST(HiveFuzzCorpus, EveryInputIsReadOrRefusedByName) {
  int inputs = 0;
  for (const fs::path& folder : {kCorpus, kRegressions}) {
    if (!fs::exists(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const auto bytes = ReadBytes(entry.path());
      EXPECT_TRUE(fuzz::HiveHolds(bytes.data(), bytes.size())) << entry.path();
      ++inputs;
    }
  }
  EXPECT_GE(inputs, 5);
  std::error_code ec;
  fs::remove_all(fuzz::FuzzVolume(), ec);
}

}  // namespace
}  // namespace zc::test
