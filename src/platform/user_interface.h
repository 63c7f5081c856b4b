// Message boxes (and, later, the modal dialogs).
#pragma once

#include <string_view>

namespace zc {

enum class MessageBoxKind { kOk, kYesNo };

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // MessageBoxW with no owner window and no icon.
  virtual int ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) = 0;
  // InitCommonControlsEx for the version 6 controls.
  virtual void InitCommonControls() = 0;
};

}  // namespace zc
