#include "platform/win32/win32_platform.h"

namespace zc::win32 {

std::unique_ptr<Win32Platform> MakeWin32Platform() { return std::make_unique<Win32Platform>(); }

}  // namespace zc::win32
