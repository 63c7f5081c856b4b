#include "platform/sim/machine_config.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/sim/host_file.h"
#include "platform/sim/machine_path.h"
#include "platform/text.h"
#include "safety/win_path.h"

namespace zc::sim {

namespace {

// machine.ini is a few lines; more than this is no machine's.
constexpr std::size_t kMaxConfigBytes = std::size_t{16} << 20;

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

std::string Lower(std::string s) {
  for (auto& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

int DaysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool ParseClock(const std::string& text, LocalTime* t) {
  int y, mo, d, h, mi, s;
  char tail;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) return false;
  if (y < 1601 || y > 30827 || mo < 1 || mo > 12 || d < 1 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) {
    return false;
  }
  if (d > DaysIn(y, mo)) return false;  // 2013-02-30 is no day
  *t = LocalTime{y, mo, d, h, mi, s};
  return true;
}

bool ParseUnsigned(const std::string& text, std::uint32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || v > 0xFFFFFFFFull) return false;
  *value = static_cast<std::uint32_t>(v);
  return true;
}

// "running", "stopped", "start_pending:3", "stop_pending:forever", ...
bool ParseService(const std::string& text, ServiceBehaviour* behaviour) {
  std::stringstream parts(Lower(text));
  std::string word;
  bool first = true;
  while (parts >> word) {
    if (first) {
      if (word == "running") {
        behaviour->state = 4;
      } else if (word == "stopped") {
        behaviour->state = 1;
      } else if (word == "paused") {
        behaviour->state = 7;
      } else {
        return false;
      }
      first = false;
      continue;
    }
    const auto colon = word.find(':');
    if (colon == std::string::npos) return false;
    const std::string what = word.substr(0, colon);
    const std::string count = word.substr(colon + 1);
    int polls = 0;
    if (count == "forever") {
      polls = -1;
    } else {
      std::uint32_t n = 0;
      if (!ParseUnsigned(count, &n) || n > 1000000) return false;
      polls = static_cast<int>(n);
    }
    if (what == "start_pending") {
      behaviour->startPendingPolls = polls;
    } else if (what == "stop_pending") {
      behaviour->stopPendingPolls = polls;
    } else {
      return false;
    }
  }
  return !first;
}

bool IsProductCode(const std::string& text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const char c = text[i];
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// "S-1-" and then numbers separated by dashes, as a SID's text reads.
bool IsSid(const std::string& text) {
  if (text.rfind("S-1-", 0) != 0) return false;
  std::size_t start = 4;
  while (true) {
    const std::size_t end = text.find('-', start);
    const std::string number = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // An identifier authority is at most 48 bits, a sub-authority 32.
    if (number.empty() || number.size() > 15 || number.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

}  // namespace

std::string ConfigError::ToString() const {
  if (line > 0) return file + ":" + std::to_string(line) + ": " + message;
  return file + ": " + message;
}

void MachineConfig::ApplyDefaults() {
  if (programsFolder.empty()) programsFolder = bits == 64 ? L"C:\\Program Files (x86)" : L"C:\\Program Files";
  if (systemFolder.empty()) {
    // Joined as a path: a Windows folder at a drive's root already ends in a backslash.
    systemFolder = windowsFolder + (EndsWith(windowsFolder, L'\\') ? L"system32" : L"\\system32");
  }
}

bool ParseMachineConfig(const std::string& rawText, const std::string& fileName, MachineConfig* out, ConfigError* error,
                        const std::function<bool(wchar_t)>& driveExists) {
  MachineConfig config;
  std::string text = rawText;
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

  std::istringstream in(text);
  std::string rawLine;
  std::string section;
  int lineNumber = 0;
  auto fail = [&](const std::string& message) {
    if (error) *error = ConfigError{fileName, lineNumber, message};
    return false;
  };

  while (std::getline(in, rawLine)) {
    ++lineNumber;
    const std::string line = Trim(rawLine);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return fail("a section header must end with ']'");
      section = Lower(Trim(line.substr(1, line.size() - 2)));
      if (section != "system" && section != "environment" && section != "services" && section != "msiexec" &&
          section != "faults" && section != "locked") {
        return fail("unknown section [" + section + "]");
      }
      continue;
    }
    if (section.empty()) return fail("a setting before the first [section]");

    auto path = [&](const std::string& value, std::wstring* into) {
      *into = MachinePath(value, driveExists);
      return !into->empty();
    };
    constexpr const char* kNoPath =
        "expected a full path on one of the machine's drives, such as C:\\WINDOWS (no relative part, no NUL, "
        "no name ending in a blank or a dot)";
    if (section == "locked") {
      std::wstring locked;
      if (!path(line, &locked)) return fail(kNoPath);
      config.lockedFiles.push_back(std::move(locked));
      continue;
    }

    const auto eq = line.find('=');
    if (eq == std::string::npos) return fail("expected 'name = value'");
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (key.empty()) return fail("a setting without a name");

    if (section == "system") {
      const std::string k = Lower(key);
      if (k == "clock") {
        LocalTime t;
        if (!ParseClock(value, &t)) return fail("clock must read YYYY-MM-DD hh:mm:ss");
        config.clock = t;
      } else if (k == "current_directory") {
        if (!path(value, &config.currentDirectory)) return fail(kNoPath);
      } else if (k == "programs") {
        if (!path(value, &config.programsFolder)) return fail(kNoPath);
      } else if (k == "windows") {
        if (!path(value, &config.windowsFolder)) return fail(kNoPath);
      } else if (k == "system") {
        if (!path(value, &config.systemFolder)) return fail(kNoPath);
      } else if (k == "version") {
        unsigned major = 0, minor = 0;
        char tail;
        const int n = std::sscanf(value.c_str(), "%u.%u%c", &major, &minor, &tail);
        if (n != 2 && !(n == 1 && value.find('.') == std::string::npos)) {
          return fail("version must read MAJOR.MINOR, such as 6.1");
        }
        config.version = OsVersion{major, minor};
      } else if (k == "bits") {
        if (value == "32") {
          config.bits = 32;
        } else if (value == "64") {
          config.bits = 64;
        } else {
          return fail("bits must be 32 or 64");
        }
      } else if (k == "shutdown_privilege") {
        const std::string v = Lower(value);
        if (v != "held" && v != "missing") return fail("shutdown_privilege must be held or missing");
        config.shutdownPrivilege = v == "held";
      } else if (k == "user") {
        if (!IsSid(value)) return fail("user must be an account's SID, such as S-1-5-18 (SYSTEM)");
        config.user = FromUtf8(value);
      } else if (k == "desktop") {
        const std::string v = Lower(value);
        if (v != "none" && v != "visible") return fail("desktop must be none or visible");
        config.desktopVisible = v == "visible";
      } else {
        return fail("unknown setting '" + key + "' in [system]");
      }
    } else if (section == "environment") {
      config.environment.emplace_back(FromUtf8(key), FromUtf8(value));
    } else if (section == "services") {
      ServiceBehaviour behaviour;
      if (!ParseService(value, &behaviour)) {
        return fail(
            "a service state must read running, stopped or paused, optionally followed by "
            "start_pending:N and stop_pending:N (N a number or 'forever')");
      }
      config.services[ToLowerAscii(FromUtf8(key))] = behaviour;
    } else if (section == "msiexec") {
      std::uint32_t code = 0;
      if (!IsProductCode(key)) return fail("expected a product code in braces, such as {12345678-...}");
      if (!ParseUnsigned(value, &code)) return fail("expected an exit code");
      config.msiexecExitCodes.emplace_back(FromUtf8(key), code);
    } else if (section == "faults") {
      // OPERATION TARGET = ERROR [COUNT]
      const auto blank = key.find_first_of(" \t");
      const std::string name = key.substr(0, blank);
      const auto op = FaultOpNamed(name);
      if (!op) return fail("'" + name + "' is no operation the machine can fail");
      FaultRule rule{*op, L"*"};
      if (blank != std::string::npos) {
        const std::string target = Trim(key.substr(blank));
        if (target != "*" && IsPathOperation(*op) && *op != FaultOp::kFindFirstFile) {
          if (!path(target, &rule.target)) return fail(kNoPath);
        } else {
          rule.target = FromUtf8(target);
        }
      }
      std::istringstream values(value);
      std::string errorText, countText;
      values >> errorText >> countText;
      if (!ParseUnsigned(errorText, &rule.error)) return fail("expected 'OPERATION TARGET = ERROR [COUNT]'");
      if (!countText.empty()) {
        std::uint32_t count = 0;
        if (!ParseUnsigned(countText, &count)) return fail("the count of a fault must be a number");
        rule.remaining = static_cast<int>(count);
      }
      config.faults.push_back(std::move(rule));
    }
  }
  config.ApplyDefaults();
  *out = std::move(config);
  return true;
}

bool LoadMachineConfig(const std::filesystem::path& path, MachineConfig* config, ConfigError* error) {
  std::string text;
  if (auto e = ReadHostFile(path, kMaxConfigBytes, &text)) {
    if (error) *error = ConfigError{path.filename().string(), 0, e->message};
    return false;
  }
  const std::filesystem::path folder = path.parent_path();
  return ParseMachineConfig(text, path.filename().string(), config, error, [&folder](wchar_t drive) {
    std::error_code ec;
    const char letter = static_cast<char>(drive >= L'A' && drive <= L'Z' ? drive - L'A' + L'a' : drive);
    return std::filesystem::is_directory(folder / (std::string("drive_") + letter), ec);
  });
}

std::string WriteMachineConfig(const MachineConfig& c) {
  std::ostringstream out;
  out << "[system]\n";
  if (c.clock) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.clock->year, c.clock->month, c.clock->day,
                  c.clock->hour, c.clock->minute, c.clock->second);
    out << "clock = " << buf << "\n";
  }
  out << "bits = " << c.bits << "\n";
  out << "version = " << c.version.major << "." << c.version.minor << "\n";
  if (!c.shutdownPrivilege) out << "shutdown_privilege = missing\n";
  if (c.user != kDemoAdministratorSid) out << "user = " << ToUtf8(c.user) << "\n";
  if (!c.desktopVisible) out << "desktop = none\n";
  out << "current_directory = " << ToUtf8(c.currentDirectory) << "\n";
  out << "programs = " << ToUtf8(c.programsFolder) << "\n";
  out << "windows = " << ToUtf8(c.windowsFolder) << "\n";
  out << "system = " << ToUtf8(c.systemFolder) << "\n";
  if (!c.environment.empty()) {
    out << "\n[environment]\n";
    for (const auto& [k, v] : c.environment) out << ToUtf8(k) << " = " << ToUtf8(v) << "\n";
  }
  if (!c.services.empty()) {
    out << "\n[services]\n";
    for (const auto& [name, s] : c.services) {
      out << ToUtf8(name) << " = " << (s.state == 4 ? "running" : s.state == 7 ? "paused" : "stopped");
      auto polls = [](int n) { return n < 0 ? std::string("forever") : std::to_string(n); };
      if (s.startPendingPolls) out << " start_pending:" << polls(s.startPendingPolls);
      if (s.stopPendingPolls) out << " stop_pending:" << polls(s.stopPendingPolls);
      out << "\n";
    }
  }
  if (!c.msiexecExitCodes.empty()) {
    out << "\n[msiexec]\n";
    for (const auto& [code, exit] : c.msiexecExitCodes) out << ToUtf8(code) << " = " << exit << "\n";
  }
  if (!c.faults.empty()) {
    out << "\n[faults]\n";
    for (const auto& f : c.faults) {
      out << f.operation.name() << " " << ToUtf8(f.target) << " = " << f.error;
      if (f.remaining >= 0) out << " " << f.remaining;
      out << "\n";
    }
  }
  if (!c.lockedFiles.empty()) {
    out << "\n[locked]\n";
    for (const auto& p : c.lockedFiles) out << ToUtf8(p) << "\n";
  }
  return out.str();
}

}  // namespace zc::sim
