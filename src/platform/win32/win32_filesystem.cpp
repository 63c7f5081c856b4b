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

namespace {

using GetFinalPathNameByHandleFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// Vista and later; looked up so that the program still starts on XP.
GetFinalPathNameByHandleFn FinalPathFunction() {
  static const auto function = reinterpret_cast<GetFinalPathNameByHandleFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  return function;
}

// "\\?\C:\x" -> "C:\x", "\\?\UNC\s\x" -> "\\s\x".
std::wstring WithoutLongPathPrefix(std::wstring path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

// GetFullPathNameW and GetLongPathNameW: where the final-path query is
// missing (XP), the long form of the full path.
WinError LongFullPath(const std::wstring& path, std::wstring* out) {
  DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return LastError();
  std::wstring full(size, L'\0');
  size = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (size == 0 || size >= full.size()) return LastError();
  full.resize(size);
  size = ::GetLongPathNameW(full.c_str(), nullptr, 0);
  if (size == 0) return LastError();
  std::wstring longPath(size, L'\0');
  size = ::GetLongPathNameW(full.c_str(), longPath.data(), size);
  if (size == 0 || size >= longPath.size()) return LastError();
  longPath.resize(size);
  *out = std::move(longPath);
  return err::kSuccess;
}

}  // namespace

WinError Win32FileSystem::GetFinalPath(std::wstring_view path, bool followLink, std::wstring* finalPath) {
  finalPath->clear();
  const std::wstring name = Wow64FileSystemPath(path);
  std::wstring answer;
  if (const auto finalPathOf = FinalPathFunction()) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    UniqueFileHandle handle(FileHandleTraits{}, ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                              nullptr, OPEN_EXISTING, flags, nullptr));
    if (!handle) return LastError();
    const DWORD kNormalisedDosName = 0;  // FILE_NAME_NORMALIZED | VOLUME_NAME_DOS
    DWORD size = finalPathOf(handle.get(), nullptr, 0, kNormalisedDosName);
    if (size == 0) return LastError();
    std::wstring buffer(size, L'\0');
    size = finalPathOf(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), kNormalisedDosName);
    if (size == 0 || size >= buffer.size()) return size == 0 ? LastError() : ERROR_INSUFFICIENT_BUFFER;
    buffer.resize(size);
    answer = WithoutLongPathPrefix(std::move(buffer));
  } else if (const WinError e = LongFullPath(name, &answer)) {
    return e;
  }
  // Trust the answer only when nothing on its way is a link: a system that
  // left a junction unresolved (or XP, which has no such query) gets no
  // benefit of the doubt.
  if (answer.size() < 3 || answer[1] != L':' || answer[2] != L'\\') return ERROR_CANT_RESOLVE_FILENAME;
  std::size_t at = 2;
  while (at != std::wstring::npos && at < answer.size()) {
    at = answer.find(L'\\', at + 1);
    const bool last = at == std::wstring::npos;
    if (last && !followLink) break;
    const std::wstring prefix = last ? answer : answer.substr(0, at);
    const DWORD attributes = ::GetFileAttributesW(prefix.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return ERROR_CANT_RESOLVE_FILENAME;
  }
  *finalPath = std::move(answer);
  return err::kSuccess;
}

std::unique_ptr<OutputFile> Win32FileSystem::CreateOutputFile(std::wstring_view path, WinError* error) {
  *error = err::kSuccess;
  const std::wstring name = Wow64FileSystemPath(path);
  UniqueFileHandle file(FileHandleTraits{},
                        ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    *error = LastError();
    return nullptr;
  }
  return std::make_unique<Win32OutputFile>(std::move(file));
}

std::unique_ptr<OutputFile> Win32FileSystem::OpenOutputFileToAppend(std::wstring_view path, WinError* error) {
  *error = err::kSuccess;
  const std::wstring name = Wow64FileSystemPath(path);
  UniqueFileHandle file(FileHandleTraits{},
                        ::CreateFileW(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    *error = LastError();
    return nullptr;
  }
  return std::make_unique<Win32OutputFile>(std::move(file));
}

}  // namespace zc::win32
