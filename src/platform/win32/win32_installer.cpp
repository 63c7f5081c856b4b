#include "platform/win32/win32_installer.h"

#include <windows.h>
#include <msi.h>

#include <string>
#include <vector>

namespace zc::win32 {
namespace {

// A braced GUID and its terminator.
constexpr std::size_t kGuidCapacity = 39;
// The longest SID as text ("S-1-", a 48-bit authority, 15 sub-authorities
// of up to ten digits) and its terminator.
constexpr DWORD kSidCapacity = 185;

// Windows Installer 3.0's calls, looked up when first needed, so that the
// program starts where msi.dll lacks them.
using EnumProductsExFn = UINT(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, DWORD, LPWSTR, MSIINSTALLCONTEXT*, LPWSTR, LPDWORD);
using GetProductInfoExFn = UINT(WINAPI*)(LPCWSTR, LPCWSTR, MSIINSTALLCONTEXT, LPCWSTR, LPWSTR, LPDWORD);

template <typename Function>
Function MsiCall(const char* name) {
  const HMODULE msi = ::GetModuleHandleW(L"msi.dll");
  if (msi == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(msi, name)));
}

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

WinError Win32WindowsInstaller::EnumEveryonesProducts(std::uint32_t index, InstalledEntry* entry) {
  static const auto enumProductsEx = MsiCall<EnumProductsExFn>("MsiEnumProductsExW");
  if (enumProductsEx == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  wchar_t code[kGuidCapacity] = {};
  wchar_t sid[kSidCapacity] = {};
  DWORD sidLength = kSidCapacity;
  MSIINSTALLCONTEXT context = MSIINSTALLCONTEXT_NONE;
  // "S-1-1-0" is everyone; Wine compares it as written, in capitals.
  const UINT result =
      enumProductsEx(nullptr, L"S-1-1-0", MSIINSTALLCONTEXT_ALL, index, code, &context, sid, &sidLength);
  if (result == ERROR_SUCCESS && entry != nullptr) {
    entry->productCode = code;
    entry->context = static_cast<InstallContext>(context);
    entry->sid.assign(sid, sidLength);
  }
  return result;
}

WinError Win32WindowsInstaller::GetProductInfoEx(const InstalledEntry& entry, std::wstring_view property,
                                                 std::uint32_t capacity, std::wstring* value) {
  static const auto getProductInfoEx = MsiCall<GetProductInfoExFn>("MsiGetProductInfoExW");
  if (getProductInfoEx == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  const std::wstring name(property);
  std::vector<wchar_t> buffer(static_cast<std::size_t>(capacity) + 1, L'\0');
  DWORD length = capacity;
  // A per-machine product is asked for without a SID, as the call requires.
  const wchar_t* sid = entry.context == InstallContext::kMachine ? nullptr : entry.sid.c_str();
  const UINT result = getProductInfoEx(entry.productCode.c_str(), sid, static_cast<MSIINSTALLCONTEXT>(entry.context),
                                       name.c_str(), buffer.data(), &length);
  if (result == ERROR_SUCCESS && value != nullptr) value->assign(buffer.data(), length);
  return result;
}

}  // namespace zc::win32
