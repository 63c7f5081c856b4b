// The registry interface over the simulated machine's RegStore, with the
// answers and error codes Windows gives.
//
// Handles: the predefined roots are the zc::kHkey* constants; every key
// opened or created gets a number of its own, 0x000000A4 for the first and
// then in steps of 4, a closed number being reused lowest first, so that a
// run prints the same handle numbers every time. An unknown or closed handle
// gives 6 (ERROR_INVALID_HANDLE); a handle whose key has been deleted gives
// 1018 (ERROR_KEY_DELETED) for everything but closing it.
//
// Bitness: on a 64-bit machine the tool, a 32-bit program, sees the 32-bit
// view, in which HKLM\SOFTWARE lies in HKLM\SOFTWARE\WOW6432Node except for
// the keys the views share (see reg_wow64.h). Paths are redirected as a
// whole: a key opened relative to another is found from its full name.
//
// Faults: each call first asks the FaultPlan (when one is given) with the
// operation's Windows name and the target as the caller named it, before
// any redirection: "HKEY_LOCAL_MACHINE\Software\X", or for a value
// "HKEY_LOCAL_MACHINE\Software\X|name". A key opened earlier stands for the
// name it was opened with.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/faults.h"
#include "platform/sim/reg_store.h"

namespace zc::sim {

class SimRegistry : public Registry {
 public:
  static constexpr std::uintptr_t kFirstHandle = 0xA4;
  static constexpr std::uintptr_t kHandleStep = 4;

  SimRegistry(RegStore& store, bool wow64_32bitView, FaultPlan* faults = nullptr);
  ~SimRegistry() override;
  SimRegistry(const SimRegistry&) = delete;
  SimRegistry& operator=(const SimRegistry&) = delete;

  bool wow64_32bitView() const { return wow64_; }
  std::size_t OpenHandleCount() const { return handles_.size() - free_.size(); }

  WinError OpenKey(HKey root, std::wstring_view path, RegAccess access, HKey* key) override;
  WinError CreateKey(HKey root, std::wstring_view path, HKey* key) override;
  WinError CloseKey(HKey key) override;
  WinError QueryValue(HKey key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                      std::uint32_t* size) override;
  WinError SetValue(HKey key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                    std::uint32_t size) override;
  WinError QueryInfoKey(HKey key, RegKeyInfo* info) override;
  WinError EnumValue(HKey key, std::uint32_t index, std::uint32_t nameCapacity, std::wstring* name, std::uint32_t* type,
                     std::uint8_t* data, std::uint32_t* size) override;
  WinError EnumKey(HKey key, std::uint32_t index, std::wstring* name) override;
  WinError DeleteValue(HKey key, std::wstring_view name) override;
  WinError DeleteTree(HKey root, std::wstring_view path) override;

 private:
  struct OpenedKey {
    std::shared_ptr<RegKey> node;
    Hive hive;
    std::vector<std::wstring> names;  // from the hive's root, as the program sees them
    std::wstring display;             // the root's name and the path as the caller gave them
    bool writable;
  };

  // Where a handle and a path lead, in the program's view.
  struct Target {
    Hive hive = Hive::kLocalMachine;
    std::vector<std::wstring> names;
    std::wstring display;
    // A value operation on an open handle: the handle's display name, not copied.
    const std::wstring* handleDisplay = nullptr;
    bool writable = true;
    bool predefined = false;
    RegKey* node = nullptr;  // for a handle opened earlier with no path: its key
    const std::wstring& Display() const { return handleDisplay ? *handleDisplay : display; }
  };

  // 6 for an unknown handle, 1018 for a deleted key, 161 for a malformed path.
  // `withNames` false: the caller works on the key's node alone (a value
  // operation on an open handle), so an open handle's names are not copied.
  WinError Locate(HKey key, std::wstring_view path, Target* target, bool withNames = true) const;
  std::optional<WinError> Fault(FaultOp operation, const std::wstring& target) const;
  // A fault of a value: the target is the key's display name, '|', the value's name.
  std::optional<WinError> ValueFault(FaultOp operation, const std::wstring& keyDisplay, std::wstring_view name) const;
  std::vector<std::wstring> Physical(Hive hive, const std::vector<std::wstring>& names) const;
  RegKey* Find(const Target& target) const;
  // The key a value operation works on; null when a predefined root names
  // a key that does not exist (then it behaves as an empty key).
  RegKey* KeyOf(const Target& target) const;
  HKey AddHandle(OpenedKey opened);
  const OpenedKey* Handle(HKey key) const;

  RegStore& store_;
  bool wow64_;
  FaultPlan* faults_;
  std::vector<std::optional<OpenedKey>> handles_;
  std::set<std::size_t> free_;
};

}  // namespace zc::sim
