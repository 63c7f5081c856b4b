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
};

}  // namespace zc
