#include "platform/volume/windows_volume.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "platform/text.h"
#include "platform/volume/hive_reader.h"
#include "platform/volume/volume_facts.h"
#include "safety/win_path.h"

namespace fs = std::filesystem;

namespace zc::volume {

namespace {

using sim::Hive;
using sim::RegKey;

constexpr std::wstring_view kProfileList = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

enum class Kind { kFolder, kFile };

// How an entry is looked for beyond its name.
struct Lookup {
  // The volume's canonical root: a link that leads outside it is refused.
  // Without it, links are followed wherever they lead.
  const fs::path* within = nullptr;
  // Set when two entries match the name, and when none does.
  bool* ambiguous = nullptr;
  bool* missing = nullptr;
};

bool IsInside(const fs::path& path, const fs::path& root) {
  const std::string p = path.string(), r = root.string();
  return !r.empty() && p.compare(0, r.size(), r) == 0 &&
         (p.size() == r.size() || p[r.size()] == '/' || r.back() == '/');
}

// The entry of `folder` called `name`, matched without regard to case.
std::optional<std::string> FindNoCase(const fs::path& folder, std::wstring_view name, Kind kind, fs::path* found,
                                      const Lookup& lookup = {}) {
  std::error_code ec;
  std::vector<fs::path> matches;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualsNoCase(FromUtf8(it->path().filename().string()), name)) matches.push_back(it->path());
  }
  const std::string wanted = (folder / ToUtf8(name)).string();
  if (ec) return folder.string() + ": cannot be listed: " + ec.message();
  if (matches.empty()) {
    if (lookup.missing) *lookup.missing = true;
    return wanted + ": missing";
  }
  if (matches.size() > 1) {
    if (lookup.ambiguous) *lookup.ambiguous = true;
    return wanted + ": ambiguous: " + matches[0].filename().string() + " and " + matches[1].filename().string() +
           " both match";
  }
  // Links are followed: reading through them changes nothing. Where the
  // volume's own files are meant, though, one that leaves it is no way.
  if (lookup.within && fs::is_symlink(fs::symlink_status(matches[0], ec))) {
    const fs::path target = fs::weakly_canonical(matches[0], ec);
    if (ec || !IsInside(target, *lookup.within)) {
      return matches[0].string() + ": a link that leads off the volume" + (ec ? "" : " (to " + target.string() + ")");
    }
  }
  const bool folderFound = fs::is_directory(matches[0], ec);
  const bool fileFound = fs::is_regular_file(matches[0], ec);
  if (kind == Kind::kFolder && !folderFound) return matches[0].string() + ": not a folder";
  if (kind == Kind::kFile && !fileFound) return matches[0].string() + ": not a file";
  *found = matches[0];
  return std::nullopt;
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
  MergeTree(*chosen, *system.CreateSubKey(L"CurrentControlSet"), nullptr);
  volume->notes.push_back("HKLM\\SYSTEM\\CurrentControlSet = " + ToUtf8(chosenName) + " (" + source + ")");
}

// Reads `file` into the key `keyName` of `hive`, told in the notes as `label`.
// A hive that cannot be read leaves no part of itself behind.
std::optional<std::string> LoadHive(const fs::path& file, Hive hive, const std::wstring& keyName,
                                    const std::string& label, WindowsVolume* volume) {
  RegKey* key = volume->registry.CreateKey(hive, keyName);
  HiveReadResult result;
  if (auto error = ReadHive(file, *key, &result)) {
    volume->registry.Root(hive).DeleteSubKey(keyName);
    return error;
  }
  if (result.dirty) {
    volume->warnings.push_back("warning: " + file.string() +
                               ": the hive was not closed cleanly and its transaction logs were not replayed; "
                               "it is read as it is");
  }
  volume->notes.push_back(label + " = " + file.string() + " (" + std::to_string(result.keys) + " keys, " +
                          std::to_string(result.values) + " values)");
  return std::nullopt;
}

// The folder that holds the hives, below the Windows folder `windowsName`.
std::optional<std::string> FindConfig(const fs::path& root, const wchar_t* windowsName, fs::path* windows,
                                      fs::path* config, bool* ambiguous) {
  fs::path folder = root;
  for (const wchar_t* name : {windowsName, L"System32", L"config"}) {
    fs::path next;
    if (auto problem = FindNoCase(folder, name, Kind::kFolder, &next, {nullptr, ambiguous})) return problem;
    if (folder == root) *windows = next;
    folder = next;
  }
  *config = folder;
  return std::nullopt;
}

// The Windows folder: Windows, or WINNT as Windows 2000 named it. The two
// are never chosen between: a volume where both hold System32\config, or
// where a way to either is ambiguous, is refused.
std::optional<std::string> FindWindowsFolder(const fs::path& root, fs::path* windows, fs::path* config) {
  struct Way {
    const wchar_t* name = nullptr;
    fs::path windows, config;
    std::optional<std::string> problem;
    bool ambiguous = false;
  };
  std::array<Way, 2> ways;
  ways[0].name = L"Windows";
  ways[1].name = L"WINNT";
  for (Way& way : ways) way.problem = FindConfig(root, way.name, &way.windows, &way.config, &way.ambiguous);
  for (const Way& way : ways) {
    if (way.ambiguous) return way.problem;
  }
  if (!ways[0].problem && !ways[1].problem) {
    return ways[0].windows.string() + " and " + ways[1].windows.string() +
           ": ambiguous: both hold System32\\config, so the volume's registry is not one";
  }
  for (const Way& way : ways) {
    if (!way.problem) {
      *windows = way.windows;
      *config = way.config;
      return std::nullopt;
    }
  }
  // Neither: the way that got past the volume's root tells what is missing.
  const Way& told = ways[0].windows.empty() && !ways[1].windows.empty() ? ways[1] : ways[0];
  return *told.problem +
         " (not a Windows volume: its hives are Windows\\System32\\config\\SOFTWARE and SYSTEM, or WINNT\\... on "
         "Windows 2000)";
}

// A SID as ProfileList names a profile, not the SID.bak key Windows leaves
// beside a profile it could not load.
bool IsSid(std::wstring_view name) {
  if (name.size() <= 4 || name.substr(0, 4) != L"S-1-" || name.back() == L'-') return false;
  return std::all_of(name.begin() + 4, name.end(), [](wchar_t c) { return (c >= L'0' && c <= L'9') || c == L'-'; });
}

// The host path of a profile's NTUSER.DAT: ProfileImagePath expanded, on
// drive C:, walked from the volume's root without leaving it.
std::optional<std::string> FindUserHive(const RegKey& profile, const WindowsVolume& volume,
                                        const fs::path& canonicalRoot, fs::path* file) {
  const sim::RegValue* value = profile.FindValue(L"ProfileImagePath");
  const auto text = profile.GetString(L"ProfileImagePath");
  const std::string where = "HKLM\\" + ToUtf8(kProfileList) + "\\" + ToUtf8(profile.name());
  if (value == nullptr || (value->type != regtype::kSz && value->type != regtype::kExpandSz) || !text ||
      text->empty()) {
    return where + ": no ProfileImagePath";
  }
  const std::wstring path = ExpandPercentVariables(*text, [&volume](std::wstring_view name) {
    for (const auto& [key, data] : volume.config.environment) {
      if (EqualsNoCase(key, name)) return std::optional<std::wstring>(data);
    }
    return std::optional<std::wstring>();
  });
  const winpath::PathView parsed = winpath::Parse(path);
  if (parsed.form != winpath::Form::kDrive || parsed.drive != L'C' || parsed.error != err::kSuccess) {
    return where + ": ProfileImagePath " + ToUtf8(path) + " is no folder of drive C:";
  }
  fs::path folder = volume.root;
  const Lookup inside{&canonicalRoot};
  for (const std::wstring_view name : parsed.names) {
    fs::path next;
    if (auto problem = FindNoCase(folder, name, Kind::kFolder, &next, inside)) return problem;
    folder = next;
  }
  return FindNoCase(folder, L"NTUSER.DAT", Kind::kFile, file, inside);
}

// HKEY_USERS: .DEFAULT (and S-1-5-18, which Windows makes its alias) from
// the DEFAULT hive, and each profile's NTUSER.DAT under its SID. Whatever
// cannot be read is skipped with a warning: the machine's hives stand.
void LoadUsers(const fs::path& config, WindowsVolume* volume) {
  auto skip = [volume](const std::string& key, const std::string& problem) {
    volume->warnings.push_back("warning: HKEY_USERS\\" + key + " is not loaded: " + problem);
  };
  fs::path defaultHive;
  bool missing = false;
  if (auto problem = FindNoCase(config, L"DEFAULT", Kind::kFile, &defaultHive, {nullptr, nullptr, &missing})) {
    if (!missing) skip(".DEFAULT", *problem);
  } else if (auto error = LoadHive(defaultHive, Hive::kUsers, L".DEFAULT", "HKEY_USERS\\.DEFAULT", volume)) {
    skip(".DEFAULT", *error);
  } else {
    volume->userHives.push_back(defaultHive);
    RegKey& users = volume->registry.Root(Hive::kUsers);
    MergeTree(*users.FindSubKey(L".DEFAULT"), *users.CreateSubKey(sim::kSystemSid), nullptr);
    volume->notes.push_back("HKEY_USERS\\" + ToUtf8(sim::kSystemSid) +
                            " = HKEY_USERS\\.DEFAULT (as Windows links them)");
  }

  const RegKey* list = volume->registry.FindKey(Hive::kLocalMachine, kProfileList);
  if (list == nullptr) return;
  std::error_code ec;
  const fs::path canonicalRoot = fs::canonical(volume->root, ec);
  for (std::size_t i = 0; i < list->SubKeyCount(); ++i) {
    const RegKey& profile = *list->SubKeyAt(i);
    const std::string sid = ToUtf8(profile.name());
    if (!IsSid(profile.name()) || EqualsNoCase(profile.name(), sim::kSystemSid)) continue;
    fs::path file;
    if (auto problem = FindUserHive(profile, *volume, canonicalRoot, &file)) {
      skip(sid, *problem);
    } else if (auto error = LoadHive(file, Hive::kUsers, profile.name(), "HKEY_USERS\\" + sid, volume)) {
      skip(sid, *error);
    } else {
      volume->userHives.push_back(file);
    }
  }
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
  fs::path folder;
  if (auto problem = FindWindowsFolder(root, &volume.windowsFolder, &folder)) return fail(*problem);
  if (auto problem = FindNoCase(folder, L"SOFTWARE", Kind::kFile, &volume.softwareHive)) return fail(*problem);
  if (auto problem = FindNoCase(folder, L"SYSTEM", Kind::kFile, &volume.systemHive)) return fail(*problem);

  if (auto problem = LoadHive(volume.softwareHive, Hive::kLocalMachine, L"SOFTWARE", "HKLM\\SOFTWARE", &volume)) {
    return fail(*problem);
  }
  if (auto problem = LoadHive(volume.systemHive, Hive::kLocalMachine, L"SYSTEM", "HKLM\\SYSTEM", &volume)) {
    return fail(*problem);
  }
  MakeCurrentControlSet(*volume.registry.FindKey(Hive::kLocalMachine, L"SYSTEM"), &volume);

  volume.config = ReadMachineFacts(volume.registry, FromUtf8(volume.windowsFolder.filename().string()), &volume.notes);
  // After the facts: a profile's path is expanded with the volume's variables.
  LoadUsers(folder, &volume);
  *out = std::move(volume);
  return true;
}

}  // namespace zc::volume
