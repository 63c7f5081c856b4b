// The operation log: an 8-bit text file written piece by piece, CR LF at
// every end of line, flushed at every end of line so that the file on disk
// is complete up to the last finished line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/filesystem.h"

namespace zc {

class OperationLog;

// Writes an end of line and flushes: `log << eol`.
struct EndOfLine {};
inline constexpr EndOfLine eol{};

class OperationLog {
 public:
  enum class State { kClosed, kOpen, kFailed };

  OperationLog() = default;
  OperationLog(const OperationLog&) = delete;
  OperationLog& operator=(const OperationLog&) = delete;

  // Creates or truncates the file. False when it cannot be opened; the log
  // then stays closed and drops every write.
  bool Open(FileSystem& fs, std::wstring_view path);
  // Opens the file again after it was closed, to add to its end.
  bool OpenToAppend(FileSystem& fs, std::wstring_view path);
  void Close();
  bool is_open() const { return state_ == State::kOpen; }
  State state() const { return state_; }

  OperationLog& operator<<(std::wstring_view text);
  OperationLog& operator<<(const std::wstring& text) { return *this << std::wstring_view(text); }
  OperationLog& operator<<(const wchar_t* text) { return *this << std::wstring_view(text); }
  // 8-bit literals: each byte is the character of the same code.
  OperationLog& operator<<(const char* text);
  OperationLog& operator<<(std::int32_t number);
  OperationLog& operator<<(std::uint32_t number);
  OperationLog& operator<<(EndOfLine);

 private:
  void WriteBytes(const std::string& bytes);

  std::unique_ptr<OutputFile> file_;
  State state_ = State::kClosed;
};

// The 8-bit form of a text: one byte per character; characters above 255
// have no byte and are written as '?', so that the rest of the log survives.
std::string ToLogBytes(std::wstring_view text);

}  // namespace zc
