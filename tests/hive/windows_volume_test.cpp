// A Windows volume read in place: finding its hives, CurrentControlSet as
// Windows makes it at boot, refusing what is not a sound volume, and never
// writing to it.
#include "platform/volume/windows_volume.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <functional>
#include <sys/inotify.h>
#include <unistd.h>

#include "hive/hive_support.h"
#include "platform/sim/reg_file.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace zc::volume {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// SOFTWARE and SYSTEM of a small 64-bit Windows 7 with two control sets.
struct Hives {
  sim::RegKey software{L"SOFTWARE", nullptr};
  sim::RegKey system{L"SYSTEM", nullptr};

  Hives() {
    sim::RegKey* nt = software.CreateSubKey(L"Microsoft")->CreateSubKey(L"Windows NT")->CreateSubKey(L"CurrentVersion");
    nt->SetString(L"CurrentVersion", L"6.1");
    nt->SetString(L"SystemRoot", L"C:\\Windows");
    software.CreateSubKey(L"Vendor")->SetString(L"Where", L"64-bit view");
    software.CreateSubKey(L"Wow6432Node")->CreateSubKey(L"Vendor")->SetString(L"Where", L"32-bit view");
    software.CreateSubKey(L"Classes")->CreateSubKey(L".txt")->SetString(L"", L"txtfile");
    for (int set = 1; set <= 2; ++set) {
      sim::RegKey* cs = system.CreateSubKey(set == 1 ? L"ControlSet001" : L"ControlSet002");
      sim::RegKey* env = cs->CreateSubKey(L"Control")->CreateSubKey(L"Session Manager")->CreateSubKey(L"Environment");
      env->SetString(L"TMP", L"%SystemRoot%\\TEMP", regtype::kExpandSz);
      env->SetString(L"PROCESSOR_ARCHITECTURE", L"AMD64");
      cs->CreateSubKey(L"Services")->CreateSubKey(L"Spooler")->SetDword(L"Start", set == 1 ? 2 : 4);
      cs->SetDword(L"Which", set);
    }
    sim::RegKey* select = system.CreateSubKey(L"Select");
    select->SetDword(L"Current", 1);
    select->SetDword(L"Default", 1);
    select->SetDword(L"LastKnownGood", 2);
    system.CreateSubKey(L"MountedDevices");
  }
};

constexpr const wchar_t* kAlice = L"S-1-5-21-11-22-33-1001";
constexpr const wchar_t* kBob = L"S-1-5-21-11-22-33-1002";
constexpr const wchar_t* kProduct = L"Software\\Microsoft\\Installer\\Products\\0123456789ABCDEF0123456789ABCDEF";

// Lists a profile in SOFTWARE's ProfileList, as Windows writes it.
void AddProfile(Hives& hives, const std::wstring& sid, const std::wstring& imagePath) {
  sim::RegKey* nt = hives.software.FindSubKey(L"Microsoft")->FindSubKey(L"Windows NT")->FindSubKey(L"CurrentVersion");
  nt->CreateSubKey(L"ProfileList")->CreateSubKey(sid)->SetString(L"ProfileImagePath", imagePath, regtype::kExpandSz);
}

// A user's hive with a per-user product that names whose hive it is.
void WriteUserHive(const fs::path& file, const std::wstring& whose) {
  sim::RegKey user{L"USER", nullptr};
  sim::RegKey* key = &user;
  std::vector<std::wstring> names;
  sim::SplitKeyPath(kProduct, &names);
  for (const auto& name : names) key = key->CreateSubKey(name);
  key->SetString(L"ProductName", whose);
  fs::create_directories(file.parent_path());
  test::WriteHive(user, file);
}

struct Loaded {
  bool ok = false;
  WindowsVolume volume;
  std::string error;
};

Loaded Load(const fs::path& root) {
  Loaded l;
  l.ok = LoadWindowsVolume(root, &l.volume, &l.error);
  return l;
}

// The product name in HKEY_USERS\<key>: whose hive landed there.
std::optional<std::wstring> Whose(const WindowsVolume& v, const std::wstring& key) {
  const sim::RegKey* product = v.registry.FindKey(sim::Hive::kUsers, key + L"\\" + kProduct);
  return product ? product->GetString(L"ProductName") : std::nullopt;
}

std::optional<std::uint32_t> Which(const WindowsVolume& v) {
  const sim::RegKey* ccs = v.registry.FindKey(sim::Hive::kLocalMachine, L"SYSTEM\\CurrentControlSet");
  return ccs ? ccs->GetDword(L"Which") : std::nullopt;
}

TEST(WindowsVolume, LoadsBothHivesWithTheControlSetThatSelectNames) {
  TempDir dir;
  Hives hives;
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  Loaded l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  const auto& reg = l.volume.registry;
  EXPECT_EQ(test::DumpTree(*reg.FindKey(sim::Hive::kLocalMachine, L"SOFTWARE")), test::DumpTree(hives.software));
  // The control sets as the file has them, and CurrentControlSet beside them.
  const sim::RegKey* system = reg.FindKey(sim::Hive::kLocalMachine, L"SYSTEM");
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system->SubKeyCount(), 5u);
  EXPECT_EQ(Which(l.volume), 1u);
  EXPECT_EQ(test::DumpTree(*system->FindSubKey(L"CurrentControlSet")),
            test::DumpTree(*hives.system.FindSubKey(L"ControlSet001")));
  // Nothing else: the other roots are empty.
  EXPECT_EQ(reg.Root(sim::Hive::kLocalMachine).SubKeyCount(), 2u);
  EXPECT_EQ(reg.Root(sim::Hive::kCurrentUser).SubKeyCount(), 0u);
  EXPECT_EQ(reg.Root(sim::Hive::kUsers).SubKeyCount(), 0u);

  EXPECT_TRUE(l.volume.warnings.empty());
  EXPECT_EQ(l.volume.softwareHive, test::ConfigFolder(dir.path()) / "SOFTWARE");
  EXPECT_EQ(l.volume.config.bits, 64);
  EXPECT_EQ(l.volume.config.services.count(L"spooler"), 1u);
  const auto& notes = l.volume.notes;
  EXPECT_NE(std::find(notes.begin(), notes.end(),
                      "HKLM\\SYSTEM\\CurrentControlSet = ControlSet001 (HKLM\\SYSTEM\\Select: Current = 1)"),
            notes.end());
  EXPECT_NE(std::find(notes.begin(), notes.end(),
                      "HKLM\\SOFTWARE = " + l.volume.softwareHive.string() + " (9 keys, 5 values)"),
            notes.end());

  hives.system.FindSubKey(L"Select")->SetDword(L"Current", 2);
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  EXPECT_EQ(Which(l.volume), 2u);
}

TEST(WindowsVolume, TheToolSeesTheHivesThroughTheRegistryAsOnWindows) {
  TempDir dir;
  Hives hives;
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  Loaded l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  sim::SimRegistry tool(l.volume.registry, l.volume.config.bits == 64);
  sim::SimRegistry native(l.volume.registry, false);
  // A 32-bit program on 64-bit Windows reads SOFTWARE in Wow6432Node.
  EXPECT_EQ(sim::ReadText(tool, kHkeyLocalMachine, L"SOFTWARE\\Vendor", L"Where"), L"32-bit view");
  EXPECT_EQ(sim::ReadText(native, kHkeyLocalMachine, L"SOFTWARE\\Vendor", L"Where"), L"64-bit view");
  EXPECT_EQ(sim::ReadText(tool, kHkeyClassesRoot, L".txt", L""), L"txtfile");
  EXPECT_EQ(sim::ReadDword(tool, kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\Spooler", L"Start"), 2u);
  EXPECT_TRUE(sim::KeyExists(tool, kHkeyLocalMachine, L"system\\currentcontrolset\\services\\SPOOLER"));
  EXPECT_FALSE(sim::KeyExists(tool, kHkeyCurrentUser, L"Software"));
}

TEST(WindowsVolume, FindsTheHivesWhateverTheCaseOfTheirNames) {
  TempDir dir;
  Hives hives;
  const fs::path config = dir / "WINDOWS" / "system32" / "Config";
  fs::create_directories(config);
  test::WriteHive(hives.software, config / "software");
  test::WriteHive(hives.system, config / "System");
  Loaded l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  EXPECT_EQ(l.volume.windowsFolder, dir / "WINDOWS");
  EXPECT_EQ(l.volume.systemHive, config / "System");
  EXPECT_EQ(l.volume.config.windowsFolder, L"C:\\Windows");  // SystemRoot's spelling
}

TEST(WindowsVolume, RefusesAVolumeWithoutItsHives) {
  TempDir dir;
  Hives hives;
  Loaded l = Load(dir / "absent");
  EXPECT_FALSE(l.ok);
  EXPECT_EQ(l.error, (dir / "absent").string() + ": not a folder");

  l = Load(dir.path());  // an empty folder
  EXPECT_FALSE(l.ok);
  EXPECT_EQ(l.error, (dir / "Windows").string() +
                         ": missing (not a Windows volume: its hives are Windows\\System32\\config\\SOFTWARE and "
                         "SYSTEM, or WINNT\\... on Windows 2000)");

  fs::create_directories(test::ConfigFolder(dir.path()));
  l = Load(dir.path());
  EXPECT_FALSE(l.ok);
  EXPECT_EQ(l.error, (test::ConfigFolder(dir.path()) / "SOFTWARE").string() + ": missing");

  test::WriteVolume(dir.path(), &hives.software, nullptr);
  l = Load(dir.path());
  EXPECT_FALSE(l.ok);
  EXPECT_EQ(l.error, (test::ConfigFolder(dir.path()) / "SYSTEM").string() + ": missing");

  fs::create_directories(test::ConfigFolder(dir.path()) / "system");  // a folder, not a hive
  l = Load(dir.path());
  EXPECT_FALSE(l.ok);
  EXPECT_EQ(l.error, (test::ConfigFolder(dir.path()) / "system").string() + ": not a file");
}

// Two names of the way to a hive that differ only in case are never chosen
// between: the volume is refused, naming both; on the way to the config
// folder, WINNT's hives beside them do not settle it.
TEST(WindowsVolume, RefusesTwoEntriesThatMatchOneName) {
  struct Twin {
    const char* where;  // the folder below the volume's root that gets it
    const char* name;   // the second spelling
    bool folder;
  };
  for (const Twin& twin :
       {Twin{"", "WINDOWS", true}, Twin{"Windows", "system32", true}, Twin{"Windows/System32", "Config", true},
        Twin{"Windows/System32/config", "Software", false}, Twin{"Windows/System32/config", "System", false}}) {
    SCOPED_TRACE(twin.name);
    TempDir dir;
    Hives hives;
    test::WriteVolume(dir.path(), &hives.software, &hives.system);
    if (twin.folder) test::WriteVolume(dir.path(), &hives.software, &hives.system, "WINNT");
    const fs::path at = dir.path() / twin.where / twin.name;
    if (twin.folder) {
      fs::create_directories(at);
    } else {
      test::WriteHive(hives.software, at);
    }
    Loaded l = Load(dir.path());
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error.find(": ambiguous: "), std::string::npos) << l.error;
    EXPECT_NE(l.error.find(twin.name), std::string::npos) << l.error;
  }
}

TEST(WindowsVolume, ABrokenSoftwareHiveIsRefusedByName) {
  TempDir dir;
  Hives hives;
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  const fs::path software = test::ConfigFolder(dir.path()) / "SOFTWARE";
  const auto good = test::ReadBytes(software);

  struct Case {
    std::vector<std::uint8_t> bytes;
    const char* what;
  };
  std::vector<Case> cases;
  cases.push_back({std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() - 4096), "truncated"});
  auto corrupted = good;
  for (std::size_t i = 0x1020; i < 0x1100; ++i) corrupted[i] = 0xEE;
  cases.push_back({corrupted, "registry hive"});
  const std::string text = "Windows Registry Editor Version 5.00\r\n";
  cases.push_back({std::vector<std::uint8_t>(text.begin(), text.end()), "not a registry hive"});
  for (const auto& c : cases) {
    test::WriteBytes(software, c.bytes);
    Loaded l = Load(dir.path());
    EXPECT_FALSE(l.ok);
    EXPECT_EQ(l.error.rfind(software.string() + ": ", 0), 0u) << l.error;
    EXPECT_NE(l.error.find(c.what), std::string::npos) << l.error;
  }
}

TEST(WindowsVolume, EveryProfileLandsInHkeyUsersUnderItsSid) {
  TempDir dir;
  Hives hives;
  AddProfile(hives, kAlice, L"C:\\Users\\alice");
  AddProfile(hives, kBob, L"%SystemDrive%\\USERS\\Bob");
  // SYSTEM's hive is DEFAULT, never its systemprofile's; a .bak key is no profile.
  AddProfile(hives, L"S-1-5-18", L"%systemroot%\\system32\\config\\systemprofile");
  AddProfile(hives, std::wstring(kAlice) + L".bak", L"C:\\Users\\TEMP");
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  WriteUserHive(dir / "Users" / "alice" / "NTUSER.DAT", L"alice");
  WriteUserHive(dir / "Users" / "bob" / "ntuser.dat", L"bob");
  WriteUserHive(test::ConfigFolder(dir.path()) / "DEFAULT", L"default");
  WriteUserHive(test::ConfigFolder(dir.path()) / "systemprofile" / "NTUSER.DAT", L"systemprofile");
  WriteUserHive(dir / "Users" / "TEMP" / "NTUSER.DAT", L"temp");
  Loaded l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  EXPECT_TRUE(l.volume.warnings.empty()) << l.volume.warnings.front();
  EXPECT_EQ(Whose(l.volume, kAlice), L"alice");
  EXPECT_EQ(Whose(l.volume, kBob), L"bob");
  EXPECT_EQ(Whose(l.volume, L".DEFAULT"), L"default");
  EXPECT_EQ(Whose(l.volume, L"S-1-5-18"), L"default");
  EXPECT_EQ(l.volume.registry.Root(sim::Hive::kUsers).SubKeyCount(), 4u);
  EXPECT_EQ(l.volume.registry.Root(sim::Hive::kCurrentUser).SubKeyCount(), 0u);
  ASSERT_EQ(l.volume.userHives.size(), 3u);
  EXPECT_EQ(l.volume.userHives[2], dir / "Users" / "bob" / "ntuser.dat");
  const auto& notes = l.volume.notes;
  EXPECT_NE(std::find(notes.begin(), notes.end(),
                      "HKEY_USERS\\" + ToUtf8(kBob) + " = " + l.volume.userHives[2].string() + " (6 keys, 1 values)"),
            notes.end());
}

// A profile that cannot be read is skipped with a warning naming the file;
// the volume, and every other profile, is read.
TEST(WindowsVolume, AProfileThatCannotBeReadIsSkippedByName) {
  TempDir outside;
  WriteUserHive(outside / "bob" / "NTUSER.DAT", L"outside");
  const fs::path bobHive = fs::path("Users") / "bob" / "NTUSER.DAT";
  struct Case {
    const char* what;
    std::function<void(const fs::path& root)> spoil;
    std::wstring bobPath = L"C:\\Users\\bob";
    const wchar_t* skipped = kBob;  // null: loaded all the same
  };
  const Case cases[] = {
      {"missing", [&](const fs::path& root) { fs::remove(root / bobHive); }},
      {"truncated registry hive",
       [&](const fs::path& root) {
         auto bytes = test::ReadBytes(root / bobHive);
         bytes.resize(bytes.size() - 4096);
         test::WriteBytes(root / bobHive, bytes);
       }},
      {"not a registry hive", [&](const fs::path& root) { test::WriteHostFile(root / bobHive, "REGEDIT4\r\n"); }},
      {"a link that leads off the volume",
       [&](const fs::path& root) {
         fs::remove_all(root / "Users" / "bob");
         fs::create_directory_symlink(outside / "bob", root / "Users" / "bob");
       }},
      {"a link that leads off the volume",
       [&](const fs::path& root) {
         fs::remove(root / bobHive);
         fs::create_symlink(outside / "bob" / "NTUSER.DAT", root / bobHive);
       }},
      {"is no folder of drive C:", [](const fs::path&) {}, L"D:\\Users\\bob"},
      {"DEFAULT: not a registry hive",
       [](const fs::path& root) { test::WriteHostFile(test::ConfigFolder(root) / "DEFAULT", "x"); }, L"C:\\Users\\bob",
       L".DEFAULT"},
      // A link that stays on the volume is followed.
      {"",
       [&](const fs::path& root) {
         fs::rename(root / "Users" / "bob", root / "bob");
         fs::create_directory_symlink("../bob", root / "Users" / "bob");
       },
       L"C:\\Users\\bob", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Hives hives;
    AddProfile(hives, kAlice, L"C:\\Users\\alice");
    AddProfile(hives, kBob, c.bobPath);
    test::WriteVolume(dir.path(), &hives.software, &hives.system);
    WriteUserHive(dir / "Users" / "alice" / "NTUSER.DAT", L"alice");
    WriteUserHive(dir / bobHive, L"bob");
    WriteUserHive(test::ConfigFolder(dir.path()) / "DEFAULT", L"default");
    c.spoil(dir.path());
    Loaded l = Load(dir.path());
    ASSERT_TRUE(l.ok) << l.error;
    EXPECT_EQ(Whose(l.volume, kAlice), L"alice");
    if (c.skipped == nullptr) {
      EXPECT_EQ(Whose(l.volume, kBob), L"bob");
      EXPECT_TRUE(l.volume.warnings.empty()) << l.volume.warnings.front();
      continue;
    }
    EXPECT_EQ(l.volume.registry.FindKey(sim::Hive::kUsers, c.skipped), nullptr);
    EXPECT_EQ(l.volume.registry.Root(sim::Hive::kUsers).SubKeyCount(), c.skipped == kBob ? 3u : 2u);
    ASSERT_EQ(l.volume.warnings.size(), 1u);
    const std::string& warning = l.volume.warnings[0];
    EXPECT_EQ(warning.rfind("warning: HKEY_USERS\\" + ToUtf8(c.skipped) + " is not loaded: ", 0), 0u) << warning;
    EXPECT_NE(warning.find(c.what), std::string::npos) << warning;
    if (c.bobPath[0] == L'C' && c.skipped == kBob) {
      EXPECT_NE(warning.find((dir / "Users" / "bob").string()), std::string::npos) << warning;
    }
  }
}

// Windows 2000, and what was upgraded from it, keeps its hives in WINNT.
TEST(WindowsVolume, AWinntVolumeIsReadAsAWindowsOne) {
  TempDir dir;
  Hives hives;
  sim::RegKey* nt = hives.software.FindSubKey(L"Microsoft")->FindSubKey(L"Windows NT")->FindSubKey(L"CurrentVersion");
  nt->SetString(L"CurrentVersion", L"5.1");
  nt->SetString(L"SystemRoot", L"C:\\WINNT");
  AddProfile(hives, kAlice, L"%SystemDrive%\\Documents and Settings\\alice");
  test::WriteVolume(dir.path(), &hives.software, &hives.system, "WINNT");
  WriteUserHive(dir / "Documents and Settings" / "alice" / "NTUSER.DAT", L"alice");
  Loaded l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  EXPECT_EQ(l.volume.windowsFolder, dir / "WINNT");
  EXPECT_EQ(l.volume.softwareHive, test::ConfigFolder(dir.path(), "WINNT") / "SOFTWARE");
  EXPECT_EQ(l.volume.config.windowsFolder, L"C:\\WINNT");
  EXPECT_EQ(Whose(l.volume, kAlice), L"alice");

  // A Windows folder without hives beside it is no rival; one with hives is.
  fs::create_directories(dir / "Windows" / "System32");
  EXPECT_TRUE(Load(dir.path()).ok);
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  l = Load(dir.path());
  EXPECT_FALSE(l.ok);
  EXPECT_EQ(l.error, (dir / "Windows").string() + " and " + (dir / "WINNT").string() +
                         ": ambiguous: both hold System32\\config, so the volume's registry is not one");
}

TEST(WindowsVolume, ChoosesAControlSetAsWindowsWouldAndSaysWhenItMust) {
  TempDir dir;
  Hives hives;
  // Current names a control set the hive does not hold: Default stands in.
  hives.system.FindSubKey(L"Select")->SetDword(L"Current", 3);
  hives.system.FindSubKey(L"Select")->SetDword(L"Default", 2);
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  Loaded l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  EXPECT_EQ(Which(l.volume), 2u);
  ASSERT_EQ(l.volume.warnings.size(), 1u);
  EXPECT_EQ(l.volume.warnings[0],
            "warning: HKLM\\SYSTEM\\Select: Current names ControlSet003, which the SYSTEM hive does not hold");

  // No Select at all: ControlSet001.
  hives.system.DeleteSubKey(L"Select");
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  EXPECT_EQ(Which(l.volume), 1u);

  // A CurrentControlSet key in the file gives way to the chosen control set.
  hives.system.CreateSubKey(L"CurrentControlSet")->SetDword(L"Which", 99);
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  EXPECT_EQ(Which(l.volume), 1u);
  ASSERT_EQ(l.volume.warnings.size(), 1u);
  EXPECT_NE(l.volume.warnings[0].find("holds a key CurrentControlSet of its own"), std::string::npos);

  // No control set: the volume loads, without CurrentControlSet, and says so.
  hives.system.DeleteSubKey(L"CurrentControlSet");
  hives.system.DeleteSubKey(L"ControlSet001");
  hives.system.DeleteSubKey(L"ControlSet002");
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  EXPECT_EQ(l.volume.registry.FindKey(sim::Hive::kLocalMachine, L"SYSTEM\\CurrentControlSet"), nullptr);
  ASSERT_EQ(l.volume.warnings.size(), 1u);
  EXPECT_NE(l.volume.warnings[0].find("holds no control set"), std::string::npos);
  EXPECT_TRUE(l.volume.config.services.empty());
}

TEST(WindowsVolume, ADirtyHiveIsReadWithAWarningNamingIt) {
  TempDir dir;
  Hives hives;
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  test::HiveOptions dirty;
  dirty.dirty = true;
  test::WriteHive(hives.system, test::ConfigFolder(dir.path()) / "SYSTEM", dirty);
  Loaded l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  ASSERT_EQ(l.volume.warnings.size(), 1u);
  EXPECT_EQ(l.volume.warnings[0], "warning: " + (test::ConfigFolder(dir.path()) / "SYSTEM").string() +
                                      ": the hive was not closed cleanly and its transaction logs were not replayed; "
                                      "it is read as it is");
  EXPECT_EQ(Which(l.volume), 1u);
}

// Watches folders with inotify: a file closed after being opened for
// writing, or anything created, changed or removed, is an event here.
class ChangeWatch {
 public:
  explicit ChangeWatch(const std::vector<fs::path>& folders) : fd_(inotify_init1(IN_NONBLOCK)) {
    for (const auto& folder : folders) {
      inotify_add_watch(fd_, folder.c_str(),
                        IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
                            IN_MOVED_FROM | IN_MOVED_TO);
    }
  }
  ~ChangeWatch() { ::close(fd_); }
  // Reads what happened: how many reads were seen, and every change.
  void Collect(int* reads, std::vector<std::string>* changes) {
    alignas(inotify_event) char buffer[8192];
    while (true) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        const std::string name = event->len ? event->name : "(folder)";
        if (event->mask & IN_CLOSE_NOWRITE) ++*reads;
        if (event->mask & ~(IN_CLOSE_NOWRITE | IN_ISDIR))
          changes->push_back(name + " mask " + std::to_string(event->mask));
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

 private:
  int fd_;
};

TEST(WindowsVolume, NothingUnderTheVolumeIsOpenedForWriting) {
  TempDir dir;
  Hives hives;
  AddProfile(hives, kAlice, L"C:\\Users\\alice");
  test::WriteVolume(dir.path(), &hives.software, &hives.system);
  const fs::path config = test::ConfigFolder(dir.path());
  WriteUserHive(config / "DEFAULT", L"default");
  WriteUserHive(dir / "Users" / "alice" / "NTUSER.DAT", L"alice");
  const auto before = test::TakeSnapshot(dir.path());
  ChangeWatch watch({dir.path(), dir / "Windows", dir / "Windows" / "System32", config, dir / "Users" / "alice"});
  Loaded l = Load(dir.path());
  ASSERT_TRUE(l.ok) << l.error;
  int reads = 0;
  std::vector<std::string> changes;
  watch.Collect(&reads, &changes);
  EXPECT_GE(reads, 4);  // the watch works: the four hives were opened and closed
  EXPECT_TRUE(changes.empty()) << changes.front();
  EXPECT_EQ(test::TakeSnapshot(dir.path()), before);
}

}  // namespace
}  // namespace zc::volume
