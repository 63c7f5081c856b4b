// The hives these tests make, checked with the hivex tools (Debian
// libhivex-bin, libwin-hivex-perl): the shell reads them, and a hive that
// hivexregedit builds from a regedit export into our empty hive reads back
// the same as the one our writer makes from that registry.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include "hive/hive_support.h"
#include "platform/sim/reg_file.h"
#include "platform/text.h"
#include "platform/volume/hive_reader.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace zc::test {
namespace {

// Runs a shell command; its standard output, and the exit status.
std::string RunShell(const std::string& command, int* status) {
  ShellRun run = zc::test::RunShell(command);
  *status = run.status;
  return std::move(run.out);
}

TEST(HiveTools, HivexshReadsTheEmptyHiveAndAFilledOne) {
  TempDir dir;
  WriteBytes(dir / "empty", EmptyHiveBytes());
  int status = -1;
  const std::string empty = RunShell("printf 'ls\\nlsval\\n' | hivexsh " + (dir / "empty").string() + " 2>&1", &status);
  EXPECT_EQ(status, 0) << empty;
  EXPECT_EQ(empty, "");

  sim::RegKey root(L"SOFTWARE", nullptr);
  sim::RegKey* key = root.CreateSubKey(L"Vendor")->CreateSubKey(L"Product");
  key->SetString(L"InstallDir", L"C:\\Program Files\\Vendor");
  key->SetDword(L"Count", 3);
  root.CreateSubKey(L"Another");
  WriteHive(root, dir / "filled");
  const std::string listed = RunShell(
      "printf 'ls\\ncd Vendor\\\\Product\\nlsval\\n' | hivexsh " + (dir / "filled").string() + " 2>&1", &status);
  EXPECT_EQ(status, 0) << listed;
  // Values in the hive's order (the order they were written), not the alphabet's.
  EXPECT_EQ(listed, "Another\nVendor\n\"InstallDir\"=\"C:\\\\Program Files\\\\Vendor\"\n\"Count\"=dword:00000003\n");
}

TEST(HiveTools, AHiveMergedByHivexregeditReadsTheSameAsOurs) {
  TempDir dir;
  // A registry as an administrator would export it, SOFTWARE only.
  sim::RegStore store;
  sim::RegKey* software = store.CreateKey(sim::Hive::kLocalMachine, L"SOFTWARE");
  sim::RegKey* cv = software->CreateSubKey(L"Microsoft")->CreateSubKey(L"Windows")->CreateSubKey(L"CurrentVersion");
  cv->SetString(L"ProgramFilesDir", L"C:\\Program Files");
  cv->SetValue(L"DevicePath", regtype::kExpandSz, ToUtf16Le(std::wstring(L"%SystemRoot%\\inf") + L'\0'));
  sim::RegKey* shared = cv->CreateSubKey(L"SharedDlls");
  shared->SetDword(L"C:\\Program Files\\Vendor\\a.dll", 2);
  shared->SetDword(L"C:\\Program Files\\Vendor\\b.dll", 1);
  sim::RegKey* vendor = software->CreateSubKey(L"Vendor Inc")->CreateSubKey(L"Product");
  vendor->SetValue(L"Data", regtype::kBinary, {1, 2, 3, 0xff});
  vendor->SetValue(L"Paths", regtype::kMultiSz, ToUtf16Le(std::wstring(L"a\0b\0\0", 5)));
  vendor->SetValue(L"Large", regtype::kQword, {8, 7, 6, 5, 4, 3, 2, 1});
  vendor->SetString(L"", L"default");

  // regedit's export of HKEY_LOCAL_MACHINE\SOFTWARE, as UTF-8 (hivexregedit reads 8-bit files).
  const auto utf16 = sim::WriteRegText(store);
  ASSERT_GE(utf16.size(), 2u);
  const std::string whole = ToUtf8(FromUtf16Le(utf16.data() + 2, utf16.size() - 2));
  std::string exported;
  bool inside = true;  // the file's first line
  for (std::size_t at = 0; at < whole.size();) {
    const std::size_t end = whole.find('\n', at);
    const std::string line = whole.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
    at = end == std::string::npos ? whole.size() : end + 1;
    if (line.rfind("[", 0) == 0) inside = line.rfind("[HKEY_LOCAL_MACHINE\\SOFTWARE", 0) == 0;
    if (inside) exported += line;
  }
  WriteHostFile(dir / "export.reg", exported);
  WriteBytes(dir / "merged", EmptyHiveBytes());
  int status = -1;
  const std::string merge = RunShell("hivexregedit --merge --prefix 'HKEY_LOCAL_MACHINE\\SOFTWARE' " +
                                         (dir / "merged").string() + " " + (dir / "export.reg").string() + " 2>&1",
                                     &status);
  ASSERT_EQ(status, 0) << merge;

  sim::RegKey fromMerge(L"SOFTWARE", nullptr);
  ASSERT_EQ(volume::ReadHive(dir / "merged", fromMerge), std::nullopt);
  WriteHive(*software, dir / "ours");
  sim::RegKey fromOurs(L"SOFTWARE", nullptr);
  ASSERT_EQ(volume::ReadHive(dir / "ours", fromOurs), std::nullopt);
  EXPECT_EQ(DumpTree(fromMerge), DumpTree(*software));
  EXPECT_EQ(DumpTree(fromOurs), DumpTree(*software));
}

}  // namespace
}  // namespace zc::test
