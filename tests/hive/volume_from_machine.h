// A simulated machine turned into a Windows volume with the same content,
// so that a run on the machine folder and a run on the volume can be
// compared.
#pragma once

#include <filesystem>

#include "platform/sim/machine.h"

namespace zc::test {

// Writes what machine.ini says of the machine into its registry, where
// Windows keeps it: the version and SystemRoot, the programs folder, the
// architecture and the environment. The machine's run is unchanged by
// this; afterwards its registry holds every fact a volume is read for.
void StateFactsInRegistry(sim::SimMachine& machine);

// Copies the machine's drive C: to `root` and writes its HKLM\SOFTWARE and
// HKLM\SYSTEM there as the hives Windows keeps in <Windows>\System32\config,
// with CurrentControlSet stored as ControlSet001 and Select naming it.
void WriteVolumeOfMachine(sim::SimMachine& machine, const std::filesystem::path& root);

}  // namespace zc::test
