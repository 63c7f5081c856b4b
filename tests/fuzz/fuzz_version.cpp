// libFuzzer target: see VersionHolds in properties.h for what each input must keep.
#include <cstdlib>

#include "properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!zc::fuzz::VersionHolds(data, size)) std::abort();
  return 0;
}
