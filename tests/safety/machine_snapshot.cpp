#include "safety/machine_snapshot.h"

#include <fstream>
#include <sstream>

#include "platform/sim/reg_file.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace zc::test {

namespace {

std::wstring Upper(std::wstring text) {
  for (auto& c : text) c = UpcaseChar(c);
  return text;
}

}  // namespace

MachineSnapshot MachineSnapshot::Take(sim::SimMachine& machine) {
  MachineSnapshot snapshot;
  for (const auto& drive : fs::directory_iterator(machine.folder())) {
    const std::string name = drive.path().filename().string();
    if (name.rfind("drive_", 0) != 0 || name.size() != 7) continue;
    const std::wstring letter(1, static_cast<wchar_t>(std::toupper(name[6])));
    for (auto it = fs::recursive_directory_iterator(drive.path()); it != fs::recursive_directory_iterator(); ++it) {
      const std::wstring windows = Upper(letter + L":\\" + FromUtf8(fs::relative(it->path(), drive.path()).string()));
      std::wstring path = windows;
      for (auto& c : path) {
        if (c == L'/') c = L'\\';
      }
      if (it->is_symlink()) {
        snapshot.files[path] = "<link " + fs::read_symlink(it->path()).string() + ">";
        it.disable_recursion_pending();
      } else if (it->is_directory()) {
        snapshot.files[path] = "<dir>";
      } else {
        std::ifstream in(it->path(), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        snapshot.files[path] = content.str();
      }
    }
  }

  const auto bytes = sim::WriteRegText(machine.store());
  const std::wstring text = FromUtf16Le(bytes.data() + 2, bytes.size() - 2);
  std::wistringstream lines(text);
  std::wstring line, key, pending;
  auto flush = [&] {
    if (pending.empty()) return;
    const auto eq = pending.find(L"\"=");
    const auto atEq = pending.rfind(L"@=", 0);
    std::wstring name = atEq == 0 ? L"@" : (eq == std::wstring::npos ? pending : pending.substr(0, eq + 1));
    snapshot.registry[key + L"|" + Upper(name)] = pending;
    pending.clear();
  };
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (!pending.empty() && pending.back() == L'\\') {
      pending.pop_back();
      pending += line;
      continue;
    }
    flush();
    if (line.empty()) continue;
    if (line.front() == L'[') {
      key = Upper(line.substr(1, line.size() - 2));
      snapshot.registry[key + L"|"] = L"";
      continue;
    }
    pending = line;
  }
  flush();
  return snapshot;
}

std::vector<SnapshotChange> Differences(const MachineSnapshot& before, const MachineSnapshot& after) {
  std::vector<SnapshotChange> changes;
  auto compare = [&changes](const auto& a, const auto& b, bool file) {
    for (const auto& [k, v] : a) {
      auto it = b.find(k);
      if (it == b.end() || it->second != v) changes.push_back({k, file});
    }
    for (const auto& [k, v] : b) {
      if (!a.count(k)) changes.push_back({k, file});
    }
  };
  compare(before.files, after.files, true);
  compare(before.registry, after.registry, false);
  return changes;
}

}  // namespace zc::test
