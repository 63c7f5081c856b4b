// What machine.ini tells of a simulated machine, read instead from the
// registry of a Windows volume (its SOFTWARE and SYSTEM hives, loaded as
// HKLM\SOFTWARE and HKLM\SYSTEM with CurrentControlSet in place).
//
// Each fact comes from where Windows keeps it, or from a stated default:
//  - Windows folder: SOFTWARE\Microsoft\Windows NT\CurrentVersion SystemRoot
//    when it names the folder that holds the hives on drive C:, otherwise
//    C:\ and that folder's name. System folder: its system32.
//  - Windows version: CurrentMajorVersionNumber and CurrentMinorVersionNumber
//    (Windows 10 and later), else CurrentVersion ("6.1"); default 6.1. The
//    tool's manifest declares Windows 7 at most, so on a later Windows it is
//    told 6.2, as GetVersionEx does.
//  - Bitness: PROCESSOR_ARCHITECTURE of the system environment (AMD64, ARM64,
//    IA64: 64-bit; x86: 32-bit), else 64-bit when SOFTWARE\Wow6432Node exists.
//  - Programs folder: SOFTWARE\Microsoft\Windows\CurrentVersion
//    ProgramFilesDir, or on 64-bit Windows ProgramFilesDir (x86), since the
//    tool is a 32-bit program; defaults C:\Program Files (x86) and
//    C:\Program Files. CommonFilesDir (and its (x86) form) likewise.
//  - Profiles: SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList
//    ProfilesDirectory, ProgramData, Public, Default (XP: AllUsersProfile
//    and DefaultUserProfile below the profiles folder); default
//    C:\Users (XP: C:\Documents and Settings). No user is logged on to an
//    offline volume: USERPROFILE is the default profile.
//  - Environment: the system environment (the Environment key of
//    SYSTEM\CurrentControlSet\Control\Session Manager), expanded with the volume's own variables
//    (SystemRoot, SystemDrive = C:, the folders above), and the variables
//    Windows gives every process from the facts above (ProgramFiles,
//    CommonProgramFiles, ProgramData, ...). TMP and TEMP default to the
//    Windows folder's TEMP.
//  - Print spooler: the service exists when the key Spooler of
//    SYSTEM\CurrentControlSet\Services does, and it is stopped: the
//    volume is offline.
//  - Current directory C:\ and the host's clock: a volume keeps neither.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/machine_config.h"
#include "platform/sim/reg_store.h"

namespace zc::volume {

// `windowsFolderName` is the name of the folder at the volume's root that
// holds System32\config, as found on disk ("Windows"). Appends to `notes`
// one line per fact: its value and where it came from.
sim::MachineConfig ReadMachineFacts(const sim::RegStore& registry, const std::wstring& windowsFolderName,
                                    std::vector<std::string>* notes);

}  // namespace zc::volume
