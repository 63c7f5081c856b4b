#include "platform/sim/sim_installer.h"

#include "platform/sim/installer_layout.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"

namespace zc::sim {

namespace ml = msilayout;

WinError SimWindowsInstaller::EnumProducts(std::uint32_t index, std::wstring* productCode) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kMsiEnumProducts, std::to_wstring(index))) return *e;
  }
  if (index == 0) {
    products_.clear();
    for (const auto& packed : SubKeyNames(reg_, kHkeyLocalMachine, ml::kProductsKey)) {
      if (auto code = ml::UnpackGuid(packed)) products_.push_back(*code);
    }
  }
  if (index >= products_.size()) return err::kNoMoreItems;
  *productCode = products_[index];
  return err::kSuccess;
}

WinError SimWindowsInstaller::GetProductInfo(std::wstring_view productCode, std::wstring_view property,
                                             std::uint32_t capacity, std::wstring* value) {
  if (faults_) {
    if (auto e =
            faults_->Check(FaultOp::kMsiGetProductInfo, std::wstring(productCode) + L"|" + std::wstring(property))) {
      return *e;
    }
  }
  if (!ml::IsBracedGuid(productCode)) return err::kInvalidParameter;
  // An unknown product is told before the property is looked at, as Windows Installer does.
  if (!KeyExists(reg_, kHkeyLocalMachine, ml::ProductKey(productCode))) return err::kUnknownProduct;
  const auto location = ml::LocateProperty(property);
  if (!location) return err::kUnknownProperty;

  const std::wstring key =
      location->inProductsKey ? ml::ProductKey(productCode) : ml::InstallPropertiesKey(productCode);
  auto text = ReadText(reg_, kHkeyLocalMachine, key, location->valueName);
  if (!text) return err::kUnknownProperty;
  // The package code is kept packed and given out braced.
  if (property == L"PackageCode") {
    if (auto braced = ml::UnpackGuid(*text)) text = *braced;
  }
  if (Utf16Length(*text) >= capacity) return err::kMoreData;
  *value = *text;
  return err::kSuccess;
}

WinError SimWindowsInstaller::EnumRelatedProducts(std::wstring_view upgradeCode, std::uint32_t index,
                                                  std::wstring* productCode) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kMsiEnumRelatedProducts, upgradeCode)) return *e;
  }
  if (!ml::IsBracedGuid(upgradeCode)) return err::kInvalidParameter;
  if (index == 0) {
    related_.clear();
    for (const auto& packed : ValueNames(reg_, kHkeyLocalMachine, ml::UpgradeCodeKey(upgradeCode))) {
      if (auto code = ml::UnpackGuid(packed)) related_.push_back(*code);
    }
  }
  if (index >= related_.size()) return err::kNoMoreItems;
  *productCode = related_[index];
  return err::kSuccess;
}

}  // namespace zc::sim
