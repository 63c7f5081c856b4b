// Reads the state of the tool's dialogs for the Wine suite, which drives them
// with X keystrokes and clicks. Run beside the tool in the same prefix:
//
//   dlgprobe wait TITLE [SECONDS]   waits until a top-level window of that exact
//                                   title is visible (exit 1 on time-out)
//   dlgprobe gone TITLE [SECONDS]   waits until no such window is left
//   dlgprobe controls TITLE         one line a child window: id, enabled (1/0),
//                                   class, screen rectangle, text
//   dlgprobe list TITLE ID          the entries of a list box, one a line
//   dlgprobe rect TITLE             the window's screen rectangle: left top
//                                   width height
//   dlgprobe syscommand TITLE ID    posts WM_SYSCOMMAND with ID to the window
//                                   (the about box has no other way in
//                                   without a window manager's caption)
//
// Output is UTF-8 with LF line ends; the exit status is 0 on success, 1 when
// the window or control is not there, 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? static_cast<std::size_t>(size - 1) : 0U, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

HWND FindVisible(const wchar_t* title) {
  HWND found = nullptr;
  for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, title); w; w = FindWindowExW(nullptr, w, nullptr, title)) {
    if (IsWindowVisible(w)) found = w;
  }
  return found;
}

int Wait(const wchar_t* title, int seconds, bool untilGone) {
  for (int i = 0; i <= seconds * 10; ++i) {
    if ((FindVisible(title) != nullptr) != untilGone) return 0;
    Sleep(100);
  }
  return 1;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  wchar_t cls[128] = {};
  GetClassNameW(child, cls, 128);
  RECT r{};
  GetWindowRect(child, &r);
  std::printf("%d %d %s %ld %ld %ld %ld %s\n", GetDlgCtrlID(child), IsWindowEnabled(child) ? 1 : 0, Utf8(cls).c_str(),
              r.left, r.top, r.right - r.left, r.bottom - r.top, Utf8(TextOf(child)).c_str());
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring command = argv[1];
  const wchar_t* title = argv[2];
  const int seconds = argc > 3 ? _wtoi(argv[3]) : 20;
  if (command == L"wait") return Wait(title, seconds, false);
  if (command == L"gone") return Wait(title, seconds, true);
  HWND window = FindVisible(title);
  if (!window) return 1;
  if (command == L"controls") {
    EnumChildWindows(window, PrintChild, 0);
    return 0;
  }
  if (command == L"rect") {
    RECT r{};
    if (!GetWindowRect(window, &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (command == L"list" && argc > 3) {
    HWND list = GetDlgItem(window, _wtoi(argv[3]));
    if (!list) return 1;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
      if (length < 0) return 1;
      std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
      entry.resize(static_cast<std::size_t>(length));
      std::printf("%s\n", Utf8(entry).c_str());
    }
    return 0;
  }
  if (command == L"syscommand" && argc > 3) {
    return PostMessageW(window, WM_SYSCOMMAND, static_cast<WPARAM>(_wtoi(argv[3])), 0) ? 0 : 1;
  }
  return 2;
}
