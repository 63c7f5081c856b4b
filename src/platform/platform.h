// The bundle of platform services that the application object works on.
#pragma once

#include "platform/filesystem.h"
#include "platform/installer.h"
#include "platform/power.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/spooler.h"
#include "platform/system_info.h"
#include "platform/user_interface.h"

namespace zc {

struct Platform {
  Registry& registry;
  WindowsInstaller& installer;
  FileSystem& fs;
  SystemInfo& system;
  Processes& processes;
  Spooler& spooler;
  ServiceManager& services;
  Power& power;
  UserInterface& ui;
};

}  // namespace zc
