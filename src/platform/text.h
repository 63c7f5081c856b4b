// Text helpers shared by every layer: case rules as Windows applies them,
// UTF-16 and UTF-8 conversions (std::wstring is UTF-32 on Linux, UTF-16 on
// Windows), number formatting.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zc {

// Lower-cases A-Z only, as the C runtime does in the "C" locale.
std::wstring ToLowerAscii(std::wstring_view text);
// Case-insensitive comparison as the registry and NTFS make it: letters are
// compared by their upper-case form (ASCII and Latin-1).
wchar_t UpcaseChar(wchar_t c);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
int CompareNoCase(std::wstring_view a, std::wstring_view b);  // <0, 0, >0

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
bool EndsWith(std::wstring_view text, wchar_t c);

// UTF-16 little-endian bytes <-> text. Unpaired surrogates pass through.
std::vector<std::uint8_t> ToUtf16Le(std::wstring_view text);
std::wstring FromUtf16Le(const std::uint8_t* bytes, std::size_t size);
// Number of UTF-16 units the text takes.
std::size_t Utf16Length(std::wstring_view text);

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// "X:\..." and nothing else: not relative, not drive-relative ("C:x"),
// not a network path. A relative path means whatever folder a program
// happens to run in, never a product's folder.
bool IsFullyQualifiedPath(std::wstring_view path);

// Convenience for literals and file names.
std::wstring Widen(std::string_view ascii);

// Expands %NAME% as ExpandEnvironmentStrings does: a name `lookup` knows is
// replaced by its value; an unknown one stays as written, and its closing %
// may open the next.
std::wstring ExpandPercentVariables(std::wstring_view source,
                                    const std::function<std::optional<std::wstring>(std::wstring_view)>& lookup);

}  // namespace zc
