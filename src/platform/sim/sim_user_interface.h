// Message boxes (and later dialogs) of the Linux program: answered from an
// answers file, from the console when stdin is a terminal, and otherwise
// with No / OK, so that no run ever hangs.
#pragma once

#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/user_interface.h"

namespace zc::sim {

struct ShownMessageBox {
  std::wstring text;
  std::wstring caption;
  MessageBoxKind kind;
  int result;
};

class SimUserInterface : public UserInterface {
 public:
  enum class Mode { kScripted, kConsole, kDefaults };

  // Answers, one a line: yes, no, ok (dialog answers come with the dialogs).
  bool LoadAnswers(const std::filesystem::path& file, std::string* error);
  void SetAnswers(std::vector<std::string> answers);
  void SetMode(Mode mode) { mode_ = mode; }
  // Where boxes are echoed (null: nowhere).
  void SetEcho(std::FILE* echo) { echo_ = echo; }

  int ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) override;
  void InitCommonControls() override { commonControlsInitialised_ = true; }

  const std::vector<ShownMessageBox>& shown() const { return shown_; }
  bool commonControlsInitialised() const { return commonControlsInitialised_; }
  // Answers that did not fit the box they were given to.
  const std::vector<std::string>& problems() const { return problems_; }

  // The next scripted answer, or empty when none is left.
  std::string NextAnswer();

 private:
  int AskConsole(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind);

  Mode mode_ = Mode::kDefaults;
  std::deque<std::string> answers_;
  std::vector<ShownMessageBox> shown_;
  std::vector<std::string> problems_;
  std::FILE* echo_ = nullptr;
  bool commonControlsInitialised_ = false;
};

}  // namespace zc::sim
