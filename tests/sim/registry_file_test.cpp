#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/reg_file.h"
#include "platform/sim/reg_store.h"
#include "platform/text.h"

namespace zc::sim {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> out;
  for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

// A file as regedit writes it: UTF-16LE with BOM.
std::vector<std::uint8_t> Utf16File(std::wstring_view text) {
  std::vector<std::uint8_t> out{0xFF, 0xFE};
  auto body = ToUtf16Le(text);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<std::uint8_t> EightBit(std::string_view text) { return {text.begin(), text.end()}; }

std::wstring AsText(const std::vector<std::uint8_t>& file) {
  EXPECT_GE(file.size(), 2u);
  EXPECT_EQ(file[0], 0xFF);
  EXPECT_EQ(file[1], 0xFE);
  return FromUtf16Le(file.data() + 2, file.size() - 2);
}

const RegValue* Value(const RegStore& store, Hive hive, std::wstring_view path, std::wstring_view name) {
  const RegKey* key = store.FindKey(hive, path);
  return key == nullptr ? nullptr : key->FindValue(name);
}

std::optional<RegFileError> Load(RegStore& store, const std::vector<std::uint8_t>& bytes) {
  return LoadRegText(bytes, "machine/registry.reg", store);
}

TEST(RegFileWrite, RegeditLayout) {
  RegStore store;
  RegKey* key = store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor");
  key->SetString(L"", L"default");
  key->SetString(L"Path", L"C:\\Program Files\\Vendor \"Q\"");
  key->SetDword(L"Count", 0xA);
  key->SetValue(L"ShellState", regtype::kBinary,
                Bytes({0x24, 0, 0, 0, 0x34, 0x28, 0,    0, 0, 0, 0, 0, 0, 0, 0,    0, 0, 0,
                       0,    0, 1, 0, 0,    0,    0x13, 0, 0, 0, 0, 0, 0, 0, 0x72, 0, 0, 0}));
  key->SetString(L"Expand", L"%SystemRoot%\\system32", regtype::kExpandSz);
  key->SetValue(L"Empty", regtype::kBinary, {});
  key->SetValue(L"Q\\\"", regtype::kQword, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor\\Empty Key");
  store.CreateKey(Hive::kUsers, L".DEFAULT")->SetDword(L"x", 0);

  const std::wstring expected =
      L"Windows Registry Editor Version 5.00\r\n"
      L"\r\n"
      L"[HKEY_LOCAL_MACHINE]\r\n"
      L"\r\n"
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
      L"\r\n"
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n"
      L"@=\"default\"\r\n"
      L"\"Path\"=\"C:\\\\Program Files\\\\Vendor \\\"Q\\\"\"\r\n"
      L"\"Count\"=dword:0000000a\r\n"
      L"\"ShellState\"=hex:24,00,00,00,34,28,00,00,00,00,00,00,00,00,00,00,00,00,00,00,\\\r\n"
      L"  01,00,00,00,13,00,00,00,00,00,00,00,72,00,00,00\r\n"
      L"\"Expand\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,\\\r\n"
      L"  00,25,00,5c,00,73,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,00,00\r\n"
      L"\"Empty\"=hex:\r\n"
      L"\"Q\\\\\\\"\"=hex(b):01,02,03,04,05,06,07,08\r\n"
      L"\r\n"
      L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Empty Key]\r\n"
      L"\r\n"
      L"[HKEY_USERS]\r\n"
      L"\r\n"
      L"[HKEY_USERS\\.DEFAULT]\r\n"
      L"\"x\"=dword:00000000\r\n"
      L"\r\n";
  EXPECT_EQ(AsText(WriteRegText(store)), expected);
}

TEST(RegFileWrite, LongHexWrapsAtRegeditWidth) {
  RegStore store;
  std::vector<std::uint8_t> data(60);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  store.CreateKey(Hive::kLocalMachine, L"S")->SetValue(L"Bin", regtype::kBinary, data);
  const std::wstring text = AsText(WriteRegText(store));
  // "Bin"=hex: takes 10 columns: 23 bytes fit before the line passes 77;
  // continuation lines hold 25 bytes after their two blanks.
  const std::wstring expected =
      L"\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
      L"  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\r\n"
      L"  30,31,32,33,34,35,36,37,38,39,3a,3b\r\n";
  EXPECT_NE(text.find(expected), std::wstring::npos) << ToUtf8(text);
}

TEST(RegFileWrite, StringsTheQuotedFormCannotCarryGoAsHex) {
  RegStore store;
  RegKey* key = store.CreateKey(Hive::kLocalMachine, L"S");
  key->SetValue(L"NoNul", regtype::kSz, Bytes({'a', 0, 'b', 0}));
  key->SetValue(L"Inner", regtype::kSz, Bytes({'a', 0, 0, 0, 'b', 0, 0, 0}));
  key->SetValue(L"Odd", regtype::kSz, Bytes({'a', 0, 0}));
  key->SetValue(L"Lines", regtype::kSz, Bytes({'a', 0, '\n', 0, 0, 0}));
  key->SetValue(L"ShortDword", regtype::kDword, Bytes({1, 2}));
  const std::wstring text = AsText(WriteRegText(store));
  EXPECT_NE(text.find(L"\"NoNul\"=hex(1):61,00,62,00\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"Inner\"=hex(1):61,00,00,00,62,00,00,00\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"Odd\"=hex(1):61,00,00\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"Lines\"=hex(1):61,00,0a,00,00,00\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"ShortDword\"=hex(4):01,02\r\n"), std::wstring::npos);
}

TEST(RegFileRoundTrip, ReadsBackAndWritesOutByteForByte) {
  RegStore store;
  RegKey* key = store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Classes\\Installer\\Products\\ABC");
  key->SetString(L"ProductName", L"Caf\u00e9 \u4e2d\U0001F600");
  key->SetValue(L"Unknown", 0x12345678, Bytes({0xDE, 0xAD}));
  key->SetValue(L"None", regtype::kNone, {});
  key->SetValue(L"Multi", regtype::kMultiSz, Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
  key->SetValue(L"Odd", regtype::kSz, Bytes({'x', 0, 'y'}));
  key->SetValue(L"name\nwith\rcontrols\\", regtype::kSz, Bytes({0, 0}));
  std::vector<std::uint8_t> big(1000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
  key->SetValue(std::wstring(100, L'n'), regtype::kBinary, big);  // name past the wrap column
  store.CreateKey(Hive::kCurrentUser, L"Software\\Zeta");
  RegKey* shared = store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
  for (int i = 0; i < 50; ++i)
    shared->SetDword(L"C:\\dll" + std::to_wstring(49 - i) + L".dll", static_cast<std::uint32_t>(i));

  const auto first = WriteRegText(store);
  RegStore reread;
  ASSERT_EQ(Load(reread, first), std::nullopt);
  EXPECT_EQ(WriteRegText(reread), first);

  const RegValue* product =
      Value(reread, Hive::kLocalMachine, L"SOFTWARE\\Classes\\Installer\\Products\\ABC", L"ProductName");
  ASSERT_NE(product, nullptr);
  EXPECT_EQ(product->data, key->FindValue(L"ProductName")->data);
  EXPECT_EQ(Value(reread, Hive::kLocalMachine, L"SOFTWARE\\Classes\\Installer\\Products\\ABC", L"Odd")->data,
            Bytes({'x', 0, 'y'}));
  EXPECT_EQ(
      Value(reread, Hive::kLocalMachine, L"SOFTWARE\\Classes\\Installer\\Products\\ABC", std::wstring(100, L'n'))->data,
      big);
  const RegKey* dlls = reread.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
  ASSERT_NE(dlls, nullptr);
  EXPECT_EQ(dlls->values().At(0)->name, L"C:\\dll49.dll");  // creation order survives, not sorted
  EXPECT_NE(reread.FindKey(Hive::kCurrentUser, L"Software\\Zeta"), nullptr);
}

TEST(RegFileRead, EncodingsAndHeaders) {
  const std::string body = "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"Name\"=\"caf\xC3\xA9\"\r\n";
  RegStore fromUtf8;
  ASSERT_EQ(Load(fromUtf8, EightBit("Windows Registry Editor Version 5.00" + body)), std::nullopt);
  EXPECT_EQ(fromUtf8.FindKey(Hive::kLocalMachine, L"SOFTWARE\\T")->GetString(L"Name"), L"caf\u00e9");

  RegStore fromBom;
  ASSERT_EQ(Load(fromBom, EightBit("\xEF\xBB\xBFWindows Registry Editor Version 5.00" + body)), std::nullopt);
  EXPECT_EQ(fromBom.FindKey(Hive::kLocalMachine, L"SOFTWARE\\T")->GetString(L"Name"), L"caf\u00e9");

  RegStore fromUtf16NoBom;
  auto noBom = ToUtf16Le(L"Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\T]\n\"Name\"=\"x\"\n");
  ASSERT_EQ(Load(fromUtf16NoBom, noBom), std::nullopt);
  EXPECT_EQ(fromUtf16NoBom.FindKey(Hive::kLocalMachine, L"SOFTWARE\\T")->GetString(L"Name"), L"x");

  // REGEDIT4: 8-bit text; its hex(2) strings are 8-bit too and are widened.
  RegStore fromV4;
  ASSERT_EQ(Load(fromV4, EightBit("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\T]\n\"Name\"=\"caf\xE9\"\n"
                                  "\"Exp\"=hex(2):25,54,25,00\n\"Bin\"=hex:e9\n")),
            std::nullopt);
  const RegKey* v4 = fromV4.FindKey(Hive::kCurrentUser, L"Software\\T");
  ASSERT_NE(v4, nullptr);
  EXPECT_EQ(v4->FindValue(L"Name")->data, Bytes({'c', 0, 'a', 0, 'f', 0, 0xE9, 0, 0, 0}));
  EXPECT_EQ(v4->FindValue(L"Exp")->data, Bytes({'%', 0, 'T', 0, '%', 0, 0, 0}));
  EXPECT_EQ(v4->FindValue(L"Bin")->data, Bytes({0xE9}));

  RegStore bad;
  auto error = Load(bad, EightBit("Windows Registry Editor Version 4.00\r\n"));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 1u);
}

TEST(RegFileRead, EveryValueFormAndContinuations) {
  RegStore store;
  ASSERT_EQ(Load(store, Utf16File(L"Windows Registry Editor Version 5.00\r\n"
                                  L"; a comment\r\n"
                                  L"\r\n"
                                  L"[HKLM\\SOFTWARE\\T]\r\n"
                                  L"@=\"def\"\r\n"
                                  L"\"d\"=dword:DEADbeef\r\n"
                                  L"\"short\"=dword:1\r\n"
                                  L"\"none\"=hex(0):\r\n"
                                  L"\"exp\"=hex(2):41,00,\\\r\n"
                                  L"    00,00\r\n"
                                  L"\"multi\"=hex(7):61,00,00,00,\\\r\n"
                                  L"\t62,00,00,00,\\\r\n"
                                  L"  00,00\r\n"
                                  L"\"q\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                                  L"\"odd\"=hex(ABCDEF01):1,a , ff\r\n"
                                  L"  \"spaced\" = \"v\"  \r\n")),
            std::nullopt);
  const RegKey* key = store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\T");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->values().size(), 9u);
  EXPECT_EQ(key->GetString(L""), L"def");
  EXPECT_EQ(key->GetDword(L"d"), 0xDEADBEEFu);
  EXPECT_EQ(key->GetDword(L"short"), 1u);
  EXPECT_EQ(key->FindValue(L"none")->type, regtype::kNone);
  EXPECT_TRUE(key->FindValue(L"none")->data.empty());
  EXPECT_EQ(key->FindValue(L"exp")->type, regtype::kExpandSz);
  EXPECT_EQ(key->FindValue(L"exp")->data, Bytes({0x41, 0, 0, 0}));
  EXPECT_EQ(key->FindValue(L"multi")->data, Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
  EXPECT_EQ(key->FindValue(L"q")->type, regtype::kQword);
  EXPECT_EQ(key->FindValue(L"odd")->type, 0xABCDEF01u);
  EXPECT_EQ(key->FindValue(L"odd")->data, Bytes({1, 0xA, 0xFF}));
  EXPECT_EQ(key->GetString(L"spaced"), L"v");
}

TEST(RegFileRead, RootAliasesAndDeletions) {
  RegStore store;
  ASSERT_EQ(Load(store, Utf16File(L"Windows Registry Editor Version 5.00\n\n"
                                  L"[HKEY_CLASSES_ROOT\\.txt]\n@=\"txtfile\"\n\n"
                                  L"[HKEY_CURRENT_CONFIG\\Software]\n\"c\"=dword:1\n\n"
                                  L"[HKU\\S-1-5-18]\n\n"
                                  L"[HKLM\\SOFTWARE\\Gone\\Child]\n\"x\"=\"1\"\n\n"
                                  L"[HKLM\\SOFTWARE\\Stay]\n\"keep\"=\"1\"\n\"drop\"=\"1\"\n\"drop\"=-\n\n"
                                  L"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\n"
                                  L"\"ignored\"=\"after a deleted key\"\n")),
            std::nullopt);
  EXPECT_EQ(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Classes\\.txt")->GetString(L""), L"txtfile");
  EXPECT_NE(store.FindKey(Hive::kLocalMachine, L"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\Software"),
            nullptr);
  EXPECT_NE(store.FindKey(Hive::kUsers, L"S-1-5-18"), nullptr);
  EXPECT_EQ(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Gone"), nullptr);
  const RegKey* stay = store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Stay");
  EXPECT_NE(stay->FindValue(L"keep"), nullptr);
  EXPECT_EQ(stay->FindValue(L"drop"), nullptr);
}

TEST(RegFileImport, AppliesOntoTheExistingStore) {
  RegStore store;
  store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Old")->SetDword(L"v", 1);
  store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Keep")->SetDword(L"v", 1);
  ASSERT_EQ(ImportRegText(EightBit("Windows Registry Editor Version 5.00\n"
                                   "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n"
                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Keep]\n\"v\"=-\n\"w\"=dword:2\n"),
                          "fragment.reg", store),
            std::nullopt);
  EXPECT_EQ(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Old"), nullptr);
  EXPECT_EQ(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Keep")->GetDword(L"v"), std::nullopt);
  EXPECT_EQ(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Keep")->GetDword(L"w"), 2u);
}

struct Malformed {
  const char* text;
  std::size_t line;
  const char* fragment;  // part of the message
};

TEST(RegFileRead, MalformedFilesAreRefusedWithFileAndLineAndChangeNothing) {
  const Malformed cases[] = {
      {"Windows Registry Editor Version 5.00\n\n\"v\"=\"outside\"\n", 3, "outside a key"},
      {"Windows Registry Editor Version 5.00\n[HKEY_NOWHERE\\X]\n", 2, "unknown root key"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A\\\\B]\n", 2, "empty key name"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A\n", 2, "must end with ']'"},
      {"Windows Registry Editor Version 5.00\n[-HKLM]\n", 2, "root key cannot be deleted"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=\"no end\n", 3, "missing closing quote"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=\"C:\\Temp\"\n", 3, "unknown escape"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=dword:123456789\n", 3, "1 to 8"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=dword:12 x\n", 3, "unexpected text"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex:01,\\\n  02,zz\n", 4, "bad byte"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex:01 02\n", 3, "expected ','"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex:123\n", 3, "more than two digits"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex(xyz):01\n", 3, "bad value type"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex:01,\\", 3, "ends inside"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=str:\"x\"\n", 3, "unrecognised value data"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\nv=\"x\"\n", 3, "expected a key"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\" \"x\"\n", 3, "expected '='"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    RegStore store;
    store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Before")->SetDword(L"v", 7);
    const auto before = WriteRegText(store);
    auto error = Load(store, EightBit(c.text));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->file, "machine/registry.reg");
    EXPECT_EQ(error->line, c.line);
    EXPECT_NE(error->message.find(c.fragment), std::string::npos) << error->message;
    EXPECT_EQ(error->ToString().rfind("machine/registry.reg, line " + std::to_string(c.line) + ": ", 0), 0u);
    EXPECT_EQ(WriteRegText(store), before);
    // An import of the same text is all or nothing too.
    EXPECT_TRUE(ImportRegText(EightBit(c.text), "fragment.reg", store));
    EXPECT_EQ(WriteRegText(store), before);
  }
}

class RegFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zc_regfile_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(RegFileOnDisk, SaveIsAtomicAndLoadReadsItBack) {
  RegStore store;
  store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor")->SetString(L"InstallLocation", L"C:\\V\\");
  const auto file = dir_ / "registry.reg";
  { std::ofstream(file) << "old contents"; }
  ::chmod(file.c_str(), 0640);
  ASSERT_EQ(SaveRegFile(file, store), std::nullopt);

  std::vector<std::filesystem::path> entries;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) entries.push_back(entry.path());
  EXPECT_EQ(entries, std::vector<std::filesystem::path>{file});  // no temporary file left
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  RegStore loaded;
  ASSERT_EQ(LoadRegFile(file, loaded), std::nullopt);
  EXPECT_EQ(loaded.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor")->GetString(L"InstallLocation"), L"C:\\V\\");
  EXPECT_EQ(WriteRegText(loaded), WriteRegText(store));
}

TEST_F(RegFileOnDisk, FileErrorsNameTheFile) {
  RegStore store;
  store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Kept");
  auto missing = LoadRegFile(dir_ / "absent.reg", store);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->line, 0u);
  EXPECT_NE(missing->ToString().find("absent.reg: cannot open"), std::string::npos) << missing->ToString();
  EXPECT_NE(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Kept"), nullptr);

  auto unwritable = SaveRegFile(dir_ / "no-such-folder" / "registry.reg", store);
  ASSERT_TRUE(unwritable);
  EXPECT_NE(unwritable->message.find("temporary file"), std::string::npos);

  const auto bad = dir_ / "bad.reg";
  { std::ofstream(bad) << "Windows Registry Editor Version 5.00\n[HKLM\\A]\n@=dword:\n"; }
  auto refused = LoadRegFile(bad, store);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->file, bad.string());
  EXPECT_EQ(refused->line, 3u);
  EXPECT_NE(store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Kept"), nullptr);
}

}  // namespace
}  // namespace zc::sim
