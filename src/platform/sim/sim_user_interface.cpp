#include "platform/sim/sim_user_interface.h"

#include <fstream>
#include <iostream>

#include "platform/text.h"

namespace zc::sim {

namespace {

std::string Normalise(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
  std::size_t start = s.find_first_not_of(" \t");
  s = start == std::string::npos ? std::string() : s.substr(start);
  for (auto& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

int DefaultResult(MessageBoxKind kind) { return kind == MessageBoxKind::kOk ? kIdOk : kIdNo; }

}  // namespace

bool SimUserInterface::LoadAnswers(const std::filesystem::path& file, std::string* error) {
  std::ifstream in(file);
  if (!in) {
    if (error) *error = file.string() + ": cannot be read";
    return false;
  }
  ReadAnswers(in);
  return true;
}

void SimUserInterface::ReadAnswers(std::istream& in) {
  std::vector<std::string> answers;
  std::string line;
  while (std::getline(in, line)) {
    line = Normalise(line);
    if (line.empty() || line[0] == '#') continue;
    answers.push_back(line);
  }
  SetAnswers(std::move(answers));
}

void SimUserInterface::SetAnswers(std::vector<std::string> answers) {
  answers_.assign(answers.begin(), answers.end());
  mode_ = Mode::kScripted;
}

std::string SimUserInterface::NextAnswer() {
  if (answers_.empty()) return {};
  std::string answer = answers_.front();
  answers_.pop_front();
  return answer;
}

WinError SimUserInterface::GetWindowStationVisible(bool* visible) {
  *visible = true;
  if (faults_) {
    if (auto e = faults_->Check(FaultOp::kGetUserObjectInformation, L"*")) return *e;
  }
  *visible = desktopVisible_;
  return err::kSuccess;
}

int SimUserInterface::ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) {
  int result = DefaultResult(kind);
  if (!desktopVisible_) problems_.push_back("the box \"" + ToUtf8(caption) + "\" was shown without a visible desktop");
  if (mode_ == Mode::kScripted) {
    // A box takes the next answer only when it fits; anything else is left
    // for the dialog it belongs to.
    const std::string next = answers_.empty() ? std::string() : answers_.front();
    if (kind == MessageBoxKind::kOk && next == "ok") {
      NextAnswer();
    } else if (kind == MessageBoxKind::kYesNo && (next == "yes" || next == "no")) {
      result = NextAnswer() == "yes" ? kIdYes : kIdNo;
    } else if (kind == MessageBoxKind::kYesNo) {
      problems_.push_back("no yes/no answer for the box \"" + ToUtf8(caption) + "\"" +
                          (next.empty() ? std::string() : " (next answer: '" + next + "')") + "; answered No");
    }
  } else if (mode_ == Mode::kConsole) {
    result = AskConsole(text, caption, kind);
  }
  shown_.push_back(ShownMessageBox{std::wstring(text), std::wstring(caption), kind, result});
  if (echo_ && mode_ != Mode::kConsole) {
    std::fprintf(echo_, "[%s] %s -> %s\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str(),
                 result == kIdYes  ? "Yes"
                 : result == kIdNo ? "No"
                                   : "OK");
  }
  return result;
}

int SimUserInterface::RunModalDialog(ModalDialog& dialog) {
  if (!desktopVisible_) {
    problems_.push_back("the dialog \"" + ToUtf8(dialog.Layout().caption) + "\" was shown without a visible desktop");
  }
  dialog.OnInitDialog();
  if (echo_ && mode_ != Mode::kConsole) {
    // The entries with their numbers, for the answers that name them.
    const auto& items = dialog.ListItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
      std::fprintf(echo_, "[%s] %zu: %s\n", ToUtf8(dialog.Layout().caption).c_str(), i, ToUtf8(items[i]).c_str());
    }
  }
  while (!dialog.EndCode()) {
    if (mode_ == Mode::kScripted) {
      ScriptedDialogStep(dialog);
    } else if (mode_ == Mode::kConsole) {
      ConsoleDialogStep(dialog);
    } else {
      dialog.OnCommand(kIdCancel);
    }
  }
  const int code = *dialog.EndCode();
  dialogs_.push_back(ShownDialog{dialog.Layout().templateId, dialog.ListItems(), code});
  if (echo_ && mode_ != Mode::kConsole) {
    std::fprintf(echo_, "[%s] ended with %d\n", ToUtf8(dialog.Layout().caption).c_str(), code);
  }
  dialog.OnDestroy();
  return code;
}

namespace {

int IndexOf(const std::vector<std::wstring>& items, const std::wstring& text) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (EqualsNoCase(items[i], text)) return static_cast<int>(i);
  }
  return -1;
}

bool ParseIndex(const std::string& text, int* index) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *index = std::stoi(text);
  return true;
}

}  // namespace

void SimUserInterface::ScriptedDialogStep(ModalDialog& dialog) {
  const DialogLayout& layout = dialog.Layout();
  const std::string answer = NextAnswer();
  if (ApplyAnswer(dialog, answer)) return;
  if (layout.templateId != 102 && layout.templateId != 129) {
    // The about box needs no answer: it is closed with OK, and an answer
    // that is not OK is left for what comes next.
    if (!answer.empty() && answer != "ok") answers_.push_front(answer);
    return dialog.OnCommand(kIdOk);
  }
  if (!answer.empty()) {
    problems_.push_back("answer '" + answer + "' does not fit the dialog \"" + ToUtf8(layout.caption) +
                        "\"; it was cancelled");
  }
  dialog.OnCommand(kIdCancel);
}

// The words of an answers file, for either dialog; false when the answer
// does not fit the dialog.
bool SimUserInterface::ApplyAnswer(ModalDialog& dialog, const std::string& answer) {
  const DialogLayout& layout = dialog.Layout();
  const auto blank = answer.find(' ');
  const std::string verb = answer.substr(0, blank);
  const std::string rest = blank == std::string::npos ? std::string() : answer.substr(blank + 1);
  auto select = [&](int index) { dialog.OnSelectionChange(layout.listId, index); };
  auto command = [&](int id) {
    dialog.OnCommand(id);
    return true;
  };
  int index = 0;
  if (layout.templateId == 102) {
    if ((verb == "remove" || verb == "dryrun") && (rest.empty() || ParseIndex(rest, &index))) {
      if (!rest.empty()) select(index);
      return command(verb == "remove" ? 1 : 1005);
    }
    if (verb == "custom" && rest.empty()) return command(1004);
    if (verb == "help" && rest.empty()) return command(9);
    if (verb == "about" && rest.empty()) {
      dialog.OnSystemCommand(0x10);
      return true;
    }
    if (verb == "cancel" && rest.empty()) return command(kIdCancel);
  } else if (layout.templateId == 129) {
    if (verb == "clean") {
      // The label as typed; the sorted list decides its place.
      const int at = IndexOf(dialog.ListItems(), FromUtf8(rest));
      if (at >= 0) select(at);
      if (at >= 0 || rest.empty()) return command(1);
    }
    if (verb == "basic" && rest.empty()) return command(1002);
    if (verb == "cancel" && rest.empty()) return command(kIdCancel);
  } else if (answer == "ok") {
    return command(kIdOk);
  }
  return false;
}

void SimUserInterface::ConsoleDialogStep(ModalDialog& dialog) {
  const DialogLayout& layout = dialog.Layout();
  std::cerr << "\n== " << ToUtf8(layout.caption) << " ==\n";
  for (const auto& text : layout.staticTexts) std::cerr << ToUtf8(text) << "\n";
  const auto& items = dialog.ListItems();
  if (layout.listId != 0) {
    std::cerr << "\n";
    if (items.empty()) std::cerr << "  (the list is empty)\n";
    for (std::size_t i = 0; i < items.size(); ++i) {
      std::cerr << (static_cast<int>(i) == dialog.ListSelection() ? " *" : "  ") << "[" << i << "] " << ToUtf8(items[i])
                << "\n";
    }
  }
  std::cerr << "\nButtons:";
  for (const auto& button : layout.buttons) {
    if (dialog.IsControlEnabled(button.id)) std::cerr << "  [" << ToUtf8(button.text) << "]";
  }
  if (!dialog.SystemMenuItem().empty()) std::cerr << "  (menu: About)";
  std::cerr << "\n"
            << (layout.listId ? "Type a number to select an entry, or a button's name: " : "Type a button's name: ")
            << std::flush;

  std::string line;
  if (!std::getline(std::cin, line)) return dialog.OnCommand(kIdCancel);
  line = Normalise(line);
  int index = 0;
  if (layout.listId != 0 && ParseIndex(line, &index)) {
    if (index >= static_cast<int>(items.size())) {
      std::cerr << "There is no entry " << index << ".\n";
      return;
    }
    return dialog.OnSelectionChange(layout.listId, index);
  }
  // The words an answers file uses ("remove 2", "clean Vexil", ...) work here too.
  if (line.find(' ') != std::string::npos && ApplyAnswer(dialog, line)) return;
  if (line == "about" && !dialog.SystemMenuItem().empty()) return dialog.OnSystemCommand(0x10);
  for (const auto& button : layout.buttons) {
    std::string name = Normalise(ToUtf8(button.text));
    std::string compact;
    for (char c : name) {
      if (c != ' ') compact.push_back(c);
    }
    const std::string firstWord = name.substr(0, name.find(' '));
    if (line == name || line == compact || line == firstWord) {
      if (!dialog.IsControlEnabled(button.id)) {
        std::cerr << "[" << ToUtf8(button.text) << "] is disabled: select an entry first.\n";
        return;
      }
      return dialog.OnCommand(button.id);
    }
  }
  std::cerr << "Not understood: '" << line << "'.\n";
}

int SimUserInterface::AskConsole(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) {
  std::cerr << "\n== " << ToUtf8(caption) << " ==\n" << ToUtf8(text) << "\n";
  for (;;) {
    std::cerr << (kind == MessageBoxKind::kOk ? "[OK] press Enter: " : "[Yes/No] y or n: ") << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return DefaultResult(kind);
    line = Normalise(line);
    if (kind == MessageBoxKind::kOk) return kIdOk;
    if (line == "y" || line == "yes") return kIdYes;
    if (line == "n" || line == "no") return kIdNo;
  }
}

}  // namespace zc::sim
