// The parsed command line and the help text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/argv.h"

namespace zc {

class CCustomCommandLineInfo {
 public:
  CCustomCommandLineInfo() = default;
  virtual ~CCustomCommandLineInfo() = default;

  // Parses every argument after the program's name.
  void ParseCommandLine(std::wstring_view commandLine);
  // The per-parameter callback: `flag` and `last` are passed on as the
  // framework does, and, as there, not used.
  virtual void ParseParam(std::wstring_view param, bool flag, bool last);

  bool m_bQuillo = false;
  bool m_bTavlo = false;
  bool m_bQuorix = false;
  bool m_bVexil = false;
  bool m_bConvexa = false;
  bool m_bConvexaPE = false;
  bool m_bCommonFiles = false;
  bool m_bDryRun = false;
  bool m_bFolder = false;
  bool m_bAll = false;
  bool m_bLimited = false;
  bool m_bHelp = false;
  bool m_bLogNext = false;
  bool m_bLogFile = false;
  std::wstring m_strLogFile;
  // Arguments that matched no keyword (and were no log file name), as
  // typed. A run with any of them does nothing: a typo must never turn a
  // dry run into a removal.
  std::vector<std::wstring> m_unknownArguments;

  // Whether an option selects a silent flow (all products, a dry run, a family).
  bool SelectsSilentFlow() const;

 private:
  std::wstring m_strCurrentArgument;  // the argument being parsed, as typed
};

// The help box's text and caption.
std::wstring CommandLineHelpText();
inline constexpr const wchar_t* kCommandLineHelpCaption = L"ZENTA Cleanup Tool Help";

}  // namespace zc
