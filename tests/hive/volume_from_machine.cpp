#include "hive/volume_from_machine.h"

#include <stdexcept>

#include "hive/hive_writer.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace zc::test {

namespace {

constexpr const wchar_t* kEnvironment = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// The existing entry of `folder` that matches `name` without regard to
// case, or `folder`/`name` created.
fs::path Folder(const fs::path& folder, const std::string& name) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (EqualsNoCase(FromUtf8(entry.path().filename().string()), FromUtf8(name))) return entry.path();
  }
  fs::create_directories(folder / name);
  return folder / name;
}

}  // namespace

void StateFactsInRegistry(sim::SimMachine& machine) {
  sim::RegStore& store = machine.store();
  const sim::MachineConfig& c = machine.config();
  const auto hklm = sim::Hive::kLocalMachine;
  sim::RegKey* nt = store.CreateKey(hklm, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
  nt->SetString(L"CurrentVersion", std::to_wstring(c.version.major) + L"." + std::to_wstring(c.version.minor));
  nt->SetString(L"SystemRoot", c.windowsFolder);
  sim::RegKey* cv = store.CreateKey(hklm, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  if (c.bits == 64) {
    cv->SetString(L"ProgramFilesDir", c.windowsFolder.substr(0, 2) + L"\\Program Files");
    cv->SetString(L"ProgramFilesDir (x86)", c.programsFolder);
  } else {
    cv->SetString(L"ProgramFilesDir", c.programsFolder);
  }
  sim::RegKey* env = store.CreateKey(hklm, kEnvironment);
  env->SetString(L"PROCESSOR_ARCHITECTURE", c.bits == 64 ? L"AMD64" : L"x86");
  for (const auto& [name, value] : c.environment) env->SetString(name, value);
}

void WriteVolumeOfMachine(sim::SimMachine& machine, const fs::path& root) {
  fs::create_directories(root);
  fs::copy(machine.folder() / "drive_c", root, fs::copy_options::recursive | fs::copy_options::copy_symlinks);

  const sim::RegStore& store = machine.store();
  const sim::RegKey* software = store.FindKey(sim::Hive::kLocalMachine, L"SOFTWARE");
  const sim::RegKey* system = store.FindKey(sim::Hive::kLocalMachine, L"SYSTEM");
  if (software == nullptr || system == nullptr) throw std::runtime_error("the machine has no SOFTWARE or SYSTEM");

  // SYSTEM as a hive holds it: the control set under its own name, chosen by Select.
  sim::RegKey hive(L"SYSTEM", nullptr);
  for (std::size_t i = 0; i < system->SubKeyCount(); ++i) {
    const sim::RegKey* sub = system->SubKeyAt(i);
    const bool current = EqualsNoCase(sub->name(), L"CurrentControlSet");
    sim::MergeTree(*sub, *hive.CreateSubKey(current ? L"ControlSet001" : sub->name()), nullptr);
  }
  system->values().ForEach([&](const sim::RegValue& v) { hive.SetValue(v.name, v.type, v.data); });
  sim::RegKey* select = hive.CreateSubKey(L"Select");
  for (const wchar_t* name : {L"Current", L"Default", L"LastKnownGood"}) select->SetDword(name, 1);
  select->SetDword(L"Failed", 0);

  const std::wstring& windows = machine.config().windowsFolder;  // C:\<name>
  const fs::path config = Folder(Folder(Folder(root, ToUtf8(windows.substr(3))), "System32"), "config");
  WriteHive(*software, config / "SOFTWARE");
  WriteHive(hive, config / "SYSTEM");

  // Each account's hive where its profile keeps it, and the default user's.
  const sim::RegKey* users = &store.Root(sim::Hive::kUsers);
  if (const sim::RegKey* defaults = users->FindSubKey(L".DEFAULT")) WriteHive(*defaults, config / "DEFAULT");
  const sim::RegKey* profiles = software->FindSubKey(L"Microsoft");
  for (const wchar_t* name : {L"Windows NT", L"CurrentVersion", L"ProfileList"}) {
    profiles = profiles != nullptr ? profiles->FindSubKey(name) : nullptr;
  }
  for (std::size_t i = 0; profiles != nullptr && i < profiles->SubKeyCount(); ++i) {
    const sim::RegKey* profile = profiles->SubKeyAt(i);
    const sim::RegKey* account = users->FindSubKey(profile->name());
    const auto image = profile->GetString(L"ProfileImagePath");
    if (account == nullptr || !image || image->size() < 4) continue;
    fs::path folder = root;
    std::wstring rest = image->substr(3);
    for (std::size_t cut; !rest.empty(); rest = cut == std::wstring::npos ? L"" : rest.substr(cut + 1)) {
      cut = rest.find(L'\\');
      folder = Folder(folder, ToUtf8(rest.substr(0, cut)));
    }
    WriteHive(*account, folder / "NTUSER.DAT");
  }
}

}  // namespace zc::test
