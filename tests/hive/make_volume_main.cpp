// zc_make_volume MACHINE-DIR VOLUME-DIR: writes the simulated machine in
// MACHINE-DIR as a Windows volume (its drive C: with the SOFTWARE and SYSTEM
// hives in <Windows>\System32\config), for the Wine suite to compare a run
// of `zentacleanup --windows` with a run of the real program. The registry
// is the machine's as it stands (for the Wine suite: the prefix's own
// export); with --state-facts, what machine.ini says is written into it first.
#include <cstdio>
#include <exception>
#include <string>

#include "hive/volume_from_machine.h"

int main(int argc, char** argv) {
  bool stateFacts = false;
  int first = 1;
  if (argc > 1 && std::string(argv[1]) == "--state-facts") {
    stateFacts = true;
    first = 2;
  }
  if (argc - first != 2) {
    std::fprintf(stderr, "usage: zc_make_volume [--state-facts] MACHINE-DIR VOLUME-DIR\n");
    return 2;
  }
  std::string error;
  auto machine = zc::sim::SimMachine::Load(argv[first], &error);
  if (!machine) {
    std::fprintf(stderr, "zc_make_volume: %s\n", error.c_str());
    return 1;
  }
  try {
    if (stateFacts) zc::test::StateFactsInRegistry(*machine);
    zc::test::WriteVolumeOfMachine(*machine, argv[first + 1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zc_make_volume: %s\n", e.what());
    return 1;
  }
  return 0;
}
