// The 32-bit view of the registry on 64-bit Windows 7: which keys under
// HKLM\SOFTWARE a 32-bit program reaches in HKLM\SOFTWARE\WOW6432Node, and
// which ones both views share.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace zc::sim {

// True when the key at these names below HKLM\SOFTWARE (for example
// {"Microsoft", "Windows", "CurrentVersion", "App Paths", "x.exe"}) is
// shared between the views. An empty list is SOFTWARE itself: redirected.
bool IsSharedBetweenViews(std::span<const std::wstring> belowSoftware);

// The names (from the HKEY_LOCAL_MACHINE root) of the key that a 32-bit
// program reaches when it names `names`: SOFTWARE\X becomes
// SOFTWARE\WOW6432Node\X unless X is shared or already names WOW6432Node.
// Names outside SOFTWARE are returned as they are.
std::vector<std::wstring> RedirectTo32BitView(const std::vector<std::wstring>& names);

}  // namespace zc::sim
