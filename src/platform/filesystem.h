// The file system as the tool uses it. Paths are Windows paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/unique_handle.h"
#include "platform/win_error.h"

namespace zc {

namespace fileattr {
inline constexpr std::uint32_t kReadOnly = 0x1;
inline constexpr std::uint32_t kHidden = 0x2;
inline constexpr std::uint32_t kSystem = 0x4;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kNormal = 0x80;
inline constexpr std::uint32_t kReparsePoint = 0x400;
inline constexpr std::uint32_t kInvalid = 0xFFFFFFFFu;
}  // namespace fileattr

struct FindData {
  std::uint32_t attributes = 0;
  std::wstring name;
};

using FindHandleValue = std::uintptr_t;

// A file open for writing, as the log uses it.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const char* bytes, std::size_t count) = 0;
  virtual bool Flush() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // GetFileAttributesW: 0 and the attributes, or the error (2 for a missing
  // name in an existing folder, 3 when a folder on the way is missing).
  virtual WinError GetAttributes(std::wstring_view path, std::uint32_t* attributes) = 0;
  virtual WinError SetAttributes(std::wstring_view path, std::uint32_t attributes) = 0;
  // DeleteFileW: 5 for a read-only file, 32 for a file in use.
  virtual WinError DeleteFileAt(std::wstring_view path) = 0;
  // RemoveDirectoryW: 145 when not empty.
  virtual WinError RemoveFolder(std::wstring_view path) = 0;

  // FindFirstFileW / FindNextFileW / FindClose. Entries come in the order
  // the file system keeps them (NTFS: names sorted case-insensitively),
  // with "." and ".." first for a folder's "*.*". Past the last entry: 18 (no more files).
  virtual WinError FindFirst(std::wstring_view pattern, FindHandleValue* handle, FindData* data) = 0;
  virtual WinError FindNext(FindHandleValue handle, FindData* data) = 0;
  virtual WinError FindClose(FindHandleValue handle) = 0;

  // The path of an existing entry as the file system knows it: every link on
  // the way followed and long names for short ones
  // (GetFinalPathNameByHandleW of a handle opened with backup semantics,
  // without its "\\?\" prefix). With `followLink` false the entry itself is
  // not followed when it is a link (FILE_FLAG_OPEN_REPARSE_POINT). 2 or 3
  // when it does not exist; another error when the answer cannot be had,
  // or would still lead through a link.
  virtual WinError GetFinalPath(std::wstring_view path, bool followLink, std::wstring* finalPath) = 0;

  // MoveFileExW(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT).
  virtual WinError ScheduleDeleteAtReboot(std::wstring_view path) = 0;

  // CreateFileW(GENERIC_WRITE, share read/write/delete, CREATE_ALWAYS):
  // created if missing, truncated if present.
  virtual std::unique_ptr<OutputFile> CreateOutputFile(std::wstring_view path, WinError* error) = 0;
  // The same, for an existing file whose end the writes are added to
  // (OPEN_EXISTING with FILE_APPEND_DATA).
  virtual std::unique_ptr<OutputFile> OpenOutputFileToAppend(std::wstring_view path, WinError* error) = 0;
};

using UniqueFind = ServiceHandle<FileSystem, FindHandleValue, &FileSystem::FindClose>;

// Every method above, once, for the forwarding proxies (platform/proxy.h)
// and the dry-run view, which refuses the CHANGES rows while a dry run is
// under way; each names the Windows call it stands for and its target.
//   READS(Result, Method, (Parameters), (Arguments))
//   CHANGES(Result, Method, (Parameters), (Arguments), WindowsCall, Target)
// clang-format off
#define ZC_FILESYSTEM_METHODS(READS, CHANGES) \
  READS(WinError, GetAttributes, (std::wstring_view path, std::uint32_t* attributes), (path, attributes)) \
  CHANGES(WinError, SetAttributes, (std::wstring_view path, std::uint32_t attributes), (path, attributes), SetFileAttributes, path) \
  CHANGES(WinError, DeleteFileAt, (std::wstring_view path), (path), DeleteFile, path) \
  CHANGES(WinError, RemoveFolder, (std::wstring_view path), (path), RemoveDirectory, path) \
  READS(WinError, FindFirst, (std::wstring_view pattern, FindHandleValue* handle, FindData* data), (pattern, handle, data)) \
  READS(WinError, FindNext, (FindHandleValue handle, FindData* data), (handle, data)) \
  READS(WinError, FindClose, (FindHandleValue handle), (handle)) \
  READS(WinError, GetFinalPath, (std::wstring_view path, bool followLink, std::wstring* finalPath), (path, followLink, finalPath)) \
  CHANGES(WinError, ScheduleDeleteAtReboot, (std::wstring_view path), (path), MoveFileEx, path) \
  READS(std::unique_ptr<OutputFile>, CreateOutputFile, (std::wstring_view path, WinError* error), (path, error)) \
  READS(std::unique_ptr<OutputFile>, OpenOutputFileToAppend, (std::wstring_view path, WinError* error), (path, error))
// clang-format on

}  // namespace zc
