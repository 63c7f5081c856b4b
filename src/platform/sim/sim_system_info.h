// Time, folders, version and environment of the simulated machine.
#pragma once

#include <cstdint>

#include "platform/sim/faults.h"
#include "platform/sim/machine_config.h"
#include "platform/system_info.h"

namespace zc::sim {

class SimSystemInfo : public SystemInfo {
 public:
  SimSystemInfo(const MachineConfig& config, FaultPlan* faults) : config_(config), faults_(faults) {}

  LocalTime Now() override;
  WinError GetShellFolder(int csidl, bool defaultPath, std::wstring* path) override;
  std::wstring WindowsDirectory() override;
  std::wstring SystemDirectory() override;
  std::uint32_t GetCurrentDir(std::uint32_t capacity, std::wstring* directory, WinError* error) override;
  bool GetVersion(OsVersion* version) override;
  std::optional<std::wstring> GetEnvironmentValue(std::wstring_view name) override;
  std::uint32_t ExpandEnvironment(std::wstring_view source, std::wstring* expanded) override;
  void Sleep(std::uint32_t milliseconds) override { sleptMilliseconds_ += milliseconds; }
  std::wstring CurrentUserSid() override;

  // Simulated time spent sleeping; a service poll advances it.
  std::uint64_t sleptMilliseconds() const { return sleptMilliseconds_; }

 private:
  const MachineConfig& config_;
  FaultPlan* faults_;
  std::uint64_t sleptMilliseconds_ = 0;
};

}  // namespace zc::sim
