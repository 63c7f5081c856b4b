#include "safety/machine_snapshot.h"

#include <fstream>
#include <sstream>

#include "platform/sim/installer_layout.h"
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
      const std::wstring windows =
          Upper(letter + L":\\" + FromUtf8(it->path().lexically_relative(drive.path()).string()));
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

std::vector<std::wstring> VendorCodes(sim::SimMachine& machine) {
  std::vector<std::wstring> codes;
  std::wstring code;
  for (std::uint32_t i = 0; machine.installer().EnumProducts(i, &code) == 0; ++i) {
    std::wstring publisher;
    if (machine.installer().GetProductInfo(code, L"Publisher", 260, &publisher) == 0 &&
        ToLowerAscii(publisher).find(L"zenta technologies") != std::wstring::npos) {
      codes.push_back(Upper(code));
      codes.push_back(Upper(sim::msilayout::PackGuid(code)));
    }
  }
  return codes;
}

bool EntitledToChange(const SnapshotChange& change, const std::vector<std::wstring>& vendorCodes,
                      const std::vector<std::wstring>& vendorFolders, const MachineSnapshot& before) {
  auto under = [](const std::wstring& path, const std::wstring& prefix) { return path.rfind(prefix, 0) == 0; };
  if (change.file) {
    for (const auto& folder : vendorFolders) {
      if (under(change.what, folder)) return true;
    }
    return false;
  }
  const std::wstring& entry = change.what;
  for (const auto& code : vendorCodes) {
    if (entry.find(code) != std::wstring::npos) return true;
  }
  if (entry.find(L"\\SHAREDDLLS|\"") != std::wstring::npos) {
    // The value's name as the registry text writes it: backslashes doubled.
    const std::wstring name = entry.substr(entry.find(L"|\"") + 2);
    for (const auto& folder : vendorFolders) {
      std::wstring escaped;
      for (wchar_t c : folder) {
        escaped += c;
        if (c == L'\\') escaped += c;
      }
      if (under(name, escaped + L"\\\\")) return true;
    }
    return false;
  }
  for (const wchar_t* part :
       {L"\\ZENTA TECHNOLOGIES", L"\\BLACK ICE SOFTWARE", L"\\PRINTERS\\ZENTA QUILLO PRINT CAPTURE",
        L"\\MONITORS\\ICE MONITOR E", L"\\ZENTA PRINT CAPTURE DRIVER", L"\\PRINT PROCESSORS\\EMF PRINT PROCESSOR",
        L"SESSION MANAGER|\"PENDINGFILERENAMEOPERATIONS\""}) {
    if (entry.find(part) != std::wstring::npos) return true;
  }
  // A key (a component's, an upgrade code's) whose values were all the
  // vendor's goes with them.
  const auto bar = entry.find(L'|');
  if (bar + 1 == entry.size()) {
    const std::wstring key = entry.substr(0, bar + 1);
    int values = 0;
    for (auto it = before.registry.lower_bound(key); it != before.registry.end() && it->first.rfind(key, 0) == 0;
         ++it) {
      if (it->first == key) continue;
      ++values;
      if (!EntitledToChange(SnapshotChange{it->first, false}, vendorCodes, vendorFolders, before)) return false;
    }
    return values > 0;
  }
  return false;
}

}  // namespace zc::test
