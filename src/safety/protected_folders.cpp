// The folders that no removal step may take, as the machine names them.
#include "safety/protected_folders.h"

#include "platform/text.h"
#include "safety/win_path.h"
#include "system/uninstaller_base.h"

namespace zc {

namespace {

constexpr const wchar_t* kProfileListKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// The folders each profile keeps its user's things in, under Vista's names
// and under XP's.
constexpr const wchar_t* kKnownFolderNames[] = {
    L"Desktop",
    L"Documents",
    L"Downloads",
    L"Music",
    L"Pictures",
    L"Videos",
    L"Favorites",
    L"Contacts",
    L"Links",
    L"Saved Games",
    L"Searches",
    L"AppData",
    L"AppData\\Local",
    L"AppData\\LocalLow",
    L"AppData\\Roaming",
    L"AppData\\Roaming\\Microsoft",
    L"AppData\\Local\\Temp",
    L"My Documents",
    L"My Documents\\My Music",
    L"My Documents\\My Pictures",
    L"My Documents\\My Videos",
    L"Application Data",
    L"Local Settings",
    L"Local Settings\\Application Data",
    L"Local Settings\\Temp",
    L"Start Menu",
    L"Templates",
    L"Shared Documents",
};

// The shell folders of the user the tool runs as, wherever they were moved.
constexpr int kUserShellFolders[] = {csidl::kPersonal,      csidl::kFavorites,      csidl::kMyMusic,
                                     csidl::kMyVideo,       csidl::kMyPictures,     csidl::kDesktopDirectory,
                                     csidl::kAppData,       csidl::kLocalAppData,   csidl::kProfile,
                                     csidl::kCommonAppData, csidl::kCommonDocuments};

class Gatherer {
 public:
  explicit Gatherer(Platform& platform) : p_(platform) {}

  ProtectedFolders Gather() {
    GatherSystemFolders();
    GatherProgramFolders();
    GatherProfiles();
    const auto env = [this](const wchar_t* name) { return p_.system.GetEnvironmentValue(name).value_or(L""); };
    Itself(env(L"TMP"));
    Itself(env(L"TEMP"));
    std::wstring current;
    WinError error = 0;
    if (p_.system.GetCurrentDir(32768, &current, &error) > 0) Itself(current);
    return std::move(folders_);
  }

 private:
  std::wstring Expand(const std::wstring& text) {
    if (text.find(L'%') == std::wstring::npos) return text;
    std::wstring expanded;
    return p_.system.ExpandEnvironment(text, &expanded) > 0 ? expanded : text;
  }

  void WithContents(const std::wstring& folder) {
    if (!folder.empty()) folders_.withContents.push_back(folder);
  }
  void Itself(const std::wstring& folder) {
    if (!folder.empty()) folders_.itself.push_back(Expand(folder));
  }

  std::wstring ShellFolder(int csidl) {
    std::wstring path;
    return p_.system.GetShellFolder(csidl, false, &path) == err::kSuccess ? path : std::wstring();
  }

  void GatherSystemFolders() {
    const std::wstring windows = p_.system.WindowsDirectory();
    WithContents(windows);
    WithContents(p_.system.SystemDirectory());
    WithContents(ShellFolder(csidl::kWindows));
    WithContents(ShellFolder(csidl::kSystem));
    if (!windows.empty()) {
      // 64-bit Windows' second system folder.
      WithContents(windows + L"\\system32");
      WithContents(windows + L"\\SysWOW64");
    }
  }

  void GatherProgramFolders() {
    const std::wstring programs = ShellFolder(csidl::kProgramFiles);
    Itself(programs);
    if (!programs.empty()) Itself(programs + L"\\Common Files");
    Itself(ShellFolder(csidl::kProgramFilesCommon));
    Itself(ShellFolder(csidl::kCommonAppData));
    for (const wchar_t* name :
         {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"CommonProgramFiles", L"CommonProgramFiles(x86)",
          L"CommonProgramW6432", L"ProgramData", L"ALLUSERSPROFILE"}) {
      Itself(p_.system.GetEnvironmentValue(name).value_or(L""));
    }
    const std::wstring windows = p_.system.WindowsDirectory();
    if (windows.size() >= 2 && windows[1] == L':') {
      const std::wstring drive = windows.substr(0, 2);
      for (const wchar_t* name : {L"\\Program Files", L"\\Program Files (x86)", L"\\ProgramData"}) {
        Itself(drive + name);
      }
    }
  }

  void GatherProfiles() {
    std::vector<std::wstring> roots;
    const std::wstring configured = ReadLocalMachineString(p_.registry, kProfileListKey, L"ProfilesDirectory");
    if (!configured.empty()) roots.push_back(Expand(configured));
    const std::wstring userProfile = p_.system.GetEnvironmentValue(L"USERPROFILE").value_or(L"");
    if (!userProfile.empty()) roots.push_back(winpath::ParentOf(winpath::Normalise(userProfile)));
    const std::wstring windows = p_.system.WindowsDirectory();
    if (windows.size() >= 2 && windows[1] == L':') {
      roots.push_back(windows.substr(0, 2) + L"\\Users");
      roots.push_back(windows.substr(0, 2) + L"\\Documents and Settings");
    }

    std::vector<std::wstring> profiles;
    for (const auto& root : roots) {
      Itself(root);
      // Every folder in a profiles root is someone's profile, or the
      // Public, Default or All Users one.
      for (const auto& name : SubFolders(root)) profiles.push_back(winpath::Join(root, name));
    }
    for (const auto& image : RegisteredProfiles()) profiles.push_back(image);
    for (const wchar_t* name : {L"USERPROFILE", L"PUBLIC", L"ALLUSERSPROFILE"}) {
      profiles.push_back(Expand(p_.system.GetEnvironmentValue(name).value_or(L"")));
    }
    for (const auto& profile : profiles) {
      if (profile.empty()) continue;
      Itself(profile);
      for (const wchar_t* known : kKnownFolderNames) Itself(winpath::Join(profile, known));
      // The profiles all users share keep every folder they hold.
      if (IsSharedProfile(profile)) {
        for (const auto& name : SubFolders(profile)) Itself(winpath::Join(profile, name));
      }
    }
    for (int csidl : kUserShellFolders) Itself(ShellFolder(csidl));
  }

  bool IsSharedProfile(const std::wstring& profile) {
    const std::wstring name = winpath::LastName(winpath::Normalise(profile));
    for (const wchar_t* shared : {L"Public", L"All Users", L"Default", L"Default User"}) {
      if (EqualsNoCase(name, shared)) return true;
    }
    for (const wchar_t* variable : {L"PUBLIC", L"ALLUSERSPROFILE"}) {
      const std::wstring value = Expand(p_.system.GetEnvironmentValue(variable).value_or(L""));
      if (!value.empty() && winpath::SamePath(winpath::Normalise(value), winpath::Normalise(profile))) return true;
    }
    return false;
  }

  // The profiles Windows has registered, wherever they lie.
  std::vector<std::wstring> RegisteredProfiles() {
    std::vector<std::wstring> images;
    UniqueRegKey list(p_.registry);
    if (p_.registry.OpenKey(kHkeyLocalMachine, kProfileListKey, RegAccess::kRead, list.put()) != err::kSuccess) {
      return images;
    }
    std::wstring sid;
    for (std::uint32_t index = 0; p_.registry.EnumKey(list.get(), index, &sid) == err::kSuccess; ++index) {
      const std::wstring image =
          ReadLocalMachineString(p_.registry, std::wstring(kProfileListKey) + L"\\" + sid, L"ProfileImagePath");
      if (!image.empty()) images.push_back(Expand(image));
    }
    return images;
  }

  std::vector<std::wstring> SubFolders(const std::wstring& folder) {
    std::vector<std::wstring> names;
    if (folder.empty()) return names;
    UniqueFind find(p_.fs);
    FindData entry;
    if (p_.fs.FindFirst(winpath::Join(folder, L"*"), find.put(), &entry) != err::kSuccess) return names;
    do {
      if (entry.name == L"." || entry.name == L"..") continue;
      if (entry.attributes & fileattr::kDirectory) names.push_back(entry.name);
    } while (p_.fs.FindNext(find.get(), &entry) == err::kSuccess);
    return names;
  }

  Platform& p_;
  ProtectedFolders folders_;
};

}  // namespace

ProtectedFolders GatherProtectedFolders(Platform& platform) { return Gatherer(platform).Gather(); }

}  // namespace zc
