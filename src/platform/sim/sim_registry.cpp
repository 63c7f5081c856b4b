#include "platform/sim/sim_registry.h"

#include <algorithm>
#include <utility>

#include "platform/sim/reg_wow64.h"
#include "platform/text.h"

namespace zc::sim {
namespace {

struct PredefinedRoot {
  HKey key;
  std::wstring_view name;
  Hive hive;
  bool classes;  // HKEY_CLASSES_ROOT: HKLM\SOFTWARE\Classes
  bool config;   // HKEY_CURRENT_CONFIG: HKLM\SYSTEM\...\Hardware Profiles\Current
};

constexpr PredefinedRoot kPredefinedRoots[] = {
    {kHkeyClassesRoot, L"HKEY_CLASSES_ROOT", Hive::kLocalMachine, true, false},
    {kHkeyCurrentUser, L"HKEY_CURRENT_USER", Hive::kCurrentUser, false, false},
    {kHkeyLocalMachine, L"HKEY_LOCAL_MACHINE", Hive::kLocalMachine, false, false},
    {kHkeyUsers, L"HKEY_USERS", Hive::kUsers, false, false},
    {kHkeyCurrentConfig, L"HKEY_CURRENT_CONFIG", Hive::kLocalMachine, false, true},
};

const PredefinedRoot* FindPredefined(HKey key) {
  for (const auto& root : kPredefinedRoots) {
    if (root.key == key) return &root;
  }
  return nullptr;
}

bool IsPredefinedValue(HKey key) {
  return key.value >= kHkeyClassesRoot.value && key.value <= kHkeyCurrentConfig.value;
}

std::wstring ValueTarget(const std::wstring& keyDisplay, std::wstring_view name) {
  std::wstring target = keyDisplay;
  target += L'|';
  target += name;
  return target;
}

}  // namespace

SimRegistry::SimRegistry(RegStore& store, bool wow64_32bitView, FaultPlan* faults)
    : store_(store), wow64_(wow64_32bitView), faults_(faults) {}

SimRegistry::~SimRegistry() = default;

WinError SimRegistry::Locate(HKey key, std::wstring_view path, Target* target, bool withNames) const {
  if (const PredefinedRoot* root = FindPredefined(key)) {
    target->hive = root->hive;
    if (root->classes) target->names = ClassesRootNames();
    if (root->config) target->names = CurrentConfigNames();
    target->display = std::wstring(root->name);
    target->writable = true;
    target->predefined = true;
    target->node = nullptr;
  } else {
    const OpenedKey* opened = Handle(key);
    if (opened == nullptr) return err::kInvalidHandle;
    if (opened->node->deleted()) return err::kKeyDeleted;
    target->hive = opened->hive;
    if (withNames || !path.empty()) {
      target->names = opened->names;
      target->display = opened->display;
    } else {
      target->handleDisplay = &opened->display;
    }
    target->writable = opened->writable;
    target->predefined = false;
    target->node = opened->node.get();
  }
  if (!path.empty()) {
    std::vector<std::wstring> below;
    if (!SplitKeyPath(path, &below)) return err::kBadPathname;
    target->names.insert(target->names.end(), std::make_move_iterator(below.begin()),
                         std::make_move_iterator(below.end()));
    target->display += L'\\';
    target->display += path;
    target->node = nullptr;
  }
  return err::kSuccess;
}

std::optional<WinError> SimRegistry::Fault(FaultOp operation, const std::wstring& target) const {
  if (faults_ == nullptr) return std::nullopt;
  return faults_->Check(operation, target);
}

std::optional<WinError> SimRegistry::ValueFault(FaultOp operation, const std::wstring& keyDisplay,
                                                std::wstring_view name) const {
  // The "key|value" target is made only when someone is watching.
  if (faults_ == nullptr || !faults_->watching()) return std::nullopt;
  return faults_->Check(operation, ValueTarget(keyDisplay, name));
}

std::vector<std::wstring> SimRegistry::Physical(Hive hive, const std::vector<std::wstring>& names) const {
  if (wow64_ && hive == Hive::kLocalMachine) return RedirectTo32BitView(names);
  return names;
}

RegKey* SimRegistry::Find(const Target& target) const {
  if (target.node != nullptr) return target.node;
  return store_.FindKey(target.hive, Physical(target.hive, target.names));
}

RegKey* SimRegistry::KeyOf(const Target& target) const { return Find(target); }

HKey SimRegistry::AddHandle(OpenedKey opened) {
  std::size_t index = 0;
  if (!free_.empty()) {
    index = *free_.begin();
    free_.erase(free_.begin());
    handles_[index] = std::move(opened);
  } else {
    index = handles_.size();
    handles_.emplace_back(std::move(opened));
  }
  return HKey{kFirstHandle + kHandleStep * index};
}

const SimRegistry::OpenedKey* SimRegistry::Handle(HKey key) const {
  if (key.value < kFirstHandle || (key.value - kFirstHandle) % kHandleStep != 0) return nullptr;
  const std::size_t index = (key.value - kFirstHandle) / kHandleStep;
  if (index >= handles_.size() || !handles_[index]) return nullptr;
  return &*handles_[index];
}

WinError SimRegistry::OpenKey(HKey root, std::wstring_view path, RegAccess access, HKey* key) {
  if (key == nullptr) return err::kInvalidParameter;
  *key = HKey{};
  Target target;
  if (WinError error = Locate(root, path, &target)) return error;
  if (auto fault = Fault(FaultOp::kRegOpenKey, target.display)) return *fault;
  RegKey* node = Find(target);
  if (node == nullptr) return err::kFileNotFound;
  *key = AddHandle(OpenedKey{node->shared_from_this(), target.hive, std::move(target.names), std::move(target.display),
                             access != RegAccess::kRead});
  return err::kSuccess;
}

WinError SimRegistry::CreateKey(HKey root, std::wstring_view path, HKey* key) {
  if (key == nullptr) return err::kInvalidParameter;
  *key = HKey{};
  Target target;
  if (WinError error = Locate(root, path, &target)) return error;
  if (auto fault = Fault(FaultOp::kRegCreateKey, target.display)) return *fault;
  if (!target.writable) return err::kAccessDenied;
  RegKey* node = target.node;
  if (node == nullptr) {
    const std::vector<std::wstring> physical = Physical(target.hive, target.names);
    // Refuse a name the registry cannot hold before anything is created.
    if (physical.size() > kMaxKeyDepth ||
        !std::all_of(physical.begin(), physical.end(), [](const std::wstring& n) { return IsValidKeyName(n); })) {
      return err::kInvalidParameter;
    }
    node = store_.CreateKey(target.hive, physical);
    if (node == nullptr) return err::kInvalidParameter;
  }
  *key = AddHandle(
      OpenedKey{node->shared_from_this(), target.hive, std::move(target.names), std::move(target.display), true});
  return err::kSuccess;
}

WinError SimRegistry::CloseKey(HKey key) {
  if (IsPredefinedValue(key)) return err::kSuccess;
  if (Handle(key) == nullptr) return err::kInvalidHandle;
  const std::size_t index = (key.value - kFirstHandle) / kHandleStep;
  handles_[index].reset();
  free_.insert(index);
  return err::kSuccess;
}

WinError SimRegistry::QueryValue(HKey key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* size) {
  Target target;
  if (WinError error = Locate(key, {}, &target, false)) return error;
  if (auto fault = ValueFault(FaultOp::kRegQueryValue, target.Display(), name)) return *fault;
  if (data != nullptr && size == nullptr) return err::kInvalidParameter;
  const RegKey* node = KeyOf(target);
  const RegValue* value = node != nullptr ? node->FindValue(name) : nullptr;
  if (value == nullptr) return err::kFileNotFound;
  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (type != nullptr) *type = value->type;
  if (data != nullptr) {
    if (*size < needed) {
      *size = needed;
      return err::kMoreData;
    }
    std::copy(value->data.begin(), value->data.end(), data);
  }
  if (size != nullptr) *size = needed;
  return err::kSuccess;
}

WinError SimRegistry::SetValue(HKey key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                               std::uint32_t size) {
  Target target;
  if (WinError error = Locate(key, {}, &target, false)) return error;
  if (auto fault = ValueFault(FaultOp::kRegSetValue, target.Display(), name)) return *fault;
  if (!target.writable) return err::kAccessDenied;
  if (name.size() > kMaxValueNameLength || (data == nullptr && size != 0)) return err::kInvalidParameter;
  RegKey* node = KeyOf(target);
  if (node == nullptr) node = store_.CreateKey(target.hive, Physical(target.hive, target.names));
  if (node == nullptr) return err::kInvalidParameter;
  node->SetValue(name, type, std::vector<std::uint8_t>(data, data + size));
  return err::kSuccess;
}

WinError SimRegistry::QueryInfoKey(HKey key, RegKeyInfo* info) {
  Target target;
  if (WinError error = Locate(key, {}, &target, false)) return error;
  if (auto fault = Fault(FaultOp::kRegQueryInfoKey, target.Display())) return *fault;
  if (info == nullptr) return err::kInvalidParameter;
  *info = RegKeyInfo{};
  if (const RegKey* node = KeyOf(target)) {
    info->subKeys = static_cast<std::uint32_t>(node->SubKeyCount());
    info->maxSubKeyNameLength = node->maxSubKeyNameLength();
    info->values = static_cast<std::uint32_t>(node->values().size());
    info->maxValueNameLength = node->values().maxNameLength();
    info->maxValueDataSize = node->values().maxDataSize();
  }
  return err::kSuccess;
}

WinError SimRegistry::EnumValue(HKey key, std::uint32_t index, std::uint32_t nameCapacity, std::wstring* name,
                                std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  Target target;
  if (WinError error = Locate(key, {}, &target, false)) return error;
  if (auto fault = Fault(FaultOp::kRegEnumValue, target.Display())) return *fault;
  if (data != nullptr && size == nullptr) return err::kInvalidParameter;
  const RegKey* node = KeyOf(target);
  std::uint32_t nameUnits = 0;
  const RegValue* value = node != nullptr ? node->values().At(index, &nameUnits) : nullptr;
  if (value == nullptr) return err::kNoMoreItems;
  if (nameUnits + 1 > nameCapacity) return err::kMoreData;
  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (name != nullptr) *name = value->name;
  if (type != nullptr) *type = value->type;
  if (data != nullptr) {
    if (*size < needed) {
      *size = needed;
      return err::kMoreData;
    }
    std::copy(value->data.begin(), value->data.end(), data);
  }
  if (size != nullptr) *size = needed;
  return err::kSuccess;
}

WinError SimRegistry::EnumKey(HKey key, std::uint32_t index, std::wstring* name) {
  Target target;
  if (WinError error = Locate(key, {}, &target, false)) return error;
  if (auto fault = Fault(FaultOp::kRegEnumKey, target.Display())) return *fault;
  const RegKey* node = KeyOf(target);
  const RegKey* sub = node != nullptr ? node->SubKeyAt(index) : nullptr;
  if (sub == nullptr) return err::kNoMoreItems;
  if (name != nullptr) *name = sub->name();
  return err::kSuccess;
}

WinError SimRegistry::DeleteValue(HKey key, std::wstring_view name) {
  Target target;
  if (WinError error = Locate(key, {}, &target, false)) return error;
  if (auto fault = ValueFault(FaultOp::kRegDeleteValue, target.Display(), name)) return *fault;
  if (!target.writable) return err::kAccessDenied;
  RegKey* node = KeyOf(target);
  if (node == nullptr || !node->DeleteValue(name)) return err::kFileNotFound;
  return err::kSuccess;
}

WinError SimRegistry::DeleteTree(HKey root, std::wstring_view path) {
  Target target;
  if (WinError error = Locate(root, path, &target)) return error;
  if (auto fault = Fault(FaultOp::kSHDeleteKey, target.display)) return *fault;
  // A predefined root itself cannot be deleted.
  if (target.predefined && path.empty()) return err::kAccessDenied;
  RegKey* node = Find(target);
  if (node == nullptr) return err::kFileNotFound;
  RegKey* parent = node->parent();
  // Neither a hive's root nor a loaded user hive (HKEY_USERS\<account>) can be deleted.
  if (parent == nullptr || node->pinned()) return err::kAccessDenied;
  parent->DeleteSubKey(node->name());
  return err::kSuccess;
}

}  // namespace zc::sim
