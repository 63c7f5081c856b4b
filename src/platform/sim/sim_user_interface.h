// Message boxes (and later dialogs) of the Linux program: answered from an
// answers file, from the console when stdin is a terminal, and otherwise
// with No / OK, so that no run ever hangs.
#pragma once

#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/faults.h"
#include "platform/user_interface.h"

namespace zc::sim {

struct ShownDialog {
  int templateId = 0;
  std::vector<std::wstring> items;  // as the list showed them
  int endCode = 0;
};

struct ShownMessageBox {
  std::wstring text;
  std::wstring caption;
  MessageBoxKind kind;
  int result;
};

class SimUserInterface : public UserInterface {
 public:
  enum class Mode { kScripted, kConsole, kDefaults };

  // `faults`, when given, can make the window-station query fail.
  explicit SimUserInterface(FaultPlan* faults = nullptr) : faults_(faults) {}

  // Answers, one a line: for boxes yes, no, ok; for the basic-mode dialog
  // remove N, dryrun N (N the entry's place in the list, from 0), custom,
  // help, about, cancel; for the custom-mode dialog clean LABEL, basic,
  // cancel; for the about box ok.
  bool LoadAnswers(const std::filesystem::path& file, std::string* error);
  // The same from a stream (standard input for "--answers -").
  void ReadAnswers(std::istream& in);
  void SetAnswers(std::vector<std::string> answers);
  void SetMode(Mode mode) { mode_ = mode; }
  // Where boxes are echoed (null: nowhere).
  void SetEcho(std::FILE* echo) { echo_ = echo; }

  int ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) override;
  void InitCommonControls() override { commonControlsInitialised_ = true; }
  int RunModalDialog(ModalDialog& dialog) override;
  WinError GetWindowStationVisible(bool* visible) override;

  // machine.ini's [system] desktop: none is the session of a deployment
  // agent, where a box or dialog shown waits forever. One shown there all
  // the same is recorded as a problem.
  void SetDesktopVisible(bool visible) { desktopVisible_ = visible; }

  const std::vector<ShownMessageBox>& shown() const { return shown_; }
  const std::vector<ShownDialog>& dialogs() const { return dialogs_; }
  bool commonControlsInitialised() const { return commonControlsInitialised_; }
  // Answers that did not fit the box they were given to.
  const std::vector<std::string>& problems() const { return problems_; }

  // The next scripted answer, or empty when none is left.
  std::string NextAnswer();

 private:
  void ScriptedDialogStep(ModalDialog& dialog);
  bool ApplyAnswer(ModalDialog& dialog, const std::string& answer);
  void ConsoleDialogStep(ModalDialog& dialog);
  int AskConsole(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind);

  Mode mode_ = Mode::kDefaults;
  std::deque<std::string> answers_;
  std::vector<ShownMessageBox> shown_;
  std::vector<ShownDialog> dialogs_;
  std::vector<std::string> problems_;
  std::FILE* echo_ = nullptr;
  bool commonControlsInitialised_ = false;
  FaultPlan* faults_ = nullptr;
  bool desktopVisible_ = true;
};

}  // namespace zc::sim
