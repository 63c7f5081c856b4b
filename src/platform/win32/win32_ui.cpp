#include "platform/win32/win32_ui.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>

// The ids of the program's resources (templates, icon, system-menu item).
#include "ui/resource.h"

namespace zc::win32 {

namespace {

// Shows the enabled state the dialog reports for each of its buttons.
void ShowEnabledStates(HWND window, const ModalDialog& dialog) {
  for (const DialogLayout::Button& button : dialog.Layout().buttons) {
    if (HWND control = GetDlgItem(window, button.id)) {
      EnableWindow(control, dialog.IsControlEnabled(button.id) ? TRUE : FALSE);
    }
  }
}

// Empties the list and adds the dialog's entries. They are inserted at the
// end rather than added, so that a sorted list box shows them in the
// dialog's own order (already sorted where the template sorts) and a list
// index always means the same entry to the window and to the dialog.
void FillList(HWND window, const ModalDialog& dialog) {
  const int listId = dialog.Layout().listId;
  if (listId == 0) return;
  HWND list = GetDlgItem(window, listId);
  if (list == nullptr) return;
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::wstring& item : dialog.ListItems()) {
    SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.c_str()));
  }
  if (const int selected = dialog.ListSelection(); selected >= 0) {
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  }
}

void AddSystemMenuItem(HWND window, const std::wstring& text) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text.c_str());
}

// The application icon as the window's big and small icon. Shared icons:
// the system keeps them for the life of the process.
void SetApplicationIcon(HWND window) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto load = [instance](int sizeMetric) {
    const int size = GetSystemMetrics(sizeMetric);
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, LR_SHARED));
  };
  if (HICON bigIcon = load(SM_CXICON)) SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
  if (HICON smallIcon = load(SM_CXSMICON)) {
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  }
}

// Places the window over the middle of its owner, or of the work area
// when it has none, and keeps it inside the work area; the templates leave
// the position to the program.
void CenterWindow(HWND window) {
  HWND owner = GetWindow(window, GW_OWNER);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  HMONITOR nearest = MonitorFromWindow(owner != nullptr ? owner : window, MONITOR_DEFAULTTONEAREST);
  if (!GetMonitorInfoW(nearest, &monitor)) return;
  const RECT work = monitor.rcWork;
  RECT area = work;
  if (owner != nullptr && !GetWindowRect(owner, &area)) area = work;
  RECT own{};
  if (!GetWindowRect(window, &own)) return;
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  const int x =
      std::clamp(area.left + (area.right - area.left - width) / 2, work.left, std::max(work.left, work.right - width));
  const int y =
      std::clamp(area.top + (area.bottom - area.top - height) / 2, work.top, std::max(work.top, work.bottom - height));
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// After every event: show what the dialog now enables, and close the
// window once the dialog has ended.
void AfterEvent(HWND window, const ModalDialog& dialog) {
  ShowEnabledStates(window, dialog);
  if (const std::optional<int> code = dialog.EndCode()) EndDialog(window, *code);
}

}  // namespace

int Win32UserInterface::ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) {
  const std::wstring textCopy(text);
  const std::wstring captionCopy(caption);
  const UINT type = kind == MessageBoxKind::kYesNo ? MB_YESNO : MB_OK;
  return MessageBoxW(nullptr, textCopy.c_str(), captionCopy.c_str(), type);
}

WinError Win32UserInterface::GetWindowStationVisible(bool* visible) {
  // Where the question cannot be answered the station counts as visible:
  // boxes and dialogs are then shown as they always were.
  *visible = true;
  // The process's own station: its handle is not ours to close.
  HWINSTA station = GetProcessWindowStation();
  if (station == nullptr) return GetLastError();
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed)) return GetLastError();
  *visible = (flags.dwFlags & WSF_VISIBLE) != 0;
  return ERROR_SUCCESS;
}

void Win32UserInterface::InitCommonControls() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
}

int Win32UserInterface::RunModalDialog(ModalDialog& dialog) {
  Session session{this, &dialog};
  HWND owner = shown_.empty() ? nullptr : shown_.back();
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialog.Layout().templateId), owner,
                                         &DialogProc, reinterpret_cast<LPARAM>(&session));
  // The dialog's own end code is what it ended with; without one the
  // window never came up (a missing template, no window station).
  if (result == -1 || !dialog.EndCode()) return kIdCancel;
  return *dialog.EndCode();
}

INT_PTR CALLBACK Win32UserInterface::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* session = reinterpret_cast<Session*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    session->ui->shown_.push_back(window);
    ModalDialog& dialog = *session->dialog;
    dialog.OnInitDialog();
    FillList(window, dialog);
    if (const std::wstring item = dialog.SystemMenuItem(); !item.empty()) AddSystemMenuItem(window, item);
    if (dialog.Layout().templateId == IDD_ZENTACLEANUP_DIALOG) SetApplicationIcon(window);
    CenterWindow(window);
    AfterEvent(window, dialog);
    return TRUE;  // the dialog manager gives the focus to the first tab stop
  }

  // Messages that come before WM_INITDIALOG (WM_SETFONT, ...) find no session.
  auto* session = reinterpret_cast<Session*>(GetWindowLongPtrW(window, DWLP_USER));
  if (session == nullptr) return FALSE;
  ModalDialog& dialog = *session->dialog;

  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      const int listId = dialog.Layout().listId;
      if (listId != 0 && id == listId) {
        if (code != LBN_SELCHANGE) return FALSE;
        const LRESULT index = SendMessageW(reinterpret_cast<HWND>(lParam), LB_GETCURSEL, 0, 0);
        dialog.OnSelectionChange(listId, static_cast<int>(index));
      } else if (code == BN_CLICKED) {
        // Buttons, and IDOK / IDCANCEL from Enter and Escape.
        dialog.OnCommand(id);
      } else {
        return FALSE;
      }
      AfterEvent(window, dialog);
      return TRUE;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return FALSE;  // the default handling
      dialog.OnSystemCommand(static_cast<int>(wParam));
      AfterEvent(window, dialog);
      return TRUE;
    case WM_CLOSE:
      dialog.OnCommand(IDCANCEL);
      AfterEvent(window, dialog);
      return TRUE;
    case WM_DESTROY: {
      dialog.OnDestroy();
      std::vector<HWND>& shown = session->ui->shown_;
      shown.erase(std::remove(shown.begin(), shown.end(), window), shown.end());
      SetWindowLongPtrW(window, DWLP_USER, 0);
      return FALSE;  // and the default handling
    }
    default: return FALSE;
  }
}

}  // namespace zc::win32
