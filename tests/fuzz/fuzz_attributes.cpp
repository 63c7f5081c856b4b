// libFuzzer target: see AttributesHold in properties.h for what each input must keep.
#include <cstdlib>

#include "properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!zc::fuzz::AttributesHold(data, size)) std::abort();
  return 0;
}
