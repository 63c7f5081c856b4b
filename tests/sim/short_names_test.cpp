// 8.3 short names as NTFS makes them, so that the simulated machine reads a
// path spelled with them as Windows does.
#include "platform/sim/short_names.h"

#include <gtest/gtest.h>

#include <map>

#include "support/scenario.h"

namespace zc::sim {
namespace {

TEST(ShortNames, LongNamesGetNumberedShortOnesInNtfsOrder) {
  const auto names = GenerateShortNames({L"Program Files (x86)", L"Program Files", L"WINDOWS", L"Users",
                                         L"Documents and Settings", L"readme.txt", L"ZENTA Technologies Inc",
                                         L"ZENTA Technologies", L"archive.tar.gz", L".profile"});
  std::map<std::wstring, std::wstring> byLong(names.begin(), names.end());
  EXPECT_EQ(byLong[L"Program Files"], L"PROGRA~1");
  EXPECT_EQ(byLong[L"Program Files (x86)"], L"PROGRA~2");
  EXPECT_EQ(byLong[L"Documents and Settings"], L"DOCUME~1");
  EXPECT_EQ(byLong[L"ZENTA Technologies"], L"ZENTAT~1");
  EXPECT_EQ(byLong[L"ZENTA Technologies Inc"], L"ZENTAT~2");
  EXPECT_EQ(byLong[L"archive.tar.gz"], L"ARCHIV~1.GZ");
  EXPECT_EQ(byLong[L"ZENTA Technologies"].size(), 8u);
  // 8.3 names are their own short names.
  EXPECT_FALSE(byLong.contains(L"WINDOWS"));
  EXPECT_FALSE(byLong.contains(L"Users"));
  EXPECT_FALSE(byLong.contains(L"readme.txt"));
  EXPECT_TRUE(byLong.contains(L".profile"));
}

TEST(ShortNames, AShortNameNeverTakesTheNameOfAnotherEntry) {
  // An entry already named like the first generated name pushes it on.
  const auto names = GenerateShortNames({L"PROGRA~1", L"Program Files"});
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].second, L"PROGRA~2");
  EXPECT_EQ(LongNameOf(L"progra~2", {L"PROGRA~1", L"Program Files"}), L"Program Files");
  EXPECT_FALSE(LongNameOf(L"PROGRA~3", {L"PROGRA~1", L"Program Files"}));
}

TEST(ShortNames, PathsSpelledWithShortNamesResolveOnTheMachine) {
  test::ScenarioMachine m;
  m.WriteFile(L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Quillo.exe", "MZ");
  auto& fs = m.machine().fs();
  std::uint32_t attributes = 0;
  EXPECT_EQ(fs.GetAttributes(L"C:\\PROGRA~1\\ZENTAT~1\\QUILLO~1\\Quillo.exe", &attributes), err::kSuccess);
  std::wstring final;
  ASSERT_EQ(fs.GetFinalPath(L"C:\\progra~1\\zentat~1\\quillo~1", true, &final), err::kSuccess);
  EXPECT_EQ(final, L"C:\\Program Files\\ZENTA Technologies\\Quillo Software");
  EXPECT_EQ(fs.GetAttributes(L"C:\\PROGRA~2", &attributes), err::kFileNotFound);
}

}  // namespace
}  // namespace zc::sim
