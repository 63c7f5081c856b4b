// The families' product-code lists: what Windows Installer relates to each
// upgrade code, or the family's known releases when it relates none.
#include "app/application.h"
#include "app/family_table.h"
#include "catalogue/families.h"

namespace zc {

namespace {
constexpr std::uint32_t kProductCodeBuffer = 39;
}

std::vector<std::wstring>& VEZEZERidivorOde::ProductCodeList(int family) {
  return this->*kFamilyRows[static_cast<std::size_t>(family)].codes;
}

std::vector<std::wstring> VEZEZERidivorOde::EnumRelatedProducts(const std::wstring& upgradeCode) {
  std::vector<std::wstring> codes;
  std::wstring code;
  for (std::uint32_t index = 0; m_platform.installer.EnumRelatedProducts(upgradeCode, index, &code) == 0; ++index) {
    // The installer writes at most 38 characters and the terminator.
    codes.push_back(code.substr(0, kProductCodeBuffer - 1));
  }
  return codes;
}

bool VEZEZERidivorOde::BuildProductCodeLists(bool useFallback) {
  for (int family = 0; family < kFamilyCount; ++family) {
    ProductCodeList(family) = EnumRelatedProducts(kProductFamilies[family].upgradeCode);
  }
  if (useFallback) {
    for (int family = 0; family < kFamilyCount; ++family) {
      auto& list = ProductCodeList(family);
      if (!list.empty()) continue;
      for (const auto& row : kProductFamilies[family].fallbackRows) list.emplace_back(row.productCode);
    }
  }
  return BuildFolderCatalogue();
}

}  // namespace zc
