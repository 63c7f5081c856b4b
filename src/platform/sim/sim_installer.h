// Windows Installer's product queries, answered only from the registry in
// Windows Installer's own layout, as Wine's installer answers them.
#pragma once

#include <vector>

#include "platform/installer.h"
#include "platform/registry.h"
#include "platform/sim/faults.h"

namespace zc::sim {

class SimWindowsInstaller : public WindowsInstaller {
 public:
  // `native` sees the registry without redirection: Windows Installer keeps
  // its data in the native view whatever the caller's bitness.
  SimWindowsInstaller(Registry& native, FaultPlan* faults) : reg_(native), faults_(faults) {}

  WinError EnumProducts(std::uint32_t index, std::wstring* productCode) override;
  WinError GetProductInfo(std::wstring_view productCode, std::wstring_view property, std::uint32_t capacity,
                          std::wstring* value) override;
  WinError EnumRelatedProducts(std::wstring_view upgradeCode, std::uint32_t index, std::wstring* productCode) override;

 private:
  Registry& reg_;
  FaultPlan* faults_;
  // An enumeration is read whole at index 0 and served from there, as the
  // installer keeps its place between calls.
  std::vector<std::wstring> products_;
  std::vector<std::wstring> related_;
};

}  // namespace zc::sim
