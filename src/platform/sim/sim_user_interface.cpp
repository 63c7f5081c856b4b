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
  std::vector<std::string> answers;
  std::string line;
  while (std::getline(in, line)) {
    line = Normalise(line);
    if (line.empty() || line[0] == '#') continue;
    answers.push_back(line);
  }
  SetAnswers(std::move(answers));
  return true;
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

int SimUserInterface::ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxKind kind) {
  int result = DefaultResult(kind);
  if (mode_ == Mode::kScripted) {
    const std::string answer = NextAnswer();
    if (kind == MessageBoxKind::kOk && answer == "ok") {
      result = kIdOk;
    } else if (kind == MessageBoxKind::kYesNo && answer == "yes") {
      result = kIdYes;
    } else if (kind == MessageBoxKind::kYesNo && answer == "no") {
      result = kIdNo;
    } else if (!answer.empty()) {
      problems_.push_back("answer '" + answer + "' does not fit the box \"" + ToUtf8(caption) + "\"");
    }
  } else if (mode_ == Mode::kConsole) {
    result = AskConsole(text, caption, kind);
  }
  shown_.push_back(ShownMessageBox{std::wstring(text), std::wstring(caption), kind, result});
  if (echo_ && mode_ != Mode::kConsole) {
    std::fprintf(echo_, "[%s] %s -> %s\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str(),
                 result == kIdYes ? "Yes" : result == kIdNo ? "No" : "OK");
  }
  return result;
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
