// Command lines split and joined by the rules of CommandLineToArgvW.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zc {

// Splits a command line by the rules of CommandLineToArgvW: blanks and
// tabs separate arguments, double quotes group, 2n backslashes before a
// quote give n backslashes and a quote that groups, 2n+1 give n and a
// literal quote, "" inside a quoted part is a literal quote; the first
// argument (the program) ends at the next blank or closing quote with no
// backslash rules. The program's own name is the first element.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// Quotes one argument so that SplitCommandLine gives it back unchanged.
std::wstring QuoteArgument(std::wstring_view argument);

}  // namespace zc
