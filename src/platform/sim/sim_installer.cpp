#include "platform/sim/sim_installer.h"

#include <algorithm>

#include "platform/sim/registry_util.h"
#include "platform/text.h"

namespace zc::sim {

namespace ml = msilayout;

namespace {

bool ProductRegistered(Registry& reg, std::wstring_view code, const ml::Place& place) {
  const auto key = ml::ProductKey(code, place);
  return KeyExists(reg, key.root, key.path);
}

// The products a context lists, as codes.
void AppendProducts(Registry& reg, const ml::Place& place, std::vector<InstalledEntry>* out) {
  const auto installer = ml::InstallerKey(place);
  for (const auto& packed : SubKeyNames(reg, installer.root, installer.path + L"\\Products")) {
    if (auto code = ml::UnpackGuid(packed)) out->push_back(InstalledEntry{*code, place.context, place.sid});
  }
}

}  // namespace

std::vector<ml::Place> SimWindowsInstaller::VisiblePlaces() const {
  return {ml::Place::Machine(), ml::Place::Unmanaged(account_), ml::Place::Managed(account_)};
}

std::optional<ml::Place> LocateProduct(Registry& native, std::wstring_view productCode, const std::wstring& account) {
  for (const auto& place : {ml::Place::Managed(account), ml::Place::Unmanaged(account), ml::Place::Machine()}) {
    if (ProductRegistered(native, productCode, place)) return place;
  }
  return std::nullopt;
}

WinError SimWindowsInstaller::EnumProducts(std::uint32_t index, std::wstring* productCode) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kMsiEnumProducts, std::to_wstring(index))) return *e;
  }
  if (index == 0) {
    std::vector<InstalledEntry> entries;
    for (const auto& place : VisiblePlaces()) AppendProducts(reg_, place, &entries);
    products_.clear();
    for (auto& entry : entries) {
      // A product the account sees in two contexts is one product to it.
      const bool seen = std::any_of(products_.begin(), products_.end(),
                                    [&](const std::wstring& code) { return EqualsNoCase(code, entry.productCode); });
      if (!seen) products_.push_back(std::move(entry.productCode));
    }
  }
  if (index >= products_.size()) return err::kNoMoreItems;
  *productCode = products_[index];
  return err::kSuccess;
}

WinError SimWindowsInstaller::ReadProperty(std::wstring_view productCode, const ml::Place& place,
                                           std::wstring_view property, std::uint32_t capacity, std::wstring* value) {
  const auto location = ml::LocateProperty(property);
  if (!location) return err::kUnknownProperty;
  std::optional<std::wstring> text;
  if (location->inProductsKey) {
    const auto key = ml::ProductKey(productCode, place);
    text = ReadText(reg_, key.root, key.path, location->valueName);
  } else {
    text = ReadText(reg_, kHkeyLocalMachine, ml::InstallPropertiesKey(productCode, place), location->valueName);
  }
  if (!text) return err::kUnknownProperty;
  // The package code is kept packed and given out braced.
  if (property == L"PackageCode") {
    if (auto braced = ml::UnpackGuid(*text)) text = *braced;
  }
  if (Utf16Length(*text) >= capacity) return err::kMoreData;
  *value = *text;
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
  const auto place = LocateProduct(reg_, productCode, account_);
  if (!place) return err::kUnknownProduct;
  return ReadProperty(productCode, *place, property, capacity, value);
}

WinError SimWindowsInstaller::EnumRelatedProducts(std::wstring_view upgradeCode, std::uint32_t index,
                                                  std::wstring* productCode) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kMsiEnumRelatedProducts, upgradeCode)) return *e;
  }
  if (!ml::IsBracedGuid(upgradeCode)) return err::kInvalidParameter;
  if (index == 0) {
    related_.clear();
    for (const auto& place : VisiblePlaces()) {
      const auto key = ml::UpgradeCodeKey(upgradeCode, place);
      for (const auto& packed : ValueNames(reg_, key.root, key.path)) {
        auto code = ml::UnpackGuid(packed);
        if (!code) continue;
        const bool seen = std::any_of(related_.begin(), related_.end(),
                                      [&](const std::wstring& known) { return EqualsNoCase(known, *code); });
        if (!seen) related_.push_back(*code);
      }
    }
  }
  if (index >= related_.size()) return err::kNoMoreItems;
  *productCode = related_[index];
  return err::kSuccess;
}

WinError SimWindowsInstaller::EnumEveryonesProducts(std::uint32_t index, InstalledEntry* entry) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kMsiEnumProductsEx, std::to_wstring(index))) return *e;
  }
  if (index == 0) {
    everyones_.clear();
    AppendProducts(reg_, ml::Place::Machine(), &everyones_);
    // Every loaded account hive, then every account with managed products.
    for (const auto& account : SubKeyNames(reg_, kHkeyUsers, L"")) {
      if (StartsWithNoCase(account, L"S-")) AppendProducts(reg_, ml::Place::Unmanaged(account), &everyones_);
    }
    for (const auto& account : SubKeyNames(reg_, kHkeyLocalMachine, ml::kManagedKey)) {
      AppendProducts(reg_, ml::Place::Managed(account), &everyones_);
    }
  }
  if (index >= everyones_.size()) return err::kNoMoreItems;
  *entry = everyones_[index];
  return err::kSuccess;
}

WinError SimWindowsInstaller::GetProductInfoEx(const InstalledEntry& entry, std::wstring_view property,
                                               std::uint32_t capacity, std::wstring* value) {
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kMsiGetProductInfoEx, entry.productCode + L"|" + std::wstring(property))) {
      return *e;
    }
  }
  if (!ml::IsBracedGuid(entry.productCode)) return err::kInvalidParameter;
  const ml::Place place{entry.context, entry.sid};
  if (!ProductRegistered(reg_, entry.productCode, place)) return err::kUnknownProduct;
  return ReadProperty(entry.productCode, place, property, capacity, value);
}

}  // namespace zc::sim
