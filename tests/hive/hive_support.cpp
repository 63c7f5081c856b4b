#include "hive/hive_support.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace zc::test {

namespace {

std::string Hex(const std::uint8_t* data, std::size_t size) {
  std::string out;
  char byte[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    out += byte;
  }
  return out;
}

void DumpInto(const sim::RegKey& key, const std::string& path, std::string* out) {
  key.values().ForEach([&](const sim::RegValue& v) {
    *out += path + " | " + ToUtf8(v.name) + " | " + std::to_string(v.type) + " | " + Hex(v.data.data(), v.data.size()) +
            "\n";
  });
  for (std::size_t i = 0; i < key.SubKeyCount(); ++i) {
    const sim::RegKey* sub = key.SubKeyAt(i);
    const std::string subPath = path + "\\" + ToUtf8(sub->name());
    *out += subPath + "\n";
    DumpInto(*sub, subPath, out);
  }
}

void DumpOpened(Registry& registry, HKey key, const std::string& path, std::string* out) {
  RegKeyInfo info;
  if (registry.QueryInfoKey(key, &info) != err::kSuccess) {
    *out += path + " | QueryInfoKey failed\n";
    return;
  }
  for (std::uint32_t i = 0;; ++i) {
    std::wstring name;
    std::uint32_t type = 0;
    std::uint32_t size = info.maxValueDataSize;
    std::vector<std::uint8_t> data(size + 1);
    const WinError e = registry.EnumValue(key, i, info.maxValueNameLength + 1, &name, &type, data.data(), &size);
    if (e == err::kNoMoreItems) break;
    if (e != err::kSuccess) {
      *out += path + " | EnumValue " + std::to_string(i) + " failed: " + std::to_string(e) + "\n";
      break;
    }
    *out += path + " | " + ToUtf8(name) + " | " + std::to_string(type) + " | " + Hex(data.data(), size) + "\n";
  }
  for (std::uint32_t i = 0;; ++i) {
    std::wstring name;
    const WinError e = registry.EnumKey(key, i, &name);
    if (e == err::kNoMoreItems) break;
    if (e != err::kSuccess) {
      *out += path + " | EnumKey " + std::to_string(i) + " failed: " + std::to_string(e) + "\n";
      break;
    }
    const std::string subPath = path + "\\" + ToUtf8(name);
    *out += subPath + "\n";
    UniqueRegKey sub(registry);
    if (registry.OpenKey(key, name, RegAccess::kRead, sub.put()) != err::kSuccess) {
      *out += subPath + " | OpenKey failed\n";
      continue;
    }
    DumpOpened(registry, sub.get(), subPath, out);
  }
}

}  // namespace

std::string DumpTree(const sim::RegKey& key) {
  std::string out;
  DumpInto(key, "", &out);
  return out;
}

std::string DumpThroughRegistry(Registry& registry, HKey root, const std::wstring& path) {
  UniqueRegKey key(registry);
  if (registry.OpenKey(root, path, RegAccess::kRead, key.put()) != err::kSuccess) return {};
  std::string out;
  DumpOpened(registry, key.get(), "", &out);
  return out;
}

fs::path ConfigFolder(const fs::path& root, const std::string& windows) {
  return root / windows / "System32" / "config";
}

void WriteVolume(const fs::path& root, const sim::RegKey* software, const sim::RegKey* system,
                 const std::string& windows, const HiveOptions& options) {
  const fs::path config = ConfigFolder(root, windows);
  fs::create_directories(config);
  if (software) WriteHive(*software, config / "SOFTWARE", options);
  if (system) WriteHive(*system, config / "SYSTEM", options);
}

std::vector<std::uint8_t> ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::size_t FindBytes(const std::vector<std::uint8_t>& bytes, const std::string& text) {
  const auto it = std::search(bytes.begin(), bytes.end(), text.begin(), text.end(),
                              [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
  return it == bytes.end() ? std::string::npos : static_cast<std::size_t>(it - bytes.begin());
}

}  // namespace zc::test
