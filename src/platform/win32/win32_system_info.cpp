#include "platform/win32/win32_system_info.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/win32_handles.h"

namespace zc::win32 {
namespace {

struct Wow64Variable {
  std::wstring_view native;
  std::wstring_view x86;
};

constexpr Wow64Variable kWow64Variables[] = {
    {L"ProgramFiles", L"ProgramFiles(x86)"},
    {L"CommonProgramFiles", L"CommonProgramFiles(x86)"},
};

int FolderFor(int csidl) {
#ifdef _WIN64
  switch (csidl) {
    case CSIDL_PROGRAM_FILES: return CSIDL_PROGRAM_FILESX86;
    case CSIDL_PROGRAM_FILES_COMMON: return CSIDL_PROGRAM_FILES_COMMONX86;
    default: break;
  }
#endif
  return csidl;
}

WinError FromHresult(HRESULT result) {
  if (result == E_INVALIDARG) return err::kInvalidParameter;
  // The folder is known but does not exist.
  if (result == S_FALSE) return err::kFileNotFound;
  if (HRESULT_FACILITY(result) == FACILITY_WIN32) return static_cast<WinError>(HRESULT_CODE(result));
  return static_cast<WinError>(result);
}

// A text from a call that takes a capacity and returns the length written,
// or the size needed (terminator included) when it did not fit, or 0.
template <typename Call>
std::wstring ReadSized(Call call) {
  std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
  for (;;) {
    const UINT length = call(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.assign(static_cast<std::size_t>(length) + 1, L'\0');
  }
}

}  // namespace

std::wstring Wow64VariableName(std::wstring_view name) {
  for (const auto& variable : kWow64Variables) {
    if (EqualsNoCase(name, variable.native)) return std::wstring(variable.x86);
  }
  return std::wstring(name);
}

std::wstring Wow64FileSystemPath(std::wstring_view path) {
#ifdef _WIN64
  // What Windows leaves in the native system folder for a 32-bit process.
  static constexpr std::wstring_view kExempt[] = {L"\\catroot",      L"\\catroot2", L"\\driverstore",
                                                  L"\\drivers\\etc", L"\\logfiles", L"\\spool"};
  static const std::wstring native =
      ReadSized([](wchar_t* buffer, UINT size) { return ::GetSystemDirectoryW(buffer, size); });
  static const std::wstring wow64 =
      ReadSized([](wchar_t* buffer, UINT size) { return ::GetSystemWow64DirectoryW(buffer, size); });
  std::wstring_view prefix;
  std::wstring_view rest = path;
  if (rest.starts_with(L"\\\\?\\")) {
    prefix = rest.substr(0, 4);
    rest.remove_prefix(4);
  }
  if (native.empty() || wow64.empty() || !StartsWithNoCase(rest, native)) return std::wstring(path);
  rest.remove_prefix(native.size());
  if (!rest.empty() && rest.front() != L'\\') return std::wstring(path);
  for (const auto exempt : kExempt) {
    if (StartsWithNoCase(rest, exempt) && (rest.size() == exempt.size() || rest[exempt.size()] == L'\\')) {
      return std::wstring(path);
    }
  }
  return std::wstring(prefix) + wow64 + std::wstring(rest);
#else
  return std::wstring(path);
#endif
}

std::wstring RewriteForWow64(std::wstring_view source) {
  std::wstring out;
  std::size_t i = 0;
  while (i < source.size()) {
    bool replaced = false;
    if (source[i] == L'%') {
      for (const auto& variable : kWow64Variables) {
        const std::size_t length = variable.native.size();
        if (i + length + 2 <= source.size() && source[i + length + 1] == L'%' &&
            EqualsNoCase(source.substr(i + 1, length), variable.native)) {
          out += L'%';
          out += variable.x86;
          out += L'%';
          i += length + 2;
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out.push_back(source[i++]);
  }
  return out;
}

LocalTime Win32SystemInfo::Now() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

WinError Win32SystemInfo::GetShellFolder(int csidl, bool defaultPath, std::wstring* path) {
  path->clear();
  wchar_t buffer[MAX_PATH] = {};
  const DWORD flags = defaultPath ? SHGFP_TYPE_DEFAULT : SHGFP_TYPE_CURRENT;
  const HRESULT result = ::SHGetFolderPathW(nullptr, FolderFor(csidl), nullptr, flags, buffer);
  if (result != S_OK) return FromHresult(result);
  *path = buffer;
  return err::kSuccess;
}

std::wstring Win32SystemInfo::WindowsDirectory() {
  return ReadSized([](wchar_t* buffer, UINT size) { return ::GetWindowsDirectoryW(buffer, size); });
}

std::wstring Win32SystemInfo::SystemDirectory() {
  return ReadSized([](wchar_t* buffer, UINT size) { return ::GetSystemDirectoryW(buffer, size); });
}

std::uint32_t Win32SystemInfo::GetCurrentDir(std::uint32_t capacity, std::wstring* directory, WinError* error) {
  *error = err::kSuccess;
  directory->clear();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(capacity) + 1, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(capacity, capacity > 0 ? buffer.data() : nullptr);
  if (length == 0) {
    *error = ::GetLastError();
    return 0;
  }
  if (length < capacity) directory->assign(buffer.data(), length);
  return length;
}

bool Win32SystemInfo::GetVersion(OsVersion* version) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
  version->major = info.dwMajorVersion;
  version->minor = info.dwMinorVersion;
  return true;
}

std::optional<std::wstring> Win32SystemInfo::GetEnvironmentValue(std::wstring_view name) {
#ifdef _WIN64
  const std::wstring variable = Wow64VariableName(name);
#else
  const std::wstring variable(name);
#endif
  std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(variable.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      // An empty value and a missing one both give 0; only the error tells them apart.
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::wstring();
    }
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.assign(static_cast<std::size_t>(length) + 1, L'\0');
  }
}

std::uint32_t Win32SystemInfo::ExpandEnvironment(std::wstring_view source, std::wstring* expanded) {
#ifdef _WIN64
  const std::wstring text = RewriteForWow64(source);
#else
  const std::wstring text(source);
#endif
  DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0 || expanded == nullptr) return needed;
  std::vector<wchar_t> buffer;
  do {
    buffer.assign(needed, L'\0');
    needed = ::ExpandEnvironmentStringsW(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (needed == 0) return 0;
  } while (needed > buffer.size());
  expanded->assign(buffer.data(), needed - 1);
  return needed;
}

void Win32SystemInfo::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::wstring Win32SystemInfo::CurrentUserSid() {
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) return {};
  const UniqueKernelHandle token(KernelHandleTraits{}, opened);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<unsigned char> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
  std::wstring sid(text);
  ::LocalFree(text);
  return sid;
}

}  // namespace zc::win32
