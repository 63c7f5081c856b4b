#include <gtest/gtest.h>

#include "platform/text.h"

namespace zc {
namespace {

TEST(Utf8, OverlongAndInvalidFormsAreNotCharacters) {
  // C0 BD is an overlong '=': read as one, it split a machine.ini line where
  // the file has no separator (found by fuzzing).
  EXPECT_EQ(FromUtf8("a\xC0\xBD"
                     "b"),
            std::wstring(L"a\uFFFD\uFFFD"
                         L"b"));
  EXPECT_EQ(FromUtf8("\xE0\x80\xA2"), std::wstring(L"\uFFFD\uFFFD\uFFFD"));       // overlong '"'
  EXPECT_EQ(FromUtf8("\xED\xA0\x80").substr(0, 1), std::wstring(L"\uFFFD"));      // a surrogate
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80").substr(0, 1), std::wstring(L"\uFFFD"));  // past U+10FFFF
  EXPECT_EQ(FromUtf8("\xE2\x82"), std::wstring(L"\uFFFD"));                       // cut short
}

TEST(Utf8, RoundTripsEveryPlane) {
  const std::wstring text = L"A\u00e9\u4e2d\U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(L"\u00e9"), "\xC3\xA9");
}

TEST(Utf16, SurrogatePairsAndOddSizes) {
  const std::wstring text = L"x\U0001F600";
  const auto bytes = ToUtf16Le(text);
  EXPECT_EQ(bytes.size(), 6u);
  EXPECT_EQ(FromUtf16Le(bytes.data(), bytes.size()), text);
  EXPECT_EQ(FromUtf16Le(bytes.data(), 3), L"x");  // an odd byte is dropped, not read past
  EXPECT_EQ(Utf16Length(text), 3u);
}

TEST(CaseRules, LowerCasingTouchesOnlyAsciiAndComparisonIgnoresCase) {
  EXPECT_EQ(ToLowerAscii(L"C:\\PROGRAM FILES\\\u00c9T\u00c9"), L"c:\\program files\\\u00c9t\u00c9");
  EXPECT_TRUE(EqualsNoCase(L"\u00e9t\u00e9", L"\u00c9T\u00c9"));
  EXPECT_LT(CompareNoCase(L"abc", L"ABD"), 0);
  EXPECT_LT(CompareNoCase(L"ab", L"ABC"), 0);
}

}  // namespace
}  // namespace zc
