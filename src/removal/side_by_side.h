// The vendor's side-by-side assemblies, policies and manifests in the
// Windows side-by-side store: listed, and removed when asked, on Windows
// versions before Vista.
#pragma once

#include "app/operation_log.h"
#include "platform/filesystem.h"
#include "platform/system_info.h"
#include "safety/scope_guard.h"

namespace zc {

// `restart` only ever turns true: a file that could not be deleted now was
// scheduled for deletion at the next restart. Always returns 0. Every
// deletion is judged by `guard` as an entry of the store under a vendor's
// name; a link in the store is never entered.
int CleanSideBySideAssemblies(bool& restart, bool apply, OperationLog& log, FileSystem& fs, SystemInfo& system,
                              ScopeGuard& guard);

}  // namespace zc
