// machine.ini: what a simulated machine holds besides its registry and
// drives.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/faults.h"
#include "platform/system_info.h"

namespace zc::sim {

// A service's running state and how its transitions go.
struct ServiceBehaviour {
  std::uint32_t state = 1;    // SERVICE_STOPPED
  int startPendingPolls = 0;  // polls spent in START_PENDING; -1: never leaves it
  int stopPendingPolls = 0;   // polls spent in STOP_PENDING; -1: never leaves it
};

// The accounts a run can belong to: the demo machine's administrator, and
// SYSTEM (a deployment agent's).
inline constexpr const wchar_t* kDemoAdministratorSid = L"S-1-5-21-1004336348-1177238915-682003330-1001";
inline constexpr const wchar_t* kSystemSid = L"S-1-5-18";

struct MachineConfig {
  std::optional<LocalTime> clock;  // none: the host's local time
  std::wstring currentDirectory = L"C:\\";
  std::wstring programsFolder;  // empty until defaults are applied
  std::wstring windowsFolder = L"C:\\WINDOWS";
  std::wstring systemFolder;  // default: windows + "\system32"
  OsVersion version{6, 1};
  int bits = 32;
  bool shutdownPrivilege = true;              // the account holds SeShutdownPrivilege
  std::wstring user = kDemoAdministratorSid;  // the running account's SID
  bool desktopVisible = true;                 // false: a session without a visible desktop (desktop = none)
  std::vector<std::pair<std::wstring, std::wstring>> environment;        // in file order
  std::map<std::wstring, ServiceBehaviour> services;                     // by lower-cased name
  std::vector<std::pair<std::wstring, std::uint32_t>> msiexecExitCodes;  // product code -> exit code
  std::vector<FaultRule> faults;
  std::vector<std::wstring> lockedFiles;

  // Fills what the file left out, from the bitness and the Windows folder.
  void ApplyDefaults();
  bool IsSystemAccount() const { return user == kSystemSid; }
  // The key under HKEY_USERS that is the account's HKEY_CURRENT_USER: SYSTEM's is the default user's.
  std::wstring CurrentUserKey() const { return IsSystemAccount() ? L".DEFAULT" : user; }
};

struct ConfigError {
  std::string file;
  int line = 0;  // 1-based; 0 when the file as a whole is at fault
  std::string message;
  std::string ToString() const;
};

// Parses machine.ini text. On error returns false and fills `error`; the
// config passed in is then left as it was.
// Paths ([system] folders, [locked] files, the targets of path faults) must
// name a full path on a drive of the machine (with `driveExists` given, one
// of the drives it has); they are kept as Windows spells them.
bool ParseMachineConfig(const std::string& text, const std::string& fileName, MachineConfig* config, ConfigError* error,
                        const std::function<bool(wchar_t)>& driveExists = {});
bool LoadMachineConfig(const std::filesystem::path& path, MachineConfig* config, ConfigError* error);

// The machine.ini text that gives back `config`.
std::string WriteMachineConfig(const MachineConfig& config);

}  // namespace zc::sim
