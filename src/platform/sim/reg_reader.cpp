#include "platform/sim/reg_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/host_file.h"
#include "platform/text.h"

namespace zc::sim {
namespace {

// What the text stream hands out past the end, or after a failure.
constexpr std::uint32_t kEnd = 0xFFFFFFFFu;

constexpr std::size_t kRawChunk = 1 << 16;   // bytes read at a time
constexpr std::size_t kCharChunk = 1 << 15;  // characters decoded at a time
// A key line holds at most 512 names of 255 characters and their root.
constexpr std::size_t kMaxKeyLineLength = kMaxKeyDepth * (kMaxKeyNameLength + 1) + 64;
constexpr std::size_t kMaxHeaderLength = 256;

bool IsBlank(std::uint32_t c) { return c == ' ' || c == '\t'; }

int HexDigit(std::uint32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

std::wstring_view TrimRight(std::wstring_view s) {
  while (!s.empty() && IsBlank(static_cast<std::uint32_t>(s.back()))) s.remove_suffix(1);
  return s;
}

std::string Quote(std::wstring_view text) {
  std::string quoted(1, '"');
  quoted += ToUtf8(text);
  quoted += '"';
  return quoted;
}

// ---------------------------------------------------------------------------
// Bytes

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to buffer.size() bytes; *got is 0 at the end. An error is a message.
  virtual std::optional<std::string> Read(std::span<std::uint8_t> buffer, std::size_t* got) = 0;
};

class SpanSource : public ByteSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : rest_(bytes) {}
  std::optional<std::string> Read(std::span<std::uint8_t> buffer, std::size_t* got) override {
    *got = std::min(buffer.size(), rest_.size());
    if (*got != 0) std::memcpy(buffer.data(), rest_.data(), *got);
    rest_ = rest_.subspan(*got);
    return std::nullopt;
  }

 private:
  std::span<const std::uint8_t> rest_;
};

class FileSource : public ByteSource {
 public:
  explicit FileSource(HostFileReader& reader) : reader_(reader) {}
  std::optional<std::string> Read(std::span<std::uint8_t> buffer, std::size_t* got) override {
    if (auto error = reader_.Read(buffer, got)) return error->message;
    return std::nullopt;
  }

 private:
  HostFileReader& reader_;
};

// ---------------------------------------------------------------------------
// Characters

// The file's text, decoded a chunk at a time, with the line it is on.
// Decoding stops at what the text must not hold (a NUL, a stray byte of
// UTF-16, a line past the limit): the stream then fails when the reader
// gets there, so the error names the line it is on.
class TextStream {
 public:
  TextStream(ByteSource& source, std::size_t maxLine) : source_(source), maxLine_(maxLine) {
    raw_.resize(kRawChunk + 8);
    chars_.resize(kCharChunk);
  }

  // Detects the encoding and reads the header line.
  bool Start(RegFileFormat* format);

  std::uint32_t Peek() {
    if (pos_ == size_ && !Refill()) return kEnd;
    return chars_[pos_];
  }

  std::uint32_t Get() {
    if (pos_ == size_ && !Refill()) return kEnd;
    const std::uint32_t c = chars_[pos_++];
    if (c == '\n') {
      ++line_;
      column_ = 0;
    } else if (++column_ > maxLine_) {
      --pos_;
      Fail("line longer than " + std::to_string(maxLine_) + " characters; refused");
      return kEnd;
    }
    lastWasNewline_ = c == '\n';
    return c;
  }

  std::size_t line() const { return line_; }
  // The line to blame: at the end of a file that ends with a line break,
  // the last line rather than the empty one after it.
  std::size_t BlameLine() { return Peek() == kEnd && lastWasNewline_ && line_ > 1 && !failed_ ? line_ - 1 : line_; }
  bool failed() const { return failed_; }
  const std::string& error() const { return error_; }
  std::size_t errorLine() const { return errorLine_; }

 private:
  void Fail(std::string message) {
    if (failed_) return;
    failed_ = true;
    error_ = std::move(message);
    errorLine_ = line_;
    pos_ = size_ = 0;
  }

  bool Refill();
  void ReadMore();
  void Decode();
  void DecodeUtf16();
  void DecodeUtf8();
  void DecodeAnsi();
  // False once decoding must stop here (a NUL).
  bool Emit(std::uint32_t c) {
    if (c == 0) {
      pending_ = "NUL character in the text; a registry file holds none";
      return false;
    }
    chars_[size_++] = c;
    return true;
  }

  ByteSource& source_;
  std::size_t maxLine_;
  RegEncoding encoding_ = RegEncoding::kUtf8;

  std::vector<std::uint8_t> raw_;
  std::size_t rawPos_ = 0;
  std::size_t rawLen_ = 0;
  bool eof_ = false;
  std::string pending_;  // the error met where decoding stopped

  std::vector<std::uint32_t> chars_;
  std::size_t pos_ = 0;
  std::size_t size_ = 0;

  std::size_t line_ = 1;
  std::size_t column_ = 0;
  bool lastWasNewline_ = false;
  bool failed_ = false;
  std::string error_;
  std::size_t errorLine_ = 0;
};

void TextStream::ReadMore() {
  if (rawPos_ != 0) {
    std::memmove(raw_.data(), raw_.data() + rawPos_, rawLen_ - rawPos_);
    rawLen_ -= rawPos_;
    rawPos_ = 0;
  }
  std::size_t got = 0;
  if (auto error = source_.Read(std::span<std::uint8_t>(raw_.data() + rawLen_, raw_.size() - rawLen_), &got)) {
    pending_ = *error;
    eof_ = true;
    return;
  }
  if (got == 0) eof_ = true;
  rawLen_ += got;
}

bool TextStream::Refill() {
  if (failed_) return false;
  pos_ = size_ = 0;
  while (size_ == 0) {
    if (!pending_.empty()) {
      Fail(pending_);
      return false;
    }
    // Eight bytes always decode to at least one character (or to an error).
    if (rawLen_ - rawPos_ < 8 && !eof_) ReadMore();
    if (eof_ && rawPos_ == rawLen_ && pending_.empty()) return false;
    Decode();
  }
  return true;
}

void TextStream::Decode() {
  switch (encoding_) {
    case RegEncoding::kUtf16Le: DecodeUtf16(); break;
    case RegEncoding::kUtf8: DecodeUtf8(); break;
    case RegEncoding::kAnsi: DecodeAnsi(); break;
  }
}

void TextStream::DecodeUtf16() {
  while (size_ < chars_.size() && rawLen_ - rawPos_ >= 2) {
    const std::uint8_t* p = raw_.data() + rawPos_;
    std::uint32_t unit = p[0] | (static_cast<std::uint32_t>(p[1]) << 8);
    std::size_t used = 2;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (rawLen_ - rawPos_ < 4 && !eof_) break;  // its partner may be in the next chunk
      if (rawLen_ - rawPos_ >= 4) {
        const std::uint32_t low = p[2] | (static_cast<std::uint32_t>(p[3]) << 8);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          used = 4;
        }
      }
    }
    if (!Emit(unit)) return;
    rawPos_ += used;
  }
  if (eof_ && rawLen_ - rawPos_ == 1 && pending_.empty() && size_ < chars_.size()) {
    pending_ = "the file ends in the middle of a UTF-16 character (an odd number of bytes)";
    rawPos_ = rawLen_;
  }
}

void TextStream::DecodeUtf8() {
  while (size_ < chars_.size() && rawPos_ < rawLen_) {
    const Utf8Char ch = DecodeUtf8Char(raw_.data() + rawPos_, rawLen_ - rawPos_);
    if (ch.length == 0) {
      if (!eof_) break;    // the rest comes with the next chunk
      Emit(ch.codePoint);  // cut short by the end of the file
      rawPos_ = rawLen_;
      break;
    }
    if (!Emit(ch.codePoint)) return;
    rawPos_ += ch.length;
  }
}

void TextStream::DecodeAnsi() {
  while (size_ < chars_.size() && rawPos_ < rawLen_) {
    if (!Emit(raw_[rawPos_])) return;
    ++rawPos_;
  }
}

bool TextStream::Start(RegFileFormat* format) {
  while (rawLen_ < 8 && !eof_) ReadMore();
  if (!pending_.empty()) {
    Fail(pending_);
    return false;
  }
  auto startsWith = [this](std::string_view prefix) {
    return rawLen_ >= prefix.size() && std::memcmp(raw_.data(), prefix.data(), prefix.size()) == 0;
  };
  *format = RegFileFormat{RegEncoding::kUtf8, false, false, true};
  if (rawLen_ == 0) {
    Fail("the file is empty; a registry file starts with \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"");
    return false;
  }
  if (startsWith("\xFF\xFE")) {
    encoding_ = RegEncoding::kUtf16Le;
    format->bom = true;
    rawPos_ = 2;
  } else if (startsWith("\xFE\xFF")) {
    Fail("UTF-16 big-endian text is not supported");
    return false;
  } else if (startsWith("\xEF\xBB\xBF")) {
    encoding_ = RegEncoding::kUtf8;
    format->bom = true;
    rawPos_ = 3;
  } else if (rawLen_ >= 2 && raw_[0] != 0 && raw_[1] == 0) {
    encoding_ = RegEncoding::kUtf16Le;
  } else if (startsWith("REGEDIT4")) {
    encoding_ = RegEncoding::kAnsi;
  }
  format->encoding = encoding_;
  if (format->bom && rawPos_ == rawLen_ && eof_) {
    Fail("the file holds only a byte-order mark");
    return false;
  }

  std::wstring header;
  while (Peek() != '\n' && Peek() != kEnd && header.size() <= kMaxHeaderLength) {
    header.push_back(static_cast<wchar_t>(Get()));
  }
  if (failed_) return false;
  format->crlf = !header.empty() && header.back() == L'\r';
  if (format->crlf) header.pop_back();
  const std::wstring_view first = TrimRight(header);
  if (first == kRegHeader5) {
    format->version4 = false;
  } else if (first == kRegHeader4) {
    format->version4 = true;
  } else {
    line_ = 1;
    Fail(
        "not a registry file: the first line must be \"Windows Registry Editor Version 5.00\" "
        "or \"REGEDIT4\"");
    return false;
  }
  Get();  // the header's line break
  return !failed_;
}

// ---------------------------------------------------------------------------
// What the file says

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

// ---------------------------------------------------------------------------
// Parsing

class Parser {
 public:
  Parser(TextStream& in, bool version4, std::size_t maxText, Sink& sink)
      : in_(in), version4_(version4), maxText_(maxText), sink_(sink) {}

  // False on error; then error() and errorLine() say what and where.
  bool Run() {
    while (true) {
      SkipBlanks();
      const std::uint32_t c = in_.Peek();
      if (c == kEnd) break;
      bool ok = true;
      if (c == '\n' || c == '\r') {
        if (!ConsumeLineEnd()) ok = Fail("expected a key in [brackets], a value name in quotes, or @");
      } else if (c == ';') {
        SkipRestOfLine();
      } else if (c == '[') {
        ok = ParseKeyLine();
      } else if (c == '@' || c == '"') {
        ok = ParseValueLine();
      } else {
        ok = Fail("expected a key in [brackets], a value name in quotes, or @");
      }
      if (!ok) break;
    }
    if (in_.failed()) {
      error_ = in_.error();
      errorLine_ = in_.errorLine();
      return false;
    }
    return error_.empty();
  }

  const std::string& error() const { return error_; }
  std::size_t errorLine() const { return errorLine_; }

 private:
  enum class State { kNoKey, kInKey, kInDeletedKey };

  bool Fail(std::string message) { return FailAt(in_.BlameLine(), std::move(message)); }
  bool FailAt(std::size_t line, std::string message) {
    if (error_.empty()) {
      error_ = std::move(message);
      errorLine_ = line;
    }
    return false;
  }

  void SkipBlanks() {
    while (IsBlank(in_.Peek())) in_.Get();
  }

  void SkipRestOfLine() {
    while (true) {
      const std::uint32_t c = in_.Get();
      if (c == '\n' || c == kEnd) return;
    }
  }

  // Consumes LF, CR LF, or a CR or nothing at the end of the file. False
  // when something else comes (a CR before other text is consumed).
  bool ConsumeLineEnd() {
    std::uint32_t c = in_.Peek();
    if (c == kEnd) return true;
    if (c == '\r') {
      in_.Get();
      c = in_.Peek();
      if (c == kEnd) return true;
    }
    if (c != '\n') return false;
    in_.Get();
    return true;
  }

  // The rest of the line, for a message.
  std::wstring RestOfLine() {
    std::wstring rest;
    while (rest.size() < 40) {
      const std::uint32_t c = in_.Peek();
      if (c == '\n' || c == '\r' || c == kEnd) break;
      rest.push_back(static_cast<wchar_t>(in_.Get()));
    }
    if (rest.size() == 40) rest += L"...";
    return std::wstring(TrimRight(rest));
  }

  bool ExpectEndOfLine() {
    SkipBlanks();
    const std::size_t line = in_.line();
    if (ConsumeLineEnd()) return true;
    return FailAt(line, "unexpected text after the value: " + Quote(RestOfLine()));
  }

  bool ParseKeyLine() {
    std::wstring text;
    while (true) {
      const std::uint32_t c = in_.Peek();
      if (c == '\n' || c == kEnd) break;
      if (text.size() >= kMaxKeyLineLength) return Fail("key line longer than any key path can be");
      text.push_back(static_cast<wchar_t>(in_.Get()));
    }
    if (in_.failed()) return false;
    std::wstring_view line(text);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    line = TrimRight(line);

    if (line.size() < 2 || line.back() != L']') return Fail("a key line must end with ']'");
    std::wstring_view path = line.substr(1, line.size() - 2);
    const bool remove = !path.empty() && path.front() == L'-';
    if (remove) path.remove_prefix(1);
    if (path.empty()) return Fail("the key line names no key");

    const std::size_t slash = path.find(L'\\');
    const std::wstring_view rootName = path.substr(0, slash);
    auto root = ResolveRootName(rootName);
    if (!root) return Fail("unknown root key " + Quote(rootName));
    std::vector<std::wstring> names = std::move(root->names);
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
      names.insert(names.end(), std::make_move_iterator(below.begin()), std::make_move_iterator(below.end()));
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
    ConsumeLineEnd();
    return true;
  }

  // A quoted text with regedit's escapes, from just after the opening
  // quote to just after the closing one; line breaks in it are its own.
  // `push` receives each character.
  template <typename Push>
  bool ParseQuoted(Push&& push, std::size_t maxLength, const char* tooLong) {
    const std::size_t startLine = in_.line();
    std::size_t length = 0;
    while (true) {
      std::uint32_t c = in_.Get();
      if (c == '"') return true;
      if (c == kEnd) return in_.failed() ? false : FailAt(startLine, "missing closing quote");
      if (c == '\\') {
        const std::size_t escapeLine = in_.line();
        const std::uint32_t e = in_.Get();
        switch (e) {
          case '\\':
          case '"': c = e; break;
          case 'n': c = '\n'; break;
          case 'r': c = '\r'; break;
          case '0': return FailAt(escapeLine, "\\0 in a quoted text: regedit imports no value that holds it");
          case kEnd: return in_.failed() ? false : FailAt(startLine, "missing closing quote");
          default: {
            const std::string shown = e == '\n' || e == '\r' ? std::string(" at the end of a line")
                                                             : " " + Quote(std::wstring(1, static_cast<wchar_t>(e)));
            return FailAt(escapeLine, "unknown escape sequence: a backslash before" + shown +
                                          " (a backslash in a quoted text is written \\\\)");
          }
        }
      }
      if (++length > maxLength) return FailAt(startLine, tooLong);
      push(c);
    }
  }

  bool ParseValueLine() {
    std::wstring name;
    if (in_.Get() == '"') {
      auto push = [&name](std::uint32_t c) { name.push_back(static_cast<wchar_t>(c)); };
      if (!ParseQuoted(push, kMaxValueNameLength, "value name longer than 16383 characters")) return false;
    }
    SkipBlanks();
    if (in_.Peek() != '=') return Fail("expected '=' after the value name");
    in_.Get();
    SkipBlanks();

    if (state_ == State::kNoKey) return Fail("value outside a key: no [key] line comes before it");

    const std::uint32_t c = in_.Peek();
    if (c == '-') {
      in_.Get();
      if (!ExpectEndOfLine()) return false;
      if (state_ == State::kInKey) sink_.DeleteValue(std::move(name));
      return true;
    }

    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (c == '"') {
      in_.Get();
      auto push = [&data](std::uint32_t ch) { PushUtf16(&data, ch); };
      if (!ParseQuoted(push, maxText_, "quoted text longer than a registry file's line can be; refused") ||
          !ExpectEndOfLine()) {
        return false;
      }
      type = regtype::kSz;
      data.push_back(0);
      data.push_back(0);
    } else {
      std::wstring word;
      while (word.size() <= 5 && ((in_.Peek() | 0x20) >= 'a' && (in_.Peek() | 0x20) <= 'z')) {
        word.push_back(static_cast<wchar_t>(in_.Get() | 0x20));
      }
      if (word == L"dword" && in_.Peek() == ':') {
        in_.Get();
        if (!ParseDword(&data)) return false;
        type = regtype::kDword;
      } else if (word == L"hex") {
        type = regtype::kBinary;
        if (in_.Peek() == '(' && !ParseHexType(&type)) return false;
        if (in_.Peek() != ':') return Fail("expected ':' after hex");
        in_.Get();
        if (!ParseHexList(&data)) return false;
        if (version4_ && (type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz)) {
          data = WidenLatin1(data);
        }
      } else {
        return Fail("unrecognised value data: expected \"text\", dword:, hex: or hex(N):");
      }
    }
    // Data grown a character at a time has room to spare: the store keeps
    // what it is given, so give it the exact size.
    data.shrink_to_fit();
    if (state_ == State::kInKey) sink_.SetValue(std::move(name), type, std::move(data));
    return true;
  }

  static void PushUtf16(std::vector<std::uint8_t>* data, std::uint32_t c) {
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      const std::uint32_t high = 0xD800 + (c >> 10);
      const std::uint32_t low = 0xDC00 + (c & 0x3FF);
      data->push_back(static_cast<std::uint8_t>(high & 0xFF));
      data->push_back(static_cast<std::uint8_t>(high >> 8));
      data->push_back(static_cast<std::uint8_t>(low & 0xFF));
      data->push_back(static_cast<std::uint8_t>(low >> 8));
    } else {
      data->push_back(static_cast<std::uint8_t>(c & 0xFF));
      data->push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
  }

  bool ParseHexType(std::uint32_t* type) {
    in_.Get();  // '('
    std::uint32_t number = 0;
    std::size_t digits = 0;
    while (true) {
      const std::uint32_t c = in_.Peek();
      if (c == ')') break;
      const int digit = HexDigit(c);
      if (digit < 0 || digits == 8) return Fail("bad value type in hex(...)");
      number = number * 16 + static_cast<std::uint32_t>(digit);
      ++digits;
      in_.Get();
    }
    if (digits == 0) return Fail("bad value type in hex(...)");
    in_.Get();  // ')'
    *type = number;
    return true;
  }

  bool ParseDword(std::vector<std::uint8_t>* data) {
    std::uint32_t number = 0;
    std::size_t digits = 0;
    while (HexDigit(in_.Peek()) >= 0) {
      if (digits == 8) return Fail("dword: needs 1 to 8 hexadecimal digits");
      number = number * 16 + static_cast<std::uint32_t>(HexDigit(in_.Get()));
      ++digits;
    }
    if (digits == 0) return Fail("dword: needs 1 to 8 hexadecimal digits");
    if (!ExpectEndOfLine()) return false;
    data->resize(4);
    for (std::size_t i = 0; i < 4; ++i) (*data)[i] = static_cast<std::uint8_t>(number >> (8 * i));
    return true;
  }

  // Comma-separated bytes; a backslash after a comma (or right after the
  // colon) ends the line and continues the list on the next, whose leading
  // blanks are skipped. A continuation that regedit does not take, where it
  // imports no value, is refused: a backslash after a byte (the next line
  // then starting with the comma), an empty line after a backslash, or a
  // line holding only a backslash.
  bool ParseHexList(std::vector<std::uint8_t>* data) {
    bool afterComma = true;
    bool continued = false;  // on a continuation line, before its first byte
    while (true) {
      SkipBlanks();
      const std::uint32_t c = in_.Peek();
      if (continued && (c == '\n' || c == '\r')) return Fail("empty line inside continued hex data");
      if (continued && c == kEnd) return in_.failed() ? false : Fail("the file ends inside a continued value");
      if (c == '\n' || c == kEnd || c == '\r') {
        const std::size_t line = in_.line();
        if (ConsumeLineEnd()) return true;
        return FailAt(line,
                      afterComma ? "bad byte in hex data: \"\\r\"" : "expected ',' between the bytes of hex data");
      }
      if (c == '\\') {
        if (!afterComma) return Fail("a '\\' that continues hex data must follow a ','");
        const std::size_t line = in_.line();
        in_.Get();
        SkipBlanks();
        if (!ConsumeLineEnd()) return Fail("unexpected text after '\\' in hex data");
        if (continued) return FailAt(line, "a line holding only '\\' inside continued hex data");
        if (in_.Peek() == kEnd) return in_.failed() ? false : Fail("the file ends inside a continued value");
        continued = true;
        continue;
      }
      continued = false;
      if (!afterComma) {
        if (c != ',') return Fail("expected ',' between the bytes of hex data");
        afterComma = true;
        in_.Get();
        continue;
      }
      const int high = HexDigit(c);
      if (high < 0) return Fail("bad byte in hex data: " + Quote(std::wstring(1, static_cast<wchar_t>(c))));
      in_.Get();
      int byte = high;
      if (HexDigit(in_.Peek()) >= 0) {
        byte = byte * 16 + HexDigit(in_.Get());
        if (HexDigit(in_.Peek()) >= 0) return Fail("hex byte with more than two digits");
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

  TextStream& in_;
  bool version4_;
  std::size_t maxText_;
  Sink& sink_;
  State state_ = State::kNoKey;
  std::string error_;
  std::size_t errorLine_ = 0;
};

std::optional<RegFileError> Parse(ByteSource& source, std::string_view fileName, Sink& sink, RegFileFormat* format,
                                  const RegReadOptions& options) {
  TextStream in(source, options.maxLineLength);
  RegFileFormat found;
  if (!in.Start(&found)) return RegFileError{std::string(fileName), in.errorLine(), in.error()};
  Parser parser(in, found.version4, options.maxLineLength, sink);
  if (!parser.Run()) return RegFileError{std::string(fileName), parser.errorLine(), parser.error()};
  if (format != nullptr) *format = found;
  return std::nullopt;
}

}  // namespace

std::string RegFileError::ToString() const {
  if (line == 0) return file + ": " + message;
  return file + ", line " + std::to_string(line) + ": " + message;
}

std::optional<RegFileError> LoadRegText(std::span<const std::uint8_t> bytes, std::string_view fileName, RegStore& store,
                                        RegFileFormat* format, const RegReadOptions& options) {
  RegStore fresh;
  StoreSink sink(fresh);
  SpanSource source(bytes);
  if (auto error = Parse(source, fileName, sink, format, options)) return error;
  store = std::move(fresh);
  return std::nullopt;
}

std::optional<RegFileError> LoadRegFile(const std::filesystem::path& file, RegStore& store, RegFileFormat* format,
                                        const RegReadOptions& options) {
  HostFileReader reader;
  if (auto error = HostFileReader::Open(file, &reader)) return RegFileError{error->file, 0, error->message};
  RegStore fresh;
  StoreSink sink(fresh);
  FileSource source(reader);
  if (auto error = Parse(source, reader.name(), sink, format, options)) return error;
  store = std::move(fresh);
  return std::nullopt;
}

std::optional<RegFileError> ImportRegText(std::span<const std::uint8_t> bytes, std::string_view fileName,
                                          RegStore& store) {
  RecordingSink recorded;
  SpanSource source(bytes);
  if (auto error = Parse(source, fileName, recorded, nullptr, {})) return error;
  StoreSink sink(store);
  recorded.Replay(sink);
  return std::nullopt;
}

std::optional<RegFileError> ImportRegFile(const std::filesystem::path& file, RegStore& store) {
  HostFileReader reader;
  if (auto error = HostFileReader::Open(file, &reader)) return RegFileError{error->file, 0, error->message};
  RecordingSink recorded;
  FileSource source(reader);
  if (auto error = Parse(source, reader.name(), recorded, nullptr, {})) return error;
  StoreSink sink(store);
  recorded.Replay(sink);
  return std::nullopt;
}

}  // namespace zc::sim
