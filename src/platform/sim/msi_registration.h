// Registering and unregistering a product in Windows Installer's layout:
// what a package's installation writes, what msiexec /X and MSIZap take
// away. Machines for tests and the demo are built with it, and the
// simulated msiexec and MSIZap undo it.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/installer_layout.h"
#include "platform/sim/machine_config.h"
#include "platform/sim/sim_filesystem.h"

namespace zc::sim {

struct ComponentSpec {
  std::wstring componentCode;  // braced GUID
  // A file path such as C:\Program Files\X\a.dll, or a registry key path
  // such as 02:\Software\X\Value.
  std::wstring keyPath;
  std::string fileContent = "x";  // for a file: what the file holds
};

struct ProductSpec {
  std::wstring productCode;
  std::wstring upgradeCode;  // may be empty
  std::wstring name;
  std::wstring publisher;
  std::wstring version;          // DisplayVersion; empty: no value
  std::wstring installLocation;  // empty: an empty value, as for a package that sets none
  std::vector<ComponentSpec> components;
  // Where the package was installed from, and when.
  std::wstring packageCode;  // braced GUID; empty: the product code stands in
  std::wstring installSource = L"C:\\Setup\\";
  std::wstring packageName = L"setup.msi";
  std::wstring installDate = L"20130401";  // yyyymmdd
  std::wstring localPackage = L"C:\\WINDOWS\\Installer\\1a2b.msi";
  // Per machine, or an account's per-user product.
  msilayout::Place place;
};

class MsiRegistration {
 public:
  // `native` is the registry without redirection; `machine64` says whether
  // packages (all 32-bit) put their uninstall registration and their
  // registry values under Wow6432Node.
  // `account` is the running account, whose per-user products msiexec and
  // MSIZap see besides the per-machine ones.
  MsiRegistration(Registry& native, SimFileSystem& fs, bool machine64, std::wstring account = kDemoAdministratorSid)
      : reg_(native), fs_(fs), machine64_(machine64), account_(std::move(account)) {}

  // Writes every key an installation writes and creates the component files.
  bool Register(const ProductSpec& product);
  // Whether the running account sees the product.
  bool IsRegistered(const std::wstring& productCode);
  // msiexec /X: removes the component files (a file still used by another
  // product stays), the folders they leave empty, the component registry
  // values, its references in SharedDlls and all of the product's
  // registration.
  void Uninstall(const std::wstring& productCode);
  // MSIZap T: removes whatever registration of the product is left, per
  // machine and the running account's; files stay.
  void Zap(const std::wstring& productCode);

 private:
  void RemoveRegistration(const std::wstring& productCode, const msilayout::Place& place);
  void ForgetComponents(const std::wstring& productCode, const msilayout::Place& place);
  void ReleaseSharedDll(const std::wstring& file);
  std::wstring RegistryPathForPackage(const std::wstring& keyPath) const;

  Registry& reg_;
  SimFileSystem& fs_;
  bool machine64_;
  std::wstring account_;
};

}  // namespace zc::sim
