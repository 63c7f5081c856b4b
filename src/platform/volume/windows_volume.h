// A Windows volume read in place: the root of a mounted Windows system
// drive (or any folder laid out like one), taken as drive C: of an offline
// machine. This is the one entry point a front end calls.
//
// What it reads, and nothing else:
//   Windows\System32\config\SOFTWARE   -> HKEY_LOCAL_MACHINE\SOFTWARE
//   Windows\System32\config\SYSTEM     -> HKEY_LOCAL_MACHINE\SYSTEM
//   Windows\System32\config\DEFAULT    -> HKEY_USERS\.DEFAULT, and as Windows
//                                         aliases it, HKEY_USERS\S-1-5-18
//   <profile folder>\NTUSER.DAT         -> HKEY_USERS\<SID>, for each profile
//                                         of SOFTWARE's ProfileList
// The Windows folder is Windows or, on Windows 2000 and what was upgraded
// from it, WINNT; a volume where both hold System32\config is refused as
// ambiguous. Each name is matched without regard to case, as Windows does;
// two entries that match one name are refused as ambiguous. SOFTWARE and
// SYSTEM must be there; HKEY_CURRENT_USER stays empty (no one is logged on).
//
// A profile is the ProfileImagePath of ProfileList\<SID>, expanded with the
// volume's variables, a folder on drive C:. Its way is walked from the root
// as a hive's is, and a link on it that leads off the volume is refused:
// the file there is no part of this machine. A profile that cannot be read
// (no path on C:, a missing, ambiguous or damaged NTUSER.DAT, a link off
// the volume) is skipped with a warning naming the file, and so is a broken
// DEFAULT: the machine's own hives still describe it. S-1-5-18 (SYSTEM) is
// the DEFAULT hive on Windows, never its systemprofile's NTUSER.DAT.
//
// HKLM\SYSTEM holds the hive's keys as the file has them (ControlSet001,
// ControlSet002, Select, ...) and, as Windows makes at boot, CurrentControlSet:
// the control set that Select\Current names (Select\Default when Current is
// missing, then ControlSet001), with the same keys and values. Here it is a
// copy, not a link: a change under one does not show under the other. That
// is sound for the run this serves, which is a dry run and changes nothing.
// The 32-bit view of HKLM\SOFTWARE is its Wow6432Node sub-key, served by the
// registry of the simulated machine as on 64-bit Windows.
//
// Read-only: no file or folder under the volume is ever opened for writing,
// created, or changed; libhivex opens each hive without its write flag.
//
// Failures: a missing or ambiguous SOFTWARE or SYSTEM, a file that is not a
// hive, a truncated or corrupted hive is refused with one line naming the file and
// what is wrong; nothing of the volume is then returned. A hive whose
// transaction logs were not replayed (an unclean shutdown, or a volume taken
// from a running machine) is read as it is, with a warning.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/machine_config.h"
#include "platform/sim/reg_store.h"

namespace zc::volume {

struct WindowsVolume {
  std::filesystem::path root;
  std::filesystem::path windowsFolder;  // host path of the folder that holds System32\config
  std::filesystem::path softwareHive;   // host paths of the hives read
  std::filesystem::path systemHive;
  std::vector<std::filesystem::path> userHives;  // DEFAULT and each NTUSER.DAT read, in that order

  // HKLM\SOFTWARE, HKLM\SYSTEM and the users' hives under HKEY_USERS.
  sim::RegStore registry;
  // What machine.ini would say: folders, version, bitness, environment,
  // the spooler's state. A caller may still set what a volume cannot tell
  // (the clock, the current directory, faults) before it builds a machine.
  sim::MachineConfig config;

  // Lines for standard error, in this order: warnings ("warning: ..."),
  // then where the registry came from, then each fact with its value and
  // source ("bits = 64 (HKLM\SYSTEM\...: PROCESSOR_ARCHITECTURE = AMD64)").
  // They are for the administrator; the tool's log is not changed by them.
  std::vector<std::string> warnings;
  std::vector<std::string> notes;
};

// Reads the volume at `root` into `volume` (replacing what it held). False
// with `error` set ("PATH: what is wrong") when the volume is refused.
bool LoadWindowsVolume(const std::filesystem::path& root, WindowsVolume* volume, std::string* error);

}  // namespace zc::volume
