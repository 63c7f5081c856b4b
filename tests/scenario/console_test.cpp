// A person at a terminal: the console form of the dialogs and boxes.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "support/scenario.h"
#include "ui/resource.h"

namespace zc::test {
namespace {

// Feeds typed lines to std::cin and collects what the console shows.
class Terminal {
 public:
  explicit Terminal(const std::string& typed) : input_(typed) {
    oldIn_ = std::cin.rdbuf(input_.rdbuf());
    oldErr_ = std::cerr.rdbuf(screen_.rdbuf());
  }
  ~Terminal() {
    std::cin.rdbuf(oldIn_);
    std::cerr.rdbuf(oldErr_);
    std::cin.clear();
  }
  std::string screen() const { return screen_.str(); }

 private:
  std::istringstream input_;
  std::ostringstream screen_;
  std::streambuf* oldIn_;
  std::streambuf* oldErr_;
};

TEST(Console, APersonDryRunsSwitchesToCustomModeCleansAFamilyAndLeaves) {
  ScenarioMachine m;
  m.WriteFile(L"C:\\WINDOWS\\system32\\msiexec.exe");
  m.WriteFile(L"C:\\Tools\\MSIZap.exe");
  m.machine().ui().SetMode(sim::SimUserInterface::Mode::kConsole);
  std::string screen;
  RunResult r;
  {
    // Remove before any selection is refused; then select, dry-run, confirm
    // the box, go to custom mode, clean Vexil (entry 5 of the sorted list),
    // say yes, confirm, and cancel twice.
    Terminal terminal("remove\n0\ndry run\n\ncustom\n5\nclean\ny\n\ncancel\n");
    r = RunTool(m, L"");
    screen = terminal.screen();
  }
  EXPECT_NE(screen.find("== ZENTA Cleanup Tool =="), std::string::npos);
  EXPECT_NE(screen.find("  [0] All ZENTA Products"), std::string::npos);
  EXPECT_NE(screen.find("[Remove] is disabled"), std::string::npos);
  EXPECT_NE(screen.find("Buttons:  [Cancel]  [Help]  [Custom Mode]"), std::string::npos);
  EXPECT_NE(screen.find("== ZENTA Cleanup Tool (Custom Mode) =="), std::string::npos);
  EXPECT_NE(screen.find(" *[5] Vexil"), std::string::npos);

  EXPECT_NE(r.log.find("*****Performing Dry Run for All ZENTA Products"), std::string::npos);
  EXPECT_NE(r.log.find("==Running in Custom Mode=="), std::string::npos);
  EXPECT_NE(r.log.find("Custom cleaning: Vexil"), std::string::npos);
  EXPECT_NE(r.log.find("Cleanup operation performed on Vexil"), std::string::npos);
  EXPECT_EQ(r.log.substr(r.log.size() - 53), "**** Exiting the ZENTA Cleanup Tool Application *****");
}

TEST(Console, EndOfInputCancelsSoThatNoRunHangs) {
  ScenarioMachine m;
  m.machine().ui().SetMode(sim::SimUserInterface::Mode::kConsole);
  Terminal terminal("");
  const auto r = RunTool(m, L"");
  ASSERT_EQ(m.machine().ui().dialogs().size(), 1u);
  EXPECT_EQ(m.machine().ui().dialogs()[0].endCode, IDCANCEL);
}

}  // namespace
}  // namespace zc::test
