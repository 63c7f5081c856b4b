// One vendor product that discovery found.
#pragma once

#include <string>

#include "catalogue/version.h"

namespace zc {

struct InstalledProduct {
  bool m_bFolderCleanupAllowed = true;
  CVersion m_version;
  std::wstring m_strName;
  std::wstring m_strProductCode;
  std::wstring m_strInstallLocation;
  // The account of another user's per-user product; empty for the products
  // this run may remove (per machine, or the running account's).
  std::wstring m_strUserSid;
};

}  // namespace zc
