// What the hive fuzzer checks of one input, shared with the test that
// replays its corpus and every input it ever found: any bytes taken as
// the SOFTWARE hive of a volume (beside a sound SYSTEM hive) are refused
// with a message that names the file, or read; what is read is a registry
// the store can hold, which written as a hive again reads back the same.
// A crash, a hang or a sanitizer report is a failure of its own.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "hive/hive_samples.h"
#include "hive/hive_support.h"
#include "hive/hive_writer.h"
#include "platform/volume/hive_reader.h"
#include "platform/volume/windows_volume.h"

namespace zc::fuzz {

// A volume folder for this process, made once: the SYSTEM hive stays, the
// SOFTWARE hive is each input.
inline const std::filesystem::path& FuzzVolume() {
  static const std::filesystem::path root = [] {
    const auto path = std::filesystem::temp_directory_path() / ("zc-fuzz-hive-" + std::to_string(::getpid()));
    sim::RegKey system(L"SYSTEM", nullptr);
    test::FillSampleSystem(system);
    test::WriteVolume(path, nullptr, &system);
    return path;
  }();
  return root;
}

inline bool HiveHolds(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path software = test::ConfigFolder(FuzzVolume()) / "SOFTWARE";
  test::WriteBytes(software, std::vector<std::uint8_t>(data, data + size));
  volume::WindowsVolume read;
  std::string error;
  if (!volume::LoadWindowsVolume(FuzzVolume(), &read, &error)) {
    return error.rfind(software.string() + ": ", 0) == 0 && error.size() > software.string().size() + 2;
  }
  const sim::RegKey* tree = read.registry.FindKey(sim::Hive::kLocalMachine, L"SOFTWARE");
  if (tree == nullptr) return false;
  const std::filesystem::path again = FuzzVolume() / "again";
  test::WriteHive(*tree, again);
  sim::RegKey reread(L"SOFTWARE", nullptr);
  if (volume::ReadHive(again, reread)) return false;
  return test::DumpTree(reread) == test::DumpTree(*tree);
}

}  // namespace zc::fuzz
