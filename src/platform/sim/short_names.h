// 8.3 short names as NTFS makes them for names that are not 8.3 names
// already ("Program Files" -> "PROGRA~1"), so that a path spelled with
// short names resolves on the simulated machine as it does on Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zc::sim {

// A name that is its own short name: at most eight characters, an optional
// period and at most three more, all of them characters 8.3 names allow.
bool IsShortNameForm(std::wstring_view name);

// Whether a name as spelled may be a generated short name: an 8.3 form
// holding a tilde.
bool MayBeShortName(std::wstring_view name);

// The generated short names of a folder's entries, (long name, short name)
// for every entry that is not an 8.3 name itself. Numbers are given in the
// order NTFS lists the names, the first free one from ~1 on.
std::vector<std::pair<std::wstring, std::wstring>> GenerateShortNames(std::vector<std::wstring> names);

// The entry of `names` whose short name is `shortName` (any case).
std::optional<std::wstring> LongNameOf(std::wstring_view shortName, const std::vector<std::wstring>& names);

}  // namespace zc::sim
