// The Windows program's platform: every service over Win32, owned in one
// place. Only the program entry makes one.
//
// This header is the Windows entry's one gate to <windows.h>: it gives the
// entry its types (HINSTANCE, WINAPI) and GetCommandLineW.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/platform.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_installer.h"
#include "platform/win32/win32_power.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_spooler.h"
#include "platform/win32/win32_system_info.h"
#include "platform/win32/win32_ui.h"

namespace zc::win32 {

struct Win32Platform {
  Win32Registry registry;
  Win32WindowsInstaller installer;
  Win32FileSystem fs;
  Win32SystemInfo system;
  Win32Processes processes;
  Win32Spooler spooler;
  Win32ServiceManager services;
  Win32Power power;
  Win32UserInterface ui;

  Platform platform() { return Platform{registry, installer, fs, system, processes, spooler, services, power, ui}; }
};

std::unique_ptr<Win32Platform> MakeWin32Platform();

}  // namespace zc::win32
