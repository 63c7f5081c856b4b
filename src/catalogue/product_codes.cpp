// The families' product-code lists: what Windows Installer relates to each
// upgrade code, or the family's known releases when it relates none.
#include "app/application.h"
#include "catalogue/families.h"

namespace zc {

namespace {
constexpr std::uint32_t kProductCodeBuffer = 39;
}

std::vector<std::wstring>& VEZEZERidivorOde::ProductCodeList(int family) {
  switch (family) {
    case kFamilyQuillo: return m_quilloProductCodes;
    case kFamilyTavloDrivers: return m_tavloDriverProductCodes;
    case kFamilyQuorix: return m_quorixProductCodes;
    case kFamilyVexil: return m_vexilProductCodes;
    case kFamilyConvexa: return m_convexaProductCodes;
    case kFamilyConvexaPE: return m_convexaPEProductCodes;
    case kFamilyCommonFiles: return m_commonFilesProductCodes;
    default: return m_tavloSoftwareProductCodes;
  }
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
