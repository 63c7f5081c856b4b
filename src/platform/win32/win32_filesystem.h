// The file system over the Win32 file functions.
#pragma once

#include "platform/filesystem.h"

namespace zc::win32 {

class Win32FileSystem : public FileSystem {
 public:
  WinError GetAttributes(std::wstring_view path, std::uint32_t* attributes) override;
  WinError SetAttributes(std::wstring_view path, std::uint32_t attributes) override;
  WinError DeleteFileAt(std::wstring_view path) override;
  WinError RemoveFolder(std::wstring_view path) override;
  // The search handle is handed out as its value; INVALID_HANDLE_VALUE
  // becomes the interface's 0.
  WinError FindFirst(std::wstring_view pattern, FindHandleValue* handle, FindData* data) override;
  WinError FindNext(FindHandleValue handle, FindData* data) override;
  WinError FindClose(FindHandleValue handle) override;
  WinError ScheduleDeleteAtReboot(std::wstring_view path) override;
  WinError GetFinalPath(std::wstring_view path, bool followLink, std::wstring* finalPath) override;
  // The log: shared for reading and writing, never for deletion, so that
  // nothing deletes it while the tool writes it.
  std::unique_ptr<OutputFile> CreateOutputFile(std::wstring_view path, WinError* error) override;
  std::unique_ptr<OutputFile> OpenOutputFileToAppend(std::wstring_view path, WinError* error) override;
};

}  // namespace zc::win32
