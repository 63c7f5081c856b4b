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

// The one UTF-8 decoder: the character that starts `bytes` and how many
// bytes it takes. Malformed, overlong and surrogate forms, and code points
// past U+10FFFF, are U+FFFD taking one byte, so that no separator or quote
// can hide in them; a sequence cut short by the end of `bytes` takes 0
// (the caller has more to read, or ends the text with U+FFFD).
struct Utf8Char {
  std::uint32_t codePoint;
  std::size_t length;
};
Utf8Char DecodeUtf8Char(const std::uint8_t* bytes, std::size_t size);

// Convenience for literals and file names.
std::wstring Widen(std::string_view ascii);

// Expands %NAME% as ExpandEnvironmentStrings does: a name `lookup` knows is
// replaced by its value; an unknown one stays as written, and its closing %
// may open the next.
std::wstring ExpandPercentVariables(std::wstring_view source,
                                    const std::function<std::optional<std::wstring>(std::wstring_view)>& lookup);

}  // namespace zc
