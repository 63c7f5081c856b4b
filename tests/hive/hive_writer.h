// Hive files for the tests, written from the publicly documented REGF
// layout: a 4 KiB base block with its checksum, then hive bins of cells
// (key nodes "nk", value keys "vk", sub-key lists "lh" under an index
// root "ri" when long, value lists, data cells, "db" records for large
// data, one shared security cell "sk"). Nothing here reads a hive: the
// product's reader is libhivex, behind src/platform/volume, and the
// tests check each hive made here against it and against the hivex tools.
//
// libhivex's own writing calls are not used for this: adding a child
// copies the parent's whole sub-key list each time, so a key with 30,000
// sub-keys made a 3.6 GB file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/reg_store.h"

namespace zc::test {

struct HiveOptions {
  std::string rootName = "ROOT";
  // Sequence numbers that disagree: the hive was not closed cleanly and
  // its transaction logs were not replayed.
  bool dirty = false;
  // Sub-key names always as UTF-16, never as 8-bit ("compressed") text.
  bool utf16Names = false;
};

// The bytes of a hive whose root holds `key`'s values and sub-keys (the
// key's own name is not used). Value types and data go in as they are.
std::vector<std::uint8_t> HiveBytes(const sim::RegKey& key, const HiveOptions& options = {});
// A hive that holds only its root key.
std::vector<std::uint8_t> EmptyHiveBytes(const HiveOptions& options = {});

// Recomputes the base block's checksum (the XOR of its first 127 words),
// for tests that change header fields on purpose.
void FixBaseBlockChecksum(std::vector<std::uint8_t>& hive);

void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
inline void WriteHive(const sim::RegKey& key, const std::filesystem::path& file, const HiveOptions& options = {}) {
  WriteBytes(file, HiveBytes(key, options));
}

}  // namespace zc::test
