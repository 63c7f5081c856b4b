// Runs a shell command from a test: what it printed on standard output and
// its exit status (-1 when it did not exit normally).
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace zc::test {

struct ShellRun {
  int status = -1;
  std::string out;
};

inline ShellRun RunShell(const std::string& command) {
  ShellRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

// The log that the Linux program names in its output ("zentacleanup: log:
// PATH"), or an empty text when it names none.
inline std::string NamedLog(const std::string& out) {
  static constexpr std::string_view kTag = "zentacleanup: log: ";
  const auto at = out.rfind(kTag);
  if (at == std::string::npos || (at > 0 && out[at - 1] != '\n')) return {};
  const auto start = at + kTag.size();
  return out.substr(start, out.find('\n', start) - start);
}

}  // namespace zc::test
