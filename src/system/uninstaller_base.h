// The common base of the component uninstallers, with the registry helpers
// they share, and the plain read of a text value under HKEY_LOCAL_MACHINE.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/operation_log.h"
#include "platform/registry.h"
#include "platform/system_info.h"

namespace zc {

enum ComponentState : std::int32_t { Absent = 0, Present = 1, Partial = 2, Unknown = 3 };

class UninstallerBase {
 public:
  UninstallerBase(OperationLog& log, Registry& registry, SystemInfo& system)
      : m_log(log), m_registry(registry), m_system(system) {}
  UninstallerBase(const UninstallerBase&) = delete;
  UninstallerBase& operator=(const UninstallerBase&) = delete;
  virtual ~UninstallerBase() = default;

  virtual ComponentState Detect() = 0;
  virtual ComponentState Uninstall() = 0;

  // Deletes a key tree; true when it is gone, was absent, or in a dry run.
  bool DeleteKey(HKey root, const std::wstring& path);
  // Reads a value as text from an open key; the default when it cannot.
  std::wstring QueryStringValue(HKey key, const std::wstring& name, const std::wstring& defaultText,
                                std::uint32_t* status = nullptr);
  // Opens root\path and reads a value as text; `status` reports the opening.
  std::wstring ReadStringValue(HKey root, const std::wstring& path, const std::wstring& name,
                               const std::wstring& defaultText, std::uint32_t* status = nullptr);
  std::wstring ExpandEnvironment(const std::wstring& text);

  ComponentState m_nState = Unknown;
  bool m_bRebootRequired = false;
  bool m_bDryRun = false;
  OperationLog& m_log;

 protected:
  Registry& m_registry;
  SystemInfo& m_system;
};

// "HKEY_LOCAL_MACHINE\" and the other predefined roots; "SUBKEY\" for any
// other handle.
std::wstring RootKeyName(HKey root);

// A value under HKEY_LOCAL_MACHINE read as text; empty on any failure, and
// nothing is logged.
std::wstring ReadLocalMachineString(Registry& registry, const std::wstring& path, const std::wstring& name);

}  // namespace zc
