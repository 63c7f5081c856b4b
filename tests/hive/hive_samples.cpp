#include "hive/hive_samples.h"

#include "platform/text.h"

namespace zc::test {

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> out;
  for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

}  // namespace

void FillSample(sim::RegKey& root) {
  sim::RegKey* key = root.CreateSubKey(L"Microsoft")->CreateSubKey(L"Windows NT")->CreateSubKey(L"CurrentVersion");
  key->SetString(L"CurrentVersion", L"6.1");
  key->SetString(L"SystemRoot", L"C:\\Windows");
  key->SetString(L"", L"the default value");
  key->SetValue(L"Path", regtype::kExpandSz, ToUtf16Le(std::wstring(L"%SystemRoot%\\system32") + L'\0'));
  key->SetValue(L"List", regtype::kMultiSz, ToUtf16Le(std::wstring(L"one\0two\0\0", 9)));
  key->SetDword(L"Number", 0x12345678);
  key->SetValue(L"Big", regtype::kQword, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  key->SetValue(L"Blob", regtype::kBinary, Bytes({0, 0xff, 0x10}));
  key->SetValue(L"Nothing", regtype::kNone, {});
  key->SetValue(L"Unterminated", regtype::kSz, ToUtf16Le(L"no NUL"));
  key->SetValue(L"Odd type", 0x00123456, Bytes({9, 8, 7, 6, 5}));
  key->SetValue(L"High type", 0xFFFF0012, Bytes({1, 0, 0, 0}));
  key->SetValue(L"BE", regtype::kDwordBigEndian, Bytes({0, 0, 1, 0}));
  // Names in creation order, not alphabetical: values keep it.
  key->SetDword(L"Zulu", 1);
  key->SetDword(L"alpha", 2);
  sim::RegKey* names = root.CreateSubKey(L"Names");
  names->CreateSubKey(L"caf\u00e9 \u00c9t\u00e9");  // Latin-1: stored as 8-bit text
  names->CreateSubKey(L"\u03a9mega \u65e5\u672c");  // needs UTF-16
  names->CreateSubKey(L"MixedCase");
  names->CreateSubKey(L"lower");
  names->SetString(L"\u00fcber \u2603", L"snow \u2603");
}

void FillSampleSystem(sim::RegKey& root) {
  for (const wchar_t* name : {L"ControlSet001", L"ControlSet002"}) {
    sim::RegKey* set = root.CreateSubKey(name);
    sim::RegKey* env = set->CreateSubKey(L"Control")->CreateSubKey(L"Session Manager")->CreateSubKey(L"Environment");
    env->SetString(L"TMP", L"%SystemRoot%\\TEMP", regtype::kExpandSz);
    env->SetString(L"PROCESSOR_ARCHITECTURE", L"x86");
    set->CreateSubKey(L"Services")->CreateSubKey(L"Spooler")->SetDword(L"Start", 2);
  }
  sim::RegKey* select = root.CreateSubKey(L"Select");
  select->SetDword(L"Current", 1);
  select->SetDword(L"Default", 1);
}

}  // namespace zc::test
