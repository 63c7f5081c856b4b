// Reads .reg files as regedit and `reg export` write them into a RegStore.
//
// Forms read: "Windows Registry Editor Version 5.00" in UTF-16LE (with or
// without BOM) or UTF-8 (with or without BOM), and "REGEDIT4" as 8-bit text
// taken as Latin-1 (its hex(1), hex(2) and hex(7) data are 8-bit strings,
// widened to UTF-16 as regedit does on import). Key lines name any of the
// five roots in full or short form (HKEY_CLASSES_ROOT and
// HKEY_CURRENT_CONFIG are keys of HKEY_LOCAL_MACHINE); [-KEY] deletes a tree
// and "name"=- a value. A quoted text runs to its closing quote, over as
// many lines as it takes: regedit writes the line breaks a string holds as
// they are, so a value of several lines spans several lines of the file,
// and its line breaks are read back exactly (CR LF, LF or CR). hex(1),
// hex(2) and hex(7) data is kept exactly as written, a string without its
// terminating NUL too (regedit's import would add one): an export holds the
// bytes the machine's value held, and reading adds none.
//
// The file is read as a stream: memory grows with the registry being
// built, not with the file or a line of it. Refused, with the file and the
// 1-based line: text that is not a registry file, an odd number of bytes of
// UTF-16, a file that is only a byte-order mark, a NUL character in the
// text, a line longer than kMaxRegLineLength characters, and every
// malformed key or value line, among them what regedit imports no value
// from: \0 in a quoted text, and hex data continued with a backslash after
// a byte, or followed by an empty line or a line of only a backslash. A
// refused file leaves the store as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

#include "platform/sim/reg_format.h"
#include "platform/sim/reg_store.h"

namespace zc::sim {

struct RegReadOptions {
  std::size_t maxLineLength = kMaxRegLineLength;
};

// Replaces the store's contents with the registry the file holds, and says
// in which form the file was written (when `format` is given). On error
// the store is unchanged. The file must be a regular file (see host_file.h).
std::optional<RegFileError> LoadRegFile(const std::filesystem::path& file, RegStore& store,
                                        RegFileFormat* format = nullptr, const RegReadOptions& options = {});
std::optional<RegFileError> LoadRegText(std::span<const std::uint8_t> bytes, std::string_view fileName, RegStore& store,
                                        RegFileFormat* format = nullptr, const RegReadOptions& options = {});

// Applies the file to the store as an import does (keys and values added or
// replaced, deletions carried out); all of it, or nothing on error.
std::optional<RegFileError> ImportRegFile(const std::filesystem::path& file, RegStore& store);
std::optional<RegFileError> ImportRegText(std::span<const std::uint8_t> bytes, std::string_view fileName,
                                          RegStore& store);

}  // namespace zc::sim
