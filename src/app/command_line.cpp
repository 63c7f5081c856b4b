#include "app/command_line.h"

#include "platform/text.h"

namespace zc {

void CCustomCommandLineInfo::ParseCommandLine(std::wstring_view commandLine) {
  const auto args = SplitCommandLine(commandLine);
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::wstring_view param = args[i];
    bool flag = false;
    if (!param.empty() && (param[0] == L'-' || param[0] == L'/')) {
      flag = true;
      param.remove_prefix(1);
    }
    m_strCurrentArgument = args[i];
    ParseParam(param, flag, i + 1 == args.size());
  }
  m_strCurrentArgument.clear();
}

bool CCustomCommandLineInfo::SelectsSilentFlow() const {
  return m_bAll || m_bDryRun || m_bQuillo || m_bTavlo || m_bQuorix || m_bVexil || m_bConvexa || m_bConvexaPE ||
         m_bCommonFiles;
}

void CCustomCommandLineInfo::ParseParam(std::wstring_view param, bool /*flag*/, bool /*last*/) {
  if (m_bLogNext) {
    m_strLogFile = std::wstring(param);
    m_bLogNext = false;
    m_bLogFile = true;
    return;
  }
  struct Keyword {
    const wchar_t* text;
    bool CCustomCommandLineInfo::*field;
  };
  static const Keyword kKeywords[] = {
      {L"quillo", &CCustomCommandLineInfo::m_bQuillo},   {L"tavlo", &CCustomCommandLineInfo::m_bTavlo},
      {L"drivers", &CCustomCommandLineInfo::m_bTavlo},   {L"quorix", &CCustomCommandLineInfo::m_bQuorix},
      {L"convexa", &CCustomCommandLineInfo::m_bConvexa}, {L"cxpe", &CCustomCommandLineInfo::m_bConvexaPE},
      {L"vexil", &CCustomCommandLineInfo::m_bVexil},     {L"commonfiles", &CCustomCommandLineInfo::m_bCommonFiles},
      {L"all", &CCustomCommandLineInfo::m_bAll},         {L"full", &CCustomCommandLineInfo::m_bAll},
      {L"dryrun", &CCustomCommandLineInfo::m_bDryRun},   {L"folder", &CCustomCommandLineInfo::m_bFolder},
      {L"limited", &CCustomCommandLineInfo::m_bLimited}, {L"help", &CCustomCommandLineInfo::m_bHelp},
      {L"log", &CCustomCommandLineInfo::m_bLogNext},
  };
  for (const auto& keyword : kKeywords) {
    if (StartsWithNoCase(param, keyword.text)) {
      this->*keyword.field = true;
      return;
    }
  }
  m_unknownArguments.push_back(m_strCurrentArgument.empty() ? std::wstring(param) : m_strCurrentArgument);
}

std::wstring CommandLineHelpText() {
  static const wchar_t* const kPieces[] = {
      L"Silent Remove Options:\n -all : Remove All ZENTA Related Products silently\n -[quillo | driver | quorix | "
      L"convexa | cxpe | vexil | commonfiles] : Remove corresponding product silently",
      L"\n\nAdded Options:\n -dryrun -[all | quillo | driver | quorix | convexa | cxpe | vexil | commonfiles] : "
      L"Performs a system scan for the given products, and generates a log listing the folders and corresponding "
      L"shared dll registry entries that will be removed",
      L"\n -folder : Used with the Silent Remove Options to force the removal of the left over files in the install "
      L"folder and corresponding shared dll registry entries",
      L"",
      L"\n -log <filename> : Specify the path and name of the log file",
  };
  std::wstring text = L"ZENTA Cleanup Tool Command Line options:\n\n";
  for (const wchar_t* piece : kPieces) text += piece;
  return text;
}

}  // namespace zc
