#include "platform/win32/win32_installer.h"

#include <windows.h>
#include <msi.h>

#include <string>
#include <vector>

namespace zc::win32 {
namespace {

// A braced GUID and its terminator.
constexpr std::size_t kGuidCapacity = 39;

}  // namespace

WinError Win32WindowsInstaller::EnumProducts(std::uint32_t index, std::wstring* productCode) {
  wchar_t buffer[kGuidCapacity] = {};
  const UINT result = ::MsiEnumProductsW(index, buffer);
  if (result == ERROR_SUCCESS && productCode != nullptr) *productCode = buffer;
  return result;
}

WinError Win32WindowsInstaller::GetProductInfo(std::wstring_view productCode, std::wstring_view property,
                                               std::uint32_t capacity, std::wstring* value) {
  const std::wstring code(productCode);
  const std::wstring name(property);
  std::vector<wchar_t> buffer(static_cast<std::size_t>(capacity) + 1, L'\0');
  DWORD length = capacity;
  const UINT result = ::MsiGetProductInfoW(code.c_str(), name.c_str(), buffer.data(), &length);
  if (result == ERROR_SUCCESS && value != nullptr) value->assign(buffer.data(), length);
  return result;
}

WinError Win32WindowsInstaller::EnumRelatedProducts(std::wstring_view upgradeCode, std::uint32_t index,
                                                    std::wstring* productCode) {
  const std::wstring code(upgradeCode);
  wchar_t buffer[kGuidCapacity] = {};
  const UINT result = ::MsiEnumRelatedProductsW(code.c_str(), 0, index, buffer);
  if (result == ERROR_SUCCESS && productCode != nullptr) *productCode = buffer;
  return result;
}

}  // namespace zc::win32
