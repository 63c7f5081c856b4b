// Discovery of the vendor's installed products: the publisher filter, the
// newer-generation flags, the "Found Product: " lines, and the order of the
// installed-product list that the removal run works through.
#include <unistd.h>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/sim/demo_machine.h"
#include "catalogue/catalogue_support.h"

namespace zc::test {
namespace {

const std::wstring kFilter = L"zenta technologies";

std::string Found(const std::string& name, int code, const std::string& version, const std::string& location) {
  return "Found Product: " + name + "  -- GUID: " + ToUtf8(Code(code)) + " -- Version: " + version +
         " -- Install Directoy: =" + location + "= \r\n";
}

std::vector<std::wstring> Names(const std::vector<InstalledProduct>& list) {
  std::vector<std::wstring> names;
  for (const auto& p : list) names.push_back(p.m_strName);
  return names;
}

InstalledProduct Record(const std::wstring& name, const std::wstring& location, bool allowed = true) {
  InstalledProduct p;
  p.m_strName = name;
  p.m_strInstallLocation = location;
  p.m_bFolderCleanupAllowed = allowed;
  return p;
}

// --- the scan ---------------------------------------------------------------

TEST(Discovery, NoProductOfThePublisherLogsNothingAndClearsEveryFlag) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"Other Suite", L"1.0.0.0", L"C:\\Other\\", L"Other Corp"));
  CatalogueApp c(m);
  c.app.m_bQuilloNewerFound = c.app.m_bQuorixNewerFound = true;
  c.app.m_bCorvelTeacherNewerFound = c.app.m_bTavloDriversNewerFound = true;
  c.app.m_installedProducts.push_back(Record(L"stale", L""));

  c.app.DiscoverInstalledProducts(kFilter);

  EXPECT_TRUE(c.app.m_installedProducts.empty());
  EXPECT_FALSE(c.app.m_bQuilloNewerFound);
  EXPECT_FALSE(c.app.m_bQuorixNewerFound);
  EXPECT_FALSE(c.app.m_bCorvelTeacherNewerFound);
  EXPECT_FALSE(c.app.m_bTavloDriversNewerFound);
  EXPECT_EQ(c.Log(), "");
}

TEST(Discovery, PublisherMatchesInAnyCaseButAFilterWithCapitalsMatchesNothing) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA Vexil 1.5", L"1.5.0.0", L"", L"zEnTa TECHNOLOGIES Inc."));
  m.machine().msi().Register(Product(2, L"ZENTA Convexa", L"3.1.0.0", L"", L"ZENTA Technologies"));
  m.machine().msi().Register(Product(3, L"ZENTA Lookalike", L"1.0.0.0", L"", L"ZENTA Tech"));
  {
    CatalogueApp c(m);
    c.app.DiscoverInstalledProducts(kFilter);
    EXPECT_EQ(Names(c.app.m_installedProducts), (std::vector<std::wstring>{L"ZENTA Vexil 1.5", L"ZENTA Convexa"}));
  }
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(L"ZENTA technologies");
  EXPECT_TRUE(c.app.m_installedProducts.empty());
  EXPECT_EQ(c.Log(), "");
}

TEST(Discovery, FoundProductLineHasItsExactBytes) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA Quillo 11", L"11.0.1234.0", L"C:\\Apps\\Q\\"));
  m.machine().msi().Register(Product(2, L"ZENTA Vexil", L"1.5", L""));
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  EXPECT_EQ(c.Log(),
            "Found Product: ZENTA Quillo 11  -- GUID: {00000001-1A2B-4C3D-8E4F-5A6B7C8D9E0F} -- Version: 11.0.1234.0"
            " -- Install Directoy: =C:\\Apps\\Q\\= \r\n"
            "Found Product: ZENTA Vexil  -- GUID: {00000002-1A2B-4C3D-8E4F-5A6B7C8D9E0F} -- Version: 1.5.0.0"
            " -- Install Directoy: == \r\n");
  ASSERT_EQ(c.app.m_installedProducts.size(), 2u);
  const auto& q = c.app.m_installedProducts[0];
  EXPECT_EQ(q.m_strProductCode, Code(1));
  EXPECT_EQ(q.m_strInstallLocation, L"C:\\Apps\\Q\\");
  EXPECT_TRUE(q.m_version.Equals(CVersion(L"11.0.1234.0")));
}

TEST(Discovery, QuilloAboveItsThresholdSetsTheFlagAndForbidsFolderCleanup) {
  for (const auto& [version, newer] : {std::pair{L"11.0.1234.0", true}, std::pair{L"10.8.0.0", false}}) {
    SCOPED_TRACE(ToUtf8(version));
    ScenarioMachine m;
    m.machine().msi().Register(Product(1, L"ZENTA Quillo 11", version, L""));
    CatalogueApp c(m);
    c.app.DiscoverInstalledProducts(kFilter);
    ASSERT_EQ(c.app.m_installedProducts.size(), 1u);
    EXPECT_EQ(c.app.m_bQuilloNewerFound, newer);
    // The location is empty, yet the version is read and classified.
    EXPECT_EQ(c.app.m_installedProducts[0].m_bFolderCleanupAllowed, !newer);
    EXPECT_FALSE(c.app.m_bQuorixNewerFound || c.app.m_bTavloDriversNewerFound || c.app.m_bCorvelTeacherNewerFound);
  }
}

TEST(Discovery, EachFamilyTestSetsOnlyItsOwnFlag) {
  struct Case {
    const wchar_t* name;
    const wchar_t* version;
    bool VEZEZERidivorOde::*flag;
  };
  const Case cases[] = {
      {L"Product Drivers", L"10.8.0.1", &VEZEZERidivorOde::m_bTavloDriversNewerFound},
      {L"ZENTA Quorix", L"3.5.1.0", &VEZEZERidivorOde::m_bQuorixNewerFound},
      {L"Corvel Teacher Edition", L"10.0.0.1", &VEZEZERidivorOde::m_bCorvelTeacherNewerFound},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(ToUtf8(k.name));
    ScenarioMachine m;
    m.machine().msi().Register(Product(1, k.name, k.version, L"C:\\X\\"));
    CatalogueApp c(m);
    c.app.DiscoverInstalledProducts(kFilter);
    const int set = c.app.m_bQuilloNewerFound + c.app.m_bQuorixNewerFound + c.app.m_bCorvelTeacherNewerFound +
                    c.app.m_bTavloDriversNewerFound;
    EXPECT_TRUE(c.app.*k.flag);
    EXPECT_EQ(set, 1);
  }
}

TEST(Discovery, NameTestsAreCaseSensitive) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA QUILLO", L"12.0.0.0", L""));
  m.machine().msi().Register(Product(2, L"ZENTA quorix", L"9.0.0.0", L""));
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  EXPECT_FALSE(c.app.m_bQuilloNewerFound);
  EXPECT_FALSE(c.app.m_bQuorixNewerFound);
  for (const auto& p : c.app.m_installedProducts) EXPECT_TRUE(p.m_bFolderCleanupAllowed);
}

TEST(Discovery, NameWithBothQuilloAndDriversSetsBothFlags) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"Quillo Drivers", L"11.0.0.0", L"C:\\QD\\"));
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  EXPECT_TRUE(c.app.m_bQuilloNewerFound);
  EXPECT_TRUE(c.app.m_bTavloDriversNewerFound);
  ASSERT_EQ(c.app.m_installedProducts.size(), 1u);
  EXPECT_FALSE(c.app.m_installedProducts[0].m_bFolderCleanupAllowed);
}

TEST(Discovery, ProductWithoutVersionPrintsZerosAndNeverTakesTheVersionBeforeIt) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA Quillo 11", L"11.0.0.0", L"C:\\Q\\"));
  m.machine().msi().Register(Product(2, L"ZENTA Quillo Extras", L"11.5.0.0", L"C:\\QE\\"));
  RemoveInstallProperty(m, Code(2), L"DisplayVersion");
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  EXPECT_EQ(c.Log(), Found("ZENTA Quillo 11", 1, "11.0.0.0", "C:\\Q\\") +
                         Found("ZENTA Quillo Extras", 2, "0.0.0.0", "C:\\QE\\"));
  ASSERT_EQ(c.app.m_installedProducts.size(), 2u);
  const auto& extras = c.app.m_installedProducts[1];
  EXPECT_EQ(extras.m_strName, L"ZENTA Quillo Extras");
  EXPECT_FALSE(extras.m_version.m_bValid);
  // An invalid version is never newer.
  EXPECT_TRUE(extras.m_bFolderCleanupAllowed);
}

TEST(Discovery, ProductWhosePublisherOrNameCannotBeReadIsSkippedSilently) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA No Publisher", L"1.0.0.0"));
  m.machine().msi().Register(Product(2, L"ZENTA No Name", L"1.0.0.0"));
  m.machine().msi().Register(Product(3, L"ZENTA Vexil", L"1.0.0.0"));
  m.machine().msi().Register(Product(4, L"ZENTA Unreadable", L"1.0.0.0"));
  m.machine().msi().Register(Product(5, L"ZENTA Convexa", L"3.0.0.0"));
  RemoveInstallProperty(m, Code(1), L"Publisher");
  sim::RemoveValue(m.machine().nativeRegistry(), kHkeyLocalMachine, sim::msilayout::ProductKey(Code(2)),
                   L"ProductName");
  m.machine().faults().Add(sim::FaultRule{"MsiGetProductInfo", Code(4) + L"|ProductName", 1627});
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  EXPECT_EQ(Names(c.app.m_installedProducts), (std::vector<std::wstring>{L"ZENTA Vexil", L"ZENTA Convexa"}));
  EXPECT_EQ(c.Log(), Found("ZENTA Vexil", 3, "1.0.0.0", "") + Found("ZENTA Convexa", 5, "3.0.0.0", ""));
}

TEST(Discovery, AnUnreadableLocationOrVersionLeavesItEmptyOrInvalid) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA Quorix 4.5", L"4.5.0.0", L"C:\\R\\"));
  m.machine().faults().Add(sim::FaultRule{"MsiGetProductInfo", Code(1) + L"|InstallLocation", 1610});
  m.machine().faults().Add(sim::FaultRule{"MsiGetProductInfo", Code(1) + L"|VersionString", 1610});
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  EXPECT_EQ(c.Log(), Found("ZENTA Quorix 4.5", 1, "0.0.0.0", ""));
  EXPECT_FALSE(c.app.m_bQuorixNewerFound);
}

TEST(Discovery, EnumerationErrorEndsTheScanWithWhatWasFound) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA Vexil", L"1.0.0.0"));
  m.machine().msi().Register(Product(2, L"ZENTA Convexa", L"3.0.0.0"));
  m.machine().faults().Add(sim::FaultRule{"MsiEnumProducts", L"1", 1610});
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  EXPECT_EQ(Names(c.app.m_installedProducts), std::vector<std::wstring>{L"ZENTA Vexil"});
}

sim::ProductSpec PerUser(sim::ProductSpec p, sim::msilayout::Place place) {
  p.place = std::move(place);
  return p;
}

TEST(Discovery, AnotherAccountsProductsAreNamedAfterTheScanAndNeverListed) {
  namespace ml = sim::msilayout;
  const std::wstring other = L"S-1-5-21-7-7-7-1009";
  ScenarioMachine m;
  auto& msi = m.machine().msi();
  msi.Register(Product(1, L"ZENTA Vexil", L"1.0.0.0"));
  msi.Register(PerUser(Product(2, L"ZENTA Reader", L"2.0.0.0"), ml::Place::Unmanaged(sim::kDemoAdministratorSid)));
  msi.Register(PerUser(Product(2, L"ZENTA Reader", L"2.0.0.0"), ml::Place::Unmanaged(other)));
  msi.Register(PerUser(Product(3, L"ZENTA Convexa", L"3.0.0.0"), ml::Place::Managed(other)));
  msi.Register(PerUser(Product(4, L"Other Suite", L"1.0.0.0", L"", L"Other Corp"), ml::Place::Unmanaged(other)));
  auto named = [&](int n, const std::string& name) {
    return "Installed for another user: " + name + " -- GUID: " + ToUtf8(Code(n)) + " -- User: " + ToUtf8(other) +
           "\r\n";
  };
  {
    CatalogueApp c(m);
    c.app.DiscoverInstalledProducts(kFilter);
    EXPECT_EQ(Names(c.app.m_installedProducts), (std::vector<std::wstring>{L"ZENTA Vexil", L"ZENTA Reader"}));
    EXPECT_EQ(c.app.m_otherUsersProducts.size(), 2u);
    EXPECT_EQ(c.Log(), Found("ZENTA Vexil", 1, "1.0.0.0", "") + Found("ZENTA Reader", 2, "2.0.0.0", "") +
                           named(2, "ZENTA Reader") + named(3, "ZENTA Convexa"));
  }
  // Without the running account's SID, what the scan found is not taken for another's.
  m.machine().faults().Add(sim::FaultRule{"GetTokenInformation", L"*", 5});
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  const std::string log = c.Log();
  EXPECT_EQ(log.find(ToUtf8(sim::kDemoAdministratorSid)), std::string::npos) << log;
  EXPECT_NE(log.find(named(3, "ZENTA Convexa")), std::string::npos) << log;
}

// Windows Installer as Wine's answers MsiEnumProducts: a product of two
// accounts comes twice.
class EachProductTwice : public ForwardingInstaller {
 public:
  using ForwardingInstaller::ForwardingInstaller;
  WinError EnumProducts(std::uint32_t index, std::wstring* code) override {
    return target_.EnumProducts(index / 2, code);
  }
};

TEST(Discovery, AProductListedTwiceIsFoundOnce) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA Vexil", L"1.0.0.0"));
  m.machine().msi().Register(Product(2, L"ZENTA Convexa", L"3.0.0.0"));
  const Platform p = m.machine().platform();
  EachProductTwice installer(p.installer);
  VEZEZERidivorOde app(
      Platform{p.registry, installer, p.fs, p.system, p.processes, p.spooler, p.services, p.power, p.ui});
  app.m_log.Open(m.machine().fs(), kLogPath);
  app.DiscoverInstalledProducts(kFilter);
  app.m_log.Close();
  EXPECT_EQ(m.ReadFile(kLogPath), Found("ZENTA Vexil", 1, "1.0.0.0", "") + Found("ZENTA Convexa", 2, "3.0.0.0", ""));
}

TEST(Discovery, CharactersAboveLatin1AreWrittenAsQuestionMarksAndTheScanGoesOn) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA \x4E2D\x6587 Caf\xE9", L"1.0.0.0", L"C:\\\x0411\\"));
  m.machine().msi().Register(Product(2, L"ZENTA Vexil", L"1.0.0.0"));
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  EXPECT_EQ(c.Log(), Found("ZENTA ?? Caf\xE9", 1, "1.0.0.0", "C:\\?\\") + Found("ZENTA Vexil", 2, "1.0.0.0", ""));
  ASSERT_EQ(c.app.m_installedProducts.size(), 2u);
  // The record keeps the real text; only the log line loses it.
  EXPECT_EQ(c.app.m_installedProducts[0].m_strName, L"ZENTA \x4E2D\x6587 Caf\xE9");
  EXPECT_EQ(c.app.m_installedProducts[0].m_strInstallLocation, L"C:\\\x0411\\");
}

TEST(Discovery, DiscoveryReplacesTheListAndTheFlagsOfAnEarlierScan) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA Quorix 4.5", L"4.5.0.0", L"C:\\R\\"));
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  ASSERT_TRUE(c.app.m_bQuorixNewerFound);
  m.machine().msi().Uninstall(Code(1));
  m.machine().msi().Register(Product(2, L"ZENTA Vexil", L"1.0.0.0"));
  c.app.DiscoverInstalledProducts(kFilter);
  EXPECT_FALSE(c.app.m_bQuorixNewerFound);
  EXPECT_EQ(Names(c.app.m_installedProducts), std::vector<std::wstring>{L"ZENTA Vexil"});
}

TEST(Discovery, DemoDryRunLogsEveryVendorProductInEnumerationOrderAndNoOther) {
  std::string folder = (std::filesystem::temp_directory_path() / "zc-demo-XXXXXX").string();
  ASSERT_NE(::mkdtemp(folder.data()), nullptr);
  std::string error;
  ASSERT_TRUE(sim::WriteDemoMachine(folder, &error)) << error;
  auto machine = sim::SimMachine::Load(folder, &error);
  ASSERT_TRUE(machine) << error;

  // What Windows Installer lists, asked directly.
  std::vector<std::string> expected, others;
  auto& msi = machine->installer();
  std::wstring code, publisher, name;
  for (std::uint32_t i = 0; msi.EnumProducts(i, &code) == err::kSuccess; ++i) {
    msi.GetProductInfo(code, L"Publisher", 260, &publisher);
    msi.GetProductInfo(code, L"ProductName", 260, &name);
    if (ToLowerAscii(publisher).find(kFilter) != std::wstring::npos) {
      expected.push_back("Found Product: " + ToUtf8(name) + "  -- GUID: " + ToUtf8(code) + " -- Version: ");
    } else {
      others.push_back(ToUtf8(code));
    }
  }
  ASSERT_GE(expected.size(), 8u);
  ASSERT_FALSE(others.empty());

  {
    VEZEZERidivorOde app(machine->platform());
    app.InitInstance(L"ZENTACleanup.exe -all -dryrun -log C:\\demo.log");
  }
  std::ifstream in(machine->fs().HostPath(L"C:\\demo.log"), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> found;
  std::istringstream lines(text.str());
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Found Product: ", 0) == 0) found.push_back(line);
    for (const auto& other : others) EXPECT_EQ(line.find(other), std::string::npos) << line;
  }
  ASSERT_EQ(found.size(), expected.size()) << text.str();
  for (std::size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].rfind(expected[i], 0), 0u) << found[i];
    EXPECT_EQ(found[i].substr(found[i].size() - 3), "= \r");
  }
  machine.reset();
  std::filesystem::remove_all(folder);
}

// --- the order of the installed-product list ----------------------------------

TEST(Discovery, PlatformGoesLastWithTheQuilloLocationAndQuilloBehindTheNewerQuorix) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA Platform", L"1.0.0.0", L""));
  m.machine().msi().Register(Product(2, L"ZENTA Quillo", L"10.7.0.0", L"C:\\Q\\"));
  m.machine().msi().Register(Product(3, L"ZENTA Quorix", L"4.0.0.0", L"C:\\R\\"));
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  const auto& list = c.app.m_installedProducts;
  ASSERT_EQ(Names(list), (std::vector<std::wstring>{L"ZENTA Quorix", L"ZENTA Quillo", L"ZENTA Platform"}));
  EXPECT_FALSE(list[0].m_bFolderCleanupAllowed);
  EXPECT_EQ(list[0].m_strInstallLocation, L"C:\\R\\");
  EXPECT_TRUE(list[1].m_bFolderCleanupAllowed);
  EXPECT_EQ(list[2].m_strInstallLocation, L"C:\\Q\\");
  EXPECT_TRUE(list[2].m_bFolderCleanupAllowed);
  EXPECT_EQ(list[2].m_strProductCode, Code(1));
  // The log keeps the order of the scan and the locations as registered.
  EXPECT_EQ(c.Log(), Found("ZENTA Platform", 1, "1.0.0.0", "") + Found("ZENTA Quillo", 2, "10.7.0.0", "C:\\Q\\") +
                         Found("ZENTA Quorix", 3, "4.0.0.0", "C:\\R\\"));
}

TEST(Discovery, WithoutANewerProductTheScanOrderAndLocationsStay) {
  ScenarioMachine m;
  m.machine().msi().Register(Product(1, L"ZENTA Platform", L"1.0.0.0", L""));
  m.machine().msi().Register(Product(2, L"ZENTA Quillo", L"10.7.0.0", L"C:\\Q\\"));
  m.machine().msi().Register(Product(3, L"ZENTA Quorix", L"3.5.0.0", L"C:\\R\\"));
  CatalogueApp c(m);
  c.app.DiscoverInstalledProducts(kFilter);
  const auto& list = c.app.m_installedProducts;
  ASSERT_EQ(Names(list), (std::vector<std::wstring>{L"ZENTA Platform", L"ZENTA Quillo", L"ZENTA Quorix"}));
  EXPECT_EQ(list[0].m_strInstallLocation, L"");
  for (const auto& p : list) EXPECT_TRUE(p.m_bFolderCleanupAllowed);
}

class InstalledListOrder : public ::testing::Test {
 protected:
  ScenarioMachine m;
  VEZEZERidivorOde app{m.machine().platform()};
};

TEST_F(InstalledListOrder, EmptyFoundListEmptiesTheList) {
  app.m_installedProducts.push_back(Record(L"stale", L""));
  app.m_bQuorixNewerFound = true;
  app.BuildInstalledProductList({});
  EXPECT_TRUE(app.m_installedProducts.empty());
}

TEST_F(InstalledListOrder, PlatformWithoutAnyLocationIsLastAndKeepsItsFolder) {
  app.m_bCorvelTeacherNewerFound = true;
  app.BuildInstalledProductList(
      {Record(L"ZENTA Platform", L""), Record(L"Corvel Teacher 11", L"C:\\CT\\", false), Record(L"ZENTA Vexil", L"")});
  const auto& list = app.m_installedProducts;
  ASSERT_EQ(Names(list), (std::vector<std::wstring>{L"Corvel Teacher 11", L"ZENTA Vexil", L"ZENTA Platform"}));
  // The Corvel Teacher location is never lent to the Platform record.
  EXPECT_EQ(list[2].m_strInstallLocation, L"");
  EXPECT_FALSE(list[2].m_bFolderCleanupAllowed);
}

TEST_F(InstalledListOrder, TwoPlatformProductsListOnlyTheLaterOne) {
  app.m_bTavloDriversNewerFound = true;
  auto first = Record(L"ZENTA Platform A", L"");
  auto second = Record(L"ZENTA Platform B", L"");
  app.BuildInstalledProductList({first, Record(L"Product Drivers", L"C:\\D\\", false), second});
  ASSERT_EQ(Names(app.m_installedProducts), (std::vector<std::wstring>{L"Product Drivers", L"ZENTA Platform B"}));
  EXPECT_EQ(app.m_installedProducts[1].m_strInstallLocation, L"C:\\D\\");
}

TEST_F(InstalledListOrder, TwoQuilloProductsWhileQuorixIsNewerListOnlyTheLaterOne) {
  app.m_bQuorixNewerFound = true;
  app.BuildInstalledProductList({Record(L"ZENTA Quillo A", L"C:\\QA\\"), Record(L"ZENTA Quorix", L"C:\\R\\", false),
                                 Record(L"ZENTA Quillo B", L"C:\\QB\\"), Record(L"ZENTA Platform", L""),
                                 Record(L"ZENTA Vexil", L"C:\\V\\")});
  const auto& list = app.m_installedProducts;
  ASSERT_EQ(Names(list),
            (std::vector<std::wstring>{L"ZENTA Quorix", L"ZENTA Vexil", L"ZENTA Quillo B", L"ZENTA Platform"}));
  // The later Quillo product's location is the one lent to the Platform.
  EXPECT_EQ(list[3].m_strInstallLocation, L"C:\\QB\\");
  EXPECT_TRUE(list[3].m_bFolderCleanupAllowed);
}

TEST_F(InstalledListOrder, QuilloStaysInPlaceWhenOnlyAnotherFlagIsSet) {
  app.m_bTavloDriversNewerFound = true;
  app.BuildInstalledProductList({Record(L"ZENTA Quillo", L"C:\\Q\\"), Record(L"Product Drivers", L"C:\\D\\", false),
                                 Record(L"ZENTA Platform", L"C:\\P\\")});
  const auto& list = app.m_installedProducts;
  ASSERT_EQ(Names(list), (std::vector<std::wstring>{L"ZENTA Quillo", L"Product Drivers", L"ZENTA Platform"}));
  // The Platform's own location gives way to the Quillo one.
  EXPECT_EQ(list[2].m_strInstallLocation, L"C:\\Q\\");
}

TEST_F(InstalledListOrder, QuilloLocationOverridesAnEarlierOneEvenWhenEmpty) {
  app.m_bTavloDriversNewerFound = true;
  app.BuildInstalledProductList({Record(L"Product Drivers", L"C:\\D\\", false), Record(L"ZENTA Quillo", L""),
                                 Record(L"ZENTA Platform", L"C:\\P\\")});
  ASSERT_EQ(app.m_installedProducts.size(), 3u);
  EXPECT_EQ(app.m_installedProducts[2].m_strName, L"ZENTA Platform");
  EXPECT_EQ(app.m_installedProducts[2].m_strInstallLocation, L"C:\\P\\");
  EXPECT_FALSE(app.m_installedProducts[2].m_bFolderCleanupAllowed);

  // After an empty Quillo location, the next product's location is taken.
  app.BuildInstalledProductList({Record(L"ZENTA Quillo", L""), Record(L"Product Drivers", L"C:\\D\\", false),
                                 Record(L"ZENTA Vexil", L"C:\\V\\"), Record(L"ZENTA Platform", L"")});
  ASSERT_EQ(app.m_installedProducts.size(), 4u);
  EXPECT_EQ(app.m_installedProducts[3].m_strInstallLocation, L"C:\\D\\");
  EXPECT_TRUE(app.m_installedProducts[3].m_bFolderCleanupAllowed);
}

TEST_F(InstalledListOrder, RecordsAreCopiedWhole) {
  app.m_bQuorixNewerFound = true;
  InstalledProduct quillo = Record(L"ZENTA Quillo", L"C:\\Q\\");
  quillo.m_strProductCode = Code(7);
  quillo.m_version.SetFromString(L"10.7.1.2");
  app.BuildInstalledProductList({quillo, Record(L"ZENTA Quorix", L"", false)});
  ASSERT_EQ(app.m_installedProducts.size(), 2u);
  const auto& held = app.m_installedProducts[1];
  EXPECT_EQ(held.m_strProductCode, Code(7));
  EXPECT_EQ(held.m_version.ToString(), L"10.7.1.2");
  EXPECT_EQ(held.m_strInstallLocation, L"C:\\Q\\");
}

}  // namespace
}  // namespace zc::test
