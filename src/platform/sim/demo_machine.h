// The built-in demo machine: a Windows 7 PC with a product of every family
// of the vendor, a newer-generation product, the Platform product, a
// Brevano Suite product with gallery content, leftovers, SharedDlls values,
// the print-capture printer with all its pieces, one product of another
// publisher, and user documents that nothing may ever touch. Made from the
// product catalogue, so that it stays in step with it.
#pragma once

#include <filesystem>
#include <string>

namespace zc::sim {

// Writes the demo machine into `folder` (created if needed; it should be
// empty). False with a message when it cannot be written.
bool WriteDemoMachine(const std::filesystem::path& folder, std::string* error);

}  // namespace zc::sim
