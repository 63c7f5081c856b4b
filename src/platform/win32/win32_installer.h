// Windows Installer's product queries over msi.dll.
#pragma once

#include "platform/installer.h"

namespace zc::win32 {

class Win32WindowsInstaller : public WindowsInstaller {
 public:
  WinError EnumProducts(std::uint32_t index, std::wstring* productCode) override;
  WinError GetProductInfo(std::wstring_view productCode, std::wstring_view property, std::uint32_t capacity,
                          std::wstring* value) override;
  WinError EnumRelatedProducts(std::wstring_view upgradeCode, std::uint32_t index, std::wstring* productCode) override;
  WinError EnumEveryonesProducts(std::uint32_t index, InstalledEntry* entry) override;
  WinError GetProductInfoEx(const InstalledEntry& entry, std::wstring_view property, std::uint32_t capacity,
                            std::wstring* value) override;
};

}  // namespace zc::win32
