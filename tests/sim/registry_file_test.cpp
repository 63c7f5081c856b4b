#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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
  key->SetValue(L"ShortDword", regtype::kDword, Bytes({1, 2}));
  const std::wstring text = AsText(WriteRegText(store));
  EXPECT_NE(text.find(L"\"NoNul\"=hex(1):61,00,62,00\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"Inner\"=hex(1):61,00,00,00,62,00,00,00\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"Odd\"=hex(1):61,00,00\r\n"), std::wstring::npos);
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
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex:01,\\\n  \t", 4, "ends inside"},
      // Continuations regedit imports no value from.
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex(7):4c,69,6e,65,20\\\n,63,00,00\n", 3,
       "must follow a ','"},
      {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex(2):25,50 \\\n  ,41,00\n", 3, "must follow a ','"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex(2):4c,69,\\\n\n\"w\"=\"x\"\n", 4, "empty line"},
      {"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"v\"=hex:11,\\\r\n  \r\n  22\r\n", 4, "empty line"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex:11,22,\\\n\\\n  33\n", 4, "only '\\'"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=hex:11,\\\n  22,\\\n  \\ \n  33\n", 5, "only '\\'"},
      // \0 in a quoted text, in data and in a name.
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=\"one\ntwo\\0\"\n", 4, "\\0 in a quoted text"},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\\0\"=dword:1\n", 3, "\\0 in a quoted text"},
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

std::vector<std::uint8_t> Utf16NoBom(std::wstring_view text) { return ToUtf16Le(text); }

// regedit writes the line breaks of a string value as they are: the value
// spans lines, and every break, blank and escape in it is the value's own.
TEST(RegFileMultiLine, StringValuesSpanLinesAsRegeditWritesThem) {
  const std::wstring file =
      L"Windows Registry Editor Version 5.00\r\n"
      L"\r\n"
      L"[HKEY_CURRENT_USER]\r\n"
      L"\r\n"
      L"[HKEY_CURRENT_USER\\Software]\r\n"
      L"\r\n"
      L"[HKEY_CURRENT_USER\\Software\\Vendor]\r\n"
      L"\r\n"
      L"[HKEY_CURRENT_USER\\Software\\Vendor\\Queries]\r\n"
      L"\"Query\"=\"SELECT Count(*)\r\n"
      L"FROM Table1  \r\n"
      L"  WHERE \\\"a\\\"=\\\\b\"\r\n"
      L"\"LfOnly\"=\"one\ntwo\n\"\r\n"
      L"\"CrOnly\"=\"one\rtwo\"\r\n"
      L"\"Name on\r\ntwo lines\"=dword:00000001\r\n"
      L"\"Empty lines\"=\"\r\n"
      L"\r\n"
      L"\"\r\n"
      L"\"After\"=\"x\"\r\n"
      L"\r\n";
  RegStore store;
  RegFileFormat format;
  ASSERT_EQ(LoadRegText(Utf16File(file), "machine/registry.reg", store, &format), std::nullopt);
  EXPECT_EQ(format, RegFileFormat::Regedit());
  const RegKey* key = store.FindKey(Hive::kCurrentUser, L"Software\\Vendor\\Queries");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->values().size(), 6u);
  EXPECT_EQ(key->GetString(L"Query"), L"SELECT Count(*)\r\nFROM Table1  \r\n  WHERE \"a\"=\\b");
  EXPECT_EQ(key->FindValue(L"Query")->type, regtype::kSz);
  EXPECT_EQ(key->GetString(L"LfOnly"), L"one\ntwo\n");
  EXPECT_EQ(key->GetString(L"CrOnly"), L"one\rtwo");
  EXPECT_EQ(key->GetDword(L"Name on\r\ntwo lines"), 1u);
  EXPECT_EQ(key->FindValue(L"Empty lines")->data, Bytes({'\r', 0, '\n', 0, '\r', 0, '\n', 0, 0, 0}));
  EXPECT_EQ(key->GetString(L"After"), L"x");

  // Written back as it was read.
  EXPECT_EQ(AsText(WriteRegText(store)), file);
}

TEST(RegFileMultiLine, AnUnclosedQuoteNamesTheLineItOpensOn) {
  RegStore store;
  auto error = Load(store, Utf16File(L"Windows Registry Editor Version 5.00\r\n\r\n[HKLM\\A]\r\n"
                                     L"\"v\"=\"x\"\r\n\"w\"=\"open\r\nand on\r\nto the end\r\n"));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 5u);
  EXPECT_NE(error->message.find("missing closing quote"), std::string::npos);

  // A quote that closes on a later line leaves text after it: refused there.
  error = Load(store, Utf16File(L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n"
                                L"\"v\"=\"forgot to close\r\n\"w\"=\"x\"\r\n"));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 4u);
  EXPECT_NE(error->message.find("unexpected text after the value: \"w\"=\"x\"\""), std::string::npos) << error->message;
}

// \n and \r in a quoted text, as Wine's regedit writes them: read as the
// characters they stand for, in names and in data. A NUL in a name, which
// no line of text holds and no escape that regedit reads stands for, is
// written as \0: reading that back refuses it on its line rather than
// reading another name.
TEST(RegFileRead, EscapesOfLineBreaksAsWineWritesThemAndANulInAName) {
  RegStore store;
  ASSERT_EQ(Load(store, Utf16File(L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n"
                                  L"\"one\\ntwo\\rthree\"=\"x\\ny\\rz\"\r\n")),
            std::nullopt);
  const RegKey* key = store.FindKey(Hive::kLocalMachine, L"A");
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->values().size(), 1u);
  EXPECT_EQ(key->values().At(0)->name, L"one\ntwo\rthree");
  EXPECT_EQ(key->values().At(0)->data, Bytes({'x', 0, '\n', 0, 'y', 0, '\r', 0, 'z', 0, 0, 0}));

  RegStore withNul;
  withNul.CreateKey(Hive::kLocalMachine, L"A")
      ->SetValue(std::wstring(L"one\ntwo\0", 8), regtype::kSz,
                 Bytes({'x', 0, '\r', 0, 'z', 0, 0, 0, 'e', 0, 'n', 0, 'd', 0, 0, 0}));
  const std::wstring text = AsText(WriteRegText(withNul));
  EXPECT_NE(text.find(L"\"one\ntwo\\0\"=hex(1):78,00,0d,00,7a,00,00,00,65,00,6e,00,64,00,00,00\r\n"),
            std::wstring::npos)
      << ToUtf8(text);
  RegStore again;
  auto error = Load(again, WriteRegText(withNul));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 7u);
  EXPECT_NE(error->message.find("\\0 in a quoted text"), std::string::npos) << error->message;
}

// String data without its terminating NUL, as an export writes a value
// that lacks it, is read exactly as written, not with the NUL regedit's
// import adds, and written back byte for byte.
TEST(RegFileRead, StringDataWithoutItsNulIsKeptAsWritten) {
  const std::wstring keys = L"[HKEY_LOCAL_MACHINE]\r\n\r\n[HKEY_LOCAL_MACHINE\\S]\r\n";
  const auto utf16 = Utf16File(L"Windows Registry Editor Version 5.00\r\n\r\n" + keys +
                               L"\"sz\"=hex(1):61,00\r\n\"exp\"=hex(2):25,00,50,00,25,00\r\n"
                               L"\"multi\"=hex(7):61,00,00,00,62,00\r\n\r\n");
  const auto v4 = EightBit("REGEDIT4\r\n\r\n" + ToUtf8(keys) +
                           "\"sz\"=hex(1):61\r\n\"exp\"=hex(2):25,50,25\r\n\"multi\"=hex(7):61,00,62\r\n\r\n");
  for (const auto* file : {&utf16, &v4}) {
    RegStore store;
    RegFileFormat form;
    ASSERT_EQ(LoadRegText(*file, "r.reg", store, &form), std::nullopt);
    const RegKey* key = store.FindKey(Hive::kLocalMachine, L"S");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->FindValue(L"sz")->data, Bytes({'a', 0}));
    EXPECT_EQ(key->FindValue(L"exp")->data, Bytes({'%', 0, 'P', 0, '%', 0}));
    EXPECT_EQ(key->FindValue(L"multi")->data, Bytes({'a', 0, 0, 0, 'b', 0}));
    EXPECT_EQ(WriteRegText(store, form), *file);
  }
}

struct Refused {
  std::vector<std::uint8_t> bytes;
  std::size_t line;
  const char* fragment;
};

std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Text a registry file cannot hold: refused with the line, store untouched.
TEST(RegFileRead, TextThatIsNoRegistryFileIsRefusedWithItsLine) {
  const std::wstring good = L"Windows Registry Editor Version 5.00\r\n\r\n[HKLM\\A]\r\n\"v\"=\"x\"\r\n";
  const Refused cases[] = {
      // An odd number of bytes of UTF-16: the last character is cut.
      {Concat(Utf16File(good), Bytes({'a'})), 5, "odd number of bytes"},
      {Concat(Utf16File(L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"v\"=\"x"), Bytes({'y'})), 3,
       "odd number of bytes"},
      {Concat(Utf16NoBom(L"Windows Registry Editor Version 5.00\r\n"), Bytes({'y'})), 2, "odd number of bytes"},
      // Only a byte-order mark.
      {Bytes({0xFF, 0xFE}), 1, "only a byte-order mark"},
      {Bytes({0xEF, 0xBB, 0xBF}), 1, "only a byte-order mark"},
      {{}, 1, "empty"},
      {Bytes({0xFE, 0xFF, 0, 'W'}), 1, "big-endian"},
      // A NUL inside a line of text, in each encoding.
      {Utf16File(std::wstring(L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"v\"=\"a") + L'\0' + L"b\"\r\n"),
       3, "NUL"},
      {Utf16File(std::wstring(L"Windows Registry Editor Version 5.00") + L'\0' + L"\r\n"), 1, "NUL"},
      {EightBit(std::string("Windows Registry Editor Version 5.00\n[HKLM\\A]\n\n\"v\"=\"a") + '\0' + "\"\n"), 4, "NUL"},
      {EightBit(std::string("REGEDIT4\r\n[HKLM\\A]\r\n\"v\"=hex:00,\\\r\n  01") + '\0' + "\r\n"), 4, "NUL"},
      {Bytes({0, 0, 0, 0, 0, 0, 0, 0}), 1, "NUL"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment + std::string(" at line ") + std::to_string(c.line));
    RegStore store;
    store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Before")->SetDword(L"v", 7);
    const auto before = WriteRegText(store);
    auto error = Load(store, c.bytes);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, c.line);
    EXPECT_NE(error->message.find(c.fragment), std::string::npos) << error->message;
    EXPECT_EQ(WriteRegText(store), before);
  }
}

std::string HexLine(int bytes) {
  std::string line = "\"v\"=hex:";
  for (int i = 0; i < bytes; ++i) line += "00,";
  return line;
}

TEST(RegFileRead, LinesPastTheLimitAreRefusedWithoutReadingOn) {
  RegReadOptions small;
  small.maxLineLength = 64;
  const std::string head = "Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n";
  RegStore store;
  // 64 characters fit; 65 do not, whatever the line holds.
  const std::string fits = "\"v\"=\"" + std::string(58, 'a') + "\"";
  ASSERT_EQ(fits.size(), 64u);
  EXPECT_EQ(LoadRegText(EightBit(head + fits + "\n"), "r.reg", store, nullptr, small), std::nullopt);
  for (const std::string& line : {"\"v\"=\"" + std::string(59, 'a') + "\"", "; " + std::string(63, 'c'), HexLine(34),
                                  "[HKLM\\" + std::string(58, 'k') + "]"}) {
    ASSERT_GE(line.size(), 65u);
    auto error = LoadRegText(EightBit(head + "\n" + line + "\n"), "r.reg", store, nullptr, small);
    ASSERT_TRUE(error) << line;
    EXPECT_EQ(error->line, 4u);
    EXPECT_NE(error->message.find("line longer than 64 characters"), std::string::npos) << error->message;
  }
  // The limit is per line: a value of many short lines is read, up to the
  // same limit for the whole text.
  std::string lines = "\"v\"=\"";
  for (int i = 0; i < 5; ++i) lines += std::string(10, 'a') + "\r\n";
  EXPECT_EQ(LoadRegText(EightBit(head + lines + "\"\r\n"), "r.reg", store, nullptr, small), std::nullopt);
  EXPECT_EQ(store.FindKey(Hive::kLocalMachine, L"A")->GetString(L"v")->size(), 60u);
  for (int i = 0; i < 5; ++i) lines += std::string(10, 'a') + "\r\n";
  auto error = LoadRegText(EightBit(head + lines + "\"\r\n"), "r.reg", store, nullptr, small);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 3u);
  EXPECT_NE(error->message.find("quoted text longer"), std::string::npos) << error->message;
}

TEST(RegFileRead, TheDefaultLimitRefusesALineOf64MiB) {
  std::string text = "Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"v\"=\"";
  text.append(kMaxRegLineLength, 'a');
  text += "\"\n";
  RegStore store;
  auto error = Load(store, EightBit(text));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 3u);
  EXPECT_NE(error->message.find("line longer than 33554432 characters"), std::string::npos) << error->message;
}

// The file is decoded a chunk at a time: a character, a surrogate pair or
// a line break cut by the end of a chunk reads as a whole one.
TEST(RegFileRead, CharactersCutByTheReadingChunksReadWhole) {
  const std::wstring tail = L"\U0001F600\u00e9\u4e2d\r\n";
  for (std::size_t pad = 65500; pad < 65560; ++pad) {
    SCOPED_TRACE(pad);
    const std::wstring head = L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"v\"=\"";
    std::wstring utf16Text = head + std::wstring((pad - 2 - 2 * head.size()) / 2, L'a') + tail + L"\"\r\n";
    RegStore a;
    ASSERT_EQ(Load(a, Utf16File(utf16Text)), std::nullopt);
    const std::wstring expected = utf16Text.substr(head.size(), utf16Text.size() - head.size() - 3);
    EXPECT_EQ(a.FindKey(Hive::kLocalMachine, L"A")->GetString(L"v"), expected);

    // The same in a value name: its character must not come apart, where
    // the first chunk ends and where the second does (a chunk of bytes is
    // read when fewer than eight are left to decode).
    for (std::size_t at : {pad, pad + 65536 - 2}) {
      const std::wstring nameHead = L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"pad\"=\"";
      const std::wstring nameText = nameHead + std::wstring((at - 2 - 2 * nameHead.size()) / 2 - 3, L'a') +
                                    L"\"\r\n\"\U0001F600\u00e9\"=dword:1\r\n";
      RegStore c;
      ASSERT_EQ(Load(c, Utf16File(nameText)), std::nullopt);
      EXPECT_EQ(c.FindKey(Hive::kLocalMachine, L"A")->GetDword(L"\U0001F600\u00e9"), 1u) << at;
    }

    std::string utf8Text = ToUtf8(head) + std::string(pad - ToUtf8(head).size(), 'a') + ToUtf8(tail) + "\"\r\n";
    RegStore b;
    ASSERT_EQ(Load(b, EightBit(utf8Text)), std::nullopt);
    EXPECT_EQ(b.FindKey(Hive::kLocalMachine, L"A")->GetString(L"v"),
              std::wstring(pad - ToUtf8(head).size(), L'a') + tail);
  }
}

// Every form the reader takes is written back in that form, byte for byte.
TEST(RegFileForms, WrittenBackInTheFormTheyWereReadIn) {
  RegStore store;
  RegKey* key = store.CreateKey(Hive::kCurrentUser, L"Software\\Caf\u00e9");
  key->SetString(L"Text", L"Stra\u00dfe\r\nline two");
  key->SetString(L"Expand", L"%TEMP%\\\u00e9", regtype::kExpandSz);
  key->SetValue(L"Multi", regtype::kMultiSz, Bytes({'a', 0, 0, 0, 0xE9, 0, 0, 0, 0, 0}));
  key->SetValue(L"NoNul", regtype::kSz, Bytes({'a', 0}));
  key->SetDword(L"D", 7);
  key->SetValue(L"Bin", regtype::kBinary, std::vector<std::uint8_t>(50, 0xAB));

  const RegFileFormat forms[] = {
      RegFileFormat::Regedit(),
      {RegEncoding::kUtf16Le, false, false, true},
      {RegEncoding::kUtf8, true, false, true},
      {RegEncoding::kUtf8, false, false, true},
      {RegEncoding::kUtf8, false, false, false},
      RegFileFormat::Regedit4(),
      {RegEncoding::kAnsi, false, true, false},
      {RegEncoding::kUtf8, true, true, true},
      {RegEncoding::kUtf16Le, true, true, true},
  };
  for (const auto& form : forms) {
    SCOPED_TRACE(static_cast<int>(form.encoding) * 1000 + form.bom * 100 + form.version4 * 10 + form.crlf);
    RegFileFormat used;
    const auto bytes = WriteRegText(store, form, &used);
    EXPECT_EQ(used, form);
    RegStore reread;
    RegFileFormat found;
    ASSERT_EQ(LoadRegText(bytes, "r.reg", reread, &found), std::nullopt);
    EXPECT_EQ(found, form);
    EXPECT_EQ(WriteRegText(reread, found), bytes);
    EXPECT_EQ(WriteRegText(reread), WriteRegText(store));  // the same registry
  }
  // REGEDIT4 holds string data as 8-bit text.
  const auto v4 = WriteRegText(store, RegFileFormat::Regedit4());
  const std::string text(v4.begin(), v4.end());
  EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER]\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\"Text\"=\"Stra\xDF"
                      "e\r\nline two\"\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"Multi\"=hex(7):61,00,e9,00,00\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"NoNul\"=hex(1):61\r\n"), std::string::npos) << text;
}

TEST(RegFileForms, ARegistryTheFormCannotCarryIsWrittenAsRegeditDoes) {
  struct Case {
    const char* what;
    RegFileFormat form;
    std::function<void(RegKey&)> fill;
  };
  const Case cases[] = {
      {"a name past Latin-1 in REGEDIT4", RegFileFormat::Regedit4(), [](RegKey& k) { k.SetDword(L"\u4e2d", 1); }},
      {"a string past Latin-1 in REGEDIT4", RegFileFormat::Regedit4(), [](RegKey& k) { k.SetString(L"s", L"\u4e2d"); }},
      {"hex(2) data past Latin-1 in REGEDIT4",
       {RegEncoding::kUtf8, true, true, true},
       [](RegKey& k) { k.SetString(L"s", L"\u4e2d", regtype::kExpandSz); }},
      {"odd-sized hex(7) data in REGEDIT4", RegFileFormat::Regedit4(),
       [](RegKey& k) {
         k.SetValue(L"m", regtype::kMultiSz, Bytes({'a', 0, 0}));
       }},
      {"an unpaired surrogate in UTF-8",
       {RegEncoding::kUtf8, true, false, true},
       [](RegKey& k) { k.SetDword(std::wstring(1, static_cast<wchar_t>(0xD800)), 1); }},
      {"8-bit text with a version 5 header", {RegEncoding::kAnsi, false, false, true}, [](RegKey&) {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RegStore store;
    c.fill(*store.CreateKey(Hive::kLocalMachine, L"S"));
    RegFileFormat used;
    const auto bytes = WriteRegText(store, c.form, &used);
    EXPECT_EQ(used, RegFileFormat::Regedit());
    EXPECT_EQ(bytes, WriteRegText(store));
  }
  // An unpaired surrogate in a string value goes into UTF-8 as hex(1).
  RegStore store;
  store.CreateKey(Hive::kLocalMachine, L"S")->SetValue(L"s", regtype::kSz, Bytes({0x00, 0xD8, 0, 0}));
  RegFileFormat used;
  const auto bytes = WriteRegText(store, {RegEncoding::kUtf8, false, false, true}, &used);
  EXPECT_EQ(used.encoding, RegEncoding::kUtf8);
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("\"s\"=hex(1):00,d8,00,00\r\n"), std::string::npos);
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
