// Owners for the Win32 handles the backends hold themselves, on the
// platform layer's one owner template.
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace zc::win32 {

struct HkeyTraits {
  using Value = HKEY;
  static HKEY Invalid() { return nullptr; }
  void Close(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueHkey = UniqueHandle<HkeyTraits>;

// Files, whose "none" is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Value = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  void Close(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;

// Kernel objects whose "none" is null: tokens, processes.
struct KernelHandleTraits {
  using Value = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  void Close(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

}  // namespace zc::win32
