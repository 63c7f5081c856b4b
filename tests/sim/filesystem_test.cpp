#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/sim_filesystem.h"
#include "support/temp_dir.h"

namespace zc::sim {
namespace {

namespace fs = std::filesystem;
using test::ReadHostFile;
using test::WriteHostFile;

class SimFileSystemTest : public ::testing::Test {
 protected:
  SimFileSystemTest()
      : sim_(
            dir_.path(), [this] { return current_; }, &faults_) {
    fs::create_directories(dir_ / "drive_c");
  }

  fs::path C(const std::string& relative) const { return dir_ / "drive_c" / relative; }
  void File(const std::string& relative, const std::string& content = "x") { WriteHostFile(C(relative), content); }
  void Folder(const std::string& relative) { fs::create_directories(C(relative)); }

  WinError Attr(std::wstring_view path, std::uint32_t* attributes = nullptr) {
    std::uint32_t a = 0;
    const WinError e = sim_.GetAttributes(path, &a);
    if (attributes) *attributes = a;
    return e;
  }

  // Every name FindFirst/FindNext give for a pattern, closing the search.
  std::vector<std::wstring> Find(std::wstring_view pattern, WinError* firstError = nullptr) {
    std::vector<std::wstring> names;
    UniqueFind find(sim_);
    FindData data;
    const WinError e = sim_.FindFirst(pattern, find.put(), &data);
    if (firstError) *firstError = e;
    if (e != err::kSuccess) {
      EXPECT_FALSE(find) << "a failed search hands out no handle";
      return names;
    }
    names.push_back(data.name);
    WinError next;
    while ((next = sim_.FindNext(find.get(), &data)) == err::kSuccess) names.push_back(data.name);
    EXPECT_EQ(next, err::kNoMoreFiles);
    return names;
  }

  test::TempDir dir_;
  std::wstring current_ = L"C:\\Tools";
  FaultPlan faults_;
  SimFileSystem sim_;
};

TEST_F(SimFileSystemTest, DrivesAreFoldersAndNamesResolveWithoutCase) {
  File("Program Files/ZENTA Technologies/Quillo.exe");
  fs::create_directories(dir_ / "drive_d" / "Data");
  std::uint32_t a = 0;
  EXPECT_EQ(Attr(L"c:\\PROGRAM FILES\\zenta technologies\\QUILLO.EXE", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kArchive);
  EXPECT_EQ(sim_.HostPath(L"c:\\program files\\zenta technologies\\quillo.exe"),
            C("Program Files/ZENTA Technologies/Quillo.exe"));
  EXPECT_EQ(Attr(L"d:\\data", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kDirectory);
  EXPECT_EQ(Attr(L"C:\\", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kDirectory);
  // A drive the machine does not have: the path is not found.
  EXPECT_EQ(Attr(L"E:\\Data"), err::kPathNotFound);
  // Forward slashes separate as backslashes do.
  EXPECT_EQ(Attr(L"C:/Program Files/ZENTA Technologies/Quillo.exe"), err::kSuccess);
}

TEST_F(SimFileSystemTest, NormalisesDotsDotDotAndTrailingDotsAndBlanks) {
  File("A/B/f.txt");
  EXPECT_EQ(Attr(L"C:\\A\\.\\B\\..\\B\\f.txt"), err::kSuccess);
  EXPECT_EQ(Attr(L"C:\\..\\..\\A\\B\\f.txt"), err::kSuccess) << "'..' stops at the root";
  EXPECT_EQ(Attr(L"C:\\A\\B\\f.txt."), err::kSuccess);
  EXPECT_EQ(Attr(L"C:\\A\\B\\f.txt . ."), err::kSuccess);
  EXPECT_EQ(Attr(L"C:\\A\\B\\\\f.txt"), err::kSuccess) << "doubled separators collapse";
  EXPECT_EQ(sim_.HostPath(L"C:\\a\\b\\x\\..\\F.TXT."), C("A/B/f.txt"));
}

TEST_F(SimFileSystemTest, RelativePathsStartAtTheCurrentDirectory) {
  File("Tools/sub/f.txt");
  File("top.txt");
  EXPECT_EQ(Attr(L"sub\\f.txt"), err::kSuccess);
  EXPECT_EQ(Attr(L"C:sub\\f.txt"), err::kSuccess) << "drive-relative";
  EXPECT_EQ(Attr(L"\\top.txt"), err::kSuccess) << "root of the current drive";
  EXPECT_EQ(Attr(L"..\\top.txt"), err::kSuccess);
  current_ = L"C:\\";
  EXPECT_EQ(Attr(L"top.txt"), err::kSuccess);
}

TEST_F(SimFileSystemTest, TellsMissingFileFromMissingPathAndBadNames) {
  File("A/f.txt");
  // The name is missing in a folder that exists: 2. A folder on the way is missing: 3.
  EXPECT_EQ(Attr(L"C:\\A\\missing.txt"), err::kFileNotFound);
  EXPECT_EQ(Attr(L"C:\\A\\missing"), err::kFileNotFound);
  EXPECT_EQ(Attr(L"C:\\Missing\\f.txt"), err::kPathNotFound);
  EXPECT_EQ(Attr(L"C:\\Missing\\Deeper\\f.txt"), err::kPathNotFound);
  // A file used as a folder is a path that is not found.
  EXPECT_EQ(Attr(L"C:\\A\\f.txt\\x"), err::kPathNotFound);
  // Characters no name may hold.
  EXPECT_EQ(Attr(L"C:\\A\\f<.txt"), err::kInvalidName);
  EXPECT_EQ(Attr(L"C:\\A\\f|g"), err::kInvalidName);
  EXPECT_EQ(Attr(L"C:\\A\\f\"g"), err::kInvalidName);
  EXPECT_EQ(Attr(L"C:\\A\\b:c"), err::kInvalidName);
  // A network path is not on this machine.
  EXPECT_EQ(Attr(L"\\\\server\\share\\f.txt"), 53u);
}

TEST_F(SimFileSystemTest, PathsLongerThanMaxPathAreRefused) {
  // MAX_PATH (260) counts the terminating NUL: 259 characters are a valid path.
  std::wstring longest = L"C:";
  for (int i = 0; i < 4; ++i) longest += L"\\" + std::wstring(50, L'n');
  longest += L"\\" + std::wstring(259 - longest.size() - 1, L'f');
  ASSERT_EQ(longest.size(), 259u);
  EXPECT_EQ(Attr(longest), err::kPathNotFound);
  EXPECT_EQ(Attr(longest + L"g"), 206u);
  // Counted after normalisation: dots that go away do not count.
  EXPECT_EQ(Attr(longest + L"..."), err::kPathNotFound);
  // The \\?\ prefix lifts the limit.
  EXPECT_EQ(Attr(L"\\\\?\\" + longest + L"g"), err::kPathNotFound);
}

TEST_F(SimFileSystemTest, AttributesTheHostCannotHoldLiveInTheSideTable) {
  File("A/f.txt");
  Folder("A/Sub");
  std::uint32_t a = 0;
  ASSERT_EQ(sim_.SetAttributes(L"c:\\a\\F.TXT", fileattr::kReadOnly | fileattr::kHidden | fileattr::kSystem),
            err::kSuccess);
  ASSERT_EQ(Attr(L"C:\\A\\f.txt", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kReadOnly | fileattr::kHidden | fileattr::kSystem);
  // FILE_ATTRIBUTE_NORMAL clears them all and reads back as NORMAL.
  ASSERT_EQ(sim_.SetAttributes(L"C:\\A\\f.txt", fileattr::kNormal), err::kSuccess);
  ASSERT_EQ(Attr(L"C:\\A\\f.txt", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kNormal);
  // A folder keeps its directory bit whatever is set.
  ASSERT_EQ(sim_.SetAttributes(L"C:\\A\\Sub", fileattr::kHidden | fileattr::kDirectory), err::kSuccess);
  ASSERT_EQ(Attr(L"C:\\A\\Sub", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kHidden | fileattr::kDirectory);
  EXPECT_EQ(sim_.SetAttributes(L"C:\\A\\none", fileattr::kHidden), err::kFileNotFound);
  EXPECT_EQ(sim_.SetAttributes(L"C:\\None\\x", fileattr::kHidden), err::kPathNotFound);

  // The side table is saved and read back by a new file system.
  sim_.SetAttributes(L"C:\\A\\f.txt", fileattr::kReadOnly);
  const fs::path table = dir_ / "file-attributes.txt";
  std::string saveError;
  ASSERT_TRUE(sim_.SaveAttributes(table, &saveError)) << saveError;
  FaultPlan none;
  SimFileSystem again(
      dir_.path(), [] { return std::wstring(L"C:\\"); }, &none);
  std::string error;
  ASSERT_TRUE(again.LoadAttributes(table, &error)) << error;
  ASSERT_EQ(again.GetAttributes(L"C:\\a\\f.txt", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kReadOnly);
  ASSERT_EQ(again.GetAttributes(L"C:\\A\\Sub", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kHidden | fileattr::kDirectory);

  // A malformed side table is refused with its line.
  WriteHostFile(dir_ / "bad-attributes.txt", "; comment\nC:\\A\\f.txt\t1\nC:\\A\\g.txt 1\n");
  SimFileSystem third(
      dir_.path(), [] { return std::wstring(L"C:\\"); }, &none);
  EXPECT_FALSE(third.LoadAttributes(dir_ / "bad-attributes.txt", &error));
  EXPECT_NE(error.find("bad-attributes.txt:3"), std::string::npos) << error;

  // Entries name paths as Windows reads them; one that names none (relative,
  // on a drive the machine has not) is refused with its line.
  WriteHostFile(dir_ / "spelled.txt", "c:/a//f.txt.\t1\nC:\\A\\Sub\\\t2\n");
  SimFileSystem fourth(
      dir_.path(), [] { return std::wstring(L"C:\\"); }, &none);
  ASSERT_TRUE(fourth.LoadAttributes(dir_ / "spelled.txt", &error)) << error;
  ASSERT_EQ(fourth.GetAttributes(L"C:\\A\\f.txt", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kReadOnly);
  ASSERT_EQ(fourth.GetAttributes(L"C:\\A\\Sub", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kHidden | fileattr::kDirectory);
  // So is a value that is not up to eight hexadecimal digits (a sign, a
  // blank, a prefix, a ninth digit would each be read as some other number).
  for (const char* bad :
       {"A\\f.txt\t1\n", "Q:\\A\\f.txt\t1\n", "\\\\?\\C:\\A\\f.txt\t1\n", "C:\\A\\f.txt\t-1\n", "C:\\A\\f.txt\t 1\n",
        "C:\\A\\f.txt\t0x1\n", "C:\\A\\f.txt\t100000001\n", "C:\\A\\f.txt\t\n", "C:\\   \\\t2\n"}) {
    WriteHostFile(dir_ / "odd.txt", bad);
    SimFileSystem fifth(
        dir_.path(), [] { return std::wstring(L"C:\\"); }, &none);
    EXPECT_FALSE(fifth.LoadAttributes(dir_ / "odd.txt", &error)) << bad;
    EXPECT_NE(error.find("odd.txt:1: "), std::string::npos) << error;
  }
  // A file refused at its last line adds none of the lines before it.
  WriteHostFile(dir_ / "half.txt", "C:\\A\\f.txt\t2\nC:\\A\\f.txt\tnope\n");
  ASSERT_FALSE(fourth.LoadAttributes(dir_ / "half.txt", &error));
  EXPECT_NE(error.find("half.txt:2: "), std::string::npos) << error;
  ASSERT_EQ(fourth.GetAttributes(L"C:\\A\\f.txt", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kReadOnly);
}

// A drive mapped write-protected (a Windows volume read in place) refuses
// every change, whatever view of the platform asks; reads go on.
TEST_F(SimFileSystemTest, AWriteProtectedDriveRefusesEveryChange) {
  fs::create_directories(dir_ / "volume" / "Folder");
  WriteHostFile(dir_ / "volume" / "Folder" / "f.txt", "kept");
  sim_.MapDrive(L'C', dir_ / "volume", /*writeProtected=*/true);
  std::uint32_t a = 0;
  ASSERT_EQ(Attr(L"C:\\folder\\F.TXT", &a), err::kSuccess) << "reads the mapped folder, not drive_c";
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\Folder\\f.txt"), err::kWriteProtect);
  EXPECT_EQ(sim_.SetAttributes(L"C:\\Folder\\f.txt", fileattr::kHidden), err::kWriteProtect);
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\Folder"), err::kWriteProtect);
  WinError error = err::kSuccess;
  EXPECT_EQ(sim_.CreateOutputFile(L"C:\\Folder\\f.txt", &error), nullptr);
  EXPECT_EQ(error, err::kWriteProtect);
  EXPECT_EQ(sim_.CreateOutputFile(L"C:\\new.log", &error), nullptr);
  EXPECT_EQ(error, err::kWriteProtect);
  EXPECT_EQ(ReadHostFile(dir_ / "volume" / "Folder" / "f.txt"), "kept");
  EXPECT_FALSE(fs::exists(dir_ / "volume" / "new.log"));
  EXPECT_EQ(sim_.HostPath(L"C:\\Folder\\f.txt"), (dir_ / "volume" / "Folder" / "f.txt").string());
  // Written output goes to the redirect folder instead, if there is one.
  fs::create_directories(dir_ / "out");
  sim_.RedirectOutputFiles(dir_ / "out");
  auto out = sim_.CreateOutputFile(L"C:\\Folder\\f.txt", &error);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(ReadHostFile(dir_ / "volume" / "Folder" / "f.txt"), "kept");
  // A name of 255 characters, which UTF-8 makes longer than a host name may be.
  const std::wstring longName(255, L'\u00e9');
  auto longOut = sim_.CreateOutputFile(L"C:\\" + longName, &error);
  ASSERT_NE(longOut, nullptr) << error;
  EXPECT_TRUE(longOut->Write("x", 1));
  EXPECT_NE(sim_.HostPath(L"C:\\" + longName).string().find((dir_ / "out").string()), std::string::npos);
}

TEST_F(SimFileSystemTest, DeleteFileRefusesReadOnlyFilesAndFolders) {
  File("A/f.txt");
  File("A/ro.txt");
  Folder("A/Sub");
  ASSERT_EQ(sim_.SetAttributes(L"C:\\A\\ro.txt", fileattr::kReadOnly), err::kSuccess);
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\A\\ro.txt"), err::kAccessDenied);
  EXPECT_TRUE(fs::exists(C("A/ro.txt")));
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\A\\Sub"), err::kAccessDenied);
  EXPECT_TRUE(fs::is_directory(C("A/Sub")));
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\A\\missing"), err::kFileNotFound);
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\B\\missing"), err::kPathNotFound);

  // Cleared, it goes; a new file of that name starts with no attributes.
  ASSERT_EQ(sim_.SetAttributes(L"C:\\A\\ro.txt", fileattr::kNormal), err::kSuccess);
  EXPECT_EQ(sim_.DeleteFileAt(L"c:\\a\\RO.TXT"), err::kSuccess);
  EXPECT_FALSE(fs::exists(C("A/ro.txt")));
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\A\\f.txt"), err::kSuccess);

  File("A/again.txt");
  ASSERT_EQ(sim_.SetAttributes(L"C:\\A\\again.txt", fileattr::kReadOnly | fileattr::kHidden), err::kSuccess);
  ASSERT_EQ(sim_.SetAttributes(L"C:\\A\\again.txt", fileattr::kNormal), err::kSuccess);
  ASSERT_EQ(sim_.DeleteFileAt(L"C:\\A\\again.txt"), err::kSuccess);
  File("A/again.txt");
  std::uint32_t a = 0;
  ASSERT_EQ(Attr(L"C:\\A\\again.txt", &a), err::kSuccess);
  EXPECT_EQ(a, fileattr::kArchive);
}

TEST_F(SimFileSystemTest, RemoveDirectoryNeedsAnEmptyFolder) {
  File("A/Sub/f.txt");
  Folder("A/Empty");
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\A\\Sub"), err::kDirNotEmpty);
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\A\\Sub\\f.txt"), 267u) << "ERROR_DIRECTORY for a file";
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\A\\none"), err::kFileNotFound);
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\X\\none"), err::kPathNotFound);
  ASSERT_EQ(sim_.SetAttributes(L"C:\\A\\Empty", fileattr::kReadOnly), err::kSuccess);
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\A\\Empty"), err::kAccessDenied);
  ASSERT_EQ(sim_.SetAttributes(L"C:\\A\\Empty", fileattr::kNormal), err::kSuccess);
  EXPECT_EQ(sim_.RemoveFolder(L"c:\\a\\empty\\"), err::kSuccess);
  EXPECT_FALSE(fs::exists(C("A/Empty")));
}

TEST_F(SimFileSystemTest, AJunctionGoesWithoutWhatItPointsAt) {
  File("Real/keep.txt", "keep");
  fs::create_directory_symlink(C("Real"), C("Link"));
  std::uint32_t a = 0;
  ASSERT_EQ(Attr(L"C:\\Link", &a), err::kSuccess);
  EXPECT_EQ(a & (fileattr::kReparsePoint | fileattr::kDirectory), fileattr::kReparsePoint | fileattr::kDirectory);
  EXPECT_EQ(Attr(L"C:\\link\\KEEP.txt"), err::kSuccess) << "a junction inside the machine is followed";
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\Link"), err::kAccessDenied) << "a folder junction is no file";
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\Link"), err::kSuccess) << "not empty, but a junction goes by itself";
  EXPECT_FALSE(fs::exists(fs::symlink_status(C("Link"))));
  EXPECT_EQ(ReadHostFile(C("Real/keep.txt")), "keep");
}

TEST_F(SimFileSystemTest, LinksLeadingOffTheMachineAreRefused) {
  test::TempDir outside;
  WriteHostFile(outside / "secret.txt", "secret");
  fs::create_directory_symlink(outside.path(), C("Away"));
  fs::create_symlink(outside / "secret.txt", C("away.txt"));
  fs::create_directory_symlink(dir_.path(), C("Up"));  // the machine folder itself is no drive

  EXPECT_EQ(Attr(L"C:\\Away\\secret.txt"), err::kAccessDenied);
  EXPECT_EQ(Attr(L"C:\\Up\\drive_c"), err::kAccessDenied);
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\Away\\secret.txt"), err::kAccessDenied);
  EXPECT_EQ(sim_.SetAttributes(L"C:\\Away\\secret.txt", fileattr::kHidden), err::kAccessDenied);
  WinError e = 0;
  EXPECT_TRUE(Find(L"C:\\Away\\*", &e).empty());
  EXPECT_EQ(e, err::kAccessDenied);
  EXPECT_EQ(sim_.CreateOutputFile(L"C:\\Away\\new.log", &e), nullptr);
  EXPECT_EQ(e, err::kAccessDenied);
  // Writing through a file link that leads off the machine is refused too.
  EXPECT_EQ(sim_.CreateOutputFile(L"C:\\away.txt", &e), nullptr);
  EXPECT_EQ(e, err::kAccessDenied);
  EXPECT_EQ(ReadHostFile(outside / "secret.txt"), "secret");
  EXPECT_FALSE(fs::exists(outside / "new.log"));

  // The links themselves can be removed; their targets stay.
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\Away"), err::kSuccess);
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\away.txt"), err::kSuccess);
  EXPECT_EQ(ReadHostFile(outside / "secret.txt"), "secret");
}

TEST_F(SimFileSystemTest, FindListsInNtfsOrderWithDotsFirstBelowTheRoot) {
  for (const char* name : {"b.txt", "_u.txt", "A.txt", "a1", "Zeta", "~x", "c.DLL"}) File(std::string("Dir/") + name);
  Folder("Dir/Sub");
  // NTFS compares upper-cased names: "A.txt" < "a1" ('.' < '1'), letters before '_' and '~'.
  EXPECT_EQ(Find(L"C:\\Dir\\*"), (std::vector<std::wstring>{L".", L"..", L"A.txt", L"a1", L"b.txt", L"c.DLL", L"Sub",
                                                            L"Zeta", L"_u.txt", L"~x"}));
  EXPECT_EQ(Find(L"c:\\dir\\*.*"), Find(L"C:\\Dir\\*"));
  // At a drive root there is no "." or "..".
  File("root.txt");
  EXPECT_EQ(Find(L"C:\\*"), (std::vector<std::wstring>{L"Dir", L"root.txt"}));
  // A relative pattern searches the current directory.
  File("Tools/t1.txt");
  EXPECT_EQ(Find(L"*.txt"), (std::vector<std::wstring>{L"t1.txt"}));
  EXPECT_EQ(sim_.OpenFindHandles(), 0u);
}

TEST_F(SimFileSystemTest, FindMatchesWindowsWildcards) {
  for (const char* name : {"ZentaTechUpdate.exe", "old-zentatech.log", "zentatech", "Other.dll", "x.DLL", "a.dllx",
                           "noext", "ab.txt", "abc.txt"}) {
    File(std::string("W/") + name);
  }
  EXPECT_EQ(Find(L"C:\\W\\*zentatech*"),
            (std::vector<std::wstring>{L"old-zentatech.log", L"zentatech", L"ZentaTechUpdate.exe"}));
  EXPECT_EQ(Find(L"C:\\W\\*.dll"), (std::vector<std::wstring>{L"Other.dll", L"x.DLL"}));
  EXPECT_EQ(Find(L"C:\\W\\a?.txt"), (std::vector<std::wstring>{L"ab.txt"}));
  EXPECT_EQ(Find(L"C:\\W\\???.txt"), (std::vector<std::wstring>{L"abc.txt"}));
  EXPECT_EQ(Find(L"C:\\W\\noext.*"), (std::vector<std::wstring>{L"noext"}));
  EXPECT_EQ(Find(L"C:\\W\\NOEXT"), (std::vector<std::wstring>{L"noext"})) << "a plain name finds itself";
  EXPECT_EQ(Find(L"C:\\W\\*.*").size(), 11u) << "dots and every name";
  EXPECT_EQ(Find(L"C:\\W\\*").size(), 11u);

  WinError e = 0;
  EXPECT_TRUE(Find(L"C:\\W\\*.xyz", &e).empty());
  EXPECT_EQ(e, err::kFileNotFound) << "an existing folder with no match";
  EXPECT_TRUE(Find(L"C:\\None\\*", &e).empty());
  EXPECT_EQ(e, err::kPathNotFound);
  EXPECT_TRUE(Find(L"C:\\W\\", &e).empty());
  EXPECT_EQ(e, err::kFileNotFound) << "no name to look for";
  EXPECT_EQ(sim_.OpenFindHandles(), 0u);

  EXPECT_TRUE(MatchesWildcard(L"*.*", L"noext"));
  EXPECT_TRUE(MatchesWildcard(L"*ZENTATECH*", L"my zentatech file"));
  EXPECT_FALSE(MatchesWildcard(L"*.dll", L"dll"));
  EXPECT_FALSE(MatchesWildcard(L"a?c", L"ac"));
  EXPECT_TRUE(MatchesWildcard(L"a*b*c", L"aXbYbZc"));
}

TEST_F(SimFileSystemTest, FindReportsAttributesAndHandlesAreOwned) {
  File("F/ro.txt");
  Folder("F/Sub");
  fs::create_directory_symlink(C("F/Sub"), C("F/Junction"));
  sim_.SetAttributes(L"C:\\F\\ro.txt", fileattr::kReadOnly);
  {
    UniqueFind find(sim_);
    FindData data;
    ASSERT_EQ(sim_.FindFirst(L"C:\\F\\*", find.put(), &data), err::kSuccess);
    EXPECT_EQ(data.name, L".");
    EXPECT_EQ(data.attributes, fileattr::kDirectory);
    std::map<std::wstring, std::uint32_t> seen;
    while (sim_.FindNext(find.get(), &data) == err::kSuccess) seen[data.name] = data.attributes;
    EXPECT_EQ(seen[L"ro.txt"], fileattr::kReadOnly);
    EXPECT_EQ(seen[L"Sub"], fileattr::kDirectory);
    EXPECT_EQ(seen[L"Junction"], fileattr::kDirectory | fileattr::kReparsePoint);
    EXPECT_EQ(sim_.OpenFindHandles(), 1u);
    // Past the end it stays at 18.
    EXPECT_EQ(sim_.FindNext(find.get(), &data), err::kNoMoreFiles);
  }
  EXPECT_EQ(sim_.OpenFindHandles(), 0u);
  FindData data;
  EXPECT_EQ(sim_.FindNext(0x100, &data), err::kInvalidHandle);
  EXPECT_EQ(sim_.FindClose(0x100), err::kInvalidHandle);
}

TEST_F(SimFileSystemTest, OutputFilesAreCreatedOrTruncated) {
  File("Temp/old.log", "a long earlier content");
  WinError e = 99;
  {
    auto out = sim_.CreateOutputFile(L"C:\\temp\\OLD.log", &e);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(e, err::kSuccess);
    ASSERT_TRUE(out->Write("ab", 2));
    ASSERT_TRUE(out->Flush());
    EXPECT_EQ(ReadHostFile(C("Temp/old.log")), "ab") << "flushed bytes are on disk";
  }
  EXPECT_EQ(ReadHostFile(C("Temp/old.log")), "ab");
  {
    auto out = sim_.CreateOutputFile(L"C:\\Temp\\new.log", &e);
    ASSERT_NE(out, nullptr);
    out->Write("n", 1);
  }
  EXPECT_EQ(ReadHostFile(C("Temp/new.log")), "n");

  EXPECT_EQ(sim_.CreateOutputFile(L"C:\\NoSuch\\x.log", &e), nullptr);
  EXPECT_EQ(e, err::kPathNotFound);
  EXPECT_EQ(sim_.CreateOutputFile(L"C:\\Temp", &e), nullptr);
  EXPECT_EQ(e, err::kAccessDenied) << "a folder";
  sim_.SetAttributes(L"C:\\Temp\\new.log", fileattr::kReadOnly);
  EXPECT_EQ(sim_.CreateOutputFile(L"C:\\Temp\\new.log", &e), nullptr);
  EXPECT_EQ(e, err::kAccessDenied) << "read-only";
  EXPECT_EQ(ReadHostFile(C("Temp/new.log")), "n");
}

TEST_F(SimFileSystemTest, ScheduledDeletionsGoToTheHandlerUntouched) {
  File("A/busy.dll");
  std::vector<std::wstring> scheduled;
  sim_.SetScheduleDeleteHandler([&](const std::wstring& path) { scheduled.push_back(path); });
  EXPECT_EQ(sim_.ScheduleDeleteAtReboot(L"C:\\A\\busy.dll"), err::kSuccess);
  EXPECT_EQ(scheduled, (std::vector<std::wstring>{L"C:\\A\\busy.dll"}));
  EXPECT_TRUE(fs::exists(C("A/busy.dll"))) << "nothing goes before the restart";
}

TEST_F(SimFileSystemTest, FaultsFailTheNamedCallOnTheNamedPath) {
  File("A/f.txt");
  faults_.Add(FaultRule{"DeleteFile", L"c:\\a\\F.TXT", err::kSharingViolation, 1});
  faults_.Add(FaultRule{"GetFileAttributes", L"*", err::kAccessDenied, 2});
  faults_.Add(FaultRule{"FindFirstFile", L"C:\\A\\*", 21, -1});
  faults_.Add(FaultRule{"MoveFileEx", L"C:\\A\\f.txt", err::kAccessDenied, -1});
  faults_.Add(FaultRule{"CreateFile", L"C:\\A\\out.log", err::kSharingViolation, -1});
  faults_.Add(FaultRule{"RemoveDirectory", L"C:\\A", err::kSharingViolation, -1});

  EXPECT_EQ(Attr(L"C:\\A\\f.txt"), err::kAccessDenied);
  EXPECT_EQ(Attr(L"C:\\A\\none"), err::kAccessDenied);
  EXPECT_EQ(Attr(L"C:\\A\\f.txt"), err::kSuccess) << "the count is used up";
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\A\\f.txt"), err::kSharingViolation);
  EXPECT_TRUE(fs::exists(C("A/f.txt")));
  WinError e = 0;
  Find(L"C:\\A\\*", &e);
  EXPECT_EQ(e, 21u);
  EXPECT_EQ(Find(L"C:\\A\\*.txt"), (std::vector<std::wstring>{L"f.txt"})) << "another pattern is not hit";
  EXPECT_EQ(sim_.ScheduleDeleteAtReboot(L"C:\\A\\f.txt"), err::kAccessDenied);
  EXPECT_EQ(sim_.CreateOutputFile(L"C:\\A\\out.log", &e), nullptr);
  EXPECT_EQ(e, err::kSharingViolation);
  EXPECT_FALSE(fs::exists(C("A/out.log")));
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\A\\f.txt"), err::kSuccess);
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\A"), err::kSharingViolation);
  EXPECT_TRUE(fs::exists(C("A")));
}

}  // namespace
}  // namespace zc::sim
