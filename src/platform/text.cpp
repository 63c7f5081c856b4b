#include "platform/text.h"

namespace zc {

std::wstring ToLowerAscii(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return out;
}

wchar_t UpcaseChar(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 32);
  if (c < 0xE0) return c;
  if (c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 32);
  if (c == 0xFF) return static_cast<wchar_t>(0x178);
  return c;
}

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<std::uint32_t>(UpcaseChar(a[i]));
    const auto cb = static_cast<std::uint32_t>(UpcaseChar(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) { return a.size() == b.size() && CompareNoCase(a, b) == 0; }

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWith(std::wstring_view text, wchar_t c) { return !text.empty() && text.back() == c; }

std::vector<std::uint8_t> ToUtf16Le(std::wstring_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size() * 2);
  auto put = [&out](std::uint32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
  };
  for (wchar_t wc : text) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      put(0xD800 + (c >> 10));
      put(0xDC00 + (c & 0x3FF));
    } else {
      put(c & 0xFFFF);
    }
  }
  return out;
}

std::wstring FromUtf16Le(const std::uint8_t* bytes, std::size_t size) {
  std::wstring out;
  out.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    std::uint32_t unit = bytes[i] | (static_cast<std::uint32_t>(bytes[i + 1]) << 8);
    if (sizeof(wchar_t) == 4 && unit >= 0xD800 && unit <= 0xDBFF && i + 3 < size) {
      std::uint32_t low = bytes[i + 2] | (static_cast<std::uint32_t>(bytes[i + 3]) << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
        i += 2;
        continue;
      }
    }
    out.push_back(static_cast<wchar_t>(unit));
  }
  return out;
}

std::size_t Utf16Length(std::wstring_view text) {
  std::size_t n = 0;
  // Characters above the 16-bit range take two units (on Windows wchar_t
  // holds units already and none is above it).
  for (wchar_t c : text) n += (static_cast<std::uint32_t>(c) >> 16) != 0 ? 2 : 1;
  return n;
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t wc : text) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

Utf8Char DecodeUtf8Char(const std::uint8_t* bytes, std::size_t size) {
  static constexpr Utf8Char kBad{0xFFFD, 1};
  static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  const std::uint8_t b = bytes[0];
  std::uint32_t c = 0;
  std::size_t extra = 0;
  if (b < 0x80) return {b, 1};
  if ((b & 0xE0) == 0xC0) {
    c = b & 0x1Fu;
    extra = 1;
  } else if ((b & 0xF0) == 0xE0) {
    c = b & 0x0Fu;
    extra = 2;
  } else if ((b & 0xF8) == 0xF0) {
    c = b & 0x07u;
    extra = 3;
  } else {
    return kBad;
  }
  if (size <= extra) return {0xFFFD, 0};
  for (std::size_t k = 1; k <= extra; ++k) {
    if ((bytes[k] & 0xC0) != 0x80) return kBad;
    c = (c << 6) | (bytes[k] & 0x3Fu);
  }
  // Overlong forms (such as C0 BD for '='), surrogates and code points past
  // U+10FFFF are not characters.
  if (c < kSmallest[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return kBad;
  return {c, extra + 1};
}

std::wstring FromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  std::size_t i = 0;
  while (i < text.size()) {
    const Utf8Char ch = DecodeUtf8Char(bytes + i, text.size() - i);
    std::uint32_t c = ch.codePoint;
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
    if (ch.length == 0) break;  // cut short by the end of the text
    i += ch.length;
  }
  return out;
}

std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring ExpandPercentVariables(std::wstring_view source,
                                    const std::function<std::optional<std::wstring>(std::wstring_view)>& lookup) {
  std::wstring out;
  std::size_t i = 0;
  while (i < source.size()) {
    if (source[i] == L'%') {
      const std::size_t close = source.find(L'%', i + 1);
      if (close != std::wstring_view::npos && close > i + 1) {
        if (auto value = lookup(source.substr(i + 1, close - i - 1))) {
          out += *value;
          i = close + 1;
          continue;
        }
        out.append(source.substr(i, close - i));
        i = close;
        continue;
      }
    }
    out.push_back(source[i++]);
  }
  return out;
}

}  // namespace zc
