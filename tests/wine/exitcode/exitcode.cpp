// exitcode.exe PROGRAM ARGUMENTS...: runs the program with the rest of its
// own command line, waits for it and prints its whole exit code. A Windows
// exit code reaches a Linux parent through Wine only as its low byte (1639
// reads 103), and deployment systems read all of it.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The command line after this program's own name, as Windows split it.
std::wstring RestOfCommandLine() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace

int wmain() {
  std::wstring command = RestOfCommandLine();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::printf("not started: %lu\n", GetLastError());
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const BOOL read = GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!read) {
    std::printf("not read: %lu\n", GetLastError());
    return 1;
  }
  std::printf("%lu\n", code);
  return 0;
}
