// Paths of the machine as its side files spell them (machine.ini,
// file-attributes.txt): read with the Windows-path module, as the file
// system and the scope guard read paths.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zc::sim {

// The normalised form of `text` when it names a path on one of the
// machine's drives (`driveExists`, when given): a full path with a drive
// letter, no NUL, no network or device prefix, no name Win32 could not
// make (one ending in a blank or a dot). Empty when it is none.
std::wstring MachinePath(std::string_view text, const std::function<bool(wchar_t)>& driveExists);

}  // namespace zc::sim
