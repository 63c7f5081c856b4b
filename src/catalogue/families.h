// The vendor's product families: labels, upgrade codes and the fallback
// tables of known releases. One table that the tool, the demo machine, the
// test packages and `zentacleanup --catalogue` all read.
#pragma once

#include <array>
#include <span>

namespace zc {

// A known release of a family: only its product code is ever read; the
// display name says which release the row stands for.
struct FallbackProductRow {
  wchar_t displayName[260];
  wchar_t productCode[45];
};

struct ProductFamily {
  const wchar_t* label;
  const wchar_t* upgradeCode;
  std::span<const FallbackProductRow> fallbackRows;
};

// In the order in which the product-code lists are built.
enum FamilyIndex {
  kFamilyQuillo = 0,
  kFamilyTavloDrivers,
  kFamilyQuorix,
  kFamilyVexil,
  kFamilyConvexa,
  kFamilyConvexaPE,
  kFamilyCommonFiles,
  kFamilyTavloSoftware,
  kFamilyCount
};

extern const std::array<ProductFamily, kFamilyCount> kProductFamilies;

// The host name of the vendor's gallery content server: the last key name
// of the gallery registry key.
inline constexpr const wchar_t* kGalleryServerHost = L"gallery.zenta-technologies.example";

}  // namespace zc
