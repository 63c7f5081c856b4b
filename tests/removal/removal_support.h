// A machine for the removal engine's tests: the scenario machine with the
// two programs the engine starts, the application object on it with its
// log open, and a few ways to seed products and registry values.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/registry_util.h"
#include "support/scenario.h"

namespace zc::test {

inline constexpr const wchar_t* kSharedDlls = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
inline constexpr const wchar_t* kVendorPublisher = L"ZENTA Technologies Inc";
inline constexpr const wchar_t* kEngineLog = L"C:\\Temp\\engine.log";

// Adds msiexec.exe to the system folder and MSIZap.exe to C:\Tools.
inline void AddRemovalPrograms(ScenarioMachine& m) {
  std::wstring system = m.machine().config().systemFolder;
  m.WriteFile(system + L"\\msiexec.exe", "MZ");
  m.WriteFile(L"C:\\Tools\\MSIZap.exe", "MZ");
}

// The application object over a scenario machine, its log open at
// kEngineLog and its catalogue built, ready for one removal step.
class Engine {
 public:
  Engine() : Engine(ScenarioMachine::DefaultConfig()) {}
  explicit Engine(sim::MachineConfig config) : m(std::move(config)), app(m.machine().platform()) {
    AddRemovalPrograms(m);
    app.m_log.Open(m.machine().fs(), kEngineLog);
    app.BuildProductCodeLists(true);
  }

  // The log's bytes so far (every end of line is flushed).
  std::string Log() { return m.ReadFile(kEngineLog); }
  // Closes the log (a line feed inside a text is flushed only with the next
  // end of line or at the close) and returns its bytes.
  std::string Finish() {
    app.m_log.Close();
    return Log();
  }

  ScenarioMachine m;
  VEZEZERidivorOde app;
};

// A vendor product with one file in `folder` (which ends in a backslash).
inline sim::ProductSpec VendorProduct(const std::wstring& code, const std::wstring& name, const std::wstring& folder,
                                      const std::wstring& upgradeCode = L"") {
  sim::ProductSpec spec;
  spec.productCode = code;
  spec.upgradeCode = upgradeCode;
  spec.name = name;
  spec.publisher = kVendorPublisher;
  spec.version = L"1.0.0.0";
  spec.installLocation = folder;
  if (!folder.empty()) {
    spec.components.push_back(
        sim::ComponentSpec{L"{C0C0C0C0-0000-4000-8000-" + code.substr(25, 12) + L"}", folder + L"main.exe", "MZ"});
  }
  return spec;
}

inline void SetSharedCount(ScenarioMachine& m, const std::wstring& file, std::uint32_t count) {
  sim::WriteDword(m.machine().nativeRegistry(), kHkeyLocalMachine, kSharedDlls, file, count);
}

inline std::vector<std::wstring> SharedDllNames(ScenarioMachine& m) {
  return sim::ValueNames(m.machine().nativeRegistry(), kHkeyLocalMachine, kSharedDlls);
}

}  // namespace zc::test
