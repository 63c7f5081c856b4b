// The simulated machine's registry: three hives of keys and values held in
// memory, with the registry's own rules. Key and value names compare without
// regard to case and keep the case they were created with; sub-keys
// enumerate in case-insensitive order, values in the order they were created.
// Value data are the raw bytes Windows holds (REG_SZ as UTF-16LE, with its
// terminating NUL when the writer gave one) and the type is a plain number,
// so types this code does not know pass through unchanged.
//
// HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes and HKEY_CURRENT_CONFIG is
// HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current: both are names for
// keys of the HKEY_LOCAL_MACHINE hive, not hives of their own.
//
// HKEY_CURRENT_USER is a hive of its own until the store is told whose it is
// (BindCurrentUser): from then on it is the key HKEY_USERS\<account>, as
// Windows loads the running account's hive there, and both names reach the
// same keys.
//
// Keys are shared objects so that an open handle can outlive the deletion of
// its key: a deleted key is detached from the tree and marked deleted.
//
// Every change to the tree or a value is counted (RegStore::changes()), so
// that the machine writes its registry back only when a run changed it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/reg_value_list.h"

namespace zc::sim {

enum class Hive { kLocalMachine, kCurrentUser, kUsers };
inline constexpr std::array<Hive, 3> kAllHives{Hive::kLocalMachine, Hive::kCurrentUser, Hive::kUsers};

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS".
std::wstring_view HiveName(Hive hive);

// The registry's limits.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr std::size_t kMaxKeyDepth = 512;

// A name a key can be created with: 1 to 255 characters, no backslash, and
// none of NUL, CR, LF (which a .reg file could not carry in a key header).
bool IsValidKeyName(std::wstring_view name);

// Splits "A\B\C" into its names. A single trailing backslash is accepted;
// a leading or doubled one is not (false). An empty path gives no names.
bool SplitKeyPath(std::wstring_view path, std::vector<std::wstring>* names);

// A key named from a root, as .reg files and logs name it.
struct HivePath {
  Hive hive = Hive::kLocalMachine;
  std::vector<std::wstring> names;  // from the hive's root
};
// The names of the keys that HKEY_CLASSES_ROOT and HKEY_CURRENT_CONFIG stand for.
std::vector<std::wstring> ClassesRootNames();
std::vector<std::wstring> CurrentConfigNames();
// Maps a root name (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS,
// HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, or HKLM, HKCU, HKU, HKCR, HKCC;
// any case) to its hive and the names leading to its key.
std::optional<HivePath> ResolveRootName(std::wstring_view root);

class RegKey : public std::enable_shared_from_this<RegKey> {
 public:
  RegKey(std::wstring name, RegKey* parent) : name_(std::move(name)), parent_(parent) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  const std::wstring& name() const { return name_; }
  RegKey* parent() const { return parent_; }
  bool deleted() const { return deleted_; }
  // Names from the hive's root ("SOFTWARE\Classes"); empty for a root.
  std::wstring PathFromRoot() const;
  std::size_t Depth() const;

  // Sub-keys, in case-insensitive order.
  std::size_t SubKeyCount() const { return subKeys_.size(); }
  RegKey* SubKeyAt(std::size_t index) const;
  RegKey* FindSubKey(std::wstring_view name) const;
  // The existing sub-key of that name, or a new one; null when the name is
  // not valid or the key would lie deeper than the registry allows.
  RegKey* CreateSubKey(std::wstring_view name);
  // Deletes the sub-key with its whole tree; false when there is none or
  // it is a loaded hive's root (HKEY_USERS\<account>), which stays.
  bool DeleteSubKey(std::wstring_view name);
  bool pinned() const { return pinned_; }
  // The longest sub-key name (UTF-16 units), reset when the last one goes.
  std::uint32_t maxSubKeyNameLength() const { return maxSubKeyNameLength_; }

  // Read-only: values change through the key, which counts the change.
  const ValueList& values() const { return values_; }

  const RegValue* FindValue(std::wstring_view name) const { return values_.Find(name); }
  // Creates or replaces the value (setting the type and data it already
  // has is no change).
  void SetValue(std::wstring_view name, std::uint32_t type, std::vector<std::uint8_t> data);
  // REG_SZ (or the type given) with a terminating NUL, as RegSetValueExW
  // callers write text.
  void SetString(std::wstring_view name, std::wstring_view text, std::uint32_t type = regtype::kSz);
  void SetDword(std::wstring_view name, std::uint32_t number);
  bool DeleteValue(std::wstring_view name);
  // The text of a value of any type, cut at its first NUL; nullopt when absent.
  std::optional<std::wstring> GetString(std::wstring_view name) const;
  // The number of a 4-byte value; nullopt when absent or of another size.
  std::optional<std::uint32_t> GetDword(std::wstring_view name) const;

  // Removes every value and sub-key.
  void Clear();

 private:
  friend class RegStore;
  // Marks this key and everything under it deleted and detaches it.
  void Detach();
  // Counts a change at the root of the tree the key is in.
  void NoteChange();

  std::wstring name_;
  RegKey* parent_;
  bool deleted_ = false;
  bool pinned_ = false;
  std::uint64_t changes_ = 0;                     // kept by roots: changes anywhere below
  std::vector<std::shared_ptr<RegKey>> subKeys_;  // sorted
  std::uint32_t maxSubKeyNameLength_ = 0;
  ValueList values_;
};

// Copies `from`'s values and sub-keys into `into`, keeping what `into`
// already holds. False, with the value named in `conflict` (from `from`'s
// name down), when a value of the same name there holds other data; what
// was copied before that stays.
bool MergeTree(const RegKey& from, RegKey& into, std::wstring* conflict);

class RegStore {
 public:
  RegStore();
  ~RegStore();
  RegStore(const RegStore&) = delete;
  RegStore& operator=(const RegStore&) = delete;
  // Moving hands the tree over; the keys a store held before an assignment
  // are marked deleted (handles still open on them then see a deleted key).
  RegStore(RegStore&& other) noexcept;
  RegStore& operator=(RegStore&& other) noexcept;

  // The key a hive's name stands for: for HKEY_CURRENT_USER, once bound,
  // the account's key under HKEY_USERS.
  RegKey& Root(Hive hive) { return *RootNode(hive); }
  const RegKey& Root(Hive hive) const { return *RootNode(hive); }

  // Makes HKEY_CURRENT_USER the key HKEY_USERS\<account> (created when
  // absent); whatever HKEY_CURRENT_USER held so far is merged into it. False,
  // with the value named in `conflict`, when both held a value of the same
  // name with different data (nothing is bound then).
  bool BindCurrentUser(std::wstring_view account, std::wstring* conflict);
  // The bound account's key, or null before BindCurrentUser.
  const RegKey* CurrentUserKey() const { return currentUser_.get(); }

  // Paths are the names below the hive's root, separated by backslashes.
  RegKey* FindKey(Hive hive, std::wstring_view path) const;
  RegKey* FindKey(Hive hive, const std::vector<std::wstring>& names) const;
  // Opens the key, creating it and its parents; null for a malformed path.
  RegKey* CreateKey(Hive hive, std::wstring_view path);
  RegKey* CreateKey(Hive hive, const std::vector<std::wstring>& names);
  // Deletes the key with its tree; false when absent. A hive's root is
  // never deleted (an empty path clears nothing and returns false).
  bool DeleteKey(Hive hive, std::wstring_view path);
  bool DeleteKey(Hive hive, const std::vector<std::wstring>& names);

  void Clear();

  // Grows with every change to the registry: keys created or deleted,
  // values set (to other data) or deleted, the contents replaced by a move.
  // Equal counts mean nothing changed in between.
  std::uint64_t changes() const;

 private:
  void ReleaseAll();
  RegKey* RootNode(Hive hive) const;
  std::array<std::shared_ptr<RegKey>, 3> roots_;
  std::shared_ptr<RegKey> currentUser_;  // HKEY_USERS\<account> once bound
  std::uint64_t base_ = 0;               // changes counted before the present roots
};

}  // namespace zc::sim
