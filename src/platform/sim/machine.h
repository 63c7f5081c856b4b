// A simulated Windows machine kept in a folder:
//   registry.reg          the whole registry as regedit exports it
//   drive_c/, drive_d/..  the drives
//   machine.ini           folders, version, bitness, clock, environment,
//                         services, msiexec exit codes, faults
//   file-attributes.txt   attributes the host cannot hold
// Read at the start of a run, written back at its end.
#pragma once

#include <filesystem>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/sim/faults.h"
#include "platform/sim/machine_config.h"
#include "platform/sim/msi_registration.h"
#include "platform/sim/reg_format.h"
#include "platform/sim/reg_store.h"
#include "platform/sim/sim_filesystem.h"
#include "platform/sim/sim_installer.h"
#include "platform/sim/sim_power.h"
#include "platform/sim/sim_processes.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/sim_spooler.h"
#include "platform/sim/sim_system_info.h"
#include "platform/sim/sim_user_interface.h"

namespace zc::sim {

inline constexpr const char* kRegistryFile = "registry.reg";
inline constexpr const char* kConfigFile = "machine.ini";
inline constexpr const char* kAttributesFile = "file-attributes.txt";
inline constexpr const char* kRestartMarkerFile = "restart-requested";
inline constexpr const wchar_t* kPendingRenamesKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

class SimMachine {
 public:
  // Reads a machine folder. A malformed file is refused with a message
  // naming the file and line; nothing is then written anywhere.
  static std::unique_ptr<SimMachine> Load(const std::filesystem::path& folder, std::string* error);
  // A machine in `folder` made from `config` and an empty registry (the
  // folder and drive C: are created; nothing else is written until Save).
  static std::unique_ptr<SimMachine> Create(const std::filesystem::path& folder, MachineConfig config);
  // A machine whose drive C: is the host folder `driveC` (a mounted Windows
  // volume), with `registry` and `config` read from it. The drive is
  // write-protected; every file the tool writes goes to `workFolder`, which
  // holds no drives. Such a machine is never saved.
  static std::unique_ptr<SimMachine> OverVolume(const std::filesystem::path& workFolder,
                                                const std::filesystem::path& driveC, MachineConfig config,
                                                RegStore registry);

  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;
  ~SimMachine();

  // Writes the registry back (atomically, in the form it was read in, and
  // only when the run changed it), the attribute side table, and the
  // restart marker when a restart was requested.
  bool Save(std::string* error);

  Platform platform();

  const std::filesystem::path& folder() const { return folder_; }
  MachineConfig& config() { return config_; }
  FaultPlan& faults() { return faults_; }
  RegStore& store() { return store_; }
  // The registry as the tool (a 32-bit program) sees it, faults included.
  SimRegistry& registry() { return *toolRegistry_; }
  // The registry without redirection or faults, for the machine's own parts.
  SimRegistry& nativeRegistry() { return *nativeRegistry_; }
  SimFileSystem& fs() { return *fs_; }
  SimSystemInfo& system() { return *system_; }
  SimWindowsInstaller& installer() { return *installer_; }
  SimProcesses& processes() { return *processes_; }
  SimSpooler& spooler() { return *spooler_; }
  SimServiceManager& services() { return *services_; }
  SimPower& power() { return *power_; }
  SimUserInterface& ui() { return *ui_; }
  MsiRegistration& msi() { return *msi_; }

  bool is64Bit() const { return config_.bits == 64; }
  // Paths the machine scheduled for deletion at the next restart.
  std::vector<std::wstring> PendingDeletes();

 private:
  SimMachine(std::filesystem::path folder, MachineConfig config);
  void Wire();
  // Makes HKEY_CURRENT_USER the running account's key under HKEY_USERS.
  bool BindCurrentUser(std::string* error);
  void ScheduleDelete(const std::wstring& path);

  std::filesystem::path folder_;
  MachineConfig config_;
  FaultPlan faults_;
  RegStore store_;
  // registry.reg: the form it was read in, and the store's change count
  // when it was last read or written (nullopt: not on disk yet).
  RegFileFormat registryFormat_;
  std::optional<std::uint64_t> registrySavedAt_;
  bool overVolume_ = false;
  std::unique_ptr<SimRegistry> toolRegistry_;
  std::unique_ptr<SimRegistry> nativeRegistry_;
  std::unique_ptr<SimFileSystem> fs_;
  std::unique_ptr<SimSystemInfo> system_;
  std::unique_ptr<MsiRegistration> msi_;
  std::unique_ptr<SimWindowsInstaller> installer_;
  std::unique_ptr<SimProcesses> processes_;
  std::unique_ptr<SimSpooler> spooler_;
  std::unique_ptr<SimServiceManager> services_;
  std::unique_ptr<SimPower> power_;
  std::unique_ptr<SimUserInterface> ui_;
};

}  // namespace zc::sim
