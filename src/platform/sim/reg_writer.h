// Writes a RegStore as regedit exports it: every key in enumeration order
// as a [header] followed by its values and an empty line; REG_SZ as "text"
// when it is a NUL-terminated string with no other NUL (its line breaks
// written as they are, so that a value of several lines spans several
// lines, as regedit writes it; \ and " escaped), REG_DWORD as dword:%08x,
// every other value as hex:/hex(N): wrapped at regedit's width.
//
// The form (encoding, BOM, header, end of line) is the caller's choice,
// regedit's version 5.00 UTF-16LE by default; a registry that the chosen
// form cannot carry without loss (a character REGEDIT4's 8-bit text or
// UTF-8 cannot hold) is written in regedit's version 5.00 form instead.
// A file this writer produced reads back to the same registry and is
// written out again byte for byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/sim/reg_format.h"
#include "platform/sim/reg_store.h"

namespace zc::sim {

// `wanted`, or regedit's version 5.00 form when `wanted` cannot carry
// everything the store holds.
RegFileFormat WritableFormat(const RegStore& store, const RegFileFormat& wanted);

// The whole store as a file's bytes.
std::vector<std::uint8_t> WriteRegText(const RegStore& store, const RegFileFormat& format = RegFileFormat::Regedit(),
                                       RegFileFormat* written = nullptr);

// Replaces the file with the store (host_file.h: a temporary file in the
// same folder, flushed to disk, renamed over the file; a link in its place
// is replaced, never written through). `written` receives the form used.
std::optional<RegFileError> SaveRegFile(const std::filesystem::path& file, const RegStore& store,
                                        const RegFileFormat& format = RegFileFormat::Regedit(),
                                        RegFileFormat* written = nullptr);

}  // namespace zc::sim
