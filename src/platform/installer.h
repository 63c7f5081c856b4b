// Windows Installer's product queries. Codes are GUID texts in braces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_error.h"

namespace zc {

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
};

}  // namespace zc
