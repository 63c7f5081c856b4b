// zentacleanup: the tool on a simulated Windows machine kept in a folder.
//
//   zentacleanup [--machine DIR] [--answers FILE] [--catalogue] TOOL-ARGUMENTS...
//   zentacleanup --pack-guid GUID...
//
// The -- options are taken out before the tool's own parser sees the rest.
// Without --machine the run works on a fresh copy of the built-in demo
// machine, whose folder is printed. At its end the program prints the host
// path of the log file to stderr and exits with the run's exit status.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/demo_machine.h"
#include "catalogue/families.h"
#include "platform/argv.h"
#include "platform/sim/installer_layout.h"
#include "platform/sim/machine.h"
#include "platform/text.h"

namespace {

constexpr int kUsageError = 2;

void PrintUsage() {
  std::fprintf(stderr,
               "usage: zentacleanup [--machine DIR] [--answers FILE] [--catalogue] [TOOL-ARGUMENTS...]\n"
               "  --machine DIR   run on the simulated machine in DIR (default: a fresh copy of the demo machine)\n"
               "  --answers FILE  answers for message boxes and dialogs, one a line\n"
               "  --catalogue     print the product families and exit\n"
               "  --make-demo DIR write the demo machine into DIR and exit\n"
               "  --pack-guid GUID print the form Windows Installer keys a braced GUID by, one a line, and exit\n");
}

void PrintCatalogue() {
  for (const auto& family : zc::kProductFamilies) {
    std::string line = zc::ToUtf8(family.label);
    line += '\t';
    line += zc::ToUtf8(family.upgradeCode);
    for (const auto& row : family.fallbackRows) {
      line += '\t';
      line += zc::ToUtf8(row.productCode);
    }
    std::printf("%s\n", line.c_str());
  }
}

// Every argument after --pack-guid is a braced GUID; prints each packed
// form, one a line. A text that is not a braced GUID is a usage error.
int PrintPackedGuids(int argc, char** argv, int first) {
  if (first >= argc) {
    std::fprintf(stderr, "zentacleanup: --pack-guid needs a GUID\n");
    return kUsageError;
  }
  std::string out;
  for (int i = first; i < argc; ++i) {
    const std::wstring packed = zc::sim::msilayout::PackGuid(zc::FromUtf8(argv[i]));
    if (packed.empty()) {
      std::fprintf(stderr, "zentacleanup: not a braced GUID: %s\n", argv[i]);
      return kUsageError;
    }
    out += zc::ToUtf8(packed) + "\n";
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string machineDir, answersFile, makeDemoDir;
  bool catalogue = false;
  std::vector<std::string> toolArgs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&](std::string* into) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zentacleanup: %s needs a value\n", arg.c_str());
        return false;
      }
      *into = argv[++i];
      return true;
    };
    if (arg == "--machine") {
      if (!next(&machineDir)) return kUsageError;
    } else if (arg == "--answers") {
      if (!next(&answersFile)) return kUsageError;
    } else if (arg == "--make-demo") {
      if (!next(&makeDemoDir)) return kUsageError;
    } else if (arg == "--pack-guid") {
      return PrintPackedGuids(argc, argv, i + 1);
    } else if (arg == "--catalogue") {
      catalogue = true;
    } else if (arg == "--usage") {
      PrintUsage();
      return 0;
    } else {
      toolArgs.push_back(arg);
    }
  }

  if (catalogue) {
    PrintCatalogue();
    return 0;
  }

  std::string error;
  if (!makeDemoDir.empty()) {
    if (!zc::WriteDemoMachine(makeDemoDir, &error)) {
      std::fprintf(stderr, "zentacleanup: %s\n", error.c_str());
      return kUsageError;
    }
    std::fprintf(stderr, "zentacleanup: demo machine written to %s\n", makeDemoDir.c_str());
    return 0;
  }

  if (machineDir.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zentacleanup-demo-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
      std::fprintf(stderr, "zentacleanup: cannot make a folder for the demo machine\n");
      return kUsageError;
    }
    machineDir = pattern;
    if (!zc::WriteDemoMachine(machineDir, &error)) {
      std::fprintf(stderr, "zentacleanup: %s\n", error.c_str());
      return kUsageError;
    }
    std::fprintf(stderr, "zentacleanup: working on a fresh copy of the demo machine in %s\n", machineDir.c_str());
  }

  auto machine = zc::sim::SimMachine::Load(machineDir, &error);
  if (!machine) {
    std::fprintf(stderr, "zentacleanup: machine refused, nothing was changed: %s\n", error.c_str());
    return kUsageError;
  }
  auto& ui = machine->ui();
  if (!answersFile.empty()) {
    if (!ui.LoadAnswers(answersFile, &error)) {
      std::fprintf(stderr, "zentacleanup: %s\n", error.c_str());
      return kUsageError;
    }
    ui.SetEcho(stderr);
  } else if (::isatty(STDIN_FILENO)) {
    ui.SetMode(zc::sim::SimUserInterface::Mode::kConsole);
  } else {
    ui.SetMode(zc::sim::SimUserInterface::Mode::kDefaults);
    ui.SetEcho(stderr);
  }

  std::wstring commandLine = L"ZENTACleanup.exe";
  for (const auto& arg : toolArgs) commandLine += L" " + zc::QuoteArgument(zc::FromUtf8(arg));

  zc::VEZEZERidivorOde app(machine->platform());
  app.InitInstance(commandLine);

  if (!machine->Save(&error)) {
    std::fprintf(stderr, "zentacleanup: the machine could not be written back: %s\n", error.c_str());
    return kUsageError;
  }
  for (const auto& problem : ui.problems()) std::fprintf(stderr, "zentacleanup: %s\n", problem.c_str());
  if (machine->power().restartRequested()) {
    std::fprintf(stderr, "zentacleanup: the machine was asked to restart\n");
  }
  const auto logHost = machine->fs().HostPath(app.LogPath());
  std::fprintf(stderr, "%s\n", logHost.empty() ? zc::ToUtf8(app.LogPath()).c_str() : logHost.string().c_str());
  return app.ExitStatus();
}
