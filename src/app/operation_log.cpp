#include "app/operation_log.h"

namespace zc {

std::string ToLogBytes(std::wstring_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (wchar_t c : text) {
    const auto code = static_cast<std::uint32_t>(c);
    if (code == L'\n') {
      bytes += "\r\n";  // text mode: a line feed becomes CR LF
    } else {
      bytes.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
    }
  }
  return bytes;
}

bool OperationLog::Open(FileSystem& fs, std::wstring_view path) {
  Close();
  WinError error = 0;
  file_ = fs.CreateOutputFile(path, &error);
  state_ = file_ ? State::kOpen : State::kClosed;
  return file_ != nullptr;
}

bool OperationLog::OpenToAppend(FileSystem& fs, std::wstring_view path) {
  Close();
  WinError error = 0;
  file_ = fs.OpenOutputFileToAppend(path, &error);
  state_ = file_ ? State::kOpen : State::kClosed;
  return file_ != nullptr;
}

void OperationLog::Close() {
  if (file_) file_->Flush();
  file_.reset();
  state_ = State::kClosed;
}

void OperationLog::WriteBytes(const std::string& bytes) {
  if (state_ != State::kOpen) return;
  if (!file_->Write(bytes.data(), bytes.size())) state_ = State::kFailed;
}

OperationLog& OperationLog::operator<<(std::wstring_view text) {
  WriteBytes(ToLogBytes(text));
  // A text that carries its own line ends is flushed like one written with
  // eol, so that the file is complete up to its last finished line.
  if (text.find(L'\n') != std::wstring_view::npos && state_ == State::kOpen && !file_->Flush()) {
    state_ = State::kFailed;
  }
  return *this;
}

OperationLog& OperationLog::operator<<(const char* text) {
  std::wstring wide;
  for (const char* p = text; *p; ++p) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
  return *this << std::wstring_view(wide);
}

OperationLog& OperationLog::operator<<(std::int32_t number) {
  WriteBytes(std::to_string(number));
  return *this;
}

OperationLog& OperationLog::operator<<(std::uint32_t number) {
  WriteBytes(std::to_string(number));
  return *this;
}

OperationLog& OperationLog::operator<<(EndOfLine) {
  WriteBytes("\r\n");
  if (state_ == State::kOpen && !file_->Flush()) state_ = State::kFailed;
  return *this;
}

}  // namespace zc
