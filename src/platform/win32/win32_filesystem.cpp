#include "platform/win32/win32_filesystem.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_system_info.h"

namespace zc::win32 {
namespace {

WinError LastError() { return ::GetLastError(); }

WinError Result(BOOL ok) { return ok ? err::kSuccess : LastError(); }

HANDLE ToHandle(FindHandleValue value) { return reinterpret_cast<HANDLE>(value); }

void Fill(const WIN32_FIND_DATAW& found, FindData* data) {
  data->attributes = found.dwFileAttributes;
  data->name = found.cFileName;
}

class Win32OutputFile : public OutputFile {
 public:
  explicit Win32OutputFile(UniqueFileHandle file) : file_(std::move(file)) {}

  bool Write(const char* bytes, std::size_t count) override {
    while (count > 0) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
      DWORD written = 0;
      if (!::WriteFile(file_.get(), bytes, chunk, &written, nullptr) || written == 0) return false;
      bytes += written;
      count -= written;
    }
    return true;
  }

  bool Flush() override { return ::FlushFileBuffers(file_.get()) != FALSE; }

 private:
  UniqueFileHandle file_;
};

}  // namespace

WinError Win32FileSystem::GetAttributes(std::wstring_view path, std::uint32_t* attributes) {
  const std::wstring name = Wow64FileSystemPath(path);
  const DWORD result = ::GetFileAttributesW(name.c_str());
  if (result == INVALID_FILE_ATTRIBUTES) return LastError();
  *attributes = result;
  return err::kSuccess;
}

WinError Win32FileSystem::SetAttributes(std::wstring_view path, std::uint32_t attributes) {
  const std::wstring name = Wow64FileSystemPath(path);
  return Result(::SetFileAttributesW(name.c_str(), attributes));
}

WinError Win32FileSystem::DeleteFileAt(std::wstring_view path) {
  const std::wstring name = Wow64FileSystemPath(path);
  return Result(::DeleteFileW(name.c_str()));
}

WinError Win32FileSystem::RemoveFolder(std::wstring_view path) {
  const std::wstring name = Wow64FileSystemPath(path);
  return Result(::RemoveDirectoryW(name.c_str()));
}

WinError Win32FileSystem::FindFirst(std::wstring_view pattern, FindHandleValue* handle, FindData* data) {
  *handle = 0;
  const std::wstring text = Wow64FileSystemPath(pattern);
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(text.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return LastError();
  *handle = reinterpret_cast<FindHandleValue>(search);
  Fill(found, data);
  return err::kSuccess;
}

WinError Win32FileSystem::FindNext(FindHandleValue handle, FindData* data) {
  if (handle == 0) return err::kInvalidHandle;
  WIN32_FIND_DATAW found{};
  if (!::FindNextFileW(ToHandle(handle), &found)) return LastError();
  Fill(found, data);
  return err::kSuccess;
}

WinError Win32FileSystem::FindClose(FindHandleValue handle) {
  if (handle == 0) return err::kInvalidHandle;
  return Result(::FindClose(ToHandle(handle)));
}

WinError Win32FileSystem::ScheduleDeleteAtReboot(std::wstring_view path) {
  const std::wstring name = Wow64FileSystemPath(path);
  return Result(::MoveFileExW(name.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
}

std::unique_ptr<OutputFile> Win32FileSystem::CreateOutputFile(std::wstring_view path, WinError* error) {
  *error = err::kSuccess;
  const std::wstring name = Wow64FileSystemPath(path);
  UniqueFileHandle file(FileHandleTraits{}, ::CreateFileW(name.c_str(), GENERIC_WRITE,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    *error = LastError();
    return nullptr;
  }
  return std::make_unique<Win32OutputFile>(std::move(file));
}

}  // namespace zc::win32
