// Where the log goes: the temporary-name rule and the time formats.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zc {

// The temporary-name rule: the directory is TMP when it names an existing
// path, else the root "\" of the current drive when it exists, else ".";
// then `prefix` and the first number from 2 whose full name does not exist.
// The name itself is never created.
std::wstring MakeTempBaseName(FileSystem& fs, SystemInfo& system, std::wstring_view prefix);

// "_%d%02d%02d_%02d%02d%02d"
std::wstring FormatFileNameSuffix(const LocalTime& t);
// "%02d/%02d/%d %02d:%02d:%02d"
std::wstring FormatTimestamp(const LocalTime& t);

}  // namespace zc
