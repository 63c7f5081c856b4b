#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "platform/sim/machine_config.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace zc::sim {
namespace {

namespace fs = std::filesystem;
using test::ReadHostFile;
using test::WriteHostFile;

constexpr const char* kFullIni =
    "\xEF\xBB\xBF; a machine with every setting\r\n"
    "[system]\r\n"
    "clock = 2013-04-12 09:30:15\r\n"
    "current_directory = C:\\Tools\r\n"
    "programs = C:\\Program Files (x86)\r\n"
    "windows = C:\\Windows\r\n"
    "system = C:\\Windows\\SysWOW64\r\n"
    "version = 6.1\r\n"
    "bits = 64\r\n"
    "shutdown_privilege = missing\r\n"
    "user = S-1-5-18\r\n"
    "desktop = None\r\n"
    "\r\n"
    "[environment]\r\n"
    "TMP = C:\\Temp\r\n"
    "TEMP = C:\\Temp2\r\n"
    "[services]\r\n"
    "Spooler = running start_pending:3 stop_pending:forever\r\n"
    "ZentaSvc = stopped\r\n"
    "[msiexec]\r\n"
    "{4233A874-F8D9-4777-B94C-432B2889509D} = 3010\r\n"
    "{C5FCEA76-5728-4F57-9BEF-A12844413281} = 1603\r\n"
    "[faults]\r\n"
    "DeleteFile C:\\Program Files\\x.dll = 5 2\r\n"
    "RegDeleteValue HKEY_LOCAL_MACHINE\\Software\\X|name = 0x5\r\n"
    "EnumPrinters = 1722\r\n"
    "[locked]\r\n"
    "C:\\Program Files\\busy.dll\r\n";

TEST(MachineConfig, ReadsEverySetting) {
  MachineConfig c;
  ConfigError error;
  ASSERT_TRUE(ParseMachineConfig(kFullIni, "machine.ini", &c, &error)) << error.ToString();
  ASSERT_TRUE(c.clock);
  EXPECT_EQ(c.clock->year, 2013);
  EXPECT_EQ(c.clock->month, 4);
  EXPECT_EQ(c.clock->day, 12);
  EXPECT_EQ(c.clock->hour, 9);
  EXPECT_EQ(c.clock->minute, 30);
  EXPECT_EQ(c.clock->second, 15);
  EXPECT_EQ(c.currentDirectory, L"C:\\Tools");
  EXPECT_EQ(c.programsFolder, L"C:\\Program Files (x86)");
  EXPECT_EQ(c.windowsFolder, L"C:\\Windows");
  EXPECT_EQ(c.systemFolder, L"C:\\Windows\\SysWOW64");
  EXPECT_EQ(c.version.major, 6u);
  EXPECT_EQ(c.version.minor, 1u);
  EXPECT_EQ(c.bits, 64);
  EXPECT_FALSE(c.shutdownPrivilege);
  EXPECT_EQ(c.user, L"S-1-5-18");
  EXPECT_TRUE(c.IsSystemAccount());
  EXPECT_FALSE(c.desktopVisible);
  EXPECT_EQ(c.environment,
            (std::vector<std::pair<std::wstring, std::wstring>>{{L"TMP", L"C:\\Temp"}, {L"TEMP", L"C:\\Temp2"}}));
  ASSERT_EQ(c.services.count(L"spooler"), 1u);
  EXPECT_EQ(c.services[L"spooler"].state, 4u);
  EXPECT_EQ(c.services[L"spooler"].startPendingPolls, 3);
  EXPECT_EQ(c.services[L"spooler"].stopPendingPolls, -1);
  EXPECT_EQ(c.services[L"zentasvc"].state, 1u);
  ASSERT_EQ(c.msiexecExitCodes.size(), 2u);
  EXPECT_EQ(c.msiexecExitCodes[0].first, L"{4233A874-F8D9-4777-B94C-432B2889509D}");
  EXPECT_EQ(c.msiexecExitCodes[0].second, 3010u);
  EXPECT_EQ(c.msiexecExitCodes[1].second, 1603u);
  ASSERT_EQ(c.faults.size(), 3u);
  EXPECT_EQ(c.faults[0].operation, "DeleteFile");
  EXPECT_EQ(c.faults[0].target, L"C:\\Program Files\\x.dll");
  EXPECT_EQ(c.faults[0].error, 5u);
  EXPECT_EQ(c.faults[0].remaining, 2);
  EXPECT_EQ(c.faults[1].target, L"HKEY_LOCAL_MACHINE\\Software\\X|name");
  EXPECT_EQ(c.faults[1].remaining, -1);
  EXPECT_EQ(c.faults[2].target, L"*");
  EXPECT_EQ(c.faults[2].error, 1722u);
  EXPECT_EQ(c.lockedFiles, (std::vector<std::wstring>{L"C:\\Program Files\\busy.dll"}));

  // What is written reads back the same.
  MachineConfig again;
  ASSERT_TRUE(ParseMachineConfig(WriteMachineConfig(c), "machine.ini", &again, &error)) << error.ToString();
  EXPECT_EQ(WriteMachineConfig(again), WriteMachineConfig(c));
  EXPECT_EQ(again.services[L"spooler"].stopPendingPolls, -1);
  EXPECT_EQ(again.faults[0].remaining, 2);
  EXPECT_EQ(again.user, L"S-1-5-18");
  EXPECT_FALSE(again.desktopVisible);
}

// The README's example is a machine.ini as written, and reads as it says.
TEST(MachineConfig, TheReadmesExampleIsAcceptedAsWritten) {
  std::ifstream in(std::filesystem::path(ZC_SOURCE_DIR) / "README.md");
  const std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto start = readme.find("```ini\n");
  ASSERT_NE(start, std::string::npos);
  const auto end = readme.find("```\n", start + 7);
  MachineConfig c;
  ConfigError error;
  ASSERT_TRUE(ParseMachineConfig(readme.substr(start + 7, end - start - 7), "README.md", &c, &error))
      << error.ToString();
  EXPECT_EQ(c.bits, 64);
  EXPECT_EQ(c.currentDirectory, L"C:\\Tools");
  EXPECT_TRUE(c.shutdownPrivilege);
  EXPECT_EQ(c.environment, (std::vector<std::pair<std::wstring, std::wstring>>{{L"TMP", L"C:\\Temp"}}));
}

TEST(MachineConfig, DefaultsFollowBitnessAndTheWindowsFolder) {
  MachineConfig c;
  ConfigError error;
  ASSERT_TRUE(ParseMachineConfig("[system]\nwindows = D:\\WINNT\n", "machine.ini", &c, &error));
  EXPECT_EQ(c.bits, 32) << "a machine is 32-bit when bits is absent";
  EXPECT_FALSE(c.clock) << "no clock: the host's";
  EXPECT_EQ(c.programsFolder, L"C:\\Program Files");
  EXPECT_EQ(c.systemFolder, L"D:\\WINNT\\system32");
  EXPECT_TRUE(c.shutdownPrivilege);
  ASSERT_TRUE(ParseMachineConfig("[system]\nbits = 64\n", "machine.ini", &c, &error));
  EXPECT_EQ(c.programsFolder, L"C:\\Program Files (x86)");
  ASSERT_TRUE(ParseMachineConfig("", "machine.ini", &c, &error));
  EXPECT_EQ(c.version.major, 6u);
  // The system folder is joined as a path, also below a drive's root.
  ASSERT_TRUE(ParseMachineConfig("[system]\nwindows = C:\\\n", "machine.ini", &c, &error));
  EXPECT_EQ(c.systemFolder, L"C:\\system32");
}

TEST(MachineConfig, RefusesMalformedLinesByNumber) {
  using namespace std::string_literals;
  const std::pair<std::string, int> kBad[] = {
      {"[system]\nbits = 128\n", 2},
      {"[system]\nclock = 2013-04-12\n", 2},
      {"[system]\nclock = 2013-13-01 00:00:00\n", 2},
      {"[system]\nversion = six\n", 2},
      {"[system]\ncolour = blue\n", 2},
      {"[system]\nshutdown_privilege = yes\n", 2},
      {"[system]\nuser = SYSTEM\n", 2},
      {"[system]\nuser = S-1-\n", 2},
      {"[system]\nuser = S-1-5--18\n", 2},
      {"[system]\nuser = S-2-5-18\n", 2},
      {"[system]\nuser = S-1-5-18-x\n", 2},
      {"[system]\ndesktop = hidden\n", 2},
      {"bits = 64\n", 1},
      {"[system\n", 1},
      {"[hardware]\n", 1},
      {"[system]\n\n; fine\nnot a setting\n", 4},
      {"[services]\nSpooler = sleeping\n", 2},
      {"[services]\nSpooler = running start_pending:soon\n", 2},
      {"[msiexec]\n4233A874-F8D9-4777-B94C-432B2889509D = 0\n", 2},
      {"[msiexec]\n{4233A874-F8D9-4777-B94C-432B2889509D} = fails\n", 2},
      {"[faults]\nDeleteFile C:\\x = five\n", 2},
      {"[faults]\nDeleteFile C:\\x = 5 twice\n", 2},
      // Dates that no calendar has.
      {"[system]\nclock = 2013-02-30 09:00:00\n", 2},
      {"[system]\nclock = 2013-02-29 09:00:00\n", 2},
      {"[system]\nclock = 2013-04-31 09:00:00\n", 2},
      // Paths that name nothing on the machine: relative, rooted, device,
      // network, with a NUL or a character no name holds.
      {"[system]\nwindows = WINDOWS\n", 2},
      {"[system]\nwindows = \\WINDOWS\n", 2},
      {"[system]\nwindows = C:WINDOWS\n", 2},
      {"[system]\nsystem = \\\\?\\C:\\WINDOWS\\system32\n", 2},
      {"[system]\ncurrent_directory = \\\\server\\share\n", 2},
      {"[system]\nprograms = C:\\Program Files\\a|b\n", 2},
      {"[system]\nwindows = C:\\WIN\0DOWS\n"s, 2},
      // A name ending in a blank, which the value's trimming would lose.
      {"[system]\nprograms = C:\\Programs \\.\n", 2},
      {"[system]\nprograms = C:\\Programs \\x\n", 2},
      {"[locked]\nin-use.dll\n", 2},
      {"[faults]\nDeleteFile relative\\a.dll = 32\n", 2},
      // An operation the machine cannot fail.
      {"[faults]\nDeleteFiles C:\\x = 5\n", 2},
      {"[faults]\ndeletefile C:\\x = 5\n", 2},
  };
  for (const auto& [text, line] : kBad) {
    MachineConfig c;
    c.currentDirectory = L"C:\\Untouched";
    ConfigError error;
    EXPECT_FALSE(ParseMachineConfig(text, "machine.ini", &c, &error)) << text;
    EXPECT_EQ(error.line, line) << text << error.ToString();
    EXPECT_EQ(error.file, "machine.ini");
    EXPECT_EQ(error.ToString().rfind("machine.ini:" + std::to_string(line) + ": ", 0), 0u) << error.ToString();
    EXPECT_EQ(c.currentDirectory, L"C:\\Untouched") << "the config is left as it was";
  }
}

// Side files name paths as Windows does: each spelling Windows reads as the
// same path is the same path, kept as Windows spells it.
TEST(MachineConfig, PathsAreKeptAsWindowsSpellsThem) {
  MachineConfig c;
  ConfigError error;
  ASSERT_TRUE(
      ParseMachineConfig("[system]\nwindows = c:/WINDOWS/\ncurrent_directory = C:\\Tools\\.\\\n"
                         "programs = C:\\Program Files.\n"
                         "[locked]\nC:\\x\\\\in-use.dll\n[faults]\nDeleteFile C:/y//a.dll. = 5\n",
                         "machine.ini", &c, &error))
      << error.ToString();
  EXPECT_EQ(c.windowsFolder, L"C:\\WINDOWS");
  EXPECT_EQ(c.currentDirectory, L"C:\\Tools");
  EXPECT_EQ(c.programsFolder, L"C:\\Program Files");
  ASSERT_EQ(c.lockedFiles.size(), 1u);
  EXPECT_EQ(c.lockedFiles[0], L"C:\\x\\in-use.dll");
  ASSERT_EQ(c.faults.size(), 1u);
  EXPECT_EQ(c.faults[0].target, L"C:\\y\\a.dll");
  // A leap day is a day.
  EXPECT_TRUE(ParseMachineConfig("[system]\nclock = 2012-02-29 09:00:00\n", "machine.ini", &c, &error));
  // Given the machine's drives, a folder on another drive is refused.
  EXPECT_FALSE(ParseMachineConfig("[system]\n\nwindows = D:\\WINDOWS\n", "machine.ini", &c, &error,
                                  [](wchar_t drive) { return drive == L'C'; }));
  EXPECT_EQ(error.line, 3);
}

class SimMachineTest : public ::testing::Test {
 protected:
  fs::path Folder() const { return dir_ / "machine"; }

  // A small machine saved to its folder.
  void MakeMachine(const std::string& ini = "[system]\nbits = 64\n") {
    WriteHostFile(Folder() / "machine.ini", ini);
    MachineConfig config;
    ConfigError error;
    ASSERT_TRUE(ParseMachineConfig(ini, "machine.ini", &config, &error));
    auto m = SimMachine::Create(Folder(), config);
    WriteText(m->nativeRegistry(), kHkeyLocalMachine, L"SOFTWARE\\Wow6432Node\\ZENTA Technologies", L"Path", L"C:\\Z");
    WriteText(m->nativeRegistry(), kHkeyLocalMachine, L"SOFTWARE\\Shared", L"Multi", L"a\\b \"c\"");
    WriteHostFile(Folder() / "drive_c" / "Program Files (x86)" / "ZENTA" / "a.dll", "MZ");
    m->fs().SetAttributes(L"C:\\Program Files (x86)\\ZENTA\\a.dll", fileattr::kReadOnly);
    std::string saveError;
    ASSERT_TRUE(m->Save(&saveError)) << saveError;
  }

  std::unique_ptr<SimMachine> Load(std::string* error) { return SimMachine::Load(Folder(), error); }

  test::TempDir dir_;
};

TEST_F(SimMachineTest, LoadsWhatItSavedAndWritesItBackIdentically) {
  MakeMachine();
  const std::string firstRegistry = ReadHostFile(Folder() / "registry.reg");
  ASSERT_EQ(firstRegistry.substr(0, 2), "\xFF\xFE");
  std::string error;
  auto m = Load(&error);
  ASSERT_TRUE(m) << error;
  EXPECT_TRUE(m->is64Bit());
  // The tool, a 32-bit program, sees the 32-bit view.
  EXPECT_EQ(ReadText(m->registry(), kHkeyLocalMachine, L"SOFTWARE\\ZENTA Technologies", L"Path"), L"C:\\Z");
  std::uint32_t attributes = 0;
  ASSERT_EQ(m->fs().GetAttributes(L"C:\\program files (x86)\\zenta\\A.DLL", &attributes), err::kSuccess);
  EXPECT_EQ(attributes, fileattr::kReadOnly);
  // Written back with nothing changed: the same bytes; written with a new
  // file renamed over the old one, never in place (a hard link to the old
  // file keeps the old bytes), and no temporary file left behind.
  fs::create_hard_link(Folder() / "registry.reg", dir_ / "old-registry.reg");
  WriteText(m->nativeRegistry(), kHkeyLocalMachine, L"SOFTWARE\\Shared", L"Added", L"1");
  ASSERT_TRUE(m->Save(&error)) << error;
  EXPECT_EQ(ReadHostFile(dir_ / "old-registry.reg"), firstRegistry);
  RemoveValue(m->nativeRegistry(), kHkeyLocalMachine, L"SOFTWARE\\Shared", L"Added");
  ASSERT_TRUE(m->Save(&error)) << error;
  EXPECT_EQ(ReadHostFile(Folder() / "registry.reg"), firstRegistry);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(Folder())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"drive_c", "file-attributes.txt", "machine.ini", "registry.reg"}));
}

TEST_F(SimMachineTest, AMalformedMachineIniIsRefusedAndNothingChanges) {
  MakeMachine("[system]\nbits = 64\n");
  WriteHostFile(Folder() / "machine.ini", "[system]\nversion = 6.1\nbits = 128\n");
  const auto before = test::TakeSnapshot(Folder());
  std::string error;
  EXPECT_FALSE(Load(&error));
  EXPECT_NE(error.find("machine.ini:3"), std::string::npos) << error;
  EXPECT_EQ(test::TakeSnapshot(Folder()), before);
}

TEST_F(SimMachineTest, AMalformedRegistryIsRefusedAndNothingChanges) {
  MakeMachine();
  // Line 5 of a UTF-8 registry file lacks its closing bracket.
  WriteHostFile(Folder() / "registry.reg",
                "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n\"v\"=\"1\"\r\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\B\r\n");
  const auto before = test::TakeSnapshot(Folder());
  std::string error;
  EXPECT_FALSE(Load(&error));
  EXPECT_NE(error.find("registry.reg"), std::string::npos) << error;
  EXPECT_NE(error.find("line 5"), std::string::npos) << error;
  EXPECT_EQ(test::TakeSnapshot(Folder()), before);
  EXPECT_FALSE(SimMachine::Load(dir_ / "no-such-machine", &error));
  EXPECT_FALSE(fs::exists(dir_ / "no-such-machine"));
}

TEST_F(SimMachineTest, IniFaultsAndLockedFilesApply) {
  MakeMachine(
      "[system]\nbits = 32\n[faults]\nRemoveDirectory C:\\Program Files (x86)\\ZENTA = 5 1\n"
      "[locked]\nC:\\Program Files (x86)\\ZENTA\\a.dll\n");
  std::string error;
  auto m = Load(&error);
  ASSERT_TRUE(m) << error;
  ASSERT_EQ(m->fs().SetAttributes(L"C:\\Program Files (x86)\\ZENTA\\a.dll", fileattr::kNormal), err::kSuccess);
  EXPECT_EQ(m->fs().DeleteFileAt(L"C:\\Program Files (x86)\\ZENTA\\a.dll"), err::kSharingViolation);
  EXPECT_EQ(m->fs().RemoveFolder(L"C:\\Program Files (x86)\\ZENTA"), err::kAccessDenied);
  EXPECT_EQ(m->fs().RemoveFolder(L"C:\\Program Files (x86)\\ZENTA"), err::kDirNotEmpty) << "used up";
}

TEST_F(SimMachineTest, DeletionsAtRestartAreRecordedAsWindowsRecordsThem) {
  MakeMachine();
  std::string error;
  auto m = Load(&error);
  ASSERT_TRUE(m) << error;
  ASSERT_EQ(m->fs().ScheduleDeleteAtReboot(L"C:\\Program Files (x86)\\ZENTA\\a.dll"), err::kSuccess);
  ASSERT_EQ(m->fs().ScheduleDeleteAtReboot(L"C:\\Program Files (x86)\\ZENTA"), err::kSuccess);
  // REG_MULTI_SZ of (source, empty target) pairs in NT form, then the list's end.
  std::vector<std::uint8_t> expected;
  for (const wchar_t* text :
       {L"\\??\\C:\\Program Files (x86)\\ZENTA\\a.dll", L"", L"\\??\\C:\\Program Files (x86)\\ZENTA", L"", L""}) {
    const auto bytes = TextBytes(text);
    expected.insert(expected.end(), bytes.begin(), bytes.end());
  }
  // Kept in SYSTEM, which both views share.
  const auto value = ReadValue(m->registry(), kHkeyLocalMachine, kPendingRenamesKey, L"PendingFileRenameOperations");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, regtype::kMultiSz);
  EXPECT_EQ(value->data, expected);
  EXPECT_EQ(m->PendingDeletes(),
            (std::vector<std::wstring>{L"C:\\Program Files (x86)\\ZENTA\\a.dll", L"C:\\Program Files (x86)\\ZENTA"}));
  EXPECT_TRUE(fs::exists(Folder() / "drive_c" / "Program Files (x86)" / "ZENTA" / "a.dll"));

  // Saved and loaded, the list is still there.
  ASSERT_TRUE(m->Save(&error)) << error;
  m = Load(&error);
  ASSERT_TRUE(m) << error;
  EXPECT_EQ(m->PendingDeletes().size(), 2u);
}

TEST_F(SimMachineTest, ARestartRequestLeavesAMarker) {
  MakeMachine();
  std::string error;
  auto m = Load(&error);
  ASSERT_TRUE(m) << error;
  ASSERT_TRUE(m->Save(&error));
  EXPECT_FALSE(fs::exists(Folder() / kRestartMarkerFile));
  {
    UniqueToken token(m->power());
    ASSERT_EQ(m->power().OpenProcessTokenHandle(token.put()), err::kSuccess);
    ASSERT_EQ(m->power().SetShutdownPrivilege(token.get(), true), err::kSuccess);
    ASSERT_EQ(m->power().RequestRestart(), err::kSuccess);
  }
  EXPECT_EQ(m->power().openTokens(), 0);
  ASSERT_TRUE(m->Save(&error));
  EXPECT_TRUE(fs::exists(Folder() / kRestartMarkerFile));
}

TEST_F(SimMachineTest, ARestartNeedsTheShutdownPrivilege) {
  MakeMachine("[system]\nshutdown_privilege = missing\n");
  std::string error;
  auto m = Load(&error);
  ASSERT_TRUE(m) << error;
  UniqueToken token(m->power());
  ASSERT_EQ(m->power().OpenProcessTokenHandle(token.put()), err::kSuccess);
  EXPECT_EQ(m->power().SetShutdownPrivilege(token.get(), true), err::kNotAllAssigned);
  EXPECT_EQ(m->power().RequestRestart(), err::kAccessDenied);
  ASSERT_TRUE(m->Save(&error));
  EXPECT_FALSE(fs::exists(Folder() / kRestartMarkerFile));
}

}  // namespace
}  // namespace zc::sim
