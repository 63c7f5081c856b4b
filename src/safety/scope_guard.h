// The scope guard: the one owner of "may this be removed?". Every
// destructive call of the removal steps (delete a file, remove a folder,
// clear attributes before a deletion, delete at restart, delete a SharedDlls
// value) goes through it. It judges what a path resolves to — every link on
// the way followed, short names made long — never how the path is spelled,
// and it only ever refuses more than the removal steps' own rules do.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "safety/protected_folders.h"
#include "platform/filesystem.h"
#include "platform/registry.h"

namespace zc {

class ScopeGuard {
 public:
  // What a judgement allows, and to which path the destructive calls are
  // held: a folder with everything below it, one file, or one entry of the
  // side-by-side store.
  class Permit {
   public:
    enum class Kind { kTree, kFile, kAssembly };
    Kind kind() const { return kind_; }
    // As the step named it, normalised (the walk below it spells its paths
    // from this), and what it resolved to.
    const std::wstring& path() const { return path_; }
    const std::wstring& resolved() const { return resolved_; }

   private:
    friend class ScopeGuard;
    Kind kind_ = Kind::kFile;
    std::wstring path_;
    std::wstring resolved_;
    bool logBelow_ = false;  // the open log file lies below a tree
  };

  // A guard exists only with its protected set, and the current directory
  // that relative paths are completed from. Each folder is kept in every
  // form it resolves to, and at least as spelled once normalised.
  ScopeGuard(FileSystem& fs, const ProtectedFolders& folders, std::wstring currentDirectory);
  // The open log file, resolved now; it is never deleted.
  void SetLogFile(std::wstring_view path);

  // Judges a folder that a step is about to remove or list, with everything
  // below it; a path that does not exist is judged by what it would be.
  [[nodiscard]] std::optional<Permit> PermitTree(std::wstring_view folder);
  // Judges one file (a missing one too): never inside the Windows or system
  // folders, never the log, never directly in a protected folder.
  [[nodiscard]] std::optional<Permit> PermitFile(std::wstring_view file);
  // Judges an entry of the side-by-side store `storeFolder` (the Windows
  // folder's winsxs, or its Manifests or Policies folder): only below it,
  // through no link, under a name of the store that holds `vendorPattern`.
  [[nodiscard]] std::optional<Permit> PermitAssembly(std::wstring_view path, std::wstring_view storeFolder,
                                                     std::wstring_view vendorPattern);
  // Judges the folder whose SharedDlls values a step is about to list or
  // delete, whether or not it exists.
  [[nodiscard]] bool PermitsSharedDllsFolder(std::wstring_view folder);
  // Judges one SharedDlls value name (a file's path) before it is listed or
  // deleted: it must lie below `folder` once normalised, and be a file the
  // tool may remove.
  [[nodiscard]] bool PermitsSharedDllsValue(std::wstring_view folder, std::wstring_view valueName);

  // An entry met in a walk below a tree that is passed over: the open log.
  [[nodiscard]] bool PassesOver(const Permit& tree, std::wstring_view path) const;

  // The destructive calls. Each checks that its permit covers `path` (the
  // path itself, or below a tree's path) and refuses with 5
  // (ERROR_ACCESS_DENIED) a path it does not cover: such a call is a slip
  // of the caller's, counted in slips().
  [[nodiscard]] WinError DeleteFile(const Permit& permit, std::wstring_view path);
  [[nodiscard]] WinError RemoveFolder(const Permit& permit, std::wstring_view path);
  [[nodiscard]] WinError SetAttributes(const Permit& permit, std::wstring_view path, std::uint32_t attributes);
  [[nodiscard]] WinError ScheduleDeleteAtReboot(const Permit& permit, std::wstring_view path);
  [[nodiscard]] WinError DeleteSharedDllsValue(Registry& registry, HKey key, std::wstring_view folder,
                                               std::wstring_view name);

  // Destructive calls refused because no permit covered them.
  int slips() const { return slips_; }

 private:
  // A path in each form it takes: as spelled (normalised), with the links on
  // its way resolved, and, when it is itself a link, where it leads.
  struct Resolution {
    bool ok = false;  // false: it could not be resolved, so nothing is proven
    bool exists = false;
    bool link = false;
    std::vector<std::wstring> forms;
  };
  Resolution Resolve(std::wstring_view path);
  // Whether `rule` holds for any form the path takes: every form is judged.
  bool AnyFormIs(const Resolution& r, bool (ScopeGuard::*rule)(std::wstring_view) const) const;
  // A permit for what `r` resolved: as spelled, and the first resolved form.
  static Permit PermitOf(Permit::Kind kind, const Resolution& r);
  // A drive's root, the Windows and system folders, what is in them and
  // their ancestors.
  bool InSystemFolders(std::wstring_view path) const;
  bool FolderIsProtected(std::wstring_view path) const;
  bool FileIsProtected(std::wstring_view path) const;
  bool Covers(const Permit& permit, std::wstring_view path, bool treeItselfToo) const;
  WinError Slip(std::string_view call, std::wstring_view path);

  FileSystem& fs_;
  std::wstring currentDirectory_;
  std::vector<std::wstring> withContents_;
  std::vector<std::wstring> itself_;
  std::vector<std::wstring> logForms_;
  int slips_ = 0;
};

}  // namespace zc
