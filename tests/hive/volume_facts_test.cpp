// The facts of a machine read from its registry: each from where Windows
// keeps it, or a stated default, and every one printed with its source.
#include "platform/volume/volume_facts.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"

namespace zc::volume {
namespace {

constexpr const wchar_t* kNt = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const wchar_t* kCv = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const wchar_t* kProfiles = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr const wchar_t* kEnv = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

sim::RegKey& Key(sim::RegStore& store, const wchar_t* path) { return *store.CreateKey(sim::Hive::kLocalMachine, path); }

void SetExpand(sim::RegKey& key, const wchar_t* name, const std::wstring& text) {
  key.SetString(name, text, regtype::kExpandSz);
}

std::wstring Env(const sim::MachineConfig& config, std::wstring_view name) {
  for (const auto& [key, value] : config.environment) {
    if (EqualsNoCase(key, name)) return value;
  }
  return L"(unset)";
}

bool HasNote(const std::vector<std::string>& notes, const std::string& line) {
  return std::find(notes.begin(), notes.end(), line) != notes.end();
}

std::string Joined(const std::vector<std::string>& notes) {
  std::string out;
  for (const auto& n : notes) out += n + "\n";
  return out;
}

// A 64-bit Windows 7 as its setup leaves the registry.
sim::RegStore Windows7x64() {
  sim::RegStore store;
  sim::RegKey& nt = Key(store, kNt);
  nt.SetString(L"CurrentVersion", L"6.1");
  nt.SetString(L"SystemRoot", L"C:\\Windows");
  sim::RegKey& cv = Key(store, kCv);
  cv.SetString(L"ProgramFilesDir", L"C:\\Program Files");
  cv.SetString(L"ProgramFilesDir (x86)", L"C:\\Program Files (x86)");
  cv.SetString(L"CommonFilesDir", L"C:\\Program Files\\Common Files");
  cv.SetString(L"CommonFilesDir (x86)", L"C:\\Program Files (x86)\\Common Files");
  sim::RegKey& profiles = Key(store, kProfiles);
  SetExpand(profiles, L"ProfilesDirectory", L"%SystemDrive%\\Users");
  SetExpand(profiles, L"ProgramData", L"%SystemDrive%\\ProgramData");
  SetExpand(profiles, L"Public", L"%SystemDrive%\\Users\\Public");
  SetExpand(profiles, L"Default", L"%SystemDrive%\\Users\\Default");
  sim::RegKey& env = Key(store, kEnv);
  SetExpand(env, L"TEMP", L"%SystemRoot%\\TEMP");
  SetExpand(env, L"TMP", L"%SystemRoot%\\TEMP");
  env.SetString(L"PROCESSOR_ARCHITECTURE", L"AMD64");
  SetExpand(env, L"Path", L"%SystemRoot%\\system32;%SystemRoot%;%ToolsDir%\\bin");
  env.SetString(L"ToolsDir", L"D:\\Tools");
  env.SetString(L"windir", L"%SystemRoot%");
  Key(store, L"SOFTWARE\\Wow6432Node\\Microsoft");
  Key(store, L"SYSTEM\\CurrentControlSet\\Services\\Spooler").SetString(L"DisplayName", L"Print Spooler");
  return store;
}

TEST(VolumeFacts, A64BitWindows7GivesWhatItsRegistrySays) {
  const sim::RegStore store = Windows7x64();
  std::vector<std::string> notes;
  const sim::MachineConfig c = ReadMachineFacts(store, L"Windows", &notes);

  EXPECT_EQ(c.bits, 64);
  EXPECT_EQ(c.version.major, 6u);
  EXPECT_EQ(c.version.minor, 1u);
  EXPECT_EQ(c.windowsFolder, L"C:\\Windows");
  EXPECT_EQ(c.systemFolder, L"C:\\Windows\\system32");
  EXPECT_EQ(c.programsFolder, L"C:\\Program Files (x86)");  // the tool is a 32-bit program
  EXPECT_EQ(c.currentDirectory, L"C:\\");
  EXPECT_FALSE(c.clock.has_value());
  ASSERT_EQ(c.services.count(L"spooler"), 1u);
  EXPECT_EQ(c.services.at(L"spooler").state, 1u);  // stopped: the volume is offline

  EXPECT_EQ(Env(c, L"TMP"), L"C:\\Windows\\TEMP");
  EXPECT_EQ(Env(c, L"TEMP"), L"C:\\Windows\\TEMP");
  EXPECT_EQ(Env(c, L"ProgramFiles"), L"C:\\Program Files (x86)");
  EXPECT_EQ(Env(c, L"ProgramFiles(x86)"), L"C:\\Program Files (x86)");
  EXPECT_EQ(Env(c, L"ProgramW6432"), L"C:\\Program Files");
  EXPECT_EQ(Env(c, L"CommonProgramFiles"), L"C:\\Program Files (x86)\\Common Files");
  EXPECT_EQ(Env(c, L"CommonProgramW6432"), L"C:\\Program Files\\Common Files");
  EXPECT_EQ(Env(c, L"ProgramData"), L"C:\\ProgramData");
  EXPECT_EQ(Env(c, L"ALLUSERSPROFILE"), L"C:\\ProgramData");
  EXPECT_EQ(Env(c, L"PUBLIC"), L"C:\\Users\\Public");
  EXPECT_EQ(Env(c, L"USERPROFILE"), L"C:\\Users\\Default");
  EXPECT_EQ(Env(c, L"SystemDrive"), L"C:");
  EXPECT_EQ(Env(c, L"windir"), L"C:\\Windows");
  // Plain values are known before the ones that refer to them.
  EXPECT_EQ(Env(c, L"Path"), L"C:\\Windows\\system32;C:\\Windows;D:\\Tools\\bin");

  const std::string all = Joined(notes);
  EXPECT_TRUE(HasNote(notes,
                      "Windows version = 6.1 (HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion: "
                      "CurrentVersion)"))
      << all;
  EXPECT_TRUE(HasNote(notes,
                      "bits = 64 (HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment: "
                      "PROCESSOR_ARCHITECTURE = AMD64)"))
      << all;
  EXPECT_TRUE(HasNote(notes,
                      "programs folder = C:\\Program Files (x86) (HKLM\\SOFTWARE\\Microsoft\\Windows\\"
                      "CurrentVersion: ProgramFilesDir (x86); the tool is a 32-bit program on 64-bit Windows)"))
      << all;
  EXPECT_TRUE(HasNote(notes,
                      "%TMP% = C:\\Windows\\TEMP (HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session "
                      "Manager\\Environment: TMP = %SystemRoot%\\TEMP)"))
      << all;
  EXPECT_TRUE(HasNote(notes,
                      "Spooler service = stopped (HKLM\\SYSTEM\\CurrentControlSet\\Services\\Spooler exists; "
                      "the volume is offline)"))
      << all;
  EXPECT_TRUE(HasNote(notes, "current directory = C:\\ (default: a volume keeps none)")) << all;
  // Every environment variable the machine gets is printed.
  for (const auto& [name, value] : c.environment) {
    const std::string head = "%" + ToUtf8(name) + "% = " + ToUtf8(value) + " (";
    EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&](const std::string& n) { return n.rfind(head, 0) == 0; }))
        << head;
  }
}

TEST(VolumeFacts, AnEmptyRegistryGivesTheStatedDefaults) {
  const sim::RegStore store;
  std::vector<std::string> notes;
  const sim::MachineConfig c = ReadMachineFacts(store, L"WINDOWS", &notes);
  EXPECT_EQ(c.bits, 32);
  EXPECT_EQ(c.version.major, 6u);
  EXPECT_EQ(c.version.minor, 1u);
  EXPECT_EQ(c.windowsFolder, L"C:\\WINDOWS");  // as the folder is named on the volume
  EXPECT_EQ(c.programsFolder, L"C:\\Program Files");
  EXPECT_EQ(Env(c, L"TMP"), L"C:\\WINDOWS\\TEMP");
  EXPECT_EQ(Env(c, L"CommonProgramFiles"), L"C:\\Program Files\\Common Files");
  EXPECT_EQ(Env(c, L"USERPROFILE"), L"C:\\Users\\Default");
  EXPECT_EQ(Env(c, L"ProgramW6432"), L"(unset)");
  EXPECT_TRUE(c.services.empty());
  const std::string all = Joined(notes);
  EXPECT_TRUE(HasNote(notes, "bits = 32 (no HKLM\\SOFTWARE\\Wow6432Node)")) << all;
  EXPECT_TRUE(HasNote(notes,
                      "Windows version = 6.1 (default: no HKLM\\SOFTWARE\\Microsoft\\Windows "
                      "NT\\CurrentVersion: CurrentVersion)"))
      << all;
  EXPECT_TRUE(HasNote(notes,
                      "%TMP% = C:\\WINDOWS\\TEMP (default: no HKLM\\SYSTEM\\CurrentControlSet\\Control\\"
                      "Session Manager\\Environment: TMP)"))
      << all;
  EXPECT_TRUE(HasNote(notes, "Spooler service = absent (no HKLM\\SYSTEM\\CurrentControlSet\\Services\\Spooler)"))
      << all;
}

TEST(VolumeFacts, Windows10IsToldAsWindows8ToAProgramDeclaredForWindows7) {
  sim::RegStore store;
  sim::RegKey& nt = Key(store, kNt);
  nt.SetString(L"CurrentVersion", L"6.3");
  nt.SetDword(L"CurrentMajorVersionNumber", 10);
  nt.SetDword(L"CurrentMinorVersionNumber", 0);
  std::vector<std::string> notes;
  const sim::MachineConfig c = ReadMachineFacts(store, L"Windows", &notes);
  EXPECT_EQ(c.version.major, 6u);
  EXPECT_EQ(c.version.minor, 2u);
  EXPECT_TRUE(HasNote(notes,
                      "Windows version = 10.0 (HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion: "
                      "CurrentMajorVersionNumber, CurrentMinorVersionNumber; the tool, declared for Windows 7 "
                      "at most, is told 6.2)"))
      << Joined(notes);

  nt.DeleteValue(L"CurrentMajorVersionNumber");
  nt.DeleteValue(L"CurrentMinorVersionNumber");
  nt.SetString(L"CurrentVersion", L"5.1");
  const sim::MachineConfig xp = ReadMachineFacts(store, L"WINDOWS", nullptr);
  EXPECT_EQ(xp.version.major, 5u);
  EXPECT_EQ(xp.version.minor, 1u);
  EXPECT_EQ(Env(xp, L"USERPROFILE"), L"C:\\Documents and Settings\\Default User");
  EXPECT_EQ(Env(xp, L"ALLUSERSPROFILE"), L"C:\\Documents and Settings\\All Users");

  nt.SetString(L"CurrentVersion", L"six");
  EXPECT_EQ(ReadMachineFacts(store, L"Windows", nullptr).version.minor, 1u);
}

TEST(VolumeFacts, BitnessFromTheArchitectureElseFromTheWow64Node) {
  sim::RegStore store = Windows7x64();
  Key(store, kEnv).SetString(L"PROCESSOR_ARCHITECTURE", L"x86");
  EXPECT_EQ(ReadMachineFacts(store, L"Windows", nullptr).bits, 32);  // the architecture wins
  Key(store, kEnv).SetString(L"PROCESSOR_ARCHITECTURE", L"ARM64");
  EXPECT_EQ(ReadMachineFacts(store, L"Windows", nullptr).bits, 64);
  Key(store, kEnv).DeleteValue(L"PROCESSOR_ARCHITECTURE");
  EXPECT_EQ(ReadMachineFacts(store, L"Windows", nullptr).bits, 64);  // Wow6432Node exists
  store.DeleteKey(sim::Hive::kLocalMachine, L"SOFTWARE\\Wow6432Node");
  const sim::MachineConfig c = ReadMachineFacts(store, L"Windows", nullptr);
  EXPECT_EQ(c.bits, 32);
  EXPECT_EQ(c.programsFolder, L"C:\\Program Files");
  EXPECT_EQ(Env(c, L"ProgramFiles(x86)"), L"(unset)");
}

TEST(VolumeFacts, FoldersThatAreNoFullPathsFallBackToTheirDefaults) {
  sim::RegStore store = Windows7x64();
  Key(store, kCv).SetString(L"ProgramFilesDir (x86)", L"Program Files (x86)");  // relative
  Key(store, kCv).SetString(L"CommonFilesDir (x86)", L"%NoSuchVariable%\\Common Files");
  Key(store, kCv).SetDword(L"ProgramFilesDir", 7);         // not text
  Key(store, kNt).SetString(L"SystemRoot", L"D:\\WINNT");  // not the folder that holds the hives
  std::vector<std::string> notes;
  const sim::MachineConfig c = ReadMachineFacts(store, L"Windows", &notes);
  EXPECT_EQ(c.programsFolder, L"C:\\Program Files (x86)");
  EXPECT_EQ(Env(c, L"CommonProgramFiles"), L"C:\\Program Files (x86)\\Common Files");
  EXPECT_EQ(Env(c, L"ProgramW6432"), L"C:\\Program Files");
  EXPECT_EQ(c.windowsFolder, L"C:\\Windows");
  EXPECT_EQ(Env(c, L"TMP"), L"C:\\Windows\\TEMP");
  const std::string all = Joined(notes);
  EXPECT_TRUE(HasNote(notes,
                      "programs folder = C:\\Program Files (x86) (default: HKLM\\SOFTWARE\\Microsoft\\Windows\\"
                      "CurrentVersion: ProgramFilesDir (x86) is not a full path; the tool is a 32-bit program "
                      "on 64-bit Windows)"))
      << all;
  EXPECT_TRUE(HasNote(notes,
                      "Windows folder = C:\\Windows (the folder that holds the hives; HKLM\\SOFTWARE\\Microsoft"
                      "\\Windows NT\\CurrentVersion: SystemRoot names D:\\WINNT)"))
      << all;
}

TEST(VolumeFacts, TheProfilesFolderComesFromTheProfileList) {
  sim::RegStore store = Windows7x64();
  sim::RegKey& profiles = Key(store, kProfiles);
  SetExpand(profiles, L"ProfilesDirectory", L"D:\\Profiles\\");
  profiles.DeleteValue(L"Public");
  profiles.DeleteValue(L"Default");
  const sim::MachineConfig c = ReadMachineFacts(store, L"Windows", nullptr);
  EXPECT_EQ(Env(c, L"PUBLIC"), L"D:\\Profiles\\Public");
  EXPECT_EQ(Env(c, L"USERPROFILE"), L"D:\\Profiles\\Default");
}

}  // namespace
}  // namespace zc::volume
