// What a simulated machine holds, taken before and after a run, so that a
// test can tell exactly what the run changed.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace zc::test {

struct MachineSnapshot {
  // Windows path (upper-cased) -> file content, or "<dir>" for a folder.
  std::map<std::wstring, std::string> files;
  // "KEY|VALUE" (upper-cased key path) -> the value's line as regedit writes it;
  // "KEY|" for the key itself.
  std::map<std::wstring, std::wstring> registry;

  static MachineSnapshot Take(sim::SimMachine& machine);
};

struct SnapshotChange {
  std::wstring what;  // the file path or "KEY|VALUE"
  bool file = false;
};

// Every entry that differs between the two snapshots.
std::vector<SnapshotChange> Differences(const MachineSnapshot& before, const MachineSnapshot& after);

// The vendor's product codes, braced and packed, as the machine holds them.
std::vector<std::wstring> VendorCodes(sim::SimMachine& machine);

// What a removal of the vendor's products may change: files under
// `vendorFolders` (upper-cased Windows paths, also the SharedDlls values of
// files there), the registrations of `vendorCodes`, the vendor's keys and
// its printer pieces, and a key whose values were all such.
bool EntitledToChange(const SnapshotChange& change, const std::vector<std::wstring>& vendorCodes,
                      const std::vector<std::wstring>& vendorFolders, const MachineSnapshot& before);

}  // namespace zc::test
