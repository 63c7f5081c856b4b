// Message boxes and modal dialogs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_error.h"

namespace zc {

enum class MessageBoxKind { kOk, kYesNo };

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// What a dialog template holds, as far as a window system without
// resources (the console, an answers file, a test) needs it.
struct DialogLayout {
  struct Button {
    int id;
    std::wstring text;
  };
  int templateId = 0;
  std::wstring caption;
  std::vector<std::wstring> staticTexts;  // in tab order
  int listId = 0;                         // 0: the dialog has no list
  std::vector<Button> buttons;            // in tab order
};

// A modal dialog as the window system drives it: it reports events and
// reads back what the window must show. The logic lives behind this
// interface; the window system only shows it and feeds it events.
class ModalDialog {
 public:
  virtual ~ModalDialog() = default;

  virtual const DialogLayout& Layout() const = 0;
  virtual void OnInitDialog() = 0;
  virtual void OnSelectionChange(int listId, int index) = 0;
  // A button, or IDOK / IDCANCEL from Enter, Escape and the close box.
  virtual void OnCommand(int id) = 0;
  virtual void OnSystemCommand(int id) = 0;
  virtual void OnDestroy() = 0;

  // The entries of the list in the order the list shows them.
  virtual const std::vector<std::wstring>& ListItems() const = 0;
  virtual int ListSelection() const = 0;  // -1: none
  virtual bool IsControlEnabled(int id) const = 0;
  // Set once the dialog has ended.
  virtual std::optional<int> EndCode() const = 0;
  // The item the dialog adds to its system menu (empty: none).
  virtual std::wstring SystemMenuItem() const { return {}; }
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // MessageBoxW with no owner window and no icon.
  virtual int ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) = 0;
  // InitCommonControlsEx for the version 6 controls.
  virtual void InitCommonControls() = 0;
  // Shows the dialog modally until it has ended; its end code.
  virtual int RunModalDialog(ModalDialog& dialog) = 0;
  // GetProcessWindowStation + GetUserObjectInformationW(UOI_FLAGS): whether
  // the process's window station is visible (WSF_VISIBLE), that is, whether
  // a box or dialog it shows can be seen and answered at all. A deployment
  // agent's session (a service's, SYSTEM's) has none. The query's error when
  // it fails; `visible` is then true.
  virtual WinError GetWindowStationVisible(bool* visible) = 0;
};

// Every method above, once, for the forwarding proxy (platform/proxy.h).
// Nothing here changes the machine, so the dry-run view lets all of it pass.
//   READS(Result, Method, (Parameters), (Arguments))
// clang-format off
#define ZC_USER_INTERFACE_METHODS(READS, CHANGES) \
  READS(int, ShowMessageBox, (std::wstring_view text, std::wstring_view caption, MessageBoxKind kind), (text, caption, kind)) \
  READS(void, InitCommonControls, (), ()) \
  READS(int, RunModalDialog, (ModalDialog& dialog), (dialog)) \
  READS(WinError, GetWindowStationVisible, (bool* visible), (visible))
// clang-format on

}  // namespace zc
