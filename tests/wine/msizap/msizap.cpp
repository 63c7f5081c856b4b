// A stand-in for the Windows Installer clean-up utility, for the Wine suite
// only: it appends its command line, as the process received it, to
// C:\msizap-calls.txt (UTF-8, one line a call) and exits with 0. The suite
// reads the file to check which product codes the tool handed over.
#include <windows.h>

#include <string>

int wmain() {
  const wchar_t* line = GetCommandLineW();
  const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string text(size > 0 ? static_cast<std::size_t>(size - 1) : 0U, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), size, nullptr, nullptr);
  text += "\r\n";
  HANDLE file = CreateFileW(L"C:\\msizap-calls.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return ok ? 0 : 1;
}
