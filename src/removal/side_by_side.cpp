#include "removal/side_by_side.h"

#include <vector>

namespace zc {

namespace {

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

void DeleteOrSchedule(FileSystem& fs, const std::wstring& path, bool& restart) {
  if (fs.DeleteFileAt(path) == err::kSuccess) return;
  fs.ScheduleDeleteAtReboot(path);
  restart = true;
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

}  // namespace

int CleanSideBySideAssemblies(bool& restart, bool apply, OperationLog& log, FileSystem& fs, SystemInfo& system) {
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

  const auto assemblies = Search(fs, store + L"*zentatech*");
  if (!assemblies.empty()) {
    Heading(log, apply, L"**** Applying ZENTA Assembly cleanup in folder: ",
            L"**** List of ZENTA Assembly files in folder: ", store);
    for (const auto& match : assemblies) {
      const std::wstring folder = store + match.name;
      for (const auto& dll : Search(fs, folder + L"\\*.dll")) {
        const std::wstring path = folder + L"\\" + dll.name;
        log << L" -- " << path << eol;
        if (apply) DeleteOrSchedule(fs, path, restart);
      }
      log << L" - " << folder << eol;
      if (apply) fs.RemoveFolder(folder);
    }
  }

  const auto policyFolders = Search(fs, policies + L"*zentatech*");
  if (!policyFolders.empty()) {
    Heading(log, apply, L"**** Applying ZENTA Policy cleanup in folder: ",
            L"**** List of ZENTA Policy files in folder: ", policies);
    for (const auto& match : policyFolders) {
      const std::wstring folder = policies + match.name;
      for (const auto& entry : Search(fs, folder + L"\\*.*")) {
        if (entry.name == L"." || entry.name == L"..") continue;
        const std::wstring path = folder + L"\\" + entry.name;
        log << L" -- " << path << eol;
        if (apply) DeleteOrSchedule(fs, path, restart);
      }
      log << L" - " << folder << eol;
      if (apply) fs.RemoveFolder(folder);
    }
  }

  const auto manifestFiles = Search(fs, manifests + L"*zentatech*");
  if (!manifestFiles.empty()) {
    Heading(log, apply, L"**** Applying ZENTA Assembly cleanup in folder: ",
            L"**** List of ZENTA Assembly files in folder: ", manifests);
    for (const auto& match : manifestFiles) {
      const std::wstring path = manifests + match.name;
      log << L" -- " << path << eol;
      if (apply) DeleteOrSchedule(fs, path, restart);
    }
  }
  return 0;
}

}  // namespace zc
