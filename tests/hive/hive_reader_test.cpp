// Reading hive files through libhivex: what a hive holds comes back
// exactly, and every damaged file is refused with its name.
#include "platform/volume/hive_reader.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "hive/hive_samples.h"
#include "hive/hive_support.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace zc::volume {
namespace {

using test::DumpTree;
using test::FillSample;
using test::FindBytes;
using test::HiveOptions;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(HiveReader, GivesBackEveryNameTypeDataAndOrderAsTheHiveHoldsThem) {
  for (const bool utf16 : {false, true}) {
    SCOPED_TRACE(utf16 ? "names as UTF-16" : "names as 8-bit text where they fit");
    TempDir dir;
    sim::RegKey source(L"SOFTWARE", nullptr);
    FillSample(source);
    HiveOptions options;
    options.utf16Names = utf16;
    test::WriteHive(source, dir / "SOFTWARE", options);

    sim::RegKey read(L"SOFTWARE", nullptr);
    HiveReadResult result;
    ASSERT_EQ(ReadHive(dir / "SOFTWARE", read, &result), std::nullopt);
    EXPECT_EQ(DumpTree(read), DumpTree(source));
    EXPECT_FALSE(result.dirty);
    EXPECT_EQ(result.keys, 9u);  // the root and eight keys
    EXPECT_EQ(result.values, 16u);
    // Enumeration order of values is the hive's, not the alphabet's.
    const sim::RegKey* cv = read.FindSubKey(L"Microsoft")->FindSubKey(L"Windows NT")->FindSubKey(L"CurrentVersion");
    EXPECT_EQ(cv->values().At(cv->values().size() - 2)->name, L"Zulu");
  }
}

TEST(HiveReader, AnEmptyHiveHoldsOnlyItsRoot) {
  TempDir dir;
  WriteBytes(dir / "SYSTEM", test::EmptyHiveBytes());
  sim::RegKey read(L"SYSTEM", nullptr);
  HiveReadResult result;
  ASSERT_EQ(ReadHive(dir / "SYSTEM", read, &result), std::nullopt);
  EXPECT_EQ(read.SubKeyCount(), 0u);
  EXPECT_TRUE(read.values().empty());
  EXPECT_EQ(result.keys, 1u);
}

TEST(HiveReader, ReadsLongKeyListsManyValuesAndLargeData) {
  TempDir dir;
  sim::RegKey source(L"SOFTWARE", nullptr);
  sim::RegKey* wide = source.CreateSubKey(L"Wide");  // more sub-keys than one list holds
  for (int i = 0; i < 2500; ++i) wide->CreateSubKey(L"Key" + std::to_wstring(i));
  sim::RegKey* shared = source.CreateSubKey(L"SharedDlls");
  for (int i = 0; i < 20000; ++i) shared->SetDword(L"C:\\Program Files\\File" + std::to_wstring(i) + L".dll", i);
  std::vector<std::uint8_t> large(100000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 7);
  source.SetValue(L"Large", regtype::kBinary, large);  // more than one data cell holds
  test::WriteHive(source, dir / "SOFTWARE");

  sim::RegKey read(L"SOFTWARE", nullptr);
  ASSERT_EQ(ReadHive(dir / "SOFTWARE", read), std::nullopt);
  EXPECT_EQ(read.FindSubKey(L"Wide")->SubKeyCount(), 2500u);
  EXPECT_EQ(read.FindSubKey(L"SharedDlls")->values().size(), 20000u);
  EXPECT_EQ(read.FindValue(L"Large")->data, large);
  EXPECT_EQ(DumpTree(read), DumpTree(source));
}

TEST(HiveReader, ADirtyHiveIsReadAsItIsAndSaidToBeDirty) {
  TempDir dir;
  sim::RegKey source(L"SOFTWARE", nullptr);
  FillSample(source);
  HiveOptions options;
  options.dirty = true;
  test::WriteHive(source, dir / "SOFTWARE", options);
  sim::RegKey read(L"SOFTWARE", nullptr);
  HiveReadResult result;
  ASSERT_EQ(ReadHive(dir / "SOFTWARE", read, &result), std::nullopt);
  EXPECT_TRUE(result.dirty);
  EXPECT_EQ(DumpTree(read), DumpTree(source));
}

// The message names the file and says what is wrong.
void ExpectRefused(const std::filesystem::path& file, const std::string& what) {
  sim::RegKey read(L"SOFTWARE", nullptr);
  const auto error = ReadHive(file, read);
  ASSERT_TRUE(error.has_value()) << what;
  EXPECT_EQ(error->rfind(file.string() + ": ", 0), 0u) << *error;
  EXPECT_NE(error->find(what), std::string::npos) << *error;
}

TEST(HiveReader, RefusesAFileThatIsNoHive) {
  TempDir dir;
  ExpectRefused(dir / "SOFTWARE", "cannot be read");  // missing
  WriteBytes(dir / "empty", {});
  ExpectRefused(dir / "empty", "not a registry hive");
  test::WriteHostFile(dir / "text", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n");
  ExpectRefused(dir / "text", "not a registry hive");
  test::WriteHostFile(dir / "short", "regf");
  ExpectRefused(dir / "short", "truncated");
  std::filesystem::create_directories(dir / "folder");
  ExpectRefused(dir / "folder", "cannot be read");  // a folder where the file should be
  // A FIFO or a device is refused at once, never waited on or read without end.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  ExpectRefused(dir / "fifo", "not a regular file");
  std::filesystem::create_symlink("/dev/zero", dir / "zero");
  ExpectRefused(dir / "zero", "not a regular file");
}

TEST(HiveReader, RefusesATruncatedHiveWhereverItIsCut) {
  TempDir dir;
  sim::RegKey source(L"SOFTWARE", nullptr);
  FillSample(source);
  for (int i = 0; i < 300; ++i) source.CreateSubKey(L"Filler" + std::to_wstring(i))->SetDword(L"n", i);
  const auto whole = test::HiveBytes(source);
  ASSERT_GT(whole.size(), 3 * 4096u);
  for (const std::size_t size : {std::size_t{100}, std::size_t{4095}, std::size_t{4096}, std::size_t{4096 + 32},
                                 whole.size() / 2, whole.size() - 4096, whole.size() - 1}) {
    SCOPED_TRACE(size);
    WriteBytes(dir / "SOFTWARE", std::vector<std::uint8_t>(whole.begin(), whole.begin() + size));
    ExpectRefused(dir / "SOFTWARE", "truncated");
  }
}

TEST(HiveReader, RefusesACorruptedHive) {
  TempDir dir;
  sim::RegKey source(L"SOFTWARE", nullptr);
  FillSample(source);
  source.SetString(L"BrokenData", L"long enough to need a data cell");
  const auto good = test::HiveBytes(source);

  {  // A base block whose checksum does not match.
    auto bytes = good;
    bytes[0x30] ^= 0x55;
    WriteBytes(dir / "SOFTWARE", bytes);
    ExpectRefused(dir / "SOFTWARE", "corrupted");
  }
  {  // A root cell that is no key.
    auto bytes = good;
    const std::size_t root = 0x1000 + Le32(bytes, 0x24) + 4;
    ASSERT_EQ(bytes[root], 'n');
    bytes[root] = 'x';
    WriteBytes(dir / "SOFTWARE", bytes);
    ExpectRefused(dir / "SOFTWARE", "registry hive");
  }
  {  // A value whose data lies outside the hive.
    auto bytes = good;
    const std::size_t name = FindBytes(bytes, "BrokenData");
    ASSERT_NE(name, std::string::npos);
    Put32(bytes, name - 0x14 + 0x08, 0x7FFFFF00);
    WriteBytes(dir / "SOFTWARE", bytes);
    ExpectRefused(dir / "SOFTWARE", "\"BrokenData\" of SOFTWARE cannot be read");
  }
  {  // A hive bin whose signature is gone.
    auto bytes = good;
    ASSERT_EQ(bytes[0x1000], 'h');
    bytes[0x1000] = 'x';
    WriteBytes(dir / "SOFTWARE", bytes);
    ExpectRefused(dir / "SOFTWARE", "registry hive");
  }
}

TEST(HiveReader, RefusesWhatWindowsNeverWrites) {
  TempDir dir;
  sim::RegKey source(L"SOFTWARE", nullptr);
  sim::RegKey* parent = source.CreateSubKey(L"Parent");
  parent->CreateSubKey(L"DupA");
  parent->CreateSubKey(L"DupB")->CreateSubKey(L"Child");
  parent->SetDword(L"ValA", 1);
  parent->SetDword(L"ValB", 2);
  parent->CreateSubKey(L"Name/");
  const auto good = test::HiveBytes(source);
  {
    sim::RegKey read(L"SOFTWARE", nullptr);
    WriteBytes(dir / "SOFTWARE", good);
    ASSERT_EQ(ReadHive(dir / "SOFTWARE", read), std::nullopt);
  }
  {  // Two sub-keys of one name.
    auto bytes = good;
    bytes[FindBytes(bytes, "DupB") + 3] = 'A';
    WriteBytes(dir / "SOFTWARE", bytes);
    ExpectRefused(dir / "SOFTWARE", "SOFTWARE\\Parent has two sub-keys named \"DupA\"");
  }
  {  // Two values of one name.
    auto bytes = good;
    bytes[FindBytes(bytes, "ValB") + 3] = 'A';
    WriteBytes(dir / "SOFTWARE", bytes);
    ExpectRefused(dir / "SOFTWARE", "SOFTWARE\\Parent holds two values named \"ValA\"");
  }
  {  // A key name with a backslash.
    auto bytes = good;
    bytes[FindBytes(bytes, "Name/") + 4] = '\\';
    WriteBytes(dir / "SOFTWARE", bytes);
    ExpectRefused(dir / "SOFTWARE", "a sub-key whose name the registry cannot hold");
  }
  {  // A sub-key list that leads back to the root: a loop.
    auto bytes = good;
    const std::size_t childName = FindBytes(bytes, "Child");
    const std::uint32_t child = static_cast<std::uint32_t>(childName - 0x4C - 4 - 0x1000);
    const std::uint32_t root = Le32(bytes, 0x24);
    std::size_t entry = std::string::npos;
    for (std::size_t at = 0x1000; at + 4 <= bytes.size(); at += 4) {
      if (Le32(bytes, at) == child && bytes[at - 4] == 'l' && bytes[at - 3] == 'h') entry = at;
    }
    ASSERT_NE(entry, std::string::npos);
    Put32(bytes, entry, root);
    WriteBytes(dir / "SOFTWARE", bytes);
    ExpectRefused(dir / "SOFTWARE", "corrupted registry hive");
  }
}

}  // namespace
}  // namespace zc::volume
