// The folders of the machine that no removal step may take: gathered from
// what the system reports (its folders, environment, registered profiles)
// and from the profiles roots themselves, for the scope guard.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace zc {

// The folders that the tool never removes, as full paths.
struct ProtectedFolders {
  // Neither the folder, nor anything inside it, nor any of its ancestors:
  // the Windows folder and the system folders.
  std::vector<std::wstring> withContents;
  // Neither the folder itself nor any of its ancestors: programs and
  // common-files folders, ProgramData, the profiles root, every profile and
  // its known folders, the current directory, the TMP folder. What lies
  // deeper inside them (a vendor's folder under AppData) stays removable.
  std::vector<std::wstring> itself;
};

ProtectedFolders GatherProtectedFolders(Platform& platform);

}  // namespace zc
