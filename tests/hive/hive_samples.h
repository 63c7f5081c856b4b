// Registry trees the hive tests, the hive fuzzer's seeds and the hive
// benchmark are made from.
#pragma once

#include "platform/sim/reg_store.h"

namespace zc::test {

// A SOFTWARE tree with one of each thing a hive holds: every value type,
// an unknown type, empty and unterminated data, the default value, values
// out of alphabetical order, 8-bit and UTF-16 key names. 9 keys with the
// root, 16 values.
void FillSample(sim::RegKey& root);

// A small SYSTEM tree: two control sets (the first with the print spooler
// and the system environment), Select naming the first.
void FillSampleSystem(sim::RegKey& root);

}  // namespace zc::test
