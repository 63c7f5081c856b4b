#include "platform/sim/reg_writer.h"

#include <string>
#include <string_view>
#include <utility>

#include "platform/registry.h"
#include "platform/sim/host_file.h"
#include "platform/text.h"

namespace zc::sim {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::size_t kFlushSize = 1 << 20;

bool IsSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Whether the encoding holds the character as it is.
bool Holds(RegEncoding encoding, std::uint32_t c) {
  switch (encoding) {
    case RegEncoding::kUtf16Le: return true;
    case RegEncoding::kUtf8: return !IsSurrogate(c);
    case RegEncoding::kAnsi: return c <= 0xFF;
  }
  return false;
}

bool HoldsText(RegEncoding encoding, std::wstring_view text) {
  if (encoding == RegEncoding::kUtf16Le) return true;
  for (wchar_t c : text) {
    if (!Holds(encoding, static_cast<std::uint32_t>(c))) return false;
  }
  return true;
}

std::uint32_t UnitAt(const std::vector<std::uint8_t>& data, std::size_t i) {
  return data[2 * i] | (static_cast<std::uint32_t>(data[2 * i + 1]) << 8);
}

// The characters of UTF-16LE data, surrogate pairs joined; f(c) for each.
template <typename F>
void ForEachChar(const std::vector<std::uint8_t>& data, std::size_t units, F&& f) {
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t c = UnitAt(data, i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
      const std::uint32_t low = UnitAt(data, i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    f(c);
  }
}

// A REG_SZ that the quoted form carries exactly in this encoding: whole
// UTF-16 units, one terminating NUL and no other, every character one the
// encoding holds.
bool IsQuotable(const std::vector<std::uint8_t>& data, RegEncoding encoding) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::size_t units = data.size() / 2;
  if (UnitAt(data, units - 1) != 0) return false;
  for (std::size_t i = 0; i + 1 < units; ++i) {
    if (UnitAt(data, i) == 0) return false;
  }
  if (encoding == RegEncoding::kUtf16Le) return true;
  bool holds = true;
  ForEachChar(data, units - 1, [&](std::uint32_t c) { holds = holds && Holds(encoding, c); });
  return holds;
}

bool IsStringType(std::uint32_t type) {
  return type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz;
}

// REGEDIT4 writes string data as 8-bit text: possible when every UTF-16
// unit is below 0x100.
bool IsNarrowable(const std::vector<std::uint8_t>& data) {
  if (data.size() % 2 != 0) return false;
  for (std::size_t i = 1; i < data.size(); i += 2) {
    if (data[i] != 0) return false;
  }
  return true;
}

bool WrittenQuoted(const RegValue& value, RegEncoding encoding) {
  return value.type == regtype::kSz && IsQuotable(value.data, encoding);
}

bool CanWrite(const RegStore& store, const RegFileFormat& format) {
  if (format.encoding == RegEncoding::kUtf16Le && !format.version4) return true;
  // Forms the reader would take for another: 8-bit text is REGEDIT4, and
  // UTF-8 without a BOM that starts "REGEDIT4" reads as 8-bit text.
  if (format.encoding == RegEncoding::kAnsi && !format.version4) return false;
  if (format.encoding == RegEncoding::kUtf8 && !format.bom && format.version4) return false;
  bool ok = true;
  auto checkKey = [&](const RegKey& key) {
    if (!HoldsText(format.encoding, key.name())) ok = false;
    key.values().ForEach([&](const RegValue& value) {
      if (!ok) return;
      if (!HoldsText(format.encoding, value.name)) ok = false;
      if (format.version4 && IsStringType(value.type) && !WrittenQuoted(value, format.encoding) &&
          !IsNarrowable(value.data)) {
        ok = false;
      }
    });
  };
  for (Hive hive : kAllHives) {
    std::vector<const RegKey*> pending{&store.Root(hive)};
    while (!pending.empty() && ok) {
      const RegKey* key = pending.back();
      pending.pop_back();
      checkKey(*key);
      for (std::size_t i = 0; i < key->SubKeyCount(); ++i) pending.push_back(key->SubKeyAt(i));
    }
  }
  return ok;
}

// The file's text in its encoding, handed on in pieces when a sink is given.
class TextOut {
 public:
  TextOut(const RegFileFormat& format, const HostFileSink* sink) : format_(format), sink_(sink) {
    bytes_.reserve(sink_ != nullptr ? kFlushSize + 4096 : 4096);
  }

  // One UTF-16 unit as it is: only for UTF-16 output.
  void Unit(std::uint32_t unit) {
    bytes_.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
  }
  void Char(std::uint32_t c) {
    switch (format_.encoding) {
      case RegEncoding::kUtf16Le:
        if (c >= 0x10000 && c <= 0x10FFFF) {
          c -= 0x10000;
          Unit(0xD800 + (c >> 10));
          Unit(0xDC00 + (c & 0x3FF));
        } else {
          Unit(c);
        }
        break;
      case RegEncoding::kUtf8:
        if (c < 0x80) {
          bytes_.push_back(static_cast<std::uint8_t>(c));
        } else if (c < 0x800) {
          bytes_.push_back(static_cast<std::uint8_t>(0xC0 | (c >> 6)));
          bytes_.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
          bytes_.push_back(static_cast<std::uint8_t>(0xE0 | (c >> 12)));
          bytes_.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
          bytes_.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
        } else {
          bytes_.push_back(static_cast<std::uint8_t>(0xF0 | (c >> 18)));
          bytes_.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F)));
          bytes_.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
          bytes_.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
        }
        break;
      case RegEncoding::kAnsi: bytes_.push_back(static_cast<std::uint8_t>(c)); break;
    }
  }
  void Ascii(std::string_view text) {
    for (char c : text) Char(static_cast<unsigned char>(c));
  }
  void Text(std::wstring_view text) {
    for (wchar_t c : text) Char(static_cast<std::uint32_t>(c));
  }
  void EndLine() {
    if (format_.crlf) Char('\r');
    Char('\n');
  }
  void HexByte(std::uint8_t byte) {
    Char(static_cast<unsigned char>(kHexDigits[byte >> 4]));
    Char(static_cast<unsigned char>(kHexDigits[byte & 0xF]));
  }

  void MaybeFlush() {
    if (sink_ != nullptr && bytes_.size() >= kFlushSize) Drain();
  }
  bool Finish() {
    if (sink_ != nullptr) Drain();
    return ok_;
  }
  std::vector<std::uint8_t>& bytes() { return bytes_; }
  RegEncoding encoding() const { return format_.encoding; }

 private:
  void Drain() {
    if (ok_ && !bytes_.empty()) ok_ = (*sink_)(bytes_);
    bytes_.clear();
  }

  RegFileFormat format_;
  const HostFileSink* sink_;
  std::vector<std::uint8_t> bytes_;
  bool ok_ = true;
};

// A value name with its escapes; returns the UTF-16 units it takes, for
// the wrapping of hex data that follows it.
std::size_t WriteName(TextOut& out, std::wstring_view name) {
  std::size_t units = 0;
  for (wchar_t wc : name) {
    const auto c = static_cast<std::uint32_t>(wc);
    if (c == '\\' || c == '"') {
      out.Char('\\');
      out.Char(c);
      units += 2;
    } else if (c == 0) {
      out.Ascii("\\0");  // no line of text holds a NUL
      units += 2;
    } else {
      out.Char(c);
      units += c >= 0x10000 ? 2 : 1;
    }
  }
  return units;
}

void WriteQuotedData(TextOut& out, const std::vector<std::uint8_t>& data) {
  const std::size_t units = data.size() / 2 - 1;  // without the terminating NUL
  out.Char('"');
  if (out.encoding() == RegEncoding::kUtf16Le) {
    // Unit by unit, so that what the data holds (an unpaired surrogate
    // too) is written exactly.
    for (std::size_t i = 0; i < units; ++i) {
      const std::uint32_t u = UnitAt(data, i);
      if (u == '\\' || u == '"') out.Unit('\\');
      out.Unit(u);
    }
  } else {
    ForEachChar(data, units, [&out](std::uint32_t c) {
      if (c == '\\' || c == '"') out.Char('\\');
      out.Char(c);
    });
  }
  out.Char('"');
}

void WriteValue(TextOut& out, const RegValue& value, bool version4) {
  std::size_t column = 0;
  if (value.name.empty()) {
    out.Ascii("@=");
    column = 2;
  } else {
    out.Char('"');
    column = 1 + WriteName(out, value.name);
    out.Ascii("\"=");
    column += 2;
  }

  const auto& data = value.data;
  if (WrittenQuoted(value, out.encoding())) {
    WriteQuotedData(out, data);
  } else if (value.type == regtype::kDword && data.size() == 4) {
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4; ++i) number |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    out.Ascii("dword:");
    for (int shift = 28; shift >= 0; shift -= 4)
      out.Char(static_cast<unsigned char>(kHexDigits[(number >> shift) & 0xF]));
  } else {
    std::string prefix = "hex:";
    if (value.type != regtype::kBinary) {
      std::string digits;
      std::uint32_t type = value.type;
      do {
        digits.insert(digits.begin(), kHexDigits[type & 0xF]);
        type >>= 4;
      } while (type != 0);
      prefix = "hex(" + digits + "):";
    }
    out.Ascii(prefix);
    column += prefix.size();
    // REGEDIT4 holds string data as 8-bit text: every other byte.
    const bool narrow = version4 && IsStringType(value.type);
    const std::size_t step = narrow ? 2 : 1;
    // regedit's wrapping: after each "xx," the line breaks with a backslash
    // once it has reached 77 columns; continuation lines start with two blanks.
    for (std::size_t i = 0; i < data.size(); i += step) {
      out.HexByte(data[i]);
      if (i + step >= data.size()) break;
      out.Char(',');
      column += 3;
      if (column >= 77) {
        out.Char('\\');
        out.EndLine();
        out.Ascii("  ");
        column = 2;
      }
    }
  }
  out.EndLine();
}

void WriteKeyBlock(TextOut& out, std::wstring_view path, const RegKey& key, bool version4) {
  out.Char('[');
  out.Text(path);
  out.Char(']');
  out.EndLine();
  key.values().ForEach([&out, version4](const RegValue& value) {
    WriteValue(out, value, version4);
    out.MaybeFlush();
  });
  out.EndLine();
  out.MaybeFlush();
}

bool WriteStore(TextOut& out, const RegStore& store, const RegFileFormat& format) {
  if (format.bom) out.Char(0xFEFF);
  out.Text(format.version4 ? kRegHeader4 : kRegHeader5);
  out.EndLine();
  out.EndLine();
  // The running account's key is written once, as HKEY_CURRENT_USER.
  const RegKey* currentUser = store.CurrentUserKey();
  for (Hive hive : kAllHives) {
    const RegKey& root = store.Root(hive);
    const std::size_t shown = root.SubKeyCount() - (hive == Hive::kUsers && currentUser != nullptr ? 1 : 0);
    if (shown == 0 && root.values().empty()) continue;
    std::wstring path(HiveName(hive));
    WriteKeyBlock(out, path, root, format.version4);
    struct Frame {
      const RegKey* key;
      std::size_t next;
      std::size_t pathLength;
    };
    std::vector<Frame> stack{{&root, 0, path.size()}};
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.next >= frame.key->SubKeyCount()) {
        stack.pop_back();
        continue;
      }
      const RegKey* sub = frame.key->SubKeyAt(frame.next++);
      if (sub == currentUser && hive == Hive::kUsers) continue;
      path.resize(frame.pathLength);
      path += L'\\';
      path += sub->name();
      WriteKeyBlock(out, path, *sub, format.version4);
      stack.push_back({sub, 0, path.size()});
    }
  }
  return out.Finish();
}

}  // namespace

RegFileFormat WritableFormat(const RegStore& store, const RegFileFormat& wanted) {
  return CanWrite(store, wanted) ? wanted : RegFileFormat::Regedit();
}

std::vector<std::uint8_t> WriteRegText(const RegStore& store, const RegFileFormat& format, RegFileFormat* written) {
  const RegFileFormat used = WritableFormat(store, format);
  if (written != nullptr) *written = used;
  TextOut out(used, nullptr);
  WriteStore(out, store, used);
  return std::move(out.bytes());
}

std::optional<RegFileError> SaveRegFile(const std::filesystem::path& file, const RegStore& store,
                                        const RegFileFormat& format, RegFileFormat* written) {
  const RegFileFormat used = WritableFormat(store, format);
  auto error = ReplaceHostFile(file, [&](const HostFileSink& sink) {
    TextOut out(used, &sink);
    return WriteStore(out, store, used);
  });
  if (error) return RegFileError{error->file, 0, error->message};
  if (written != nullptr) *written = used;
  return std::nullopt;
}

}  // namespace zc::sim
