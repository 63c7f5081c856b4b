// The machine folder's registry.reg: read safely, refused whole when it is
// not a registry file, written back only when the run changed the
// registry, in the form it was read in, never through a link.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <functional>
#include <map>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/registry.h"
#include "platform/sim/machine.h"
#include "platform/sim/reg_file.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace zc::sim {
namespace {

namespace fs = std::filesystem;
using test::FolderSnapshot;
using test::ReadHostFile;
using test::TakeSnapshot;
using test::TempDir;
using test::WriteHostFile;

std::string Utf16(std::wstring_view text) {
  const auto bytes = ToUtf16Le(text);
  return "\xFF\xFE" + std::string(bytes.begin(), bytes.end());
}

const std::wstring kRegistry =
    L"Windows Registry Editor Version 5.00\r\n\r\n"
    L"[HKEY_LOCAL_MACHINE]\r\n\r\n"
    L"[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
    L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n"
    L"\"Notes\"=\"two\r\nlines\"\r\n"
    L"\"Count\"=dword:00000003\r\n\r\n";

// Every entry under a folder with its type, time and, for regular files,
// bytes: never opens a FIFO or device (a snapshot must not hang on one).
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    struct stat st {};
    ::lstat(entry.path().c_str(), &st);
    std::string e = std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                    std::to_string(st.st_mtim.tv_nsec) + " ";
    if (S_ISREG(st.st_mode)) e += ReadHostFile(entry.path());
    if (S_ISLNK(st.st_mode)) e += fs::read_symlink(entry.path()).string();
    entries[fs::relative(entry.path(), folder).string()] = e;
  }
  return entries;
}

void MakeMachine(const fs::path& folder, const std::string& registry) {
  fs::create_directories(folder / "drive_c");
  WriteHostFile(folder / "registry.reg", registry);
}

TEST(MachineRegistryFile, AnUnchangedRegistryIsNotWrittenBack) {
  TempDir dir;
  MakeMachine(dir / "m", Utf16(kRegistry));
  ::chmod((dir / "m" / "registry.reg").c_str(), 0600);
  const FolderSnapshot before = TakeSnapshot(dir / "m");
  struct stat statBefore {};
  ASSERT_EQ(::stat((dir / "m" / "registry.reg").c_str(), &statBefore), 0);

  std::string error;
  auto machine = SimMachine::Load(dir / "m", &error);
  ASSERT_TRUE(machine) << error;
  RegKey* vendor = machine->store().FindKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor");
  ASSERT_NE(vendor, nullptr);
  vendor->SetDword(L"Count", 3);  // the value it has: no change
  ASSERT_TRUE(machine->Save(&error)) << error;
  struct stat statAfter {};
  ASSERT_EQ(::stat((dir / "m" / "registry.reg").c_str(), &statAfter), 0);
  EXPECT_EQ(statAfter.st_ino, statBefore.st_ino);
  EXPECT_EQ(TakeSnapshot(dir / "m").entries.at("registry.reg"), before.entries.at("registry.reg"));

  // A change is written back, in place of the old file, keeping its mode.
  vendor->SetDword(L"Count", 4);
  ASSERT_TRUE(machine->Save(&error)) << error;
  EXPECT_EQ(ReadHostFile(dir / "m" / "registry.reg"), Utf16(L"Windows Registry Editor Version 5.00\r\n\r\n"
                                                            L"[HKEY_LOCAL_MACHINE]\r\n\r\n"
                                                            L"[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
                                                            L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n"
                                                            L"\"Notes\"=\"two\r\nlines\"\r\n"
                                                            L"\"Count\"=dword:00000004\r\n\r\n"));
  struct stat statChanged {};
  ASSERT_EQ(::stat((dir / "m" / "registry.reg").c_str(), &statChanged), 0);
  EXPECT_EQ(statChanged.st_mode & 07777, 0600u);

  // Saved once, not again while nothing changes; a deletion is a change.
  const auto written = TakeSnapshot(dir / "m").entries.at("registry.reg");
  ASSERT_TRUE(machine->Save(&error)) << error;
  EXPECT_EQ(TakeSnapshot(dir / "m").entries.at("registry.reg"), written);
  machine->store().DeleteKey(Hive::kLocalMachine, L"SOFTWARE\\Vendor");
  ASSERT_TRUE(machine->Save(&error)) << error;
  EXPECT_EQ(ReadHostFile(dir / "m" / "registry.reg").find(ToUtf8(L"Vendor")), std::string::npos);
}

TEST(MachineRegistryFile, WrittenBackInTheFormItWasReadIn) {
  TempDir dir;
  const std::string v4 =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER]\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"Name\"=\"caf\xE9\"\r\n\r\n";
  MakeMachine(dir / "m", v4);
  std::string error;
  auto machine = SimMachine::Load(dir / "m", &error);
  ASSERT_TRUE(machine) << error;
  machine->store().FindKey(Hive::kCurrentUser, L"Software")->SetString(L"More", L"\u00fcber");
  ASSERT_TRUE(machine->Save(&error)) << error;
  EXPECT_EQ(ReadHostFile(dir / "m" / "registry.reg"),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER]\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"Name\"=\"caf\xE9\"\r\n"
            "\"More\"=\"\xFC"
            "ber\"\r\n\r\n");

  // What REGEDIT4 cannot hold turns the file into regedit's 5.00 form.
  machine->store().FindKey(Hive::kCurrentUser, L"Software")->SetString(L"Han", L"\u4e2d");
  ASSERT_TRUE(machine->Save(&error)) << error;
  const std::string now = ReadHostFile(dir / "m" / "registry.reg");
  EXPECT_EQ(now.rfind(Utf16(L"Windows Registry Editor Version 5.00\r\n"), 0), 0u);
  EXPECT_NE(now.find(Utf16(L"\"Han\"=\"\u4e2d\"").substr(2)), std::string::npos);
}

TEST(MachineRegistryFile, CurrentUserIsTheAccountsKeyUnderUsersAndIsWrittenOnce) {
  TempDir dir;
  const std::string reg =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n\"v\"=\"1\"\r\n\r\n"
      "[HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001\\Software\\B]\r\n\"v\"=\"1\"\r\n\r\n"
      "[HKEY_USERS\\S-1-5-21-9-9-9-1002\\Software\\C]\r\n\r\n";
  MakeMachine(dir / "m", reg);
  std::string error;
  auto machine = SimMachine::Load(dir / "m", &error);
  ASSERT_TRUE(machine) << error;
  auto& r = machine->nativeRegistry();
  const std::wstring self = L"S-1-5-21-1004336348-1177238915-682003330-1001\\";
  EXPECT_TRUE(KeyExists(r, kHkeyUsers, self + L"Software\\A"));
  EXPECT_TRUE(KeyExists(r, kHkeyCurrentUser, L"Software\\B"));
  EXPECT_FALSE(KeyExists(r, kHkeyCurrentUser, L"Software\\C"));
  EXPECT_EQ(r.DeleteTree(kHkeyUsers, L"S-1-5-21-1004336348-1177238915-682003330-1001"), err::kAccessDenied);
  WriteText(r, kHkeyUsers, self + L"Software\\D", L"v", L"2");
  ASSERT_TRUE(machine->Save(&error)) << error;
  EXPECT_EQ(
      ReadHostFile(dir / "m" / "registry.reg"),
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER]\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\A]\r\n\"v\"=\"1\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\B]\r\n\"v\"=\"1\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\D]\r\n\"v\"=\"2\"\r\n\r\n"
      "[HKEY_USERS]\r\n\r\n[HKEY_USERS\\S-1-5-21-9-9-9-1002]\r\n\r\n"
      "[HKEY_USERS\\S-1-5-21-9-9-9-1002\\Software]\r\n\r\n[HKEY_USERS\\S-1-5-21-9-9-9-1002\\Software\\C]\r\n\r\n");

  // SYSTEM's HKEY_CURRENT_USER is the default user's hive.
  WriteHostFile(dir / "m" / "machine.ini", "[system]\nuser = S-1-5-18\n");
  machine = SimMachine::Load(dir / "m", &error);
  ASSERT_TRUE(machine) << error;
  WriteText(machine->nativeRegistry(), kHkeyCurrentUser, L"Software\\E", L"v", L"3");
  EXPECT_EQ(ReadText(machine->nativeRegistry(), kHkeyUsers, L".DEFAULT\\Software\\E", L"v"), L"3");

  // The two names giving one value different data: refused by name.
  fs::remove(dir / "m" / "machine.ini");
  MakeMachine(dir / "m",
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n\"v\"=\"1\"\r\n\r\n"
              "[HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001\\X]\r\n\"v\"=\"2\"\r\n\r\n");
  EXPECT_FALSE(SimMachine::Load(dir / "m", &error));
  EXPECT_NE(error.find("HKEY_CURRENT_USER\\X\\v"), std::string::npos) << error;
}

TEST(MachineRegistryFile, ALinkInItsPlaceIsRefusedAndNothingIsWritten) {
  TempDir dir;
  MakeMachine(dir / "m", "");
  WriteHostFile(dir / "outside.reg", Utf16(kRegistry));
  fs::remove(dir / "m" / "registry.reg");
  fs::create_symlink(dir / "outside.reg", dir / "m" / "registry.reg");
  const FolderSnapshot before = TakeSnapshot(dir.path());
  std::string error;
  EXPECT_FALSE(SimMachine::Load(dir / "m", &error));
  EXPECT_NE(error.find((dir / "m" / "registry.reg").string() + ": is a symbolic link"), std::string::npos) << error;
  EXPECT_EQ(TakeSnapshot(dir.path()), before);

  // A dangling link is no missing file either.
  fs::remove(dir / "m" / "registry.reg");
  fs::create_symlink(dir / "nowhere.reg", dir / "m" / "registry.reg");
  EXPECT_FALSE(SimMachine::Load(dir / "m", &error));
  EXPECT_NE(error.find("is a symbolic link"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir / "nowhere.reg"));
}

// Each odd host file and each malformed form: refused naming the file (and
// line), and the machine folder is left byte for byte as it was.
TEST(MachineRegistryFile, OddFilesAndMalformedFormsAreRefusedAndChangeNothing) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    const char* expected;  // after "<folder>/registry.reg"
  };
  const auto utf16 = [](std::wstring text) { return [text](const fs::path& f) { WriteHostFile(f, Utf16(text)); }; };
  const Case cases[] = {
      {"a FIFO", [](const fs::path& f) { ::mkfifo(f.c_str(), 0600); }, ": is a FIFO"},
      {"a folder", [](const fs::path& f) { fs::create_directory(f); }, ": is a folder"},
      {"odd UTF-16",
       [](const fs::path& f) { WriteHostFile(f, Utf16(L"Windows Registry Editor Version 5.00\r\n") + "x"); },
       ", line 2: the file ends in the middle of a UTF-16 character"},
      {"a lone BOM", [](const fs::path& f) { WriteHostFile(f, "\xFF\xFE"); },
       ", line 1: the file holds only a byte-order mark"},
      {"a NUL", utf16(std::wstring(L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n@=\"") + L'\0' + L"\"\r\n"),
       ", line 3: NUL character"},
      {"a bad escape", utf16(L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"v\"=\"C:\\Temp\"\r\n"),
       ", line 3: unknown escape sequence"},
      {"an unclosed multi-line string",
       utf16(L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\r\n\"v\"=\"one\r\ntwo\r\n"),
       ", line 4: missing closing quote"},
      {"a broken continuation",
       utf16(L"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"v\"=hex:01,\\\r\n  zz\r\n"),
       ", line 4: bad byte in hex data"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    fs::create_directories(dir / "m" / "drive_c");
    WriteHostFile(dir / "m" / "machine.ini", "[system]\nbits = 64\n");
    c.make(dir / "m" / "registry.reg");
    const auto before = Snapshot(dir / "m");
    std::string error;
    EXPECT_FALSE(SimMachine::Load(dir / "m", &error));
    EXPECT_EQ(error.rfind((dir / "m" / "registry.reg").string() + c.expected, 0), 0u) << error;
    EXPECT_EQ(Snapshot(dir / "m"), before);
  }
}

// The program itself: a dry run leaves registry.reg as it was (bytes and
// time); a real run that removes something writes it back.
TEST(MachineRegistryFile, ADryRunOfTheProgramLeavesRegistryRegUntouched) {
  TempDir dir;
  const fs::path machine = dir / "m";
  auto run = [](const std::string& arguments) {
    const std::string command = std::string(ZC_PROGRAM) + " " + arguments + " >/dev/null 2>&1 </dev/null";
    return std::system(command.c_str());
  };
  ASSERT_EQ(run("--make-demo " + machine.string()), 0);
  const auto before = TakeSnapshot(machine).entries.at("registry.reg");
  run("--machine " + machine.string() + " -all -dryrun");
  EXPECT_EQ(TakeSnapshot(machine).entries.at("registry.reg"), before);

  run("--machine " + machine.string() + " -all");
  EXPECT_NE(TakeSnapshot(machine).entries.at("registry.reg").content, before.content);
}

}  // namespace
}  // namespace zc::sim
