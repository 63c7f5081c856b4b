// Windows Installer's product queries. Codes are GUID texts in braces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_error.h"

namespace zc {

// Where Windows Installer keeps a product: MSIINSTALLCONTEXT_*.
enum class InstallContext : std::uint32_t { kUserManaged = 1, kUserUnmanaged = 2, kMachine = 4 };

// One product of MsiEnumProductsExW: its code, its context and, for a
// per-user product, the account's SID (empty for a per-machine one).
struct InstalledEntry {
  std::wstring productCode;
  InstallContext context = InstallContext::kMachine;
  std::wstring sid;
};

class WindowsInstaller {
 public:
  virtual ~WindowsInstaller() = default;

  // MsiEnumProductsW: 0 and a product code, 259 past the last product.
  virtual WinError EnumProducts(std::uint32_t index, std::wstring* productCode) = 0;

  // MsiGetProductInfoW with a buffer of `capacity` characters including the
  // terminator: a value that does not fit gives 234; an unknown product 1605,
  // an unknown property 1608.
  virtual WinError GetProductInfo(std::wstring_view productCode, std::wstring_view property, std::uint32_t capacity,
                                  std::wstring* value) = 0;

  // MsiEnumRelatedProductsW: 0 and a product code, 259 past the last one.
  virtual WinError EnumRelatedProducts(std::wstring_view upgradeCode, std::uint32_t index,
                                       std::wstring* productCode) = 0;

  // MsiEnumProductsExW for every account ("S-1-1-0") and every context:
  // 0 and an entry, 259 past the last; 120 where Windows Installer has no
  // such call (before 3.0).
  virtual WinError EnumEveryonesProducts(std::uint32_t index, InstalledEntry* entry) = 0;

  // MsiGetProductInfoExW for the product of that entry, with the buffer and
  // answers of GetProductInfo; 120 where Windows Installer lacks the call.
  virtual WinError GetProductInfoEx(const InstalledEntry& entry, std::wstring_view property, std::uint32_t capacity,
                                    std::wstring* value) = 0;
};

}  // namespace zc
