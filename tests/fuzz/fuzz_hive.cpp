// libFuzzer target: see HiveHolds in hive/hive_fuzz_property.h for what each input must keep.
#include <cstdlib>

#include "hive/hive_fuzz_property.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!zc::fuzz::HiveHolds(data, size)) std::abort();
  return 0;
}
