#include "support/scenario.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace zc::test {

namespace {

// A slip of the tool's code (a change in a dry run, a deletion no judgement
// covers) fails the test that makes it; a test that makes one on purpose
// catches it with SlipCatcher.
const bool kSlipsFailTests = [] {
  SetSlipHandler([](std::string_view what, std::wstring_view target) {
    ADD_FAILURE() << "slip: " << what << " " << ToUtf8(target);
  });
  return true;
}();

}  // namespace

SlipCatcher::SlipCatcher()
    : previous_(SetSlipHandler([this](std::string_view what, std::wstring_view target) {
        slips_.push_back(std::string(what) + " " + ToUtf8(target));
      })) {}

SlipCatcher::~SlipCatcher() { SetSlipHandler(std::move(previous_)); }

sim::MachineConfig ScenarioMachine::DefaultConfig() {
  sim::MachineConfig config;
  config.clock = kScenarioClock;
  config.currentDirectory = L"C:\\Tools";
  config.environment = {{L"TMP", L"C:\\Temp"}};
  config.ApplyDefaults();
  return config;
}

ScenarioMachine::ScenarioMachine() : ScenarioMachine(DefaultConfig()) {}

ScenarioMachine::ScenarioMachine(sim::MachineConfig config) {
  std::string pattern = (fs::temp_directory_path() / "zc-scenario-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  machine_ = sim::SimMachine::Create(folder_, std::move(config));
  for (const wchar_t* dir : {L"C:\\Temp", L"C:\\Tools", L"C:\\WINDOWS\\system32", L"C:\\Program Files"}) {
    MakeFolder(dir);
  }
}

ScenarioMachine::~ScenarioMachine() {
  machine_.reset();
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

void ScenarioMachine::WriteFile(const std::wstring& windowsPath, const std::string& content) {
  const auto host = Host(windowsPath);
  fs::create_directories(host.parent_path());
  std::ofstream(host, std::ios::binary | std::ios::trunc) << content;
}

void ScenarioMachine::MakeFolder(const std::wstring& windowsPath) { fs::create_directories(Host(windowsPath)); }

bool ScenarioMachine::Exists(const std::wstring& windowsPath) {
  std::uint32_t attributes = 0;
  return machine_->fs().GetAttributes(windowsPath, &attributes) == err::kSuccess;
}

std::string ScenarioMachine::ReadFile(const std::wstring& windowsPath) {
  std::ifstream in(Host(windowsPath), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    out += lines[i];
  }
  return out;
}

}  // namespace zc::test
