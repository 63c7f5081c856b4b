#include "platform/sim/reg_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>

#include "platform/registry.h"
#include "platform/text.h"

namespace zc::sim {
namespace {

constexpr std::wstring_view kHeader5 = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kHeader4 = L"REGEDIT4";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view TrimLeft(std::wstring_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::wstring_view TrimRight(std::wstring_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Consumes a case-insensitive ASCII prefix.
bool ConsumePrefix(std::wstring_view* s, std::wstring_view prefix) {
  if (!StartsWithNoCase(*s, prefix)) return false;
  s->remove_prefix(prefix.size());
  return true;
}

std::string Quote(std::wstring_view text) {
  std::string quoted(1, '"');
  quoted += ToUtf8(text);
  quoted += '"';
  return quoted;
}

// ---------------------------------------------------------------------------
// Decoding

enum class Format { kVersion5, kVersion4 };

struct Decoded {
  std::wstring text;
  Format format = Format::kVersion5;
};

bool StartsWithBytes(std::span<const std::uint8_t> bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

std::optional<RegFileError> Decode(std::span<const std::uint8_t> bytes, std::string_view fileName, Decoded* out) {
  if (StartsWithBytes(bytes, "\xFF\xFE")) {
    out->text = FromUtf16Le(bytes.data() + 2, bytes.size() - 2);
  } else if (StartsWithBytes(bytes, "\xFE\xFF")) {
    return RegFileError{std::string(fileName), 1, "UTF-16 big-endian text is not supported"};
  } else if (StartsWithBytes(bytes, "\xEF\xBB\xBF")) {
    out->text = FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()) + 3, bytes.size() - 3));
  } else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) {
    out->text = FromUtf16Le(bytes.data(), bytes.size());
  } else if (StartsWithBytes(bytes, "REGEDIT4")) {
    out->text.assign(bytes.begin(), bytes.end());  // Latin-1
  } else {
    out->text = FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }

  std::wstring_view first(out->text);
  first = first.substr(0, first.find(L'\n'));
  if (!first.empty() && first.back() == L'\r') first.remove_suffix(1);
  first = TrimRight(first);
  if (first == kHeader5) {
    out->format = Format::kVersion5;
  } else if (first == kHeader4) {
    out->format = Format::kVersion4;
  } else {
    return RegFileError{std::string(fileName), 1,
                        "not a registry file: the first line must be \"Windows Registry Editor Version 5.00\" "
                        "or \"REGEDIT4\""};
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Parsing

// Receives what the file says, in order. The parser has checked everything
// before a call: keys are valid paths, values come only inside a key.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void SelectKey(Hive hive, std::vector<std::wstring> names) = 0;
  virtual void DeleteKey(Hive hive, std::vector<std::wstring> names) = 0;
  virtual void SetValue(std::wstring name, std::uint32_t type, std::vector<std::uint8_t> data) = 0;
  virtual void DeleteValue(std::wstring name) = 0;
};

class StoreSink : public Sink {
 public:
  explicit StoreSink(RegStore& store) : store_(store) {}
  void SelectKey(Hive hive, std::vector<std::wstring> names) override { key_ = store_.CreateKey(hive, names); }
  void DeleteKey(Hive hive, std::vector<std::wstring> names) override {
    store_.DeleteKey(hive, names);
    key_ = nullptr;
  }
  void SetValue(std::wstring name, std::uint32_t type, std::vector<std::uint8_t> data) override {
    if (key_ != nullptr) key_->SetValue(name, type, std::move(data));
  }
  void DeleteValue(std::wstring name) override {
    if (key_ != nullptr) key_->DeleteValue(name);
  }

 private:
  RegStore& store_;
  RegKey* key_ = nullptr;
};

// Keeps the operations so that they are applied only once the whole file
// has been read.
class RecordingSink : public Sink {
 public:
  void SelectKey(Hive hive, std::vector<std::wstring> names) override {
    ops_.push_back(Op{Op::kSelectKey, hive, std::move(names), {}, 0, {}});
  }
  void DeleteKey(Hive hive, std::vector<std::wstring> names) override {
    ops_.push_back(Op{Op::kDeleteKey, hive, std::move(names), {}, 0, {}});
  }
  void SetValue(std::wstring name, std::uint32_t type, std::vector<std::uint8_t> data) override {
    ops_.push_back(Op{Op::kSetValue, Hive::kLocalMachine, {}, std::move(name), type, std::move(data)});
  }
  void DeleteValue(std::wstring name) override {
    ops_.push_back(Op{Op::kDeleteValue, Hive::kLocalMachine, {}, std::move(name), 0, {}});
  }

  void Replay(Sink& sink) {
    for (auto& op : ops_) {
      switch (op.kind) {
        case Op::kSelectKey: sink.SelectKey(op.hive, std::move(op.names)); break;
        case Op::kDeleteKey: sink.DeleteKey(op.hive, std::move(op.names)); break;
        case Op::kSetValue: sink.SetValue(std::move(op.name), op.type, std::move(op.data)); break;
        case Op::kDeleteValue: sink.DeleteValue(std::move(op.name)); break;
      }
    }
    ops_.clear();
  }

 private:
  struct Op {
    enum Kind { kSelectKey, kDeleteKey, kSetValue, kDeleteValue } kind;
    Hive hive;
    std::vector<std::wstring> names;
    std::wstring name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  std::vector<Op> ops_;
};

class Parser {
 public:
  Parser(std::wstring_view text, Format format, std::string_view fileName, Sink& sink)
      : text_(text), format_(format), fileName_(fileName), sink_(sink) {}

  std::optional<RegFileError> Run() {
    std::wstring_view line;
    NextLine(&line);  // the header, checked when decoding
    while (NextLine(&line)) {
      line = TrimRight(TrimLeft(line));
      if (line.empty() || line.front() == L';') continue;
      const bool ok = line.front() == L'[' ? ParseKeyLine(line) : ParseValueLine(line);
      if (!ok) return RegFileError{std::string(fileName_), lineNumber_, std::move(error_)};
    }
    return std::nullopt;
  }

 private:
  enum class State { kNoKey, kInKey, kInDeletedKey };

  // The next physical line without its end of line; false at the end.
  bool NextLine(std::wstring_view* line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find(L'\n', pos_);
    if (end == std::wstring_view::npos) end = text_.size();
    *line = text_.substr(pos_, end - pos_);
    if (!line->empty() && line->back() == L'\r') line->remove_suffix(1);
    pos_ = end + 1;
    ++lineNumber_;
    return true;
  }

  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  bool ParseKeyLine(std::wstring_view line) {
    if (line.size() < 2 || line.back() != L']') return Fail("a key line must end with ']'");
    std::wstring_view path = line.substr(1, line.size() - 2);
    const bool remove = !path.empty() && path.front() == L'-';
    if (remove) path.remove_prefix(1);
    if (path.empty()) return Fail("the key line names no key");

    const std::size_t slash = path.find(L'\\');
    const std::wstring_view rootName = path.substr(0, slash);
    auto root = ResolveRootName(rootName);
    if (!root) return Fail("unknown root key " + Quote(rootName));
    std::vector<std::wstring> names;
    if (slash != std::wstring_view::npos) {
      std::vector<std::wstring> below;
      if (!SplitKeyPath(path.substr(slash + 1), &below) || below.empty()) {
        return Fail("empty key name in " + Quote(path));
      }
      for (auto& name : below) {
        if (!IsValidKeyName(name)) {
          if (name.size() > kMaxKeyNameLength) return Fail("key name longer than 255 characters in " + Quote(path));
          return Fail("key name with a character a key name cannot hold in " + Quote(path));
        }
      }
      names = std::move(root->names);
      names.insert(names.end(), std::make_move_iterator(below.begin()), std::make_move_iterator(below.end()));
    } else {
      names = std::move(root->names);
    }
    if (names.size() > kMaxKeyDepth) return Fail("key path deeper than 512 levels");

    if (remove) {
      if (names.empty()) return Fail("a root key cannot be deleted");
      sink_.DeleteKey(root->hive, std::move(names));
      state_ = State::kInDeletedKey;
    } else {
      sink_.SelectKey(root->hive, std::move(names));
      state_ = State::kInKey;
    }
    return true;
  }

  // A quoted text with regedit's escapes, from just after the opening quote;
  // leaves `s` after the closing quote.
  bool ParseQuoted(std::wstring_view* s, std::wstring* out) {
    out->clear();
    std::size_t i = 0;
    while (i < s->size()) {
      const wchar_t c = (*s)[i];
      if (c == L'"') {
        s->remove_prefix(i + 1);
        return true;
      }
      if (c == L'\\') {
        if (i + 1 >= s->size()) break;
        const wchar_t e = (*s)[i + 1];
        switch (e) {
          case L'\\':
          case L'"': out->push_back(e); break;
          case L'n': out->push_back(L'\n'); break;
          case L'r': out->push_back(L'\r'); break;
          case L'0': out->push_back(L'\0'); break;
          default:
            return Fail("unknown escape sequence \\" + ToUtf8(std::wstring_view(&e, 1)) +
                        " (a backslash in a quoted text is written \\\\)");
        }
        i += 2;
        continue;
      }
      out->push_back(c);
      ++i;
    }
    return Fail("missing closing quote");
  }

  bool ExpectEndOfLine(std::wstring_view rest) {
    if (!TrimLeft(rest).empty()) return Fail("unexpected text after the value: " + Quote(TrimLeft(rest)));
    return true;
  }

  bool ParseValueLine(std::wstring_view line) {
    std::wstring name;
    std::wstring_view rest = line;
    if (rest.front() == L'@') {
      rest.remove_prefix(1);
    } else if (rest.front() == L'"') {
      rest.remove_prefix(1);
      if (!ParseQuoted(&rest, &name)) return false;
      if (name.size() > kMaxValueNameLength) return Fail("value name longer than 16383 characters");
    } else {
      return Fail("expected a key in [brackets], a value name in quotes, or @");
    }
    rest = TrimLeft(rest);
    if (rest.empty() || rest.front() != L'=') return Fail("expected '=' after the value name");
    rest = TrimLeft(rest.substr(1));

    if (state_ == State::kNoKey) return Fail("value outside a key: no [key] line comes before it");

    if (!rest.empty() && rest.front() == L'-') {
      if (!ExpectEndOfLine(rest.substr(1))) return false;
      if (state_ == State::kInKey) sink_.DeleteValue(std::move(name));
      return true;
    }

    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (!rest.empty() && rest.front() == L'"') {
      rest.remove_prefix(1);
      std::wstring text;
      if (!ParseQuoted(&rest, &text) || !ExpectEndOfLine(rest)) return false;
      type = regtype::kSz;
      data = ToUtf16Le(text);
      data.push_back(0);
      data.push_back(0);
    } else if (ConsumePrefix(&rest, L"dword:")) {
      if (!ParseDword(rest, &data)) return false;
      type = regtype::kDword;
    } else if (ConsumePrefix(&rest, L"hex")) {
      type = regtype::kBinary;
      if (!rest.empty() && rest.front() == L'(') {
        const std::size_t close = rest.find(L')');
        if (close == std::wstring_view::npos || close == 1 || close > 9) return Fail("bad value type in hex(...)");
        std::uint32_t number = 0;
        for (wchar_t c : rest.substr(1, close - 1)) {
          const int digit = HexDigit(c);
          if (digit < 0) return Fail("bad value type in hex(...)");
          number = number * 16 + static_cast<std::uint32_t>(digit);
        }
        type = number;
        rest.remove_prefix(close + 1);
      }
      if (rest.empty() || rest.front() != L':') return Fail("expected ':' after hex");
      rest.remove_prefix(1);
      if (!ParseHexList(rest, &data)) return false;
      if (format_ == Format::kVersion4 &&
          (type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz)) {
        data = WidenLatin1(data);
      }
    } else {
      return Fail("unrecognised value data: expected \"text\", dword:, hex: or hex(N):");
    }
    if (state_ == State::kInKey) sink_.SetValue(std::move(name), type, std::move(data));
    return true;
  }

  bool ParseDword(std::wstring_view rest, std::vector<std::uint8_t>* data) {
    std::uint32_t number = 0;
    std::size_t digits = 0;
    while (digits < rest.size() && HexDigit(rest[digits]) >= 0) {
      number = number * 16 + static_cast<std::uint32_t>(HexDigit(rest[digits]));
      ++digits;
    }
    if (digits == 0 || digits > 8) return Fail("dword: needs 1 to 8 hexadecimal digits");
    if (!ExpectEndOfLine(rest.substr(digits))) return false;
    data->resize(4);
    for (std::size_t i = 0; i < 4; ++i) (*data)[i] = static_cast<std::uint8_t>(number >> (8 * i));
    return true;
  }

  // Comma-separated bytes; a backslash at the end of a line continues the
  // list on the next line, whose leading blanks are skipped.
  bool ParseHexList(std::wstring_view rest, std::vector<std::uint8_t>* data) {
    bool afterComma = true;
    while (true) {
      rest = TrimLeft(rest);
      if (rest.empty()) return true;
      const wchar_t c = rest.front();
      if (c == L'\\') {
        if (!TrimLeft(rest.substr(1)).empty()) return Fail("unexpected text after '\\' in hex data");
        if (!NextLine(&rest)) return Fail("the file ends inside a continued value");
        continue;
      }
      if (!afterComma) {
        if (c != L',') return Fail("expected ',' between the bytes of hex data");
        afterComma = true;
        rest.remove_prefix(1);
        continue;
      }
      const int high = HexDigit(c);
      if (high < 0) return Fail("bad byte in hex data: " + Quote(rest.substr(0, 1)));
      int byte = high;
      rest.remove_prefix(1);
      if (!rest.empty() && HexDigit(rest.front()) >= 0) {
        byte = byte * 16 + HexDigit(rest.front());
        rest.remove_prefix(1);
        if (!rest.empty() && HexDigit(rest.front()) >= 0) return Fail("hex byte with more than two digits");
      }
      data->push_back(static_cast<std::uint8_t>(byte));
      afterComma = false;
    }
  }

  static std::vector<std::uint8_t> WidenLatin1(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> wide;
    wide.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
      wide.push_back(b);
      wide.push_back(0);
    }
    return wide;
  }

  std::wstring_view text_;
  Format format_;
  std::string_view fileName_;
  Sink& sink_;
  std::size_t pos_ = 0;
  std::size_t lineNumber_ = 0;
  State state_ = State::kNoKey;
  std::string error_;
};

// ---------------------------------------------------------------------------
// Files

std::string ErrnoText(int error) { return std::strerror(error); }

std::optional<RegFileError> ReadWholeFile(const std::filesystem::path& file, std::vector<std::uint8_t>* bytes) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return RegFileError{file.string(), 0, "cannot open the file: " + ErrnoText(errno)};
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) bytes->reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t buffer[1 << 16];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      return RegFileError{file.string(), 0, "cannot read the file: " + ErrnoText(error)};
    }
    if (n == 0) break;
    bytes->insert(bytes->end(), buffer, buffer + n);
  }
  ::close(fd);
  return std::nullopt;
}

std::optional<RegFileError> Parse(std::span<const std::uint8_t> bytes, std::string_view fileName, Sink& sink) {
  Decoded decoded;
  if (auto error = Decode(bytes, fileName, &decoded)) return error;
  return Parser(decoded.text, decoded.format, fileName, sink).Run();
}

// ---------------------------------------------------------------------------
// Writing

// UTF-16LE output, handed on in pieces when a flush function is given.
class Utf16Out {
 public:
  using Flush = std::function<bool(std::span<const std::uint8_t>)>;
  explicit Utf16Out(Flush flush = {}) : flush_(std::move(flush)) {}

  void Unit(std::uint32_t unit) {
    bytes_.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
  }
  void Ascii(std::string_view text) {
    for (char c : text) Unit(static_cast<unsigned char>(c));
  }
  void Char(wchar_t wc) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      Unit(0xD800 + (c >> 10));
      Unit(0xDC00 + (c & 0x3FF));
    } else {
      Unit(c);
    }
  }
  void Text(std::wstring_view text) {
    for (wchar_t c : text) Char(c);
  }
  void EndLine() {
    Unit('\r');
    Unit('\n');
  }

  void MaybeFlush() {
    if (flush_ && bytes_.size() >= (1u << 20)) Drain();
  }
  bool Finish() {
    if (flush_) Drain();
    return ok_;
  }
  std::vector<std::uint8_t>& bytes() { return bytes_; }

 private:
  void Drain() {
    if (ok_ && !bytes_.empty()) ok_ = flush_(bytes_);
    bytes_.clear();
  }

  Flush flush_;
  std::vector<std::uint8_t> bytes_;
  bool ok_ = true;
};

constexpr char kHexDigits[] = "0123456789abcdef";

// Writes a value name with regedit's escapes; returns the UTF-16 units written.
std::size_t WriteEscapedName(Utf16Out& out, std::wstring_view name) {
  std::size_t units = 0;
  for (wchar_t c : name) {
    switch (c) {
      case L'\\':
        out.Ascii("\\\\");
        units += 2;
        break;
      case L'"':
        out.Ascii("\\\"");
        units += 2;
        break;
      case L'\n':
        out.Ascii("\\n");
        units += 2;
        break;
      case L'\r':
        out.Ascii("\\r");
        units += 2;
        break;
      case L'\0':
        out.Ascii("\\0");
        units += 2;
        break;
      default: out.Char(c); units += static_cast<std::uint32_t>(c) >= 0x10000 ? 2 : 1;
    }
  }
  return units;
}

std::uint32_t UnitAt(const std::vector<std::uint8_t>& data, std::size_t i) {
  return data[2 * i] | (static_cast<std::uint32_t>(data[2 * i + 1]) << 8);
}

// A REG_SZ that the quoted form carries exactly: whole UTF-16 units, one
// terminating NUL and no other, and no line breaks.
bool IsPlainString(const std::vector<std::uint8_t>& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::size_t units = data.size() / 2;
  if (UnitAt(data, units - 1) != 0) return false;
  for (std::size_t i = 0; i + 1 < units; ++i) {
    const std::uint32_t u = UnitAt(data, i);
    if (u == 0 || u == '\r' || u == '\n') return false;
  }
  return true;
}

void WriteValue(Utf16Out& out, const RegValue& value) {
  std::size_t column = 0;
  if (value.name.empty()) {
    out.Ascii("@=");
    column = 2;
  } else {
    out.Unit('"');
    column = 1 + WriteEscapedName(out, value.name);
    out.Ascii("\"=");
    column += 2;
  }

  const auto& data = value.data;
  if (value.type == regtype::kSz && IsPlainString(data)) {
    out.Unit('"');
    for (std::size_t i = 0; i + 1 < data.size() / 2; ++i) {
      const std::uint32_t u = UnitAt(data, i);
      if (u == '\\' || u == '"') out.Unit('\\');
      out.Unit(u);
    }
    out.Unit('"');
  } else if (value.type == regtype::kDword && data.size() == 4) {
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4; ++i) number |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    out.Ascii("dword:");
    for (int shift = 28; shift >= 0; shift -= 4)
      out.Unit(static_cast<unsigned char>(kHexDigits[(number >> shift) & 0xF]));
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
    // regedit's wrapping: after each "xx," the line breaks with a backslash
    // once it has reached 77 columns; continuation lines start with two blanks.
    for (std::size_t i = 0; i < data.size(); ++i) {
      out.Unit(static_cast<unsigned char>(kHexDigits[data[i] >> 4]));
      out.Unit(static_cast<unsigned char>(kHexDigits[data[i] & 0xF]));
      if (i + 1 == data.size()) break;
      out.Unit(',');
      column += 3;
      if (column >= 77) {
        out.Unit('\\');
        out.EndLine();
        out.Ascii("  ");
        column = 2;
      }
    }
  }
  out.EndLine();
}

void WriteKeyBlock(Utf16Out& out, std::wstring_view path, const RegKey& key) {
  out.Unit('[');
  out.Text(path);
  out.Unit(']');
  out.EndLine();
  key.values().ForEach([&out](const RegValue& value) {
    WriteValue(out, value);
    out.MaybeFlush();
  });
  out.EndLine();
  out.MaybeFlush();
}

bool WriteStore(Utf16Out& out, const RegStore& store) {
  out.Unit(0xFEFF);
  out.Text(kHeader5);
  out.EndLine();
  out.EndLine();
  for (Hive hive : kAllHives) {
    const RegKey& root = store.Root(hive);
    if (root.SubKeyCount() == 0 && root.values().empty()) continue;
    std::wstring path(HiveName(hive));
    WriteKeyBlock(out, path, root);
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
      path.resize(frame.pathLength);
      path += L'\\';
      path += sub->name();
      WriteKeyBlock(out, path, *sub);
      stack.push_back({sub, 0, path.size()});
    }
  }
  return out.Finish();
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::string RegFileError::ToString() const {
  if (line == 0) return file + ": " + message;
  return file + ", line " + std::to_string(line) + ": " + message;
}

std::optional<RegFileError> LoadRegText(std::span<const std::uint8_t> bytes, std::string_view fileName,
                                        RegStore& store) {
  RegStore fresh;
  StoreSink sink(fresh);
  if (auto error = Parse(bytes, fileName, sink)) return error;
  store = std::move(fresh);
  return std::nullopt;
}

std::optional<RegFileError> LoadRegFile(const std::filesystem::path& file, RegStore& store) {
  RegStore fresh;
  {
    std::vector<std::uint8_t> bytes;
    if (auto error = ReadWholeFile(file, &bytes)) return error;
    Decoded decoded;
    const std::string name = file.string();
    if (auto error = Decode(bytes, name, &decoded)) return error;
    bytes = {};  // the text is all that is needed from here on
    StoreSink sink(fresh);
    if (auto error = Parser(decoded.text, decoded.format, name, sink).Run()) return error;
  }
  store = std::move(fresh);
  return std::nullopt;
}

std::optional<RegFileError> ImportRegText(std::span<const std::uint8_t> bytes, std::string_view fileName,
                                          RegStore& store) {
  RecordingSink recorded;
  if (auto error = Parse(bytes, fileName, recorded)) return error;
  StoreSink sink(store);
  recorded.Replay(sink);
  return std::nullopt;
}

std::optional<RegFileError> ImportRegFile(const std::filesystem::path& file, RegStore& store) {
  std::vector<std::uint8_t> bytes;
  if (auto error = ReadWholeFile(file, &bytes)) return error;
  return ImportRegText(bytes, file.string(), store);
}

std::vector<std::uint8_t> WriteRegText(const RegStore& store) {
  Utf16Out out;
  WriteStore(out, store);
  return std::move(out.bytes());
}

std::optional<RegFileError> SaveRegFile(const std::filesystem::path& file, const RegStore& store) {
  const std::string name = file.string();
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  std::string temp = (folder / (file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return RegFileError{name, 0, "cannot create a temporary file in its folder: " + ErrnoText(errno)};

  auto fail = [&](const std::string& what, int error) {
    ::close(fd);
    ::unlink(temp.c_str());
    return RegFileError{name, 0, what + ": " + ErrnoText(error)};
  };

  // The new file keeps the permissions of the one it replaces.
  struct stat existing {};
  const mode_t mode = ::stat(file.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  if (::fchmod(fd, mode) != 0) return fail("cannot set the permissions of the temporary file", errno);

  int writeError = 0;
  Utf16Out out([fd, &writeError](std::span<const std::uint8_t> bytes) {
    if (WriteAll(fd, bytes)) return true;
    writeError = errno;
    return false;
  });
  if (!WriteStore(out, store)) return fail("cannot write the temporary file", writeError);
  if (::fsync(fd) != 0) return fail("cannot flush the temporary file to disk", errno);
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return RegFileError{name, 0, "cannot close the temporary file: " + ErrnoText(error)};
  }
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return RegFileError{name, 0, "cannot replace the file: " + ErrnoText(error)};
  }
  // Make the rename itself durable.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return std::nullopt;
}

}  // namespace zc::sim
