// The simulated file system remembers the folders it has resolved, so that
// a walk does not start from the drive root for every file. What it
// remembers must never make it answer differently from a fresh walk: not
// when a folder is removed, re-created or replaced behind its back, and not
// when it has to forget folders in the middle of a walk.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/sim/sim_filesystem.h"
#include "support/temp_dir.h"

namespace zc::sim {
namespace {

namespace fs = std::filesystem;
using test::ReadHostFile;
using test::WriteHostFile;

class SimFileSystemCacheTest : public ::testing::Test {
 protected:
  SimFileSystemCacheTest()
      : sim_(
            dir_.path(), [] { return std::wstring(L"C:\\"); }, &faults_) {
    fs::create_directories(dir_ / "drive_c");
  }

  fs::path C(const std::string& relative) const { return dir_ / "drive_c" / relative; }
  void File(const std::string& relative, const std::string& content = "x") { WriteHostFile(C(relative), content); }

  WinError Attr(std::wstring_view path, std::uint32_t* attributes = nullptr) {
    std::uint32_t a = 0;
    const WinError e = sim_.GetAttributes(path, &a);
    if (attributes) *attributes = a;
    return e;
  }

  test::TempDir dir_;
  FaultPlan faults_;
  SimFileSystem sim_;
};

TEST_F(SimFileSystemCacheTest, FoldersChangedBehindItsBackAreWalkedAgain) {
  File("Vendor/Product/bin/a.dll");
  File("Vendor/Product/bin/b.dll");
  ASSERT_EQ(Attr(L"C:\\Vendor\\Product\\bin\\a.dll"), err::kSuccess);

  // Removed on the host: a missing folder on the way is 3, the last name 2.
  fs::remove_all(C("Vendor/Product"));
  EXPECT_EQ(Attr(L"C:\\Vendor\\Product\\bin\\b.dll"), err::kPathNotFound);
  EXPECT_EQ(Attr(L"C:\\Vendor\\Product\\bin"), err::kPathNotFound);
  EXPECT_EQ(Attr(L"C:\\Vendor\\Product"), err::kFileNotFound);

  // Made again in another case: found, and named as the disk names it now.
  File("Vendor/PRODUCT/BIN/b.dll", "new");
  EXPECT_EQ(Attr(L"C:\\Vendor\\Product\\bin\\b.dll"), err::kSuccess);
  EXPECT_EQ(sim_.HostPath(L"C:\\Vendor\\Product\\bin\\b.dll"), C("Vendor/PRODUCT/BIN/b.dll"));
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\Vendor\\Product\\bin\\b.dll"), err::kSuccess);
  EXPECT_FALSE(fs::exists(C("Vendor/PRODUCT/BIN/b.dll")));
}

TEST_F(SimFileSystemCacheTest, AFolderReplacedByALinkOffTheMachineIsRefused) {
  test::TempDir outside;
  WriteHostFile(outside / "bin" / "a.dll", "not the vendor's");
  File("Vendor/bin/a.dll");
  ASSERT_EQ(Attr(L"C:\\Vendor\\bin\\a.dll"), err::kSuccess);

  fs::remove_all(C("Vendor/bin"));
  fs::create_directory_symlink(outside / "bin", C("Vendor/bin"));
  EXPECT_EQ(Attr(L"C:\\Vendor\\bin\\a.dll"), err::kAccessDenied);
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\Vendor\\bin\\a.dll"), err::kAccessDenied);
  EXPECT_EQ(ReadHostFile(outside / "bin" / "a.dll"), "not the vendor's");
  // The link itself is still the machine's to remove.
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\Vendor\\bin"), err::kSuccess);
  EXPECT_TRUE(fs::exists(outside / "bin" / "a.dll"));
}

// A folder's listing keeps the folder open for the walk inside it; that
// must be held to the same rules as a folder met on the way.
TEST_F(SimFileSystemCacheTest, AListedFolderReplacedBehindItsBackIsWalkedAgain) {
  test::TempDir outside;
  WriteHostFile(outside / "bin" / "a.dll", "not the vendor's");
  File("Vendor/bin/a.dll");
  FindHandleValue find = 0;
  FindData entry;
  ASSERT_EQ(sim_.FindFirst(L"C:\\Vendor\\bin\\*.*", &find, &entry), err::kSuccess);
  sim_.FindClose(find);

  fs::remove_all(C("Vendor/bin"));
  fs::create_directory_symlink(outside / "bin", C("Vendor/bin"));
  EXPECT_EQ(Attr(L"C:\\Vendor\\bin\\a.dll"), err::kAccessDenied);
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\Vendor\\bin\\a.dll"), err::kAccessDenied);
  EXPECT_EQ(ReadHostFile(outside / "bin" / "a.dll"), "not the vendor's");

  // A link inside the machine is listed as a link and its folder never
  // becomes a cached folder: what is reached through it is found anew.
  fs::remove(C("Vendor/bin"));
  File("Vendor/real/a.dll", "the machine's");
  fs::create_directory_symlink(C("Vendor/real"), C("Vendor/bin"));
  ASSERT_EQ(sim_.FindFirst(L"C:\\Vendor\\*.*", &find, &entry), err::kSuccess);
  std::uint32_t linkAttributes = 0;
  do {
    if (entry.name == L"bin") linkAttributes = entry.attributes;
  } while (sim_.FindNext(find, &entry) == err::kSuccess);
  sim_.FindClose(find);
  EXPECT_EQ(linkAttributes, fileattr::kReparsePoint | fileattr::kDirectory);
  ASSERT_EQ(sim_.FindFirst(L"C:\\Vendor\\bin\\*.*", &find, &entry), err::kSuccess);
  sim_.FindClose(find);
  fs::remove(C("Vendor/bin"));
  fs::create_directory_symlink(outside / "bin", C("Vendor/bin"));
  EXPECT_EQ(sim_.DeleteFileAt(L"C:\\Vendor\\bin\\a.dll"), err::kAccessDenied);
  EXPECT_EQ(ReadHostFile(outside / "bin" / "a.dll"), "not the vendor's");
  EXPECT_EQ(ReadHostFile(C("Vendor/real/a.dll")), "the machine's");
}

TEST_F(SimFileSystemCacheTest, ARemovedFolderIsForgottenWithWhatWasBelowIt) {
  File("Vendor/A/B/f.txt");
  ASSERT_EQ(sim_.DeleteFileAt(L"C:\\Vendor\\A\\B\\f.txt"), err::kSuccess);
  ASSERT_EQ(sim_.RemoveFolder(L"C:\\Vendor\\A\\B"), err::kSuccess);
  ASSERT_EQ(sim_.RemoveFolder(L"C:\\Vendor\\A"), err::kSuccess);
  EXPECT_EQ(Attr(L"C:\\Vendor\\A\\B\\f.txt"), err::kPathNotFound);
  // The same names as files now: no folder of the past is used for them.
  File("Vendor/A", "a file now");
  EXPECT_EQ(Attr(L"C:\\Vendor\\A\\B"), err::kPathNotFound);
  std::uint32_t a = 0;
  ASSERT_EQ(Attr(L"C:\\Vendor\\A", &a), err::kSuccess);
  EXPECT_EQ(a & fileattr::kDirectory, 0u);
}

TEST_F(SimFileSystemCacheTest, AWalkWiderThanTheCacheRemovesEverything) {
  // More folders than the cache keeps, each with files: the removal goes
  // on correctly while folders are forgotten in the middle of it.
  constexpr int kFolders = 300;
  for (int f = 0; f < kFolders; ++f) {
    for (int i = 0; i < 3; ++i) File("Tree/F" + std::to_string(f) + "/f" + std::to_string(i) + ".txt");
  }
  sim_.SetAttributes(L"C:\\Tree\\F7\\f1.txt", fileattr::kReadOnly);
  int deleted = 0, refused = 0;
  for (int f = 0; f < kFolders; ++f) {
    const std::wstring folder = L"C:\\Tree\\F" + std::to_wstring(f);
    for (int i = 0; i < 3; ++i) {
      const WinError e = sim_.DeleteFileAt(folder + L"\\f" + std::to_wstring(i) + L".txt");
      (e == err::kSuccess ? deleted : refused) += 1;
    }
    if (f != 7) {
      EXPECT_EQ(sim_.RemoveFolder(folder), err::kSuccess) << f;
    }
  }
  EXPECT_EQ(deleted, kFolders * 3 - 1);
  EXPECT_EQ(refused, 1) << "the read-only file";
  EXPECT_EQ(sim_.RemoveFolder(L"C:\\Tree\\F7"), err::kDirNotEmpty);
  EXPECT_TRUE(fs::exists(C("Tree/F7/f1.txt")));
  std::size_t left = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(C("Tree"))) ++left;
  EXPECT_EQ(left, 1u);
}

}  // namespace
}  // namespace zc::sim
