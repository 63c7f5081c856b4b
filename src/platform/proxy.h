// Services that hand every call on to another one. A test derives from one
// and overrides the call it wants to fail or to watch; the dry-run view
// derives from them to refuse the calls that change the machine. Each is
// made from its service's method table, so a method added to a service is
// forwarded by adding its row there.
#pragma once

#include "platform/platform.h"

namespace zc {

#define ZC_PROXY_FORWARD(Result, Method, Parameters, Arguments, ...) \
  Result Method Parameters override { return target_.Method Arguments; }

class ProxyFileSystem : public FileSystem {
 public:
  explicit ProxyFileSystem(FileSystem& target) : target_(target) {}
  ZC_FILESYSTEM_METHODS(ZC_PROXY_FORWARD, ZC_PROXY_FORWARD)

 private:
  FileSystem& target_;
};

class ProxyRegistry : public Registry {
 public:
  explicit ProxyRegistry(Registry& target) : target_(target) {}
  ZC_REGISTRY_METHODS(ZC_PROXY_FORWARD, ZC_PROXY_FORWARD)

 protected:
  Registry& target() { return target_; }

 private:
  Registry& target_;
};

class ProxyProcesses : public Processes {
 public:
  explicit ProxyProcesses(Processes& target) : target_(target) {}
  ZC_PROCESSES_METHODS(ZC_PROXY_FORWARD, ZC_PROXY_FORWARD)

 private:
  Processes& target_;
};

class ProxySpooler : public Spooler {
 public:
  explicit ProxySpooler(Spooler& target) : target_(target) {}
  ZC_SPOOLER_METHODS(ZC_PROXY_FORWARD, ZC_PROXY_FORWARD)

 private:
  Spooler& target_;
};

class ProxyServiceManager : public ServiceManager {
 public:
  explicit ProxyServiceManager(ServiceManager& target) : target_(target) {}
  ZC_SERVICES_METHODS(ZC_PROXY_FORWARD, ZC_PROXY_FORWARD)

 private:
  ServiceManager& target_;
};

class ProxyPower : public Power {
 public:
  explicit ProxyPower(Power& target) : target_(target) {}
  ZC_POWER_METHODS(ZC_PROXY_FORWARD, ZC_PROXY_FORWARD)

 private:
  Power& target_;
};

class ProxyUserInterface : public UserInterface {
 public:
  explicit ProxyUserInterface(UserInterface& target) : target_(target) {}
  ZC_USER_INTERFACE_METHODS(ZC_PROXY_FORWARD, ZC_PROXY_FORWARD)

 private:
  UserInterface& target_;
};

#undef ZC_PROXY_FORWARD

}  // namespace zc
