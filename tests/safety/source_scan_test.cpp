// The scope guard is the one way to delete: outside the platform's own
// backends, no code of the tool calls a destructive operation of the file
// system or the registry but the guard, and the vendor-key deletions that
// name their keys outright.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace zc::test {
namespace {

namespace fs = std::filesystem;

TEST(SourceScan, OnlyTheScopeGuardDeletes) {
  const fs::path src = fs::path(ZC_SOURCE_DIR) / "src";
  // A call of a destructive file-system or SharedDlls operation on
  // anything but the guard.
  const std::regex destructive(
      R"((\.|->)(DeleteFileAt|RemoveFolder|SetAttributes|ScheduleDeleteAtReboot|DeleteValue)\s*\()");
  const std::regex throughGuard(R"((Guard\(\)|guard_|guard)\s*(\.|->)\s*$)");
  std::vector<std::string> offenders;
  int scanned = 0;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = fs::relative(entry.path(), src).generic_string();
    if (relative.rfind("platform/", 0) == 0 || relative == "safety/scope_guard.cpp") continue;
    const std::string extension = entry.path().extension().string();
    if (extension != ".cpp" && extension != ".h") continue;
    ++scanned;
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      for (auto it = std::sregex_iterator(line.begin(), line.end(), destructive); it != std::sregex_iterator(); ++it) {
        const std::string before = line.substr(0, static_cast<std::size_t>(it->position()) + it->length(1));
        if (!std::regex_search(before, throughGuard)) {
          offenders.push_back(relative + ":" + std::to_string(number) + ": " + line);
        }
      }
    }
  }
  EXPECT_GT(scanned, 30);
  EXPECT_TRUE(offenders.empty()) << [&] {
    std::ostringstream out;
    for (const auto& o : offenders) out << o << "\n";
    return out.str();
  }();
}

}  // namespace
}  // namespace zc::test
