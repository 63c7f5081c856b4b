// Windows paths as Windows reads them: the module the scope guard, the
// simulated file system and the side-file readers share.
#include "safety/win_path.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace zc::winpath {
namespace {

std::string Norm(const wchar_t* text, const wchar_t* current = L"C:\\Tools") {
  return ToUtf8(Normalise(text, current));
}

TEST(WinPath, DrivePathsAreNormalisedAsWin32NormalisesThem) {
  EXPECT_EQ(Norm(L"C:\\a\\b"), "C:\\a\\b");
  EXPECT_EQ(Norm(L"c:/a//b/"), "C:\\a\\b");
  EXPECT_EQ(Norm(L"C:\\a\\.\\b\\..\\c"), "C:\\a\\c");
  EXPECT_EQ(Norm(L"C:\\WINDOWS\\"), "C:\\WINDOWS");
  EXPECT_EQ(Norm(L"C:\\"), "C:\\");
  EXPECT_EQ(Norm(L"C:"), "C:\\Tools");  // the drive's current directory
  // ".." never climbs above the drive's root.
  EXPECT_EQ(Norm(L"C:\\..\\..\\WINDOWS"), "C:\\WINDOWS");
  // One trailing period goes from every name; the last name loses all its
  // trailing periods and blanks; a blank inside the path stays.
  EXPECT_EQ(Norm(L"C:\\WINDOWS.\\system32"), "C:\\WINDOWS\\system32");
  EXPECT_EQ(Norm(L"C:\\WINDOWS. . ."), "C:\\WINDOWS");
  EXPECT_EQ(Norm(L"C:\\a \\b"), "C:\\a \\b");
  EXPECT_EQ(Norm(L"C:\\a..\\b"), "C:\\a..\\b");
  EXPECT_EQ(Norm(L"C:\\a\\...\\b"), "C:\\a\\...\\b");
}

TEST(WinPath, RelativeFormsAreCompletedFromTheCurrentDirectory) {
  EXPECT_EQ(Norm(L"x\\..\\..\\..\\y"), "C:\\y");
  EXPECT_EQ(Norm(L"."), "C:\\Tools");
  EXPECT_EQ(Norm(L"\\x", L"D:\\a\\b"), "D:\\x");
  EXPECT_EQ(Norm(L"C:x", L"C:\\Tools"), "C:\\Tools\\x");
  EXPECT_EQ(Norm(L"D:x", L"C:\\Tools"), "D:\\x");
  EXPECT_EQ(Norm(L"x", L"\\\\srv\\share\\dir"), "\\\\srv\\share\\dir\\x");
  EXPECT_EQ(Norm(L"..\\..\\..", L"\\\\srv\\share\\dir"), "\\\\srv\\share");
  // Without a current directory a relative form is no absolute path.
  EXPECT_EQ(Norm(L"x", L""), "");
  EXPECT_EQ(Norm(L"", L"C:\\Tools"), "");
}

TEST(WinPath, DeviceAndLongPathPrefixesNeverClimbAboveTheDrive) {
  // "\\?\" and "\??\" pass the names on as spelled: "." and ".." are names
  // the file system refuses, so the path is invalid rather than above C:.
  for (const wchar_t* text :
       {L"\\\\?\\C:\\..\\..\\etc", L"\\??\\C:\\a\\..\\..\\..\\x", L"\\\\?\\C:\\.\\x", L"\\\\?\\C:\\a\\\\b"}) {
    const PathView p = Parse(text);
    SCOPED_TRACE(ToUtf8(text));
    EXPECT_EQ(p.form, Form::kDrive);
    EXPECT_TRUE(p.literal);
    EXPECT_EQ(p.error, err::kInvalidName);
    EXPECT_EQ(Normalise(text), L"");
  }
  // Literal names keep their trailing periods; a forward slash is no separator there.
  EXPECT_EQ(ToText(Parse(L"\\\\?\\C:\\a.\\b ")), L"C:\\a.\\b ");
  EXPECT_EQ(Parse(L"\\\\?\\C:\\a/b").error, err::kInvalidName);
  // "\\.\" is normalised, and its drive is as far up as it goes.
  EXPECT_EQ(Norm(L"\\\\.\\C:\\a\\..\\..\\..\\b"), "C:\\b");
  EXPECT_EQ(Norm(L"//./c:/x"), "C:\\x");
  EXPECT_EQ(Norm(L"\\\\?\\UNC\\srv\\share\\x"), "\\\\srv\\share\\x");
  EXPECT_EQ(Norm(L"\\\\srv\\share\\a\\..\\..\\.."), "\\\\srv\\share");
  // Devices that are no drive and no share name no path on a drive.
  EXPECT_EQ(Parse(L"\\\\.\\pipe\\x").form, Form::kOtherDevice);
  EXPECT_EQ(Parse(L"\\\\?\\Volume{0b1e7a3c-0000-0000-0000-100000000000}\\x").form, Form::kOtherDevice);
  EXPECT_EQ(Norm(L"\\\\.\\PhysicalDrive0"), "");
}

TEST(WinPath, NamesWithCharactersNoFileNameHoldsAreInvalid) {
  for (const wchar_t* text : {L"C:\\a<b", L"C:\\a|b", L"C:\\a\"b", L"C:\\file:stream", L"C:\\a*", L"C:\\a\x01"}) {
    EXPECT_EQ(Parse(text).error, err::kInvalidName) << ToUtf8(text);
  }
  EXPECT_EQ(Parse(L"C:\\caf\u00e9 \u4e2d\\x.dll").error, err::kSuccess);
}

TEST(WinPath, ComparisonsHoldAtNameBoundariesInAnyCase) {
  EXPECT_TRUE(IsSameOrBelow(L"C:\\Program Files\\X", L"c:\\program files"));
  EXPECT_TRUE(IsSameOrBelow(L"C:\\PROGRAM FILES", L"C:\\Program Files"));
  EXPECT_FALSE(IsSameOrBelow(L"C:\\Program FilesX", L"C:\\Program Files"));
  EXPECT_FALSE(IsSameOrBelow(L"C:\\Program", L"C:\\Program Files"));
  EXPECT_TRUE(IsSameOrBelow(L"C:\\x", L"C:\\"));
  EXPECT_FALSE(IsSameOrBelow(L"D:\\x", L"C:\\"));
  EXPECT_TRUE(IsBelow(L"C:\\x", L"C:\\"));
  EXPECT_FALSE(IsBelow(L"C:\\", L"C:\\"));
  EXPECT_TRUE(IsBelow(L"\\\\srv\\share\\a", L"\\\\srv\\share"));
  EXPECT_FALSE(IsBelow(L"\\\\srv\\shared", L"\\\\srv\\share"));
  EXPECT_TRUE(SamePath(L"C:\\Users\\\u00c9", L"c:\\USERS\\\u00e9"));
}

TEST(WinPath, ParentsAndNamesOfDriveAndNetworkPaths) {
  EXPECT_EQ(ParentOf(L"C:\\a\\b"), L"C:\\a");
  EXPECT_EQ(ParentOf(L"C:\\a"), L"C:\\");
  EXPECT_EQ(ParentOf(L"C:\\"), L"C:\\");
  EXPECT_EQ(ParentOf(L"\\\\srv\\share\\a"), L"\\\\srv\\share");
  EXPECT_EQ(ParentOf(L"\\\\srv\\share"), L"\\\\srv\\share");
  EXPECT_EQ(LastName(L"C:\\a\\b.dll"), L"b.dll");
  EXPECT_EQ(LastName(L"C:\\"), L"");
  EXPECT_EQ(LastName(L"\\\\srv\\share\\a"), L"a");
  EXPECT_TRUE(IsRoot(L"C:\\"));
  EXPECT_TRUE(IsRoot(L"\\\\srv\\share"));
  EXPECT_FALSE(IsRoot(L"C:\\a"));
  EXPECT_EQ(Join(L"C:\\", L"a"), L"C:\\a");
  EXPECT_EQ(Join(L"C:\\a", L"b"), L"C:\\a\\b");
}

}  // namespace
}  // namespace zc::winpath

namespace zc {
namespace {

TEST(Paths, OnlyDriveRootedPathsAreFullyQualified) {
  for (const wchar_t* yes : {L"C:\\", L"c:\\x", L"Z:/y"}) EXPECT_TRUE(winpath::IsFullyQualified(yes)) << yes;
  for (const wchar_t* no : {L"", L".", L"..\\Tools", L"C:", L"C:x", L"\\", L"\\x", L"\\\\server\\share", L"1:\\x"}) {
    EXPECT_FALSE(winpath::IsFullyQualified(no)) << no;
  }
}

}  // namespace
}  // namespace zc
