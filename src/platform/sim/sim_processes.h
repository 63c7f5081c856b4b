// Child processes of the simulated machine. Two programs exist: msiexec,
// found by the usual program search, and MSIZap, where its file is. Any
// other command fails to start with error 2.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/processes.h"
#include "platform/sim/faults.h"
#include "platform/sim/machine_config.h"
#include "platform/sim/msi_registration.h"

namespace zc::sim {

struct ProcessRun {
  std::wstring applicationName;
  std::wstring commandLine;
  std::wstring program;  // "msiexec" or "msizap"
  std::uint32_t exitCode = 0;
};

class SimProcesses : public Processes {
 public:
  SimProcesses(MsiRegistration& msi, SimFileSystem& fs, const MachineConfig& config, FaultPlan* faults)
      : msi_(msi), fs_(fs), config_(config), faults_(faults) {}

  WinError StartProcess(std::wstring_view applicationName, std::wstring_view commandLine,
                        ProcessHandles* handles) override;
  std::uint32_t Wait(ProcessHandleValue process, std::uint32_t milliseconds) override;
  WinError GetExitCode(ProcessHandleValue process, std::uint32_t* exitCode) override;
  void CloseHandle(ProcessHandleValue handle) override;

  const std::vector<ProcessRun>& runs() const { return runs_; }
  std::size_t openHandles() const { return handles_.size(); }

 private:
  std::uint32_t RunMsiExec(const std::vector<std::wstring>& args);
  std::uint32_t RunMsiZap(const std::vector<std::wstring>& args);

  MsiRegistration& msi_;
  SimFileSystem& fs_;
  const MachineConfig& config_;
  FaultPlan* faults_;
  std::vector<ProcessRun> runs_;
  // Handle -> index of the run (a process and its thread share it).
  std::map<ProcessHandleValue, std::size_t> handles_;
  ProcessHandleValue nextHandle_ = 0x1F0;
};

}  // namespace zc::sim
