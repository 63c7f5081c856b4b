#include "removal/side_by_side.h"

#include <vector>

namespace zc {

namespace {

constexpr const wchar_t* kVendorPattern = L"zentatech";

// Every name a search finds, in the order found.
std::vector<FindData> Search(FileSystem& fs, const std::wstring& pattern) {
  std::vector<FindData> found;
  UniqueFind find(fs);
  FindData data;
  if (fs.FindFirst(pattern, find.put(), &data) != err::kSuccess) return found;
  do {
    found.push_back(data);
  } while (fs.FindNext(find.get(), &data) == err::kSuccess);
  return found;
}

void Heading(OperationLog& log, bool apply, const wchar_t* applying, const wchar_t* listing,
             const std::wstring& folder) {
  log << eol;
  if (apply) {
    log << applying << folder << eol << L"     List of files being removed:" << eol;
  } else {
    log << listing << folder << L" that need to be cleaned up:" << eol;
  }
  log << eol;
}

// Lists the store's vendor entries and, when applying, removes them, each
// as the scope guard allows it.
class StoreCleaner {
 public:
  StoreCleaner(OperationLog& log, FileSystem& fs, ScopeGuard& guard, bool apply, bool& restart)
      : log_(log), fs_(fs), guard_(guard), apply_(apply), restart_(restart) {}

  // A file of the store folder `group`: deleted now, or at the next restart.
  void File(const std::wstring& group, const std::wstring& path) {
    log_ << L" -- " << path << eol;
    const auto permit = guard_.PermitAssembly(path, group, kVendorPattern);
    if (!permit) {
      Refused(path);
      return;
    }
    if (!apply_) return;
    if (guard_.DeleteFile(*permit, path) == err::kSuccess) return;
    // A file neither deleted nor scheduled for the restart stays: a restart
    // would finish nothing, so none is asked for on its account.
    if (guard_.ScheduleDeleteAtReboot(*permit, path) == err::kSuccess) {
      restart_ = true;
    } else {
      log_ << L"Cannot delete file: " << path << eol;
    }
  }

  // A folder of the store folder `group`, removed when empty (a link goes
  // as the link it is).
  void Folder(const std::wstring& group, const std::wstring& folder) {
    log_ << L" - " << folder << eol;
    const auto permit = guard_.PermitAssembly(folder, group, kVendorPattern);
    if (!permit) {
      Refused(folder);
      return;
    }
    // A folder that still holds a file (one left for the restart) stays;
    // its line above lists it, it does not claim it went.
    if (apply_) static_cast<void>(guard_.RemoveFolder(*permit, folder));
  }

  // What a matched entry holds, unless it is a link: what a link leads to
  // is nobody's to clean here.
  std::vector<FindData> Inside(const FindData& match, const std::wstring& pattern) {
    if (match.attributes & fileattr::kReparsePoint) return {};
    return Search(fs_, pattern);
  }

 private:
  void Refused(const std::wstring& path) { log_ << L"Sensitive Folder! Will not remove contents of: " << path << eol; }

  OperationLog& log_;
  FileSystem& fs_;
  ScopeGuard& guard_;
  bool apply_;
  bool& restart_;
};

}  // namespace

int CleanSideBySideAssemblies(bool& restart, bool apply, OperationLog& log, FileSystem& fs, SystemInfo& system,
                              ScopeGuard& guard) {
  std::wstring windows;
  system.GetShellFolder(csidl::kWindows, true, &windows);
  const std::wstring store = windows + L"\\winsxs\\";
  const std::wstring manifests = store + L"Manifests\\";
  const std::wstring policies = store + L"Policies\\";

  OsVersion version;
  if (system.GetVersion(&version) && version.major >= 6) {
    log << "Inside ZENTA Assembly cleanup Vista or higher" << eol;
    return 0;
  }

  StoreCleaner cleaner(log, fs, guard, apply, restart);
  const auto assemblies = Search(fs, store + L"*zentatech*");
  if (!assemblies.empty()) {
    Heading(log, apply, L"**** Applying ZENTA Assembly cleanup in folder: ",
            L"**** List of ZENTA Assembly files in folder: ", store);
    for (const auto& match : assemblies) {
      const std::wstring folder = store + match.name;
      for (const auto& dll : cleaner.Inside(match, folder + L"\\*.dll")) cleaner.File(store, folder + L"\\" + dll.name);
      cleaner.Folder(store, folder);
    }
  }

  const auto policyFolders = Search(fs, policies + L"*zentatech*");
  if (!policyFolders.empty()) {
    Heading(log, apply, L"**** Applying ZENTA Policy cleanup in folder: ",
            L"**** List of ZENTA Policy files in folder: ", policies);
    for (const auto& match : policyFolders) {
      const std::wstring folder = policies + match.name;
      for (const auto& entry : cleaner.Inside(match, folder + L"\\*.*")) {
        if (entry.name == L"." || entry.name == L"..") continue;
        cleaner.File(policies, folder + L"\\" + entry.name);
      }
      cleaner.Folder(policies, folder);
    }
  }

  const auto manifestFiles = Search(fs, manifests + L"*zentatech*");
  if (!manifestFiles.empty()) {
    Heading(log, apply, L"**** Applying ZENTA Assembly cleanup in folder: ",
            L"**** List of ZENTA Assembly files in folder: ", manifests);
    for (const auto& match : manifestFiles) cleaner.File(manifests, manifests + match.name);
  }
  return 0;
}

}  // namespace zc
