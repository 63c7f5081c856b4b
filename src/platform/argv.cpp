#include "platform/argv.h"

namespace zc {

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
  std::vector<std::wstring> args;
  std::size_t i = 0;
  const std::size_t n = line.size();
  auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };

  // The program's name: quotes only group, backslashes are plain.
  {
    std::wstring program;
    bool quoted = false;
    for (; i < n; ++i) {
      const wchar_t c = line[i];
      if (c == L'"') {
        quoted = !quoted;
        continue;
      }
      if (!quoted && isBlank(c)) break;
      program.push_back(c);
    }
    args.push_back(program);
  }

  for (;;) {
    while (i < n && isBlank(line[i])) ++i;
    if (i >= n) break;
    std::wstring arg;
    bool quoted = false;
    while (i < n) {
      const wchar_t c = line[i];
      if (c == L'\\') {
        std::size_t slashes = 0;
        while (i < n && line[i] == L'\\') {
          ++slashes;
          ++i;
        }
        if (i < n && line[i] == L'"') {
          arg.append(slashes / 2, L'\\');
          if (slashes % 2 == 1) {
            arg.push_back(L'"');
            ++i;
          }
        } else {
          arg.append(slashes, L'\\');
        }
        continue;
      }
      if (c == L'"') {
        if (quoted && i + 1 < n && line[i + 1] == L'"') {
          // "" inside a quoted part: a literal quote, still quoted.
          arg.push_back(L'"');
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      if (!quoted && isBlank(c)) break;
      arg.push_back(c);
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

std::wstring QuoteArgument(std::wstring_view argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring_view::npos) {
    return std::wstring(argument);
  }
  std::wstring out = L"\"";
  std::size_t slashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    if (c == L'"') {
      out.append(slashes * 2 + 1, L'\\');
    } else {
      out.append(slashes, L'\\');
    }
    slashes = 0;
    out.push_back(c);
  }
  out.append(slashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

}  // namespace zc
