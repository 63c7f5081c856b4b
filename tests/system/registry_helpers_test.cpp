// The registry helpers that the uninstallers and the catalogue share: key
// deletion with its lines, value reads with their statuses and lines, and
// the plain HKEY_LOCAL_MACHINE read.
#include <cctype>
#include <cstdio>

#include <gtest/gtest.h>

#include "platform/proxy.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"
#include "support/scenario.h"
#include "system/uninstaller_base.h"

namespace zc::test {
namespace {

constexpr const wchar_t* kLog = L"C:\\t.log";
const std::wstring kKey = L"Software\\Vendor\\Settings";

class TestUninstaller : public UninstallerBase {
 public:
  using UninstallerBase::UninstallerBase;
  ComponentState Detect() override { return m_nState = Absent; }
  ComponentState Uninstall() override { return m_nState = Absent; }
};

// Watches the sizes the helpers ask the registry for.
class WatchingRegistry : public ProxyRegistry {
 public:
  using ProxyRegistry::ProxyRegistry;
  std::vector<std::uint32_t> querySizes;  // the buffer size of each read with a buffer
  WinError QueryValue(HKey key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                      std::uint32_t* size) override {
    if (data) querySizes.push_back(*size);
    return ProxyRegistry::QueryValue(key, name, type, data, size);
  }
};

std::string Hex8(HKey key) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(key.value));
  return text;
}

std::vector<std::uint8_t> Utf16(const std::wstring& text, bool withNul) {
  auto bytes = ToUtf16Le(text);
  if (withNul) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

class RegistryHelpers : public ::testing::Test {
 protected:
  RegistryHelpers() : reg(m.machine().registry()), watched(reg) { log.Open(m.machine().fs(), kLog); }

  std::string Log() {
    log.Close();
    return m.ReadFile(kLog);
  }
  void Write(const std::wstring& name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
    ASSERT_EQ(sim::WriteValue(reg, kHkeyLocalMachine, kKey, name, type, data), err::kSuccess);
  }
  HKey Open(const std::wstring& path = kKey) {
    HKey key;
    EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, path, RegAccess::kRead, &key), err::kSuccess);
    return key;
  }

  ScenarioMachine m;
  sim::SimRegistry& reg;
  WatchingRegistry watched;
  OperationLog log;
  TestUninstaller u{log, watched, m.machine().system()};
};

// --- DeleteKey ---------------------------------------------------------------------

TEST_F(RegistryHelpers, StartsUnknownAndNotInADryRun) {
  EXPECT_EQ(u.m_nState, Unknown);
  EXPECT_FALSE(u.m_bDryRun);
  EXPECT_FALSE(u.m_bRebootRequired);
}

TEST_F(RegistryHelpers, DeleteKeyOnAnAbsentKeySaysSoAndSucceeds) {
  EXPECT_TRUE(u.DeleteKey(kHkeyLocalMachine, L"Software\\Nope"));
  EXPECT_EQ(Log(), "DeleteKey: HKEY_LOCAL_MACHINE\\Software\\Nope\r\nNothing to delete, key does not exist\r\n");
}

TEST_F(RegistryHelpers, DeleteKeyRemovesTheWholeTreeWithOneLine) {
  sim::WriteText(reg, kHkeyLocalMachine, kKey + L"\\Deeper", L"v", L"x");
  Write(L"a", regtype::kSz, Utf16(L"y", true));
  EXPECT_TRUE(u.DeleteKey(kHkeyLocalMachine, L"Software\\Vendor"));
  EXPECT_FALSE(sim::KeyExists(reg, kHkeyLocalMachine, L"Software\\Vendor"));
  EXPECT_TRUE(sim::KeyExists(reg, kHkeyLocalMachine, L"Software"));
  EXPECT_EQ(Log(), "DeleteKey: HKEY_LOCAL_MACHINE\\Software\\Vendor\r\n");
}

TEST_F(RegistryHelpers, DeleteKeyInADryRunOnlyLogs) {
  Write(L"a", regtype::kSz, Utf16(L"y", true));
  u.m_bDryRun = true;
  EXPECT_TRUE(u.DeleteKey(kHkeyLocalMachine, kKey));
  EXPECT_TRUE(u.DeleteKey(kHkeyCurrentUser, L"Software\\Nope"));
  EXPECT_TRUE(sim::KeyExists(reg, kHkeyLocalMachine, kKey));
  EXPECT_EQ(Log(),
            "DeleteKey: HKEY_LOCAL_MACHINE\\Software\\Vendor\\Settings\r\n"
            "DeleteKey: HKEY_CURRENT_USER\\Software\\Nope\r\n");
}

TEST_F(RegistryHelpers, DeleteKeyNamesEveryRoot) {
  u.m_bDryRun = true;
  for (HKey root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers, kHkeyCurrentConfig,
                    kHkeyPerformanceData, HKey{0xA4}}) {
    u.DeleteKey(root, L"K");
  }
  EXPECT_EQ(Log(), CrLf({"DeleteKey: HKEY_CLASSES_ROOT\\K", "DeleteKey: HKEY_CURRENT_USER\\K",
                         "DeleteKey: HKEY_LOCAL_MACHINE\\K", "DeleteKey: HKEY_USERS\\K",
                         "DeleteKey: HKEY_CURRENT_CONFIG\\K", "DeleteKey: SUBKEY\\K", "DeleteKey: SUBKEY\\K", ""}));
}

TEST_F(RegistryHelpers, DeleteKeyBelowAnOpenedKeyIsNamedAsSubkey) {
  sim::WriteText(reg, kHkeyLocalMachine, kKey + L"\\Child", L"v", L"x");
  UniqueRegKey parent(reg);
  ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, kKey, RegAccess::kAllAccess, parent.put()), err::kSuccess);
  EXPECT_TRUE(u.DeleteKey(parent.get(), L"Child"));
  EXPECT_FALSE(sim::KeyExists(reg, kHkeyLocalMachine, kKey + L"\\Child"));
  EXPECT_TRUE(sim::KeyExists(reg, kHkeyLocalMachine, kKey));
  EXPECT_EQ(Log(), "DeleteKey: SUBKEY\\Child\r\n");
}

TEST_F(RegistryHelpers, DeleteKeyFailureIsLoggedWithItsCode) {
  Write(L"a", regtype::kSz, Utf16(L"y", true));
  m.machine().faults().Add(sim::FaultRule{"SHDeleteKey", L"HKEY_LOCAL_MACHINE\\" + kKey, err::kAccessDenied});
  EXPECT_FALSE(u.DeleteKey(kHkeyLocalMachine, kKey));
  EXPECT_TRUE(sim::KeyExists(reg, kHkeyLocalMachine, kKey));
  EXPECT_EQ(Log(), "DeleteKey: HKEY_LOCAL_MACHINE\\Software\\Vendor\\Settings\r\nFAILED with error code 5\r\n");
}

// --- QueryStringValue -------------------------------------------------------------

TEST_F(RegistryHelpers, LongStringIsReadWholeThroughAnExactlySizedSecondRead) {
  const std::wstring text(300, L'q');
  Write(L"Long", regtype::kSz, Utf16(text, true));
  const HKey key = Open();
  std::uint32_t status = 99;
  EXPECT_EQ(u.QueryStringValue(key, L"Long", L"dflt", &status), text);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(watched.querySizes, (std::vector<std::uint32_t>{512, 602}));
  EXPECT_EQ(Log(), "");
  reg.CloseKey(key);
}

TEST_F(RegistryHelpers, TerminatedUnterminatedAndOddSizedStringsGiveTheSameText) {
  const std::wstring shortText = L"C:\\Program Files\\Vendor";
  const std::wstring longText(280, L'L');
  Write(L"WithNul", regtype::kSz, Utf16(shortText, true));
  Write(L"WithoutNul", regtype::kSz, Utf16(shortText, false));
  auto odd = Utf16(shortText, false);
  odd.push_back(0x41);
  Write(L"Odd", regtype::kSz, odd);
  Write(L"LongWithoutNul", regtype::kSz, Utf16(longText, false));
  auto longOdd = Utf16(longText, false);
  longOdd.push_back(0x41);
  Write(L"LongOdd", regtype::kExpandSz, longOdd);
  const HKey key = Open();
  for (const wchar_t* name : {L"WithNul", L"WithoutNul", L"Odd"}) {
    EXPECT_EQ(u.QueryStringValue(key, name, L"dflt"), shortText) << ToUtf8(name);
  }
  EXPECT_EQ(u.QueryStringValue(key, L"LongWithoutNul", L"dflt"), longText);
  EXPECT_EQ(u.QueryStringValue(key, L"LongOdd", L"dflt"), longText);
  EXPECT_EQ(Log(), "");
  reg.CloseKey(key);
}

TEST_F(RegistryHelpers, LargeBinaryValueFailsWithMoreDataAndTheFailedReadLine) {
  Write(L"Blob", regtype::kBinary, std::vector<std::uint8_t>(600, 0x41));
  const HKey key = Open();
  std::uint32_t status = 0;
  EXPECT_EQ(u.QueryStringValue(key, L"Blob", L"the default", &status), L"the default");
  EXPECT_EQ(status, err::kMoreData);
  EXPECT_EQ(watched.querySizes, std::vector<std::uint32_t>{512});
  EXPECT_EQ(Log(), "Failed to read \"" + Hex8(key) + ":Blob\", using default: the default\r\n");
  reg.CloseKey(key);
}

TEST_F(RegistryHelpers, FailedReadLineShowsThePredefinedHandleInUpperCaseHex) {
  std::uint32_t status = 0;
  EXPECT_EQ(u.QueryStringValue(kHkeyLocalMachine, L"Missing", L"", &status), L"");
  EXPECT_EQ(status, err::kFileNotFound);
  EXPECT_EQ(u.QueryStringValue(kHkeyCurrentConfig, L"Gone", L"x"), L"x");
  EXPECT_EQ(Log(),
            "Failed to read \"80000002:Missing\", using default: \r\n"
            "Failed to read \"80000005:Gone\", using default: x\r\n");
}

TEST_F(RegistryHelpers, OpenedHandlesPrintAsEightDigits) {
  Write(L"v", regtype::kSz, Utf16(L"x", true));
  std::vector<UniqueRegKey> keys;
  for (int i = 0; i < 3; ++i) {
    keys.emplace_back(reg);
    ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, kKey, RegAccess::kRead, keys.back().put()), err::kSuccess);
  }
  u.QueryStringValue(keys[2].get(), L"none", L"d");
  const std::string line = Log();
  EXPECT_EQ(line, "Failed to read \"" + Hex8(keys[2].get()) + ":none\", using default: d\r\n");
  // Eight upper-case hexadecimal digits, zero-padded.
  ASSERT_GE(line.size(), 24u);
  for (std::size_t i = 16; i < 24; ++i) EXPECT_TRUE(std::isdigit(line[i]) || (line[i] >= 'A' && line[i] <= 'F'));
  EXPECT_EQ(line.substr(16, 6), "000000");
}

TEST_F(RegistryHelpers, MultiStringGivesItsFirstString) {
  ASSERT_EQ(sim::WriteMultiText(reg, kHkeyLocalMachine, kKey, L"Multi", {L"first", L"second"}), err::kSuccess);
  std::vector<std::wstring> many(200, L"item");
  many[0] = L"head";
  ASSERT_EQ(sim::WriteMultiText(reg, kHkeyLocalMachine, kKey, L"BigMulti", many), err::kSuccess);
  const HKey key = Open();
  EXPECT_EQ(u.QueryStringValue(key, L"Multi", L"d"), L"first");
  std::uint32_t status = 0;
  // A multi-string that does not fit is not read again.
  EXPECT_EQ(u.QueryStringValue(key, L"BigMulti", L"d", &status), L"d");
  EXPECT_EQ(status, err::kMoreData);
  reg.CloseKey(key);
}

TEST_F(RegistryHelpers, ValueOfAnotherTypeThatFitsIsTakenAsText) {
  Write(L"Dword", regtype::kDword, {0x41, 0x00, 0x00, 0x00});
  const HKey key = Open();
  EXPECT_EQ(u.QueryStringValue(key, L"Dword", L"d"), L"A");
  reg.CloseKey(key);
}

TEST_F(RegistryHelpers, ExpandableStringIsExpanded) {
  Write(L"Path", regtype::kExpandSz, Utf16(L"%SystemRoot%\\system32\\spool", true));
  Write(L"LongPath", regtype::kExpandSz, Utf16(L"%SystemRoot%\\" + std::wstring(270, L'p'), true));
  Write(L"Plain", regtype::kSz, Utf16(L"%SystemRoot%", true));
  const HKey key = Open();
  EXPECT_EQ(u.QueryStringValue(key, L"Path", L"d"), L"C:\\WINDOWS\\system32\\spool");
  EXPECT_EQ(u.QueryStringValue(key, L"LongPath", L"d"), L"C:\\WINDOWS\\" + std::wstring(270, L'p'));
  EXPECT_EQ(u.QueryStringValue(key, L"Plain", L"d"), L"%SystemRoot%");
  reg.CloseKey(key);
}

TEST_F(RegistryHelpers, ExpandEnvironmentFailureGivesEmptyText) {
  EXPECT_EQ(u.ExpandEnvironment(L"%windir%\\x"), L"C:\\WINDOWS\\x");
  EXPECT_EQ(u.ExpandEnvironment(L"%NoSuchName%"), L"%NoSuchName%");
  m.machine().faults().Add(sim::FaultRule{"ExpandEnvironmentStrings", L"*", 8});
  EXPECT_EQ(u.ExpandEnvironment(L"%windir%"), L"");
}

// --- ReadStringValue --------------------------------------------------------------

TEST_F(RegistryHelpers, ReadStringValueOnAMissingKeyReportsTheOpening) {
  std::uint32_t status = 0;
  EXPECT_EQ(u.ReadStringValue(kHkeyLocalMachine, L"Software\\Nope", L"v", L"fallback", &status), L"fallback");
  EXPECT_EQ(status, err::kFileNotFound);
  EXPECT_EQ(Log(), "Failed to open key \"Software\\Nope\", using default value: fallback\r\n");
}

TEST_F(RegistryHelpers, ReadStringValueOnAMissingValueLogsTheReadAndReportsSuccess) {
  Write(L"present", regtype::kSz, Utf16(L"x", true));
  std::uint32_t status = 99;
  EXPECT_EQ(u.ReadStringValue(kHkeyLocalMachine, kKey, L"absent", L"fallback", &status), L"fallback");
  EXPECT_EQ(status, 0u);
  const std::string line = Log();
  EXPECT_EQ(line.rfind("Failed to read \"", 0), 0u) << line;
  EXPECT_NE(line.find(":absent\", using default: fallback\r\n"), std::string::npos) << line;
  EXPECT_EQ(line.size(), std::string("Failed to read \"XXXXXXXX:absent\", using default: fallback\r\n").size());
  // The key is closed again.
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryHelpers, ReadStringValueReadsAndClosesTheKey) {
  Write(L"Port", regtype::kSz, Utf16(L"LPT1:", true));
  std::uint32_t status = 99;
  EXPECT_EQ(u.ReadStringValue(kHkeyLocalMachine, kKey, L"Port", L"d", &status), L"LPT1:");
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(u.ReadStringValue(kHkeyLocalMachine, kKey, L"Port", L"d"), L"LPT1:");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_EQ(Log(), "");
}

// --- ReadLocalMachineString --------------------------------------------------------

TEST_F(RegistryHelpers, LocalMachineStringIsEmptyOnEveryFailureAndLogsNothing) {
  Write(L"Empty", regtype::kSz, {});
  Write(L"", regtype::kSz, Utf16(L"default value", true));
  EXPECT_EQ(ReadLocalMachineString(watched, kKey, L"Empty"), L"");
  EXPECT_EQ(ReadLocalMachineString(watched, kKey, L"Missing"), L"");
  EXPECT_EQ(ReadLocalMachineString(watched, L"Software\\Nope", L""), L"");
  EXPECT_EQ(ReadLocalMachineString(watched, kKey, L""), L"default value");
  // A size of 0 is never followed by a read.
  EXPECT_EQ(watched.querySizes.size(), 1u);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_EQ(Log(), "");
}

TEST_F(RegistryHelpers, LocalMachineStringReadsWithoutReadingPastTheData) {
  const std::wstring longText(400, L'z');
  Write(L"NoNul", regtype::kSz, Utf16(L"C:\\Apps\\Q\\", false));
  auto odd = Utf16(L"abc", false);
  odd.push_back(0x42);
  Write(L"Odd", regtype::kSz, odd);
  Write(L"Long", regtype::kSz, Utf16(longText, true));
  ASSERT_EQ(sim::WriteMultiText(reg, kHkeyLocalMachine, kKey, L"Multi", {L"one", L"two"}), err::kSuccess);
  Write(L"Expand", regtype::kExpandSz, Utf16(L"%SystemRoot%", true));
  EXPECT_EQ(ReadLocalMachineString(watched, kKey, L"NoNul"), L"C:\\Apps\\Q\\");
  EXPECT_EQ(ReadLocalMachineString(watched, kKey, L"Odd"), L"abc");
  EXPECT_EQ(ReadLocalMachineString(watched, kKey, L"Long"), longText);
  EXPECT_EQ(ReadLocalMachineString(watched, kKey, L"Multi"), L"one");
  // Not expanded.
  EXPECT_EQ(ReadLocalMachineString(watched, kKey, L"Expand"), L"%SystemRoot%");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(RegistryHelpers64, LocalMachineStringReadsThe32BitView) {
  auto config = ScenarioMachine::DefaultConfig();
  config.bits = 64;
  config.programsFolder.clear();
  config.ApplyDefaults();
  ScenarioMachine m(config);
  sim::WriteText(m.machine().nativeRegistry(), kHkeyLocalMachine, L"Software\\Wow6432Node\\Vendor", L"v", L"32");
  sim::WriteText(m.machine().nativeRegistry(), kHkeyLocalMachine, L"Software\\Vendor", L"v", L"64");
  EXPECT_EQ(ReadLocalMachineString(m.machine().registry(), L"Software\\Vendor", L"v"), L"32");
}

}  // namespace
}  // namespace zc::test
