// Message boxes and modal dialogs of the Windows program, from the
// program's own dialog templates.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "platform/user_interface.h"

namespace zc::win32 {

// The dialog procedure is a thin switch: it turns window messages into
// the events of a ModalDialog and shows what the dialog reports back (the
// list's entries, which buttons are enabled, when it has ended). What a
// button means is the dialog's business, never the procedure's.
class Win32UserInterface : public UserInterface {
 public:
  Win32UserInterface() = default;
  Win32UserInterface(const Win32UserInterface&) = delete;
  Win32UserInterface& operator=(const Win32UserInterface&) = delete;

  // MessageBoxW with no owner window and no icon: IDOK, IDYES or IDNO;
  // 0 when no box could be shown (which no caller takes for a Yes).
  int ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) override;
  void InitCommonControls() override;
  // A dialog shown while another of ours is on screen (the about box from
  // the basic-mode dialog's system menu) is owned by it, so that the one
  // below stays disabled until it closes. A template that cannot be shown
  // ends as Cancel, so that the run ends instead of showing it again.
  int RunModalDialog(ModalDialog& dialog) override;
  WinError GetWindowStationVisible(bool* visible) override;

 private:
  struct Session {
    Win32UserInterface* ui;
    ModalDialog* dialog;
  };

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::vector<HWND> shown_;  // our dialogs on screen, innermost last
};

}  // namespace zc::win32
