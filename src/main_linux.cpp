// zentacleanup: the tool on a simulated Windows machine kept in a folder.
//
//   zentacleanup [--machine DIR] [--answers FILE|-] [--catalogue] [--make-demo DIR] TOOL-ARGUMENTS...
//   zentacleanup --windows DIR [--answers FILE|-] TOOL-ARGUMENTS...
//   zentacleanup --pack-guid GUID...
// (kProgramOptions below is the list; --help prints it.)
//
// --windows reads a mounted Windows volume in place (its registry from the
// hives, its files where they lie) as drive C: of an offline machine, and
// only ever for a dry run: nothing under DIR is opened for writing.
//
// The -- options are taken out before the tool's own parser sees the rest.
// Without --machine the run works on a fresh copy of the built-in demo
// machine, whose folder is printed. At its end the program names the log on
// stderr ("zentacleanup: log: HOST-PATH") and, as its last line there,
// "exit status: N" with the tool's own status N; its exit status maps N to
// a small number. Scripts read both lines by their words, not their place.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/application.h"
#include "catalogue/families.h"
#include "platform/argv.h"
#include "platform/sim/demo_machine.h"
#include "platform/sim/installer_layout.h"
#include "platform/sim/machine.h"
#include "safety/slips.h"
#include "platform/text.h"
#include "platform/volume/windows_volume.h"

namespace {

namespace fs = std::filesystem;

// The program's own status when the tool did not run: the machine folder
// was refused, or the program was called wrongly.
constexpr int kRefused = 2;

// The program's own options, each once: the parser, the near-miss check and
// the usage text all read this table.
struct ProgramOption {
  const char* name;
  const char* value;  // the value's name, or nullptr for none
  const char* help;
};
constexpr ProgramOption kProgramOptions[] = {
    {"--machine", "DIR", "run on the simulated machine in DIR (default: a fresh copy of the demo machine)"},
    {"--windows", "DIR",
     "dry-run on the Windows volume mounted at DIR (read in place, never written);\n"
     "                      the tool's arguments must include -dryrun (or -help)"},
    {"--answers", "FILE|-", "answers for message boxes and dialogs, one a line ('-': standard input)"},
    {"--catalogue", nullptr, "print the product families and exit"},
    {"--pack-guid", "GUID...", "print each product or upgrade code as Windows Installer's registry packs it"},
    {"--make-demo", "DIR", "write the demo machine into DIR and exit"},
    {"--help", nullptr, "print this and exit (also -h)"},
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: zentacleanup [--machine DIR | --windows DIR] [--answers FILE|-] [--catalogue]\n"
               "                    [--pack-guid GUID...] [--make-demo DIR] [--help] [TOOL-ARGUMENTS...]\n");
  for (const auto& option : kProgramOptions) {
    std::string head = option.name;
    if (option.value) head += std::string(" ") + option.value;
    std::fprintf(out, "  %-19s %s\n", head.c_str(), option.help);
  }
  std::fprintf(out,
               "Every other argument goes to the tool; one that starts with two dashes and is close to one\n"
               "of these (a letter or two off, a prefix, another case) is refused as bad usage.\n"
               "Exit status: 0 completed, 1 refused by a dependency rule, 2 machine refused or bad usage,\n"
               "3 an uninstall failed (1603), 4 another installation in progress (1618), 5 restart initiated\n"
               "(1641), 6 restart required (3010), 7 unknown option (1639). When the tool ran, stderr names\n"
               "its log as 'zentacleanup: log: PATH' (or says 'zentacleanup: no log was written'); the\n"
               "last line on stderr is 'exit status: N' with the tool's own status N.\n");
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// Edits (insert, delete, replace, swap of neighbours) that turn a into b.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

// The program's option that a --word not spelled as any of them was meant
// to be, or nullptr when it is none's near miss (then it is a tool argument).
const char* NearMissOf(const std::string& word) {
  if (word.size() < 3 || word.compare(0, 2, "--") != 0) return nullptr;
  std::string typed = LowerAscii(word);
  // "--machine=DIR": the value belongs in the next argument.
  if (const auto equals = typed.find('='); equals != std::string::npos) typed.resize(equals);
  const std::string_view bare = std::string_view(typed).substr(2);
  for (const auto& option : kProgramOptions) {
    const std::string_view name = std::string_view(option.name).substr(2);
    const bool prefix = bare.size() >= 3 && name.starts_with(bare);
    const std::size_t allowed = name.size() <= 4 ? 1 : 2;
    if (prefix || EditDistance(bare, name) <= allowed) return option.name;
  }
  return nullptr;
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

// The tool's status as a process status scripts can read: each its own
// small number (a status of 1603 would read 67 modulo 256).
int ProgramStatus(int toolStatus) {
  switch (toolStatus) {
    case zc::exitstatus::kCompleted: return 0;
    case zc::exitstatus::kRefused: return 1;
    case zc::exitstatus::kUninstallFailed: return 3;
    case zc::exitstatus::kInstallInProgress: return 4;
    case zc::exitstatus::kRestartInitiated: return 5;
    case zc::exitstatus::kRestartRequired: return 6;
    case zc::exitstatus::kInvalidCommandLine: return 7;
    default: return 8;
  }
}

// Every way out says the tool's status last.
int Exit(int programStatus, int toolStatus) {
  std::fflush(stdout);
  std::fprintf(stderr, "exit status: %d\n", toolStatus);
  return programStatus;
}

int Refuse(const std::string& message) {
  std::fprintf(stderr, "zentacleanup: %s\n", message.c_str());
  return Exit(kRefused, kRefused);
}

// Whether the folder can be written: a file made and removed there. Root
// writes through permissions, not through a read-only mount.
bool Writable(const fs::path& folder) {
  const fs::path probe = folder / ".zentacleanup-write-probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

// A machine folder, or any of its drives, that cannot be written.
bool ReadOnlyMachine(const fs::path& folder) {
  if (!Writable(folder)) return true;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == 7 && name.rfind("drive_", 0) == 0 && entry.is_directory(ec) && !Writable(entry.path())) {
      return true;
    }
  }
  return false;
}

// Whether the tool's arguments can only list: a dry run, the help, or a
// command line the tool refuses for an unknown option.
bool OnlyLists(const std::wstring& commandLine) {
  zc::CCustomCommandLineInfo options;
  options.ParseCommandLine(commandLine);
  return options.m_bDryRun || options.m_bHelp || !options.m_unknownArguments.empty();
}

// A new folder in the host's temporary folder ($TMPDIR), named from
// `prefix`; false when there is none to make it in. Never inside `notUnder`
// (the machine or volume that must not be written): a $TMPDIR there is
// refused.
bool MakeTempFolder(const std::string& prefix, const fs::path& notUnder, std::string* folder, std::string* why) {
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  if (ec) {
    *why = "no temporary folder to make it in (" + ec.message() + ")";
    return false;
  }
  if (!notUnder.empty()) {
    const fs::path tempReal = fs::weakly_canonical(temp, ec);
    const fs::path guarded = fs::weakly_canonical(notUnder, ec);
    if (std::mismatch(guarded.begin(), guarded.end(), tempReal.begin(), tempReal.end()).first == guarded.end()) {
      *why = "the temporary folder " + temp.string() + " lies in " + notUnder.string() + ", which is not written";
      return false;
    }
  }
  *folder = (temp / (prefix + "-XXXXXX")).string();
  if (!::mkdtemp(folder->data())) {
    *why = "cannot make a folder in " + temp.string();
    return false;
  }
  return true;
}

// Every argument after --pack-guid is a braced GUID; prints each packed
// form, one a line. A text that is not a braced GUID is a usage error, and
// nothing is printed then.
int PrintPackedGuids(int argc, char** argv, int first) {
  if (first >= argc) return Refuse("--pack-guid needs a GUID");
  std::string out;
  for (int i = first; i < argc; ++i) {
    const std::wstring packed = zc::sim::msilayout::PackGuid(zc::FromUtf8(argv[i]));
    if (packed.empty()) return Refuse(std::string("not a braced GUID: ") + argv[i]);
    out += zc::ToUtf8(packed) + "\n";
  }
  std::fputs(out.c_str(), stdout);
  return Exit(0, 0);
}

}  // namespace

int main(int argc, char** argv) {
  std::string machineDir, windowsDir, answersFile, makeDemoDir;
  bool catalogue = false;
  std::vector<std::string> toolArgs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&](std::string* into) {
      if (i + 1 >= argc) return false;
      *into = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--machine") {
      ok = next(&machineDir);
    } else if (arg == "--windows") {
      ok = next(&windowsDir);
    } else if (arg == "--answers") {
      ok = next(&answersFile);
    } else if (arg == "--make-demo") {
      ok = next(&makeDemoDir);
    } else if (arg == "--pack-guid") {
      return PrintPackedGuids(argc, argv, i + 1);
    } else if (arg == "--catalogue") {
      catalogue = true;
    } else if (arg == "--help" || arg == "-h" || arg == "--usage") {
      PrintUsage(stdout);
      return Exit(0, 0);
    } else if (const char* meant = NearMissOf(arg)) {
      return Refuse("unknown option " + arg + ": did you mean " + meant + "? (see --help)");
    } else {
      toolArgs.push_back(arg);
    }
    if (!ok) return Refuse(arg + " needs a value");
  }

  // A Windows volume is only ever read: nothing else is done with it in one call.
  if (!windowsDir.empty() && (catalogue || !makeDemoDir.empty())) {
    return Refuse("--windows runs the tool on a volume and does nothing else; give --catalogue or --make-demo alone");
  }

  if (catalogue) {
    PrintCatalogue();
    return Exit(0, 0);
  }

  std::string error;
  if (!makeDemoDir.empty()) {
    if (!zc::sim::WriteDemoMachine(makeDemoDir, &error)) return Refuse(error);
    std::fprintf(stderr, "zentacleanup: demo machine written to %s\n", makeDemoDir.c_str());
    return Exit(0, 0);
  }

  std::wstring commandLine = L"ZENTACleanup.exe";
  for (const auto& arg : toolArgs) commandLine += L" " + zc::QuoteArgument(zc::FromUtf8(arg));

  std::unique_ptr<zc::sim::SimMachine> machine;
  // A machine that is not written back (a read-only snapshot, a Windows
  // volume) still answers a dry run: its log goes to a host file of its own.
  bool readOnly = false;
  if (!windowsDir.empty()) {
    if (!machineDir.empty()) return Refuse("--windows and --machine name two machines; give one");
    if (!OnlyLists(commandLine)) {
      return Refuse(
          "a Windows volume is only ever read: give -dryrun to see what the cleanup would do; "
          "nothing was changed");
    }
    zc::volume::WindowsVolume volume;
    if (!zc::volume::LoadWindowsVolume(windowsDir, &volume, &error)) {
      return Refuse("Windows volume refused, nothing was changed: " + error);
    }
    for (const auto& line : volume.warnings) std::fprintf(stderr, "zentacleanup: %s\n", line.c_str());
    for (const auto& line : volume.notes) std::fprintf(stderr, "zentacleanup: %s\n", line.c_str());
    std::string logFolder, why;
    if (!MakeTempFolder("zentacleanup-log", volume.root, &logFolder, &why)) {
      return Refuse("no folder for the log, nothing was changed: " + why);
    }
    machine =
        zc::sim::SimMachine::OverVolume(logFolder, volume.root, std::move(volume.config), std::move(volume.registry));
    readOnly = true;
    std::fprintf(stderr, "zentacleanup: %s is read as drive C: and never written; the log goes to %s\n",
                 windowsDir.c_str(), logFolder.c_str());
  } else {
    if (machineDir.empty()) {
      std::string why;
      if (!MakeTempFolder("zentacleanup-demo", {}, &machineDir, &why)) {
        return Refuse("no folder for the demo machine: " + why);
      }
      if (!zc::sim::WriteDemoMachine(machineDir, &error)) return Refuse(error);
      std::fprintf(stderr, "zentacleanup: working on a fresh copy of the demo machine in %s\n", machineDir.c_str());
    }
    machine = zc::sim::SimMachine::Load(machineDir, &error);
    if (!machine) return Refuse("machine refused, nothing was changed: " + error);
    readOnly = ReadOnlyMachine(machineDir);
    if (readOnly) {
      if (!OnlyLists(commandLine)) {
        return Refuse(machineDir + " cannot be written: only a dry run (-dryrun) can run on it; nothing was changed");
      }
      std::string logFolder, why;
      if (!MakeTempFolder("zentacleanup-log", machineDir, &logFolder, &why)) {
        return Refuse("no folder for the log, nothing was changed: " + why);
      }
      machine->fs().RedirectOutputFiles(logFolder);
      std::fprintf(stderr, "zentacleanup: %s cannot be written; the log goes to %s\n", machineDir.c_str(),
                   logFolder.c_str());
    }
  }

  auto& ui = machine->ui();
  if (answersFile == "-") {
    ui.ReadAnswers(std::cin);
    ui.SetEcho(stderr);
  } else if (!answersFile.empty()) {
    if (!ui.LoadAnswers(answersFile, &error)) return Refuse(error);
    ui.SetEcho(stderr);
  } else if (::isatty(STDIN_FILENO)) {
    ui.SetMode(zc::sim::SimUserInterface::Mode::kConsole);
  } else {
    ui.SetMode(zc::sim::SimUserInterface::Mode::kDefaults);
    ui.SetEcho(stderr);
  }

  // A slip of the tool's own code is refused where it happens; it is told.
  zc::SetSlipHandler([](std::string_view what, std::wstring_view target) {
    std::fprintf(stderr, "zentacleanup: internal error: %.*s %s\n", static_cast<int>(what.size()), what.data(),
                 zc::ToUtf8(target).c_str());
  });

  zc::VEZEZERidivorOde app(machine->platform());
  app.InitInstance(commandLine);
  const int toolStatus = app.ExitStatus();

  // The log is named whatever happens next, and only a log that exists.
  std::error_code ec;
  const auto logHost = app.LogPath().empty() ? std::filesystem::path() : machine->fs().HostPath(app.LogPath());
  if (!logHost.empty() && std::filesystem::is_regular_file(logHost, ec)) {
    std::fprintf(stderr, "zentacleanup: log: %s\n", logHost.string().c_str());
  } else {
    std::fprintf(stderr, "zentacleanup: no log was written\n");
  }
  for (const auto& problem : ui.problems()) std::fprintf(stderr, "zentacleanup: %s\n", problem.c_str());
  if (machine->power().restartRequested()) {
    std::fprintf(stderr, "zentacleanup: the machine was asked to restart\n");
  }
  if (!readOnly && !machine->Save(&error)) {
    std::fprintf(stderr, "zentacleanup: the machine could not be written back: %s\n", error.c_str());
    return Exit(kRefused, toolStatus);
  }
  return Exit(ProgramStatus(toolStatus), toolStatus);
}
