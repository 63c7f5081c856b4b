#include "platform/volume/windows_volume.h"

#include <cstdio>
#include <optional>

#include "platform/text.h"
#include "platform/volume/hive_reader.h"
#include "platform/volume/volume_facts.h"

namespace fs = std::filesystem;

namespace zc::volume {

namespace {

using sim::Hive;
using sim::RegKey;

enum class Kind { kFolder, kFile };

// The entry of `folder` called `name`, matched without regard to case.
std::optional<std::string> FindNoCase(const fs::path& folder, std::wstring_view name, Kind kind, fs::path* found) {
  std::error_code ec;
  std::vector<fs::path> matches;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualsNoCase(FromUtf8(it->path().filename().string()), name)) matches.push_back(it->path());
  }
  const std::string wanted = (folder / ToUtf8(name)).string();
  if (ec) return folder.string() + ": cannot be listed: " + ec.message();
  if (matches.empty()) return wanted + ": missing";
  if (matches.size() > 1) {
    return wanted + ": ambiguous: " + matches[0].filename().string() + " and " + matches[1].filename().string() +
           " both match";
  }
  // Links are followed: reading through them changes nothing.
  const bool folderFound = fs::is_directory(matches[0], ec);
  const bool fileFound = fs::is_regular_file(matches[0], ec);
  if (kind == Kind::kFolder && !folderFound) return matches[0].string() + ": not a folder";
  if (kind == Kind::kFile && !fileFound) return matches[0].string() + ": not a file";
  *found = matches[0];
  return std::nullopt;
}

// Copies the values and sub-keys of `from` into `to`.
void CopyTree(const RegKey& from, RegKey& to) {
  std::vector<std::pair<const RegKey*, RegKey*>> pending{{&from, &to}};
  while (!pending.empty()) {
    const RegKey* source = pending.back().first;
    RegKey* target = pending.back().second;
    pending.pop_back();
    source->values().ForEach(
        [target](const sim::RegValue& value) { target->SetValue(value.name, value.type, value.data); });
    for (std::size_t i = 0; i < source->SubKeyCount(); ++i) {
      const RegKey* sub = source->SubKeyAt(i);
      pending.emplace_back(sub, target->CreateSubKey(sub->name()));
    }
  }
}

std::wstring ControlSetName(std::uint32_t number) {
  wchar_t name[32];
  std::swprintf(name, 32, L"ControlSet%03u", number);
  return name;
}

// HKLM\SYSTEM\CurrentControlSet as Windows makes it at boot.
void MakeCurrentControlSet(RegKey& system, WindowsVolume* volume) {
  std::string source;
  const RegKey* chosen = nullptr;
  std::wstring chosenName;
  if (const RegKey* select = system.FindSubKey(L"Select")) {
    for (const wchar_t* which : {L"Current", L"Default"}) {
      const auto number = select->GetDword(which);
      if (!number) continue;
      const std::wstring name = ControlSetName(*number);
      if (const RegKey* set = system.FindSubKey(name)) {
        chosen = set;
        chosenName = set->name();
        source = "HKLM\\SYSTEM\\Select: " + ToUtf8(which) + " = " + std::to_string(*number);
        break;
      }
      volume->warnings.push_back("warning: HKLM\\SYSTEM\\Select: " + ToUtf8(which) + " names " + ToUtf8(name) +
                                 ", which the SYSTEM hive does not hold");
    }
  }
  if (chosen == nullptr) {
    if (const RegKey* first = system.FindSubKey(ControlSetName(1))) {
      chosen = first;
      chosenName = first->name();
      source = "default: no usable HKLM\\SYSTEM\\Select";
    }
  }
  if (system.FindSubKey(L"CurrentControlSet") != nullptr) {
    volume->warnings.push_back(
        "warning: the SYSTEM hive holds a key CurrentControlSet of its own; it is replaced by the control set "
        "Windows would choose at boot");
    system.DeleteSubKey(L"CurrentControlSet");
  }
  if (chosen == nullptr) {
    volume->warnings.push_back(
        "warning: the SYSTEM hive holds no control set: HKLM\\SYSTEM\\CurrentControlSet is absent");
    return;
  }
  CopyTree(*chosen, *system.CreateSubKey(L"CurrentControlSet"));
  volume->notes.push_back("HKLM\\SYSTEM\\CurrentControlSet = " + ToUtf8(chosenName) + " (" + source + ")");
}

std::optional<std::string> LoadHive(const fs::path& file, const wchar_t* keyName, WindowsVolume* volume) {
  RegKey* key = volume->registry.CreateKey(Hive::kLocalMachine, keyName);
  HiveReadResult result;
  if (auto error = ReadHive(file, *key, &result)) return error;
  if (result.dirty) {
    volume->warnings.push_back("warning: " + file.string() +
                               ": the hive was not closed cleanly and its transaction logs were not replayed; "
                               "it is read as it is");
  }
  volume->notes.push_back("HKLM\\" + ToUtf8(keyName) + " = " + file.string() + " (" + std::to_string(result.keys) +
                          " keys, " + std::to_string(result.values) + " values)");
  return std::nullopt;
}

}  // namespace

bool LoadWindowsVolume(const fs::path& root, WindowsVolume* out, std::string* error) {
  auto fail = [error](std::string message) {
    if (error) *error = std::move(message);
    return false;
  };
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return fail(root.string() + ": not a folder");

  WindowsVolume volume;
  volume.root = root;
  fs::path folder = root;
  for (const wchar_t* name : {L"Windows", L"System32", L"config"}) {
    fs::path next;
    if (auto problem = FindNoCase(folder, name, Kind::kFolder, &next)) {
      return fail(*problem + " (not a Windows volume: its hives are Windows\\System32\\config\\SOFTWARE and SYSTEM)");
    }
    if (folder == root) volume.windowsFolder = next;
    folder = next;
  }
  if (auto problem = FindNoCase(folder, L"SOFTWARE", Kind::kFile, &volume.softwareHive)) return fail(*problem);
  if (auto problem = FindNoCase(folder, L"SYSTEM", Kind::kFile, &volume.systemHive)) return fail(*problem);

  if (auto problem = LoadHive(volume.softwareHive, L"SOFTWARE", &volume)) return fail(*problem);
  if (auto problem = LoadHive(volume.systemHive, L"SYSTEM", &volume)) return fail(*problem);
  MakeCurrentControlSet(*volume.registry.FindKey(Hive::kLocalMachine, L"SYSTEM"), &volume);

  volume.config = ReadMachineFacts(volume.registry, FromUtf8(volume.windowsFolder.filename().string()), &volume.notes);
  *out = std::move(volume);
  return true;
}

}  // namespace zc::volume
