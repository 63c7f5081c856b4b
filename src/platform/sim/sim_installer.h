// Windows Installer's product queries, answered only from the registry in
// Windows Installer's own layout, as Wine's installer answers them.
#pragma once

#include <string>
#include <vector>

#include "platform/installer.h"
#include "platform/registry.h"
#include "platform/sim/faults.h"
#include "platform/sim/installer_layout.h"
#include "platform/sim/machine_config.h"

namespace zc::sim {

// Where the account sees the product: managed per-user before unmanaged
// before per machine, the order in which Windows Installer looks; nullopt
// when it does not see it.
std::optional<msilayout::Place> LocateProduct(Registry& native, std::wstring_view productCode,
                                              const std::wstring& account);

class SimWindowsInstaller : public WindowsInstaller {
 public:
  // `native` sees the registry without redirection: Windows Installer keeps
  // its data in the native view whatever the caller's bitness. `account`
  // is the running account's SID, whose per-user products it sees.
  SimWindowsInstaller(Registry& native, std::wstring account, FaultPlan* faults)
      : reg_(native), account_(std::move(account)), faults_(faults) {}
  // For the demo administrator.
  SimWindowsInstaller(Registry& native, FaultPlan* faults)
      : SimWindowsInstaller(native, kDemoAdministratorSid, faults) {}

  WinError EnumProducts(std::uint32_t index, std::wstring* productCode) override;
  WinError GetProductInfo(std::wstring_view productCode, std::wstring_view property, std::uint32_t capacity,
                          std::wstring* value) override;
  WinError EnumRelatedProducts(std::wstring_view upgradeCode, std::uint32_t index, std::wstring* productCode) override;
  WinError EnumEveryonesProducts(std::uint32_t index, InstalledEntry* entry) override;
  WinError GetProductInfoEx(const InstalledEntry& entry, std::wstring_view property, std::uint32_t capacity,
                            std::wstring* value) override;

 private:
  // The contexts the running account sees, in the order they enumerate.
  std::vector<msilayout::Place> VisiblePlaces() const;
  WinError ReadProperty(std::wstring_view productCode, const msilayout::Place& place, std::wstring_view property,
                        std::uint32_t capacity, std::wstring* value);

  Registry& reg_;
  std::wstring account_;
  FaultPlan* faults_;
  // An enumeration is read whole at index 0 and served from there, as the
  // installer keeps its place between calls.
  std::vector<std::wstring> products_;
  std::vector<std::wstring> related_;
  std::vector<InstalledEntry> everyones_;
};

}  // namespace zc::sim
