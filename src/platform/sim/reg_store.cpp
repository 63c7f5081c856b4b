#include "platform/sim/reg_store.h"

#include <algorithm>

#include "platform/text.h"

namespace zc::sim {

std::wstring_view HiveName(Hive hive) {
  switch (hive) {
    case Hive::kLocalMachine: return L"HKEY_LOCAL_MACHINE";
    case Hive::kCurrentUser: return L"HKEY_CURRENT_USER";
    case Hive::kUsers: return L"HKEY_USERS";
  }
  return L"";
}

bool IsValidKeyName(std::wstring_view name) {
  if (name.empty() || name.size() > kMaxKeyNameLength) return false;
  for (wchar_t c : name) {
    if (c == L'\\' || c == L'\0' || c == L'\r' || c == L'\n') return false;
  }
  return true;
}

bool SplitKeyPath(std::wstring_view path, std::vector<std::wstring>* names) {
  names->clear();
  if (path.empty()) return true;
  if (path.back() == L'\\') path.remove_suffix(1);
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find(L'\\', start);
    const std::wstring_view name = path.substr(start, end == std::wstring_view::npos ? path.npos : end - start);
    if (name.empty()) return false;
    names->emplace_back(name);
    if (end == std::wstring_view::npos) return true;
    start = end + 1;
  }
}

std::vector<std::wstring> ClassesRootNames() { return {L"SOFTWARE", L"Classes"}; }

std::vector<std::wstring> CurrentConfigNames() {
  return {L"SYSTEM", L"CurrentControlSet", L"Hardware Profiles", L"Current"};
}

std::optional<HivePath> ResolveRootName(std::wstring_view root) {
  auto is = [root](std::wstring_view full, std::wstring_view shortName) {
    return EqualsNoCase(root, full) || EqualsNoCase(root, shortName);
  };
  if (is(L"HKEY_LOCAL_MACHINE", L"HKLM")) return HivePath{Hive::kLocalMachine, {}};
  if (is(L"HKEY_CURRENT_USER", L"HKCU")) return HivePath{Hive::kCurrentUser, {}};
  if (is(L"HKEY_USERS", L"HKU")) return HivePath{Hive::kUsers, {}};
  if (is(L"HKEY_CLASSES_ROOT", L"HKCR")) return HivePath{Hive::kLocalMachine, ClassesRootNames()};
  if (is(L"HKEY_CURRENT_CONFIG", L"HKCC")) return HivePath{Hive::kLocalMachine, CurrentConfigNames()};
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// RegKey

namespace {

struct NameLess {
  bool operator()(const std::shared_ptr<RegKey>& key, std::wstring_view name) const {
    return CompareNoCase(key->name(), name) < 0;
  }
};

}  // namespace

std::wstring RegKey::PathFromRoot() const {
  std::vector<const RegKey*> chain;
  for (const RegKey* key = this; key->parent_ != nullptr; key = key->parent_) chain.push_back(key);
  std::wstring path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += L'\\';
    path += (*it)->name_;
  }
  return path;
}

std::size_t RegKey::Depth() const {
  std::size_t depth = 0;
  for (const RegKey* key = this; key->parent_ != nullptr; key = key->parent_) ++depth;
  return depth;
}

RegKey* RegKey::SubKeyAt(std::size_t index) const { return index < subKeys_.size() ? subKeys_[index].get() : nullptr; }

RegKey* RegKey::FindSubKey(std::wstring_view name) const {
  auto it = std::lower_bound(subKeys_.begin(), subKeys_.end(), name, NameLess{});
  if (it != subKeys_.end() && EqualsNoCase((*it)->name(), name)) return it->get();
  return nullptr;
}

RegKey* RegKey::CreateSubKey(std::wstring_view name) {
  // Files list keys in order, so appending is the common case.
  auto it = subKeys_.end();
  if (!subKeys_.empty() && CompareNoCase(subKeys_.back()->name(), name) >= 0) {
    it = std::lower_bound(subKeys_.begin(), subKeys_.end(), name, NameLess{});
    if (it != subKeys_.end() && EqualsNoCase((*it)->name(), name)) return it->get();
  }
  if (!IsValidKeyName(name) || Depth() + 1 > kMaxKeyDepth) return nullptr;
  auto key = std::make_shared<RegKey>(std::wstring(name), this);
  RegKey* created = key.get();
  subKeys_.insert(it, std::move(key));
  NoteChange();
  const auto length = static_cast<std::uint32_t>(Utf16Length(name));
  if (length > maxSubKeyNameLength_) maxSubKeyNameLength_ = length;
  return created;
}

bool RegKey::DeleteSubKey(std::wstring_view name) {
  auto it = std::lower_bound(subKeys_.begin(), subKeys_.end(), name, NameLess{});
  if (it == subKeys_.end() || !EqualsNoCase((*it)->name(), name) || (*it)->pinned_) return false;
  std::shared_ptr<RegKey> key = std::move(*it);
  subKeys_.erase(it);
  if (subKeys_.empty()) maxSubKeyNameLength_ = 0;
  key->Detach();
  NoteChange();
  return true;
}

void RegKey::NoteChange() {
  if (deleted_) return;  // a deleted key belongs to no registry
  RegKey* root = this;
  while (root->parent_ != nullptr) root = root->parent_;
  ++root->changes_;
}

void RegKey::SetValue(std::wstring_view name, std::uint32_t type, std::vector<std::uint8_t> data) {
  const RegValue* existing = values_.Find(name);
  if (existing != nullptr && existing->type == type && existing->data == data) return;
  values_.Set(name, type, std::move(data));
  NoteChange();
}

bool RegKey::DeleteValue(std::wstring_view name) {
  if (!values_.Erase(name)) return false;
  NoteChange();
  return true;
}

void RegKey::Detach() {
  // Iterative: a tree can be wide and deep, and handles may keep any part
  // of it alive, so each key learns on its own that it is gone.
  std::vector<RegKey*> pending{this};
  while (!pending.empty()) {
    RegKey* key = pending.back();
    pending.pop_back();
    key->deleted_ = true;
    key->parent_ = nullptr;
    for (auto& sub : key->subKeys_) pending.push_back(sub.get());
  }
}

void RegKey::SetString(std::wstring_view name, std::wstring_view text, std::uint32_t type) {
  std::vector<std::uint8_t> data = ToUtf16Le(text);
  data.push_back(0);
  data.push_back(0);
  SetValue(name, type, std::move(data));
}

void RegKey::SetDword(std::wstring_view name, std::uint32_t number) {
  std::vector<std::uint8_t> data(4);
  for (std::size_t i = 0; i < 4; ++i) data[i] = static_cast<std::uint8_t>(number >> (8 * i));
  SetValue(name, regtype::kDword, std::move(data));
}

std::optional<std::wstring> RegKey::GetString(std::wstring_view name) const {
  const RegValue* value = values_.Find(name);
  if (value == nullptr) return std::nullopt;
  std::wstring text = FromUtf16Le(value->data.data(), value->data.size());
  const std::size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return text;
}

std::optional<std::uint32_t> RegKey::GetDword(std::wstring_view name) const {
  const RegValue* value = values_.Find(name);
  if (value == nullptr || value->data.size() != 4) return std::nullopt;
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < 4; ++i) number |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
  return number;
}

void RegKey::Clear() {
  if (subKeys_.empty() && values_.empty()) return;
  NoteChange();
  // A loaded hive's root stays, emptied.
  std::vector<std::shared_ptr<RegKey>> kept;
  for (auto& sub : subKeys_) {
    if (sub->pinned_) {
      sub->Clear();
      kept.push_back(std::move(sub));
    } else {
      sub->Detach();
    }
  }
  subKeys_ = std::move(kept);
  maxSubKeyNameLength_ = 0;
  for (const auto& sub : subKeys_) {
    maxSubKeyNameLength_ = std::max(maxSubKeyNameLength_, static_cast<std::uint32_t>(Utf16Length(sub->name())));
  }
  values_.Clear();
}

bool MergeTree(const RegKey& from, RegKey& into, std::wstring* conflict) {
  // Iterative: a tree may be as deep as the registry allows.
  struct Step {
    const RegKey* source;
    RegKey* target;
    std::wstring path;
  };
  std::vector<Step> pending{{&from, &into, std::wstring(from.name())}};
  while (!pending.empty()) {
    Step step = std::move(pending.back());
    pending.pop_back();
    bool ok = true;
    step.source->values().ForEach([&](const RegValue& value) {
      if (!ok) return;
      const RegValue* existing = step.target->FindValue(value.name);
      if (existing == nullptr) {
        step.target->SetValue(value.name, value.type, value.data);
      } else if (existing->type != value.type || existing->data != value.data) {
        if (conflict != nullptr) *conflict = step.path + L"\\" + value.name;
        ok = false;
      }
    });
    if (!ok) return false;
    for (std::size_t i = 0; i < step.source->SubKeyCount(); ++i) {
      const RegKey* sub = step.source->SubKeyAt(i);
      RegKey* target = step.target->CreateSubKey(sub->name());
      if (target == nullptr) {
        if (conflict != nullptr) *conflict = step.path + L"\\" + sub->name();
        return false;
      }
      pending.push_back({sub, target, step.path + L"\\" + sub->name()});
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// RegStore

RegStore::RegStore() {
  for (Hive hive : kAllHives) {
    roots_[static_cast<std::size_t>(hive)] = std::make_shared<RegKey>(std::wstring(HiveName(hive)), nullptr);
  }
}

RegStore::~RegStore() { ReleaseAll(); }

RegStore::RegStore(RegStore&& other) noexcept
    : roots_(std::move(other.roots_)), currentUser_(std::move(other.currentUser_)), base_(other.base_) {
  // The moved-from store stays usable, with empty hives, and its count
  // goes on growing.
  other.base_ = changes() + 1;
  for (Hive hive : kAllHives) {
    other.roots_[static_cast<std::size_t>(hive)] = std::make_shared<RegKey>(std::wstring(HiveName(hive)), nullptr);
  }
}

RegStore& RegStore::operator=(RegStore&& other) noexcept {
  if (this != &other) {
    const std::uint64_t before = changes();
    const std::uint64_t otherBefore = other.changes();
    ReleaseAll();
    roots_ = std::move(other.roots_);
    currentUser_ = std::move(other.currentUser_);
    base_ = before + 1;
    other.base_ = otherBefore + 1;
    for (Hive hive : kAllHives) {
      other.roots_[static_cast<std::size_t>(hive)] = std::make_shared<RegKey>(std::wstring(HiveName(hive)), nullptr);
    }
  }
  return *this;
}

void RegStore::ReleaseAll() {
  for (auto& root : roots_) {
    if (root) root->Detach();
    root.reset();
  }
  currentUser_.reset();
}

RegKey* RegStore::RootNode(Hive hive) const {
  if (hive == Hive::kCurrentUser && currentUser_) return currentUser_.get();
  return roots_[static_cast<std::size_t>(hive)].get();
}

bool RegStore::BindCurrentUser(std::wstring_view account, std::wstring* conflict) {
  RegKey& users = *roots_[static_cast<std::size_t>(Hive::kUsers)];
  RegKey* key = users.CreateSubKey(account);
  if (key == nullptr) {
    if (conflict != nullptr) *conflict = L"HKEY_USERS\\" + std::wstring(account);
    return false;
  }
  RegKey& separate = *roots_[static_cast<std::size_t>(Hive::kCurrentUser)];
  if (!MergeTree(separate, *key, conflict)) return false;
  separate.Clear();
  key->pinned_ = true;
  currentUser_ = key->shared_from_this();
  return true;
}

RegKey* RegStore::FindKey(Hive hive, std::wstring_view path) const {
  std::vector<std::wstring> names;
  if (!SplitKeyPath(path, &names)) return nullptr;
  return FindKey(hive, names);
}

RegKey* RegStore::FindKey(Hive hive, const std::vector<std::wstring>& names) const {
  RegKey* key = RootNode(hive);
  for (const auto& name : names) {
    key = key->FindSubKey(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

RegKey* RegStore::CreateKey(Hive hive, std::wstring_view path) {
  std::vector<std::wstring> names;
  if (!SplitKeyPath(path, &names)) return nullptr;
  return CreateKey(hive, names);
}

RegKey* RegStore::CreateKey(Hive hive, const std::vector<std::wstring>& names) {
  RegKey* key = RootNode(hive);
  for (const auto& name : names) {
    key = key->CreateSubKey(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

bool RegStore::DeleteKey(Hive hive, std::wstring_view path) {
  std::vector<std::wstring> names;
  if (!SplitKeyPath(path, &names)) return false;
  return DeleteKey(hive, names);
}

bool RegStore::DeleteKey(Hive hive, const std::vector<std::wstring>& names) {
  if (names.empty()) return false;
  RegKey* parent = RootNode(hive);
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    parent = parent->FindSubKey(names[i]);
    if (parent == nullptr) return false;
  }
  return parent->DeleteSubKey(names.back());
}

void RegStore::Clear() {
  for (auto& root : roots_) root->Clear();
}

std::uint64_t RegStore::changes() const {
  std::uint64_t total = base_;
  for (const auto& root : roots_) total += root->changes_;
  return total;
}

}  // namespace zc::sim
