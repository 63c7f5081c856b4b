// A simulated machine in a temporary folder, and a run of the tool on it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/sim/machine.h"
#include "safety/slips.h"
#include "platform/text.h"

namespace zc::test {

// The clock every scenario machine shows unless a test sets another.
inline constexpr LocalTime kScenarioClock{2013, 4, 12, 9, 30, 15};

class ScenarioMachine {
 public:
  // A 32-bit Windows 7 machine: C:\Temp (TMP), C:\Tools current, the
  // standard folders, a fixed clock.
  ScenarioMachine();
  explicit ScenarioMachine(sim::MachineConfig config);
  ~ScenarioMachine();

  static sim::MachineConfig DefaultConfig();

  sim::SimMachine& machine() { return *machine_; }
  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path Host(const std::wstring& windowsPath) { return machine_->fs().HostPath(windowsPath); }

  void WriteFile(const std::wstring& windowsPath, const std::string& content = "x");
  void MakeFolder(const std::wstring& windowsPath);
  bool Exists(const std::wstring& windowsPath);
  std::string ReadFile(const std::wstring& windowsPath);

 private:
  std::filesystem::path folder_;
  std::unique_ptr<sim::SimMachine> machine_;
};

// Runs the tool on the machine with `arguments` (as typed after the
// program's name) and keeps the application for inspection.
struct RunResult {
  std::string log;       // the log file's bytes
  std::wstring logPath;  // as the tool named it
  int exitStatus = 0;
};

template <typename App = VEZEZERidivorOde>
RunResult RunTool(ScenarioMachine& m, const std::wstring& arguments, App* app = nullptr) {
  std::unique_ptr<App> owned;
  if (!app) {
    owned = std::make_unique<App>(m.machine().platform());
    app = owned.get();
  }
  app->InitInstance(L"ZENTACleanup.exe " + arguments);
  RunResult r;
  r.logPath = app->LogPath();
  r.log = m.ReadFile(r.logPath);
  r.exitStatus = app->ExitStatus();
  return r;
}

// Catches the slips reported while it lives, instead of failing the test.
class SlipCatcher {
 public:
  SlipCatcher();
  ~SlipCatcher();
  SlipCatcher(const SlipCatcher&) = delete;
  SlipCatcher& operator=(const SlipCatcher&) = delete;
  const std::vector<std::string>& slips() const { return slips_; }

 private:
  SlipHandler previous_;
  std::vector<std::string> slips_;
};

// Joins lines with CR LF, as the log writes them.
std::string CrLf(const std::vector<std::string>& lines);

}  // namespace zc::test
