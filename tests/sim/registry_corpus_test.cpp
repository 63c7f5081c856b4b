// The exports under tests/fixtures/regedit, in the forms regedit writes
// (see the README there): each is read, and written back in its own form
// byte for byte; what they hold is what the registry then holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/reg_file.h"
#include "platform/sim/reg_store.h"
#include "platform/text.h"

namespace zc::sim {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(ZC_SOURCE_DIR) / "tests/fixtures/regedit";

std::vector<std::uint8_t> ReadFixture(const std::string& name) {
  std::ifstream in(kCorpus / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> out;
  for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

std::vector<std::uint8_t> Wide(std::wstring_view text) { return ToUtf16Le(text); }

std::vector<std::uint8_t> MultiSz(std::initializer_list<std::wstring_view> items) {
  std::wstring all;
  for (auto item : items) {
    all += item;
    all += L'\0';
  }
  all += L'\0';
  return Wide(all);
}

struct Fixture {
  const char* name;
  RegFileFormat form;
};

// Every export of a whole hive writes back exactly as it was read.
TEST(RegeditCorpus, EveryWholeHiveExportRoundTripsByteForByte) {
  const Fixture fixtures[] = {
      {"hkcu-utf16.reg", RegFileFormat::Regedit()},
      {"installer-utf16.reg", RegFileFormat::Regedit()},
      {"regedit4.reg", RegFileFormat::Regedit4()},
      {"utf8-bom.reg", {RegEncoding::kUtf8, true, false, true}},
      {"utf8-lf.reg", {RegEncoding::kUtf8, false, false, false}},
  };
  for (const auto& f : fixtures) {
    SCOPED_TRACE(f.name);
    const auto bytes = ReadFixture(f.name);
    ASSERT_FALSE(bytes.empty());
    RegStore store;
    RegFileFormat form;
    ASSERT_EQ(LoadRegFile(kCorpus / f.name, store, &form), std::nullopt);
    EXPECT_EQ(form, f.form);
    RegFileFormat written;
    const auto out = WriteRegText(store, form, &written);
    EXPECT_EQ(written, f.form);
    EXPECT_TRUE(out == bytes) << "written back differently";
    // From memory as from the file.
    RegStore fromText;
    ASSERT_EQ(LoadRegText(bytes, f.name, fromText), std::nullopt);
    EXPECT_EQ(WriteRegText(fromText), WriteRegText(store));
  }
}

// A key exported on its own has no ancestors in the file: read the same,
// and written back with them, after which it is stable.
TEST(RegeditCorpus, ASingleKeyExportReadsAndSettles) {
  RegStore store;
  ASSERT_EQ(LoadRegFile(kCorpus / "uninstall-key.reg", store), std::nullopt);
  const RegKey* entry = store.FindKey(Hive::kLocalMachine,
                                      L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                      L"{4233A874-F8D9-4777-B94C-432B2889509D}");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->values().size(), 24u);
  EXPECT_EQ(entry->GetString(L"DisplayName"), L"Quillo Software 5.2");
  EXPECT_EQ(entry->FindValue(L"UninstallString")->type, regtype::kExpandSz);
  EXPECT_EQ(entry->GetString(L"UninstallString"), L"MsiExec.exe /X{4233A874-F8D9-4777-B94C-432B2889509D}");
  EXPECT_EQ(entry->GetDword(L"EstimatedSize"), 0x2f10u);
  EXPECT_EQ(entry->values().At(0)->name, L"AuthorizedCDFPrefix");  // the file's order

  const auto once = WriteRegText(store);
  RegStore again;
  ASSERT_EQ(LoadRegText(once, "once.reg", again), std::nullopt);
  EXPECT_EQ(WriteRegText(again), once);
}

TEST(RegeditCorpus, TheUserHiveHoldsWhatItSays) {
  RegStore store;
  ASSERT_EQ(LoadRegFile(kCorpus / "hkcu-utf16.reg", store), std::nullopt);
  const RegKey* queries = store.FindKey(Hive::kCurrentUser, L"Software\\Vendor\\Queries");
  ASSERT_NE(queries, nullptr);
  EXPECT_EQ(queries->GetString(L"Query"), L"SELECT Count(*)\r\nFROM Orders\r\nWHERE (Id=0) OR (Name LIKE '%.%')");
  EXPECT_EQ(queries->GetString(L"Banner"), L"  leading blanks\r\n\r\n  a blank line above, trailing blanks  \r\n");
  EXPECT_EQ(queries->GetString(L"Unix"), L"one\ntwo\nthree");
  EXPECT_EQ(queries->GetString(L"Path"), L"C:\\Program Files\\Vendor\\\"Quoted\"\\");
  EXPECT_EQ(queries->GetDword(L"Note\r\nover two lines"), 2u);

  const RegKey* types = store.FindKey(Hive::kCurrentUser, L"Software\\Vendor\\Types");
  ASSERT_NE(types, nullptr);
  struct Expected {
    const wchar_t* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  const Expected expected[] = {
      {L"", regtype::kSz, Wide(std::wstring(L"default value") + L'\0')},
      {L"Empty", regtype::kSz, Bytes({0, 0})},
      {L"None", regtype::kNone, {}},
      {L"NoneWithData", regtype::kNone, Bytes({1, 2, 3})},
      {L"Dword", regtype::kDword, Bytes({0xef, 0xbe, 0xad, 0xde})},
      {L"BigEndian", 5, Bytes({0, 0, 1, 0})},
      {L"EmptyBinary", regtype::kBinary, {}},
      {L"Expand", regtype::kExpandSz, Wide(std::wstring(L"%SystemRoot%\\system32\\drivers\\etc\\hosts") + L'\0')},
      {L"Multi", regtype::kMultiSz, MultiSz({L"first", L"second line", L"", L"after an empty one"})},
      {L"EmptyMulti", regtype::kMultiSz, Bytes({0, 0})},
      {L"Qword", regtype::kQword, Bytes({0x10, 0x32, 0x54, 0x76, 0x98, 0xba, 0xdc, 0xfe})},
      {L"Link", 6, Wide(L"\\Registry\\Machine\\Software\\Target")},
      {L"Custom", 0xffff0011u, Bytes({1})},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(ToUtf8(e.name));
    const RegValue* value = types->FindValue(e.name);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, e.type);
    EXPECT_EQ(value->data, e.data);
  }
  std::vector<std::uint8_t> hundred;
  for (int i = 0; i < 100; ++i) hundred.push_back(static_cast<std::uint8_t>(i));
  EXPECT_EQ(types->FindValue(L"Binary")->data, hundred);

  const RegKey* names = store.FindKey(Hive::kCurrentUser, L"Software\\Vendor\\Names");
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(names->GetDword(L"with \"quotes\" and \\backslashes\\"), 1u);
  EXPECT_EQ(names->GetDword(L"equals=sign; and [brackets]"), 2u);
  EXPECT_EQ(names->GetDword(L"  blanks around  "), 3u);
  EXPECT_EQ(names->GetString(L"@"), L"a name that is an at sign");
  EXPECT_EQ(names->GetString(L" "), L"a name of one blank");
  EXPECT_EQ(names->FindValue(L""), nullptr);  // "@" is no default value

  const RegKey* text = store.FindKey(Hive::kCurrentUser, L"Software\\Vendor\\TEXT \u00c9\u00c8");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->GetString(L"Greek"), L"\u0391\u03b8\u03ae\u03bd\u03b1");
  EXPECT_EQ(text->GetString(L"Han"), L"\u4e2d\u6587\u540d\u79f0");
  EXPECT_EQ(text->FindValue(L"Emoji \U0001F600")->data,
            Wide(std::wstring(L"outside the basic plane \U0001F680") + L'\0'));
  EXPECT_EQ(text->GetString(L"Cyrillic"), L"%APPDATA%\\\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u0430");
  EXPECT_NE(store.FindKey(Hive::kCurrentUser, L"Software\\Vendor\\Empty key"), nullptr);
}

TEST(RegeditCorpus, RegeditFourStringsAreWidenedFromLatin1) {
  RegStore store;
  ASSERT_EQ(LoadRegFile(kCorpus / "regedit4.reg", store), std::nullopt);
  const RegKey* key = store.FindKey(Hive::kCurrentUser, L"Software\\Caf\u00e9");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->GetString(L""), L"Cr\u00e8me br\u00fbl\u00e9e");
  EXPECT_EQ(key->GetString(L"Lines"), L"first line\r\nsecond line, \u00e0 la carte\r\n");
  EXPECT_EQ(key->FindValue(L"Expand")->data, Wide(std::wstring(L"%USERPROFILE%\\Desktop\\\u00c9t\u00e9") + L'\0'));
  EXPECT_EQ(key->FindValue(L"Multi")->data, MultiSz({L"\u00e9t\u00e9", L"hiver"}));
  EXPECT_EQ(key->GetDword(L"Count"), 42u);
  EXPECT_EQ(key->GetString(L"Name with \\ and \""), L"back\\slash");
  EXPECT_EQ(key->FindValue(L"Bin")->data.size(), 56u);
  EXPECT_EQ(key->FindValue(L"Bin")->data.front(), 200);
}

TEST(RegeditCorpus, TheInstallerExportIsAMachineTheInstallerKnows) {
  RegStore store;
  ASSERT_EQ(LoadRegFile(kCorpus / "installer-utf16.reg", store), std::nullopt);
  const RegKey* product =
      store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Classes\\Installer\\Products\\478A3324D9F87774B9C434B2889805D9");
  ASSERT_NE(product, nullptr);
  EXPECT_EQ(product->GetString(L"ProductName"), L"Quillo Software 5.2");
  EXPECT_EQ(product->GetDword(L"Version"), 0x05020000u);
  const RegKey* shared =
      store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->GetDword(L"C:\\Program Files (x86)\\Common Files\\ZENTA\\shared.dll"), 3u);
  const RegKey* other =
      store.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OtherProduct");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->GetString(L"DisplayIcon"), L"\"C:\\Program Files\\Other\\other.exe\",0");
}

}  // namespace
}  // namespace zc::sim
