#pragma once
// The folder for temporary files.

#include <string>

namespace platform {
// $TMPDIR when set and not empty, else "/tmp"; without trailing separator.
std::string TempFolder();
}  // namespace platform
