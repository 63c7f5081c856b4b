// The three dialogs as window-system-free classes: what they hold, what
// they enable, how they end. The window system (Win32 dialogs from
// templates, the console, an answers file) only shows them and feeds them
// events through ModalDialog.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/user_interface.h"

namespace zc {

// The entries that the next dialog shows, in order; the run loop fills it
// right before it shows a dialog.
extern std::vector<std::wstring> g_listEntries;

// What the basic-mode, custom-mode and about dialogs share: a list, the
// enabled buttons, the end code, and the application's main-window slot
// that is cleared when the window is destroyed.
class CDialogLogic : public ModalDialog {
 public:
  CDialogLogic(UserInterface& ui, const void*& mainWindow) : m_ui(ui), m_mainWindow(mainWindow) {}

  int DoModal() { return m_ui.RunModalDialog(*this); }

  void OnSelectionChange(int listId, int index) override;
  void OnSystemCommand(int) override {}
  void OnDestroy() override;
  const std::vector<std::wstring>& ListItems() const override { return m_items; }
  int ListSelection() const override { return m_selection; }
  bool IsControlEnabled(int id) const override;
  std::optional<int> EndCode() const override { return m_endCode; }

 protected:
  void EndDialog(int code) { m_endCode = code; }
  void Enable(int id);

  UserInterface& m_ui;
  const void*& m_mainWindow;
  std::vector<std::wstring> m_items;
  int m_selection = -1;
  std::vector<int> m_disabled;
  std::optional<int> m_endCode;
};

// Basic mode (template 102): "All ZENTA Products" and the installed
// products, in the order given. Ends with 1 Remove, 1005 Dry Run,
// 1004 Custom Mode, 2 Cancel.
class CZENTACleanupDlg : public CDialogLogic {
 public:
  // `showHelp` shows the command-line help; the dialog stays open meanwhile.
  CZENTACleanupDlg(UserInterface& ui, const void*& mainWindow, std::function<void()> showHelp);

  const DialogLayout& Layout() const override;
  void OnInitDialog() override;
  void OnSelectionChange(int listId, int index) override;
  void OnCommand(int id) override;
  void OnSystemCommand(int id) override;
  std::wstring SystemMenuItem() const override;

  std::wstring m_strSelected;
  int m_nSelected = 0;

 private:
  void SaveData();

  std::function<void()> m_showHelp;
};

// Custom mode (template 129): the family labels, sorted. Ends with
// 1 Clean product, 1002 Basic Mode, 2 Cancel.
class CProductVersion : public CDialogLogic {
 public:
  CProductVersion(UserInterface& ui, const void*& mainWindow);

  const DialogLayout& Layout() const override;
  void OnInitDialog() override;
  void OnSelectionChange(int listId, int index) override;
  void OnCommand(int id) override;

  std::wstring m_strSelected;
};

// The about box (template 100): OK or Escape closes it.
class CAboutDlg : public CDialogLogic {
 public:
  CAboutDlg(UserInterface& ui, const void*& mainWindow) : CDialogLogic(ui, mainWindow) {}

  const DialogLayout& Layout() const override;
  void OnInitDialog() override {}
  void OnCommand(int id) override;
  void OnDestroy() override {}
};

}  // namespace zc
