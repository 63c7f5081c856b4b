// The scan of the vendor's installed products.
#include <algorithm>
#include <optional>

#include "app/application.h"
#include "platform/text.h"

namespace zc {

namespace {

constexpr std::uint32_t kInfoBuffer = 260;

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

}  // namespace

void VEZEZERidivorOde::DiscoverInstalledProducts(const std::wstring& publisherFilter) {
  std::vector<InstalledProduct> found;
  m_bQuilloNewerFound = m_bQuorixNewerFound = m_bCorvelTeacherNewerFound = m_bTavloDriversNewerFound = false;

  auto& msi = m_platform.installer;
  auto read = [&msi](const std::wstring& code, const wchar_t* property, std::wstring* value) {
    value->clear();
    return msi.GetProductInfo(code, property, kInfoBuffer, value) == err::kSuccess;
  };

  std::wstring code;
  for (std::uint32_t index = 0; msi.EnumProducts(index, &code) == err::kSuccess; ++index) {
    // Wine lists every account's products here, so a code can come twice: it is one product.
    const auto sameCode = [&code](const InstalledProduct& p) { return EqualsNoCase(p.m_strProductCode, code); };
    if (std::any_of(found.begin(), found.end(), sameCode)) continue;
    std::wstring publisher;
    if (!read(code, L"Publisher", &publisher)) continue;
    if (ToLowerAscii(publisher).find(publisherFilter) == std::wstring::npos) continue;
    std::wstring name;
    if (!read(code, L"ProductName", &name)) continue;

    InstalledProduct product;
    product.m_strName = name;
    product.m_strProductCode = code;
    std::wstring location;
    if (read(code, L"InstallLocation", &location)) product.m_strInstallLocation = location;
    std::wstring version;
    if (read(code, L"VersionString", &version)) product.m_version.SetFromString(version);

    struct NewerTest {
      const wchar_t* namePart;
      const CVersion& threshold;
      bool& flag;
    };
    const NewerTest tests[] = {
        {L"Quillo", g_verQuilloThreshold, m_bQuilloNewerFound},
        {L"Drivers", g_verTavloDriversThreshold, m_bTavloDriversNewerFound},
        {L"Quorix", g_verQuorixThreshold, m_bQuorixNewerFound},
        {L"Corvel Teacher", g_verCorvelTeacherThreshold, m_bCorvelTeacherNewerFound},
    };
    for (const auto& test : tests) {
      if (Contains(name, test.namePart) && product.m_version.IsGreaterThan(test.threshold)) {
        test.flag = true;
        product.m_bFolderCleanupAllowed = false;
      }
    }
    found.push_back(product);

    m_log << L"Found Product: " << product.m_strName << L"  -- GUID: " << product.m_strProductCode << L" -- Version: "
          << product.m_version.ToString() << L" -- Install Directoy: =" << product.m_strInstallLocation << L"= " << eol;
  }
  BuildInstalledProductList(found);
  FindOtherUsersProducts(publisherFilter);
}

void VEZEZERidivorOde::FindOtherUsersProducts(const std::wstring& publisherFilter) {
  m_otherUsersProducts.clear();
  auto& msi = m_platform.installer;
  const std::wstring self = m_platform.system.CurrentUserSid();
  auto read = [&msi](const InstalledEntry& entry, const wchar_t* property, std::wstring* value) {
    value->clear();
    return msi.GetProductInfoEx(entry, property, kInfoBuffer, value) == err::kSuccess;
  };
  InstalledEntry entry;
  for (std::uint32_t index = 0; msi.EnumEveryonesProducts(index, &entry) == err::kSuccess; ++index) {
    if (entry.context == InstallContext::kMachine || entry.sid.empty() || EqualsNoCase(entry.sid, self)) continue;
    // Without the running account's SID, a product this run found is taken for its own.
    const auto sameCode = [&entry](const InstalledProduct& p) {
      return EqualsNoCase(p.m_strProductCode, entry.productCode);
    };
    if (self.empty() && std::any_of(m_installedProducts.begin(), m_installedProducts.end(), sameCode)) continue;
    std::wstring publisher;
    if (!read(entry, L"Publisher", &publisher)) continue;
    if (ToLowerAscii(publisher).find(publisherFilter) == std::wstring::npos) continue;
    InstalledProduct product;
    if (!read(entry, L"ProductName", &product.m_strName)) continue;
    product.m_strProductCode = entry.productCode;
    product.m_strUserSid = entry.sid;
    product.m_bFolderCleanupAllowed = false;
    std::wstring version;
    if (read(entry, L"VersionString", &version)) product.m_version.SetFromString(version);
    read(entry, L"InstallLocation", &product.m_strInstallLocation);
    m_log << L"Installed for another user: " << product.m_strName << L" -- GUID: " << product.m_strProductCode
          << L" -- User: " << product.m_strUserSid << eol;
    m_otherUsersProducts.push_back(std::move(product));
  }
}

void VEZEZERidivorOde::BuildInstalledProductList(const std::vector<InstalledProduct>& found) {
  m_installedProducts.clear();
  if (found.empty()) return;

  std::optional<InstalledProduct> platform;
  std::optional<InstalledProduct> quillo;
  std::wstring savedLocation;
  const bool anyNewer =
      m_bQuilloNewerFound || m_bTavloDriversNewerFound || m_bQuorixNewerFound || m_bCorvelTeacherNewerFound;

  for (const auto& record : found) {
    if (!anyNewer) {
      m_installedProducts.push_back(record);
    } else if (Contains(record.m_strName, L"Platform")) {
      platform = record;
    } else if (Contains(record.m_strName, L"Quillo")) {
      savedLocation = record.m_strInstallLocation;
      if (m_bQuorixNewerFound) {
        quillo = record;
      } else {
        m_installedProducts.push_back(record);
      }
    } else {
      if (!Contains(record.m_strName, L"Corvel Teacher") && savedLocation.empty()) {
        savedLocation = record.m_strInstallLocation;
      }
      m_installedProducts.push_back(record);
    }
  }
  if (quillo) m_installedProducts.push_back(*quillo);
  if (platform) {
    if (!savedLocation.empty()) {
      platform->m_strInstallLocation = savedLocation;
    } else {
      platform->m_bFolderCleanupAllowed = false;
    }
    m_installedProducts.push_back(*platform);
  }
}

}  // namespace zc
