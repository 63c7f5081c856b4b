// Reads a registry hive file (the REGF files under Windows\System32\config)
// through libhivex into a key of the simulated machine's registry store.
//
// The file is opened for reading only and never written: libhivex gets no
// write flag, and the base block is read with a plain input stream.
//
// Kept exactly as the file holds them: key names (8-bit "compressed" names
// are Latin-1, the others UTF-16, both as libhivex recodes them), value
// names, value types (any number, known or not) and the data bytes. Values
// keep the order of the key's value list, which is the order Windows
// enumerates them in. Symbolic-link keys are plain keys with their
// SymbolicLinkValue: nothing is followed.
//
// A file libhivex refuses, or one whose keys cannot all be read, is refused
// as a whole with a message naming the file; so is a hive with what
// Windows never writes: a key reached twice (a loop, or a shared sub-tree
// that would multiply), two sub-keys or two values of one name, a key name
// the registry cannot hold, keys nested deeper than the registry allows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/reg_store.h"

namespace zc::volume {

struct HiveReadResult {
  bool dirty = false;      // the sequence numbers disagree: transaction logs were not replayed
  std::size_t keys = 0;    // keys read, the root included
  std::size_t values = 0;  // values read
};

// Copies every value and sub-key of the hive's root into `into`, which
// should be empty. On error returns the message ("FILE: what is wrong")
// and `into` may hold part of the hive: the caller drops it.
std::optional<std::string> ReadHive(const std::filesystem::path& file, sim::RegKey& into,
                                    HiveReadResult* result = nullptr);

}  // namespace zc::volume
