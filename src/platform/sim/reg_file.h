// .reg files as regedit and `reg export` write them, read into and written
// from a RegStore.
//
// Read: "Windows Registry Editor Version 5.00" in UTF-16LE (with or without
// BOM) or UTF-8 (with or without BOM), and "REGEDIT4" as 8-bit text taken as
// Latin-1 (its hex(1), hex(2) and hex(7) data are 8-bit strings, widened to
// UTF-16 as regedit does on import). Key lines name any of the five roots in
// full or short form (HKEY_CLASSES_ROOT and HKEY_CURRENT_CONFIG are keys of
// HKEY_LOCAL_MACHINE); [-KEY] deletes a tree and "name"=- a value.
//
// Written: version 5.00, UTF-16LE with BOM, CR LF, in regedit's layout: every
// key in enumeration order as a [header] followed by its values and an empty
// line; REG_SZ as "text" when it is a plain NUL-terminated string, REG_DWORD
// as dword:%08x, every other value as hex:/hex(N): wrapped at regedit's
// width. A file this writer produced reads back to the same registry and is
// written out again byte for byte.
//
// Failures are values: a malformed file names the file and the 1-based line,
// and leaves the store as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/reg_store.h"

namespace zc::sim {

struct RegFileError {
  std::string file;
  std::size_t line = 0;  // 1-based; 0 when no line is to blame (reading or writing the file failed)
  std::string message;   // UTF-8

  // "FILE, line N: MESSAGE" (or "FILE: MESSAGE").
  std::string ToString() const;
};

// Replaces the store's contents with the registry the file holds. On error
// the store is unchanged.
std::optional<RegFileError> LoadRegFile(const std::filesystem::path& file, RegStore& store);
std::optional<RegFileError> LoadRegText(std::span<const std::uint8_t> bytes, std::string_view fileName,
                                        RegStore& store);

// Applies the file to the store as an import does (keys and values added or
// replaced, deletions carried out); all of it, or nothing on error.
std::optional<RegFileError> ImportRegFile(const std::filesystem::path& file, RegStore& store);
std::optional<RegFileError> ImportRegText(std::span<const std::uint8_t> bytes, std::string_view fileName,
                                          RegStore& store);

// The whole store as regedit exports it.
std::vector<std::uint8_t> WriteRegText(const RegStore& store);

// Writes the store to the file atomically: a temporary file in the same
// folder, flushed to disk, then renamed over the file.
std::optional<RegFileError> SaveRegFile(const std::filesystem::path& file, const RegStore& store);

}  // namespace zc::sim
