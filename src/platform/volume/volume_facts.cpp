#include "platform/volume/volume_facts.h"

#include <cwchar>
#include <optional>
#include <utility>

#include "platform/registry.h"
#include "platform/services.h"
#include "platform/text.h"
#include "safety/win_path.h"

namespace zc::volume {

namespace {

using sim::Hive;
using sim::RegKey;
using sim::RegStore;
using sim::RegValue;

constexpr std::wstring_view kNtCurrentVersion = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::wstring_view kCurrentVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr std::wstring_view kProfileList = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr std::wstring_view kEnvironment = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr std::wstring_view kSpooler = L"SYSTEM\\CurrentControlSet\\Services\\Spooler";
constexpr std::wstring_view kDrive = L"C:";

using Variables = std::vector<std::pair<std::wstring, std::wstring>>;

std::string Source(std::wstring_view key, std::wstring_view value) {
  return "HKLM\\" + ToUtf8(key) + ": " + ToUtf8(value);
}

const RegValue* FindValue(const RegStore& reg, std::wstring_view path, std::wstring_view name) {
  const RegKey* key = reg.FindKey(Hive::kLocalMachine, path);
  return key ? key->FindValue(name) : nullptr;
}

// A REG_SZ or REG_EXPAND_SZ value's text up to its first NUL; nothing for
// other types or empty text.
std::optional<std::wstring> Text(const RegStore& reg, std::wstring_view path, std::wstring_view name) {
  const RegValue* value = FindValue(reg, path, name);
  if (value == nullptr || (value->type != regtype::kSz && value->type != regtype::kExpandSz)) return std::nullopt;
  std::wstring text = FromUtf16Le(value->data.data(), value->data.size());
  if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::uint32_t> Dword(const RegStore& reg, std::wstring_view path, std::wstring_view name) {
  const RegValue* value = FindValue(reg, path, name);
  if (value == nullptr || value->type != regtype::kDword || value->data.size() != 4) return std::nullopt;
  return static_cast<std::uint32_t>(value->data[0]) | static_cast<std::uint32_t>(value->data[1]) << 8 |
         static_cast<std::uint32_t>(value->data[2]) << 16 | static_cast<std::uint32_t>(value->data[3]) << 24;
}

const std::wstring* Lookup(const Variables& variables, std::wstring_view name) {
  for (const auto& [key, value] : variables) {
    if (EqualsNoCase(key, name)) return &value;
  }
  return nullptr;
}

// %NAME% references replaced as ExpandEnvironmentStrings does; an unknown
// name stays as written.
std::wstring Expand(std::wstring_view source, const Variables& variables) {
  return ExpandPercentVariables(source, [&variables](std::wstring_view name) -> std::optional<std::wstring> {
    if (const std::wstring* value = Lookup(variables, name)) return *value;
    return std::nullopt;
  });
}

// A folder as Windows hands it out: no trailing backslash except a root's.
std::wstring TrimFolder(std::wstring folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// A fact's value and where it came from, for the notes.
struct Fact {
  std::wstring value;
  std::string source;
};

class FactReader {
 public:
  FactReader(const RegStore& reg, std::vector<std::string>* notes) : reg_(reg), notes_(notes) {}

  void Note(const std::string& fact, std::wstring_view value, const std::string& source) {
    if (notes_) notes_->push_back(fact + " = " + ToUtf8(value) + " (" + source + ")");
  }

  // A folder from a text value, expanded with the variables known so far;
  // the default when the value is absent or not a full path.
  Fact Folder(std::wstring_view key, std::wstring_view name, const std::wstring& fallback,
              const std::string& fallbackWhy = "default") {
    if (auto text = Text(reg_, key, name)) {
      const std::wstring folder = TrimFolder(Expand(*text, Values()));
      if (winpath::IsFullyQualified(folder)) return {folder, Source(key, name)};
      return {fallback, fallbackWhy + ": " + Source(key, name) + " is not a full path"};
    }
    return {fallback, fallbackWhy + ": no " + Source(key, name)};
  }

  // An environment variable of every process on the volume; the first
  // definition of a name stands.
  void Define(const std::wstring& name, const Fact& fact) {
    if (Find(name) == nullptr) variables_.emplace_back(name, fact);
  }
  const Fact* Find(std::wstring_view name) const {
    for (const auto& [key, fact] : variables_) {
      if (EqualsNoCase(key, name)) return &fact;
    }
    return nullptr;
  }
  Variables Values() const {
    Variables values;
    for (const auto& [key, fact] : variables_) values.emplace_back(key, fact.value);
    return values;
  }

  const RegStore& reg() const { return reg_; }
  const std::vector<std::pair<std::wstring, Fact>>& variables() const { return variables_; }

 private:
  const RegStore& reg_;
  std::vector<std::string>* notes_;
  std::vector<std::pair<std::wstring, Fact>> variables_;
};

OsVersion ReadVersion(FactReader& facts, sim::MachineConfig* config) {
  const RegStore& reg = facts.reg();
  OsVersion real{6, 1};
  std::string source = "default";
  const auto major = Dword(reg, kNtCurrentVersion, L"CurrentMajorVersionNumber");
  const auto minor = Dword(reg, kNtCurrentVersion, L"CurrentMinorVersionNumber");
  if (major && minor) {
    real = OsVersion{*major, *minor};
    source = Source(kNtCurrentVersion, L"CurrentMajorVersionNumber, CurrentMinorVersionNumber");
  } else if (auto text = Text(reg, kNtCurrentVersion, L"CurrentVersion")) {
    unsigned a = 0, b = 0;
    wchar_t tail = 0;
    if (std::swscanf(text->c_str(), L"%u.%u%lc", &a, &b, &tail) == 2) {
      real = OsVersion{a, b};
      source = Source(kNtCurrentVersion, L"CurrentVersion");
    } else {
      source = "default: " + Source(kNtCurrentVersion, L"CurrentVersion") + " is not MAJOR.MINOR";
    }
  } else {
    source = "default: no " + Source(kNtCurrentVersion, L"CurrentVersion");
  }
  const std::wstring text = std::to_wstring(real.major) + L"." + std::to_wstring(real.minor);
  config->version = real;
  if (real.major > 6 || (real.major == 6 && real.minor > 2)) {
    // GetVersionEx answers 6.2 to a program whose manifest stops before Windows 8.1.
    config->version = OsVersion{6, 2};
    facts.Note("Windows version", text, source + "; the tool, declared for Windows 7 at most, is told 6.2");
  } else {
    facts.Note("Windows version", text, source);
  }
  return real;
}

int ReadBits(FactReader& facts) {
  const RegStore& reg = facts.reg();
  if (auto arch = Text(reg, kEnvironment, L"PROCESSOR_ARCHITECTURE")) {
    const std::string source = Source(kEnvironment, L"PROCESSOR_ARCHITECTURE") + " = " + ToUtf8(*arch);
    if (EqualsNoCase(*arch, L"AMD64") || EqualsNoCase(*arch, L"ARM64") || EqualsNoCase(*arch, L"IA64")) {
      facts.Note("bits", L"64", source);
      return 64;
    }
    if (EqualsNoCase(*arch, L"x86")) {
      facts.Note("bits", L"32", source);
      return 32;
    }
  }
  if (reg.FindKey(Hive::kLocalMachine, L"SOFTWARE\\Wow6432Node") != nullptr) {
    facts.Note("bits", L"64", "HKLM\\SOFTWARE\\Wow6432Node exists");
    return 64;
  }
  facts.Note("bits", L"32", "no HKLM\\SOFTWARE\\Wow6432Node");
  return 32;
}

std::wstring ReadWindowsFolder(FactReader& facts, const std::wstring& onDisk) {
  std::wstring found = std::wstring(kDrive) + L"\\" + onDisk;
  if (auto root = Text(facts.reg(), kNtCurrentVersion, L"SystemRoot")) {
    std::wstring folder = TrimFolder(*root);
    if (EqualsNoCase(folder, found)) {
      facts.Note("Windows folder", folder, Source(kNtCurrentVersion, L"SystemRoot"));
      return folder;
    }
    facts.Note(
        "Windows folder", found,
        "the folder that holds the hives; " + Source(kNtCurrentVersion, L"SystemRoot") + " names " + ToUtf8(folder));
    return found;
  }
  facts.Note("Windows folder", found,
             "the folder that holds the hives; no " + Source(kNtCurrentVersion, L"SystemRoot"));
  return found;
}

// The system environment, expanded: plain values first, then those that
// refer to others, as Windows builds it.
void ReadSystemEnvironment(FactReader& facts) {
  const RegKey* environment = facts.reg().FindKey(Hive::kLocalMachine, kEnvironment);
  if (environment == nullptr) return;
  for (const std::uint32_t pass : {regtype::kSz, regtype::kExpandSz}) {
    environment->values().ForEach([&](const RegValue& value) {
      if (value.type != pass || value.name.empty()) return;
      std::wstring text = FromUtf16Le(value.data.data(), value.data.size());
      if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
      std::string source = Source(kEnvironment, value.name);
      if (pass == regtype::kExpandSz) {
        const std::wstring expanded = Expand(text, facts.Values());
        if (expanded != text) source += " = " + ToUtf8(text);
        text = expanded;
      }
      facts.Define(value.name, {text, source});
    });
  }
}

}  // namespace

sim::MachineConfig ReadMachineFacts(const RegStore& reg, const std::wstring& windowsFolderName,
                                    std::vector<std::string>* notes) {
  sim::MachineConfig config;
  FactReader facts(reg, notes);

  const OsVersion real = ReadVersion(facts, &config);
  const bool xp = real.major < 6;
  config.bits = ReadBits(facts);
  const bool x64 = config.bits == 64;

  config.windowsFolder = ReadWindowsFolder(facts, windowsFolderName);
  config.systemFolder = config.windowsFolder + L"\\system32";
  facts.Note("system folder", config.systemFolder, "the Windows folder's system32");
  const std::wstring drive(kDrive);
  facts.Define(L"SystemDrive", {drive, "the volume is drive C:"});
  facts.Define(L"SystemRoot", {config.windowsFolder, "the Windows folder"});
  facts.Define(L"windir", {config.windowsFolder, "the Windows folder"});

  // Program folders: a 32-bit program on 64-bit Windows is given the (x86) ones.
  const Fact native = facts.Folder(kCurrentVersion, L"ProgramFilesDir", drive + L"\\Program Files");
  const Fact nativeCommon = facts.Folder(kCurrentVersion, L"CommonFilesDir", native.value + L"\\Common Files");
  Fact programs = native;
  Fact common = nativeCommon;
  if (x64) {
    programs = facts.Folder(kCurrentVersion, L"ProgramFilesDir (x86)", drive + L"\\Program Files (x86)");
    common = facts.Folder(kCurrentVersion, L"CommonFilesDir (x86)", programs.value + L"\\Common Files");
  }
  config.programsFolder = programs.value;
  facts.Note("programs folder", programs.value,
             programs.source + (x64 ? "; the tool is a 32-bit program on 64-bit Windows" : ""));
  facts.Define(L"ProgramFiles", programs);
  facts.Define(L"CommonProgramFiles", common);
  if (x64) {
    facts.Define(L"ProgramFiles(x86)", programs);
    facts.Define(L"CommonProgramFiles(x86)", common);
    facts.Define(L"ProgramW6432", native);
    facts.Define(L"CommonProgramW6432", nativeCommon);
  }

  // Profiles. No user is logged on to an offline volume: USERPROFILE is the default profile.
  const Fact profiles =
      facts.Folder(kProfileList, L"ProfilesDirectory", drive + (xp ? L"\\Documents and Settings" : L"\\Users"));
  facts.Note("profiles folder", profiles.value, profiles.source);
  auto below = [&](const wchar_t* name, const wchar_t* fallback) {
    if (auto leaf = Text(reg, kProfileList, name))
      return Fact{profiles.value + L"\\" + *leaf, Source(kProfileList, name)};
    return Fact{profiles.value + L"\\" + fallback, "default: no " + Source(kProfileList, name)};
  };
  if (xp) {
    facts.Define(L"ALLUSERSPROFILE", below(L"AllUsersProfile", L"All Users"));
    facts.Define(L"USERPROFILE", below(L"DefaultUserProfile", L"Default User"));
  } else {
    const Fact programData = facts.Folder(kProfileList, L"ProgramData", drive + L"\\ProgramData");
    facts.Define(L"ProgramData", programData);
    facts.Define(L"ALLUSERSPROFILE", programData);
    facts.Define(L"PUBLIC", facts.Folder(kProfileList, L"Public", profiles.value + L"\\Public"));
    facts.Define(L"USERPROFILE", facts.Folder(kProfileList, L"Default", profiles.value + L"\\Default"));
  }

  ReadSystemEnvironment(facts);
  for (const wchar_t* name : {L"TMP", L"TEMP"}) {
    facts.Define(name, {config.windowsFolder + L"\\TEMP", "default: no " + Source(kEnvironment, name)});
  }
  for (const auto& [name, fact] : facts.variables()) {
    config.environment.emplace_back(name, fact.value);
    // Built up piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) on "%" + text + "%".
    std::string label(1, '%');
    label += ToUtf8(name);
    label += '%';
    facts.Note(label, fact.value, fact.source);
  }

  // The print spooler of an offline volume is not running.
  if (reg.FindKey(Hive::kLocalMachine, kSpooler) != nullptr) {
    config.services[L"spooler"] = sim::ServiceBehaviour{svcstate::kStopped, 0, 0};
    facts.Note("Spooler service", L"stopped", "HKLM\\" + ToUtf8(kSpooler) + " exists; the volume is offline");
  } else {
    facts.Note("Spooler service", L"absent", "no HKLM\\" + ToUtf8(kSpooler));
  }

  config.currentDirectory = drive + L"\\";
  facts.Note("current directory", config.currentDirectory, "default: a volume keeps none");
  facts.Note("clock", L"the host's local time", "default: a volume keeps none");
  config.ApplyDefaults();
  return config;
}

}  // namespace zc::volume
