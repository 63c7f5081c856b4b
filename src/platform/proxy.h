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

// The arguments are a type and a table: parentheses would break them.
// NOLINTBEGIN(bugprone-macro-parentheses)
// clang-format off
#define ZC_PROXY(Service, Methods)                                \
  class Proxy##Service : public Service {                         \
   public:                                                        \
    explicit Proxy##Service(Service& target) : target_(target) {} \
    Methods(ZC_PROXY_FORWARD, ZC_PROXY_FORWARD)                   \
   private:                                                       \
    Service& target_;                                             \
  };
// clang-format on
// NOLINTEND(bugprone-macro-parentheses)

ZC_PROXY(FileSystem, ZC_FILESYSTEM_METHODS)
ZC_PROXY(Registry, ZC_REGISTRY_METHODS)
ZC_PROXY(Processes, ZC_PROCESSES_METHODS)
ZC_PROXY(Spooler, ZC_SPOOLER_METHODS)
ZC_PROXY(ServiceManager, ZC_SERVICES_METHODS)
ZC_PROXY(Power, ZC_POWER_METHODS)
ZC_PROXY(UserInterface, ZC_USER_INTERFACE_METHODS)

#undef ZC_PROXY
#undef ZC_PROXY_FORWARD

}  // namespace zc
