// The gallery content of the Brevano Suite: the gallery setup program goes,
// and the content folder becomes the product's folder to clean.
#include "app/application.h"
#include "catalogue/families.h"
#include "platform/text.h"
#include "system/uninstaller_base.h"

namespace zc {

void VEZEZERidivorOde::GalleryCleanup(int productIndex, bool remove) {
  InstalledProduct& product = m_installedProducts[static_cast<std::size_t>(productIndex)];
  // Without an install location there is no setup program to look for: the
  // path would name a file at the root of the current drive.
  const std::wstring setup =
      product.m_strInstallLocation.empty() ? std::wstring() : product.m_strInstallLocation + L"\\gallery setup.exe";
  if (!setup.empty() && GetPathState(setup) == PathState::kFile) {
    const auto permit = Guard().PermitFile(setup);
    if (!permit) {
      LogSensitive(setup, false);
    } else if (!remove) {
      m_log << "Gallery Setup" << eol << L"File to be removed: " << setup << eol;
    } else if (ClearReadOnlyAttribute(*permit, setup) && Guard().DeleteFile(*permit, setup) == err::kSuccess) {
      m_log << "Gallery Setup" << eol << L"Deleting file: " << setup << eol;
    } else {
      // Neither the attribute cleared nor the file deleted: the log says it
      // is still there rather than that it went.
      m_log << "Gallery Setup" << eol << L"Cannot delete file: " << setup << eol;
    }
  }

  const std::wstring value = ReadLocalMachineString(
      m_platform.registry,
      std::wstring(L"Software\\ZENTA Technologies Inc.\\Gallery\\TeamContent\\") + kGalleryServerHost + L"\\",
      L"imsmanifestxml");
  std::wstring contentFolder;
  if (!value.empty()) {
    const std::wstring lower = ToLowerAscii(value);
    const auto at = lower.find(L"imsmanifest.xml");
    if (at != std::wstring::npos) {
      contentFolder = lower.substr(0, at);
      m_log << "Gallery Content" << eol << L"Path Found:  " << contentFolder << eol;
    }
  }
  product.m_strInstallLocation = contentFolder;
}

}  // namespace zc
