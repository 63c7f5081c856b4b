// Helpers of the hive tests: registry trees as text to compare, and
// Windows volumes (folders with the two hives) made from registry stores.
#pragma once

#include <filesystem>
#include <string>

#include "hive/hive_writer.h"
#include "platform/registry.h"
#include "platform/sim/reg_store.h"

namespace zc::test {

// Every key below `key` (its own name left out), with each value's name,
// type and data bytes in enumeration order, one line each.
std::string DumpTree(const sim::RegKey& key);

// The same as a program sees it through the registry interface (OpenKey,
// QueryInfoKey, EnumKey, EnumValue). Empty text when the key is absent.
std::string DumpThroughRegistry(Registry& registry, HKey root, const std::wstring& path);

// Writes `software` and `system` (either may be null: that hive is left
// out) as hives into root/<windows>/System32/config/{SOFTWARE,SYSTEM}.
void WriteVolume(const std::filesystem::path& root, const sim::RegKey* software, const sim::RegKey* system,
                 const std::string& windows = "Windows", const HiveOptions& options = {});
std::filesystem::path ConfigFolder(const std::filesystem::path& root, const std::string& windows = "Windows");

// The bytes of a file, and writing them back.
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file);

// Where `text` (8-bit) first occurs in `bytes`; npos when nowhere.
std::size_t FindBytes(const std::vector<std::uint8_t>& bytes, const std::string& text);

}  // namespace zc::test
