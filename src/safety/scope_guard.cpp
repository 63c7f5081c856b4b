#include "safety/scope_guard.h"

#include "safety/slips.h"
#include "platform/text.h"
#include "safety/win_path.h"

namespace zc {

namespace {

bool IsMissing(WinError error) { return error == err::kFileNotFound || error == err::kPathNotFound; }

// Whether the names after `prefixLength` characters of `path` are spelled as
// Windows keeps them already: no forward slash, no "." or "..", no name that
// normalisation would shorten. Then the text below a normalised folder is
// the normalised text, and no parse is needed.
bool CleanBelow(std::wstring_view path, std::size_t prefixLength) {
  std::size_t start = prefixLength;
  while (start < path.size() && path[start] == L'\\') ++start;
  for (std::size_t i = start; i <= path.size(); ++i) {
    if (i < path.size() && path[i] == L'/') return false;
    if (i < path.size() && path[i] != L'\\') continue;
    const std::wstring_view name = path.substr(start, i - start);
    if (name.empty() || name == L"." || name == L"..") return false;
    if (name.back() == L'.' || (i == path.size() && name.back() == L' ')) return false;
    start = i + 1;
  }
  return true;
}

}  // namespace

ScopeGuard::ScopeGuard(FileSystem& fs, const ProtectedFolders& folders, std::wstring currentDirectory)
    : fs_(fs), currentDirectory_(std::move(currentDirectory)) {
  auto add = [this](const std::wstring& folder, std::vector<std::wstring>* into) {
    if (folder.empty()) return;
    const Resolution r = Resolve(folder);
    for (const auto& form : r.forms) into->push_back(form);
  };
  for (const auto& folder : folders.withContents) add(folder, &withContents_);
  for (const auto& folder : folders.itself) add(folder, &itself_);
}

void ScopeGuard::SetLogFile(std::wstring_view path) {
  logForms_.clear();
  if (path.empty()) return;
  const Resolution r = Resolve(path);
  logForms_ = r.forms;
}

ScopeGuard::Resolution ScopeGuard::Resolve(std::wstring_view path) {
  Resolution r;
  const std::wstring lexical = winpath::Normalise(path, currentDirectory_);
  // Only a path on a drive can be proven to be anything.
  if (lexical.size() < 3 || lexical[1] != L':') return r;
  r.forms.push_back(lexical);

  std::wstring own;
  const WinError error = fs_.GetFinalPath(lexical, false, &own);
  if (error == err::kSuccess) {
    r.exists = true;
  } else if (IsMissing(error)) {
    // What does not exist is judged by where it would be: the deepest folder
    // on its way that exists, resolved, with the missing names after it.
    std::vector<std::wstring> missing;
    std::wstring ancestor = lexical;
    for (;;) {
      if (winpath::IsRoot(ancestor)) {
        own = lexical;
        break;
      }
      missing.push_back(winpath::LastName(ancestor));
      ancestor = winpath::ParentOf(ancestor);
      std::wstring resolved;
      const WinError e = fs_.GetFinalPath(ancestor, true, &resolved);
      if (e == err::kSuccess) {
        own = std::move(resolved);
        for (auto name = missing.rbegin(); name != missing.rend(); ++name) own = winpath::Join(own, *name);
        break;
      }
      if (!IsMissing(e)) return r;
    }
  } else {
    return r;
  }
  if (!winpath::SamePath(own, lexical)) r.forms.push_back(own);

  if (r.exists) {
    std::uint32_t attributes = 0;
    if (fs_.GetAttributes(lexical, &attributes) != err::kSuccess) return r;
    r.link = (attributes & fileattr::kReparsePoint) != 0;
    if (r.link) {
      // A link is judged by where it leads as well: a link that cannot be
      // followed proves nothing.
      std::wstring target;
      if (fs_.GetFinalPath(lexical, true, &target) != err::kSuccess) return r;
      r.forms.push_back(std::move(target));
    }
  }
  r.ok = true;
  return r;
}

bool ScopeGuard::InSystemFolders(std::wstring_view path) const {
  if (winpath::IsRoot(path)) return true;
  for (const auto& folder : withContents_) {
    if (winpath::IsSameOrBelow(path, folder) || winpath::IsBelow(folder, path)) return true;
  }
  return false;
}

bool ScopeGuard::FolderIsProtected(std::wstring_view path) const {
  if (InSystemFolders(path)) return true;
  for (const auto& folder : itself_) {
    if (winpath::IsSameOrBelow(folder, path)) return true;
  }
  return false;
}

bool ScopeGuard::FileIsProtected(std::wstring_view path) const {
  if (InSystemFolders(path)) return true;
  for (const auto& log : logForms_) {
    if (winpath::SamePath(path, log)) return true;
  }
  // A file directly in a protected folder (or a drive's root) is that
  // folder's, not a product's.
  const std::wstring parent = winpath::ParentOf(path);
  if (winpath::IsRoot(parent)) return true;
  for (const auto& folder : itself_) {
    if (winpath::SamePath(parent, folder) || winpath::IsSameOrBelow(folder, path)) return true;
  }
  return false;
}

std::optional<ScopeGuard::Permit> ScopeGuard::PermitTree(std::wstring_view folder) {
  const Resolution r = Resolve(folder);
  if (!r.ok) return std::nullopt;
  if (AnyFormIs(r, &ScopeGuard::FolderIsProtected)) return std::nullopt;
  if (r.exists) {
    // A tree's top that is a file is also judged as the file it is.
    std::uint32_t attributes = 0;
    if (fs_.GetAttributes(r.forms.front(), &attributes) == err::kSuccess && !(attributes & fileattr::kDirectory) &&
        AnyFormIs(r, &ScopeGuard::FileIsProtected)) {
      return std::nullopt;
    }
  }
  Permit permit = PermitOf(Permit::Kind::kTree, r);
  for (const auto& log : logForms_) {
    for (const auto& form : r.forms) {
      if (winpath::IsBelow(log, form)) permit.logBelow_ = true;
    }
  }
  return permit;
}

bool ScopeGuard::AnyFormIs(const Resolution& r, bool (ScopeGuard::*rule)(std::wstring_view) const) const {
  for (const auto& form : r.forms) {
    if ((this->*rule)(form)) return true;
  }
  return false;
}

ScopeGuard::Permit ScopeGuard::PermitOf(Permit::Kind kind, const Resolution& r) {
  Permit permit;
  permit.kind_ = kind;
  permit.path_ = r.forms.front();
  permit.resolved_ = r.forms.size() > 1 ? r.forms[1] : r.forms.front();
  return permit;
}

std::optional<ScopeGuard::Permit> ScopeGuard::PermitFile(std::wstring_view file) {
  const Resolution r = Resolve(file);
  if (!r.ok || AnyFormIs(r, &ScopeGuard::FileIsProtected)) return std::nullopt;
  return PermitOf(Permit::Kind::kFile, r);
}

std::optional<ScopeGuard::Permit> ScopeGuard::PermitAssembly(std::wstring_view path, std::wstring_view storeFolder,
                                                             std::wstring_view vendorPattern) {
  const std::wstring store = winpath::Normalise(storeFolder);
  const Resolution r = Resolve(path);
  if (store.empty() || !r.ok || !winpath::IsBelow(r.forms.front(), store)) return std::nullopt;
  // Through no link and no short name: the path is what it says, and the
  // store is the store.
  std::wstring resolvedStore;
  if (fs_.GetFinalPath(store, true, &resolvedStore) != err::kSuccess || !winpath::SamePath(resolvedStore, store)) {
    return std::nullopt;
  }
  const std::size_t ownForms = r.link ? r.forms.size() - 1 : r.forms.size();
  if (ownForms != 1) return std::nullopt;
  // The name of the store's entry that holds it must be the vendor's.
  const std::wstring_view below =
      std::wstring_view(r.forms.front()).substr(store.size() + (store.back() == L'\\' ? 0 : 1));
  const std::wstring_view first = below.substr(0, below.find(L'\\'));
  const std::wstring lowerPattern = ToLowerAscii(vendorPattern);
  if (ToLowerAscii(first).find(lowerPattern) == std::wstring::npos) return std::nullopt;
  for (const auto& log : logForms_) {
    if (winpath::SamePath(r.forms.front(), log)) return std::nullopt;
  }
  Permit permit;
  permit.kind_ = Permit::Kind::kAssembly;
  permit.path_ = r.forms.front();
  permit.resolved_ = r.forms.front();
  return permit;
}

bool ScopeGuard::PermitsSharedDllsFolder(std::wstring_view folder) {
  const Resolution r = Resolve(folder);
  return r.ok && !AnyFormIs(r, &ScopeGuard::FolderIsProtected);
}

bool ScopeGuard::PermitsSharedDllsValue(std::wstring_view folder, std::wstring_view valueName) {
  // A value name is only a name: one holding a character no file name may
  // hold names no file, but where it lies is still told by its folders.
  const winpath::PathView parsed = winpath::Parse(valueName);
  if (!parsed.IsAbsolute() || parsed.literal) return false;
  const std::wstring value = winpath::ToText(parsed);
  const std::wstring top = winpath::Normalise(folder, currentDirectory_);
  if (top.empty() || !winpath::IsBelow(value, top)) return false;
  return !FileIsProtected(value);
}

bool ScopeGuard::Covers(const Permit& permit, std::wstring_view path, bool treeItselfToo) const {
  const std::wstring& top = permit.path_;
  if (permit.kind_ == Permit::Kind::kTree && winpath::IsSameOrBelow(path, top) && CleanBelow(path, top.size())) {
    return treeItselfToo || path.size() > top.size();
  }
  const std::wstring normal = winpath::Normalise(path, currentDirectory_);
  if (normal.empty()) return false;
  if (permit.kind_ == Permit::Kind::kTree) return winpath::IsSameOrBelow(normal, top);
  return winpath::SamePath(normal, top);
}

bool ScopeGuard::PassesOver(const Permit& tree, std::wstring_view path) const {
  if (!tree.logBelow_) return false;
  std::wstring normal = winpath::Normalise(path, currentDirectory_);
  if (!winpath::IsSameOrBelow(normal, tree.path_)) return false;
  // The entry as it resolves: below the tree's resolved path.
  const std::wstring resolved = tree.resolved_ + normal.substr(tree.path_.size());
  for (const auto& log : logForms_) {
    if (winpath::SamePath(normal, log) || winpath::SamePath(resolved, log)) return true;
  }
  return false;
}

WinError ScopeGuard::Slip(std::string_view call, std::wstring_view path) {
  ++slips_;
  ReportSlip(std::string("scope guard refused ") + std::string(call) + " without a permit", path);
  return err::kAccessDenied;
}

WinError ScopeGuard::DeleteFile(const Permit& permit, std::wstring_view path) {
  if (!Covers(permit, path, true) || PassesOver(permit, path)) return Slip("DeleteFile", path);
  return fs_.DeleteFileAt(path);
}

WinError ScopeGuard::RemoveFolder(const Permit& permit, std::wstring_view path) {
  if (!Covers(permit, path, true)) return Slip("RemoveDirectory", path);
  return fs_.RemoveFolder(path);
}

WinError ScopeGuard::SetAttributes(const Permit& permit, std::wstring_view path, std::uint32_t attributes) {
  if (!Covers(permit, path, true) || PassesOver(permit, path)) return Slip("SetFileAttributes", path);
  return fs_.SetAttributes(path, attributes);
}

WinError ScopeGuard::ScheduleDeleteAtReboot(const Permit& permit, std::wstring_view path) {
  if (!Covers(permit, path, true)) return Slip("MoveFileEx", path);
  return fs_.ScheduleDeleteAtReboot(path);
}

WinError ScopeGuard::DeleteSharedDllsValue(Registry& registry, HKey key, std::wstring_view folder,
                                           std::wstring_view name) {
  if (!PermitsSharedDllsValue(folder, name)) return Slip("RegDeleteValue", name);
  return registry.DeleteValue(key, name);
}

}  // namespace zc
