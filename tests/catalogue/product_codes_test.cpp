// The eight families' product-code lists: enumeration by upgrade code, the
// fallback tables, and the catalogue as `zentacleanup --catalogue` prints it.
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "catalogue/catalogue_support.h"
#include "support/shell.h"

namespace zc::test {
namespace {

std::vector<std::wstring> FallbackCodes(int family) {
  std::vector<std::wstring> codes;
  for (const auto& row : kProductFamilies[family].fallbackRows) codes.emplace_back(row.productCode);
  return codes;
}

bool IsUpperBracedGuid(const std::string& text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const char c = text[i];
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (c != '-') return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

sim::ProductSpec Related(int n, int family) {
  return Product(n, L"ZENTA Product", L"1.0.0.0", L"", kVendor, UpgradeCodeOf(family));
}

TEST(ProductCodeLists, NothingInstalledGivesEveryTableInOrderAndConvexaPEStaysEmpty) {
  ScenarioMachine m;
  VEZEZERidivorOde app(m.machine().platform());
  EXPECT_TRUE(app.BuildProductCodeLists(true));
  EXPECT_EQ(app.m_quilloProductCodes, FallbackCodes(kFamilyQuillo));
  EXPECT_EQ(app.m_quilloProductCodes.size(), 8u);
  EXPECT_EQ(app.m_tavloDriverProductCodes, FallbackCodes(kFamilyTavloDrivers));
  EXPECT_EQ(app.m_quorixProductCodes, FallbackCodes(kFamilyQuorix));
  EXPECT_EQ(app.m_vexilProductCodes, FallbackCodes(kFamilyVexil));
  EXPECT_EQ(app.m_convexaProductCodes, FallbackCodes(kFamilyConvexa));
  EXPECT_TRUE(app.m_convexaPEProductCodes.empty());
  EXPECT_EQ(app.m_commonFilesProductCodes, FallbackCodes(kFamilyCommonFiles));
  EXPECT_EQ(app.m_tavloSoftwareProductCodes, FallbackCodes(kFamilyTavloSoftware));
  // "ZENTA Tavlo Software 9.7" heads both lists with one code.
  EXPECT_EQ(app.m_tavloDriverProductCodes.front(), app.m_tavloSoftwareProductCodes.front());
  for (int f = 0; f < kFamilyCount; ++f) {
    for (const auto& code : app.ProductCodeList(f)) EXPECT_EQ(code.size(), 38u) << "padding kept in " << f;
  }
}

TEST(ProductCodeLists, AnEnumeratedFamilyTakesNoFallbackRows) {
  ScenarioMachine m;
  m.machine().msi().Register(Related(1, kFamilyQuillo));
  m.machine().msi().Register(Related(2, kFamilyTavloSoftware));
  m.machine().msi().Register(Related(3, kFamilyConvexaPE));
  VEZEZERidivorOde app(m.machine().platform());
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_quilloProductCodes, std::vector<std::wstring>{Code(1)});
  EXPECT_EQ(app.m_tavloSoftwareProductCodes, std::vector<std::wstring>{Code(2)});
  EXPECT_EQ(app.m_convexaPEProductCodes, std::vector<std::wstring>{Code(3)});
  // The drivers family still falls back, with the shared 9.7 code.
  EXPECT_EQ(app.m_tavloDriverProductCodes, FallbackCodes(kFamilyTavloDrivers));
}

TEST(ProductCodeLists, RelatedProductsComeInEnumerationOrder) {
  ScenarioMachine m;
  m.machine().msi().Register(Related(5, kFamilyQuorix));
  m.machine().msi().Register(Related(2, kFamilyQuorix));
  VEZEZERidivorOde app(m.machine().platform());
  const auto codes = app.EnumRelatedProducts(UpgradeCodeOf(kFamilyQuorix));
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_quorixProductCodes, codes);
  EXPECT_EQ(std::set<std::wstring>(codes.begin(), codes.end()), (std::set<std::wstring>{Code(2), Code(5)}));
}

TEST(ProductCodeLists, WithoutFallbackEveryListIsTheEnumerationResult) {
  ScenarioMachine m;
  m.machine().msi().Register(Related(1, kFamilyVexil));
  VEZEZERidivorOde app(m.machine().platform());
  app.BuildProductCodeLists(false);
  for (int f = 0; f < kFamilyCount; ++f) {
    EXPECT_EQ(app.ProductCodeList(f),
              f == kFamilyVexil ? std::vector<std::wstring>{Code(1)} : std::vector<std::wstring>{})
        << f;
  }
}

TEST(ProductCodeLists, ASecondCallReplacesTheLists) {
  ScenarioMachine m;
  m.machine().msi().Register(Related(1, kFamilyQuillo));
  VEZEZERidivorOde app(m.machine().platform());
  app.BuildProductCodeLists(true);
  ASSERT_EQ(app.m_quilloProductCodes, std::vector<std::wstring>{Code(1)});
  ASSERT_EQ(app.m_vexilProductCodes, FallbackCodes(kFamilyVexil));

  m.machine().msi().Uninstall(Code(1));
  m.machine().msi().Register(Related(2, kFamilyVexil));
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_quilloProductCodes, FallbackCodes(kFamilyQuillo));
  EXPECT_EQ(app.m_vexilProductCodes, std::vector<std::wstring>{Code(2)});

  app.BuildProductCodeLists(false);
  EXPECT_TRUE(app.m_quilloProductCodes.empty());
  EXPECT_EQ(app.m_vexilProductCodes, std::vector<std::wstring>{Code(2)});
}

TEST(ProductCodeLists, AnInstallerErrorAtTheFirstIndexGivesTheFallbackRows) {
  ScenarioMachine m;
  m.machine().msi().Register(Related(1, kFamilyConvexa));
  m.machine().faults().Add(sim::FaultRule{"MsiEnumRelatedProducts", UpgradeCodeOf(kFamilyConvexa), 1610});
  VEZEZERidivorOde app(m.machine().platform());
  app.BuildProductCodeLists(true);
  EXPECT_EQ(app.m_convexaProductCodes, FallbackCodes(kFamilyConvexa));
}

// Windows Installer that fails from a given index on.
class FailingFromIndex : public ForwardingInstaller {
 public:
  FailingFromIndex(WindowsInstaller& target, std::uint32_t failAt) : ForwardingInstaller(target), failAt_(failAt) {}
  WinError EnumRelatedProducts(std::wstring_view upgradeCode, std::uint32_t index, std::wstring* code) override {
    if (index >= failAt_) return 1610;
    return target_.EnumRelatedProducts(upgradeCode, index, code);
  }

 private:
  std::uint32_t failAt_;
};

TEST(ProductCodeLists, AnInstallerErrorAfterTheFirstIndexEndsTheListWithoutFallback) {
  ScenarioMachine m;
  m.machine().msi().Register(Related(1, kFamilyQuillo));
  m.machine().msi().Register(Related(2, kFamilyQuillo));
  const Platform p = m.machine().platform();
  FailingFromIndex installer(p.installer, 1);
  VEZEZERidivorOde app(
      Platform{p.registry, installer, p.fs, p.system, p.processes, p.spooler, p.services, p.power, p.ui});
  app.BuildProductCodeLists(true);
  ASSERT_EQ(app.m_quilloProductCodes.size(), 1u);
  EXPECT_TRUE(app.m_quilloProductCodes[0] == Code(1) || app.m_quilloProductCodes[0] == Code(2));
}

TEST(ProductCodeLists, NothingIsLogged) {
  ScenarioMachine m;
  m.machine().msi().Register(Related(1, kFamilyQuillo));
  CatalogueApp c(m);
  c.app.BuildProductCodeLists(true);
  EXPECT_EQ(c.Log(), "");
}

// --- the catalogue's constants ---------------------------------------------------

TEST(Catalogue, CodesAreWellFormedAndDistinctButForTheSharedTavloRow) {
  static const std::size_t kRows[] = {8, 8, 6, 3, 3, 0, 2, 2};
  std::map<std::string, int> seen;
  std::size_t rows = 0;
  for (int f = 0; f < kFamilyCount; ++f) {
    const auto& family = kProductFamilies[f];
    EXPECT_EQ(family.fallbackRows.size(), kRows[f]) << f;
    EXPECT_TRUE(IsUpperBracedGuid(ToUtf8(family.upgradeCode))) << f;
    ++seen[ToUtf8(family.upgradeCode)];
    for (const auto& row : family.fallbackRows) {
      ++rows;
      EXPECT_TRUE(IsUpperBracedGuid(ToUtf8(row.productCode))) << ToUtf8(row.displayName);
      ++seen[ToUtf8(row.productCode)];
      // The fields are padded with zero characters to their ends.
      for (std::size_t i = 38; i < 45; ++i) EXPECT_EQ(row.productCode[i], L'\0');
    }
  }
  EXPECT_EQ(rows, 32u);
  const std::string shared = ToUtf8(kProductFamilies[kFamilyTavloSoftware].fallbackRows[0].productCode);
  EXPECT_EQ(std::wstring(kProductFamilies[kFamilyTavloDrivers].fallbackRows[0].displayName),
            L"ZENTA Tavlo Software 9.7");
  EXPECT_EQ(std::wstring(kProductFamilies[kFamilyTavloSoftware].fallbackRows[0].displayName),
            L"ZENTA Tavlo Software 9.7");
  for (const auto& [code, count] : seen) EXPECT_EQ(count, code == shared ? 2 : 1) << code;
  EXPECT_EQ(seen.size(), 8u + 31u);
}

TEST(Catalogue, ProgramPrintsOneTabSeparatedLinePerFamily) {
  const ShellRun run = RunShell(ZC_PROGRAM " --catalogue");
  ASSERT_EQ(run.status, 0);
  const std::string& out = run.out;

  static const char* kLabels[] = {"Quillo Software", "Tavlo/Product Drivers", "Quorix/Teviro",       "Vexil", "Convexa",
                                  "Convexa PE",      "Common Files",          "ZENTA Tavlo Software"};
  std::istringstream lines(out);
  std::string line;
  std::vector<std::vector<std::string>> table;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    table.push_back(fields);
  }
  ASSERT_EQ(table.size(), 8u) << out;
  std::size_t fallback = 0;
  std::set<std::string> codes;
  for (int f = 0; f < kFamilyCount; ++f) {
    const auto& fields = table[f];
    ASSERT_GE(fields.size(), 2u);
    EXPECT_EQ(fields[0], kLabels[f]);
    EXPECT_EQ(fields[1], ToUtf8(kProductFamilies[f].upgradeCode));
    std::vector<std::string> expected;
    for (const auto& code : FallbackCodes(f)) expected.push_back(ToUtf8(code));
    EXPECT_EQ(std::vector<std::string>(fields.begin() + 2, fields.end()), expected) << kLabels[f];
    for (std::size_t i = 1; i < fields.size(); ++i) {
      EXPECT_TRUE(IsUpperBracedGuid(fields[i])) << fields[i];
      codes.insert(fields[i]);
    }
    fallback += fields.size() - 2;
  }
  EXPECT_EQ(fallback, 32u);
  EXPECT_EQ(codes.size(), 8u + 31u);
  EXPECT_EQ(table[kFamilyTavloDrivers][2], table[kFamilyTavloSoftware][2]);
  EXPECT_EQ(out.back(), '\n');
  EXPECT_EQ(out.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace zc::test
