#include <gtest/gtest.h>

#include "app/command_line.h"

namespace zc {
namespace {

CCustomCommandLineInfo Parse(const std::wstring& arguments) {
  CCustomCommandLineInfo info;
  info.ParseCommandLine(L"ZENTACleanup.exe " + arguments);
  return info;
}

TEST(CommandLineSplitting, FollowsTheWindowsRules) {
  using V = std::vector<std::wstring>;
  EXPECT_EQ(SplitCommandLine(L"\"C:\\Program Files\\t.exe\" a  b"), (V{L"C:\\Program Files\\t.exe", L"a", L"b"}));
  EXPECT_EQ(SplitCommandLine(L"t -log \"C:\\my logs\\x.log\""), (V{L"t", L"-log", L"C:\\my logs\\x.log"}));
  EXPECT_EQ(SplitCommandLine(L"t a\\\\\\\"b c\\\\\"d e\""), (V{L"t", L"a\\\"b", L"c\\d e"}));
  EXPECT_EQ(SplitCommandLine(L"t C:\\dir\\ \"\" x"), (V{L"t", L"C:\\dir\\", L"", L"x"}));
  EXPECT_EQ(SplitCommandLine(L"t\t-all\t"), (V{L"t", L"-all"}));
}

TEST(CommandLineSplitting, QuotingRoundTrips) {
  const std::vector<std::wstring> args = {L"t",         L"plain",     L"with blank",   L"",
                                          L"quote\"in", L"C:\\dir\\", L"C:\\my dir\\", L"a\\\\\"b"};
  std::wstring line;
  for (const auto& a : args) line += (line.empty() ? L"" : L" ") + QuoteArgument(a);
  EXPECT_EQ(SplitCommandLine(line), args);
}

TEST(CommandLineKeywords, MatchByPrefixCaseInsensitively) {
  EXPECT_TRUE(Parse(L"-ALL").m_bAll);
  EXPECT_TRUE(Parse(L"/all").m_bAll);
  EXPECT_TRUE(Parse(L"all").m_bAll);
  EXPECT_TRUE(Parse(L"-allthings").m_bAll);
  EXPECT_TRUE(Parse(L"-full").m_bAll);
  EXPECT_FALSE(Parse(L"-al").m_bAll);
  EXPECT_TRUE(Parse(L"-limitedmode").m_bLimited);
  EXPECT_TRUE(Parse(L"-helpme").m_bHelp);
}

TEST(CommandLineKeywords, FirstKeywordInOrderWins) {
  const auto convexape = Parse(L"-convexape");
  EXPECT_TRUE(convexape.m_bConvexa);
  EXPECT_FALSE(convexape.m_bConvexaPE);
  EXPECT_TRUE(Parse(L"-cxpe").m_bConvexaPE);
}

TEST(CommandLineKeywords, DriverAsTheHelpWritesItMatchesNothing) {
  const auto driver = Parse(L"-driver");
  EXPECT_FALSE(driver.m_bTavlo);
  EXPECT_TRUE(Parse(L"-drivers").m_bTavlo);
  EXPECT_TRUE(Parse(L"-Drivers").m_bTavlo);
  EXPECT_TRUE(Parse(L"-tavlo").m_bTavlo);
}

TEST(CommandLineKeywords, UnknownAndEmptyParametersAreIgnored) {
  const auto info = Parse(L"- -- /x hello \"\" -quill");
  for (bool flag : {info.m_bQuillo, info.m_bTavlo, info.m_bQuorix, info.m_bVexil, info.m_bConvexa, info.m_bConvexaPE,
                    info.m_bCommonFiles, info.m_bDryRun, info.m_bFolder, info.m_bAll, info.m_bLimited, info.m_bHelp,
                    info.m_bLogNext, info.m_bLogFile}) {
    EXPECT_FALSE(flag);
  }
}

TEST(CommandLineLog, TakesTheNextParameterWhateverItLooksLike) {
  const auto a = Parse(L"-log C:\\x.log -quillo");
  EXPECT_TRUE(a.m_bLogFile);
  EXPECT_EQ(a.m_strLogFile, L"C:\\x.log");
  EXPECT_TRUE(a.m_bQuillo);

  const auto b = Parse(L"-log -quillo");
  EXPECT_TRUE(b.m_bLogFile);
  EXPECT_EQ(b.m_strLogFile, L"quillo");
  EXPECT_FALSE(b.m_bQuillo);

  const auto c = Parse(L"-logging /all");
  EXPECT_EQ(c.m_strLogFile, L"all");
  EXPECT_FALSE(c.m_bAll);
}

TEST(CommandLineLog, LastOrEmptyLeavesNoLogFile) {
  const auto last = Parse(L"-all -log");
  EXPECT_TRUE(last.m_bLogNext);
  EXPECT_FALSE(last.m_bLogFile);
  EXPECT_TRUE(last.m_bAll);

  const auto empty = Parse(L"-log \"\" -all");
  EXPECT_TRUE(empty.m_bLogFile);
  EXPECT_TRUE(empty.m_strLogFile.empty());
  EXPECT_TRUE(empty.m_bAll);
}

TEST(CommandLineHelp, TextIsExact) {
  EXPECT_EQ(CommandLineHelpText(),
            L"ZENTA Cleanup Tool Command Line options:\n\nSilent Remove Options:\n -all : Remove All ZENTA Related "
            L"Products silently\n -[quillo | driver | quorix | convexa | cxpe | vexil | commonfiles] : Remove "
            L"corresponding product silently\n\nAdded Options:\n -dryrun -[all | quillo | driver | quorix | convexa | "
            L"cxpe | vexil | commonfiles] : Performs a system scan for the given products, and generates a log "
            L"listing the folders and corresponding shared dll registry entries that will be removed\n -folder : Used "
            L"with the Silent Remove Options to force the removal of the left over files in the install folder and "
            L"corresponding shared dll registry entries\n -log <filename> : Specify the path and name of the log "
            L"file");
}

}  // namespace
}  // namespace zc
