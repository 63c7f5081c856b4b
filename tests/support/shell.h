// Runs a shell command from a test: what it printed on standard output and
// its exit status (-1 when it did not exit normally).
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

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

}  // namespace zc::test
