#pragma once
// The system primitive of the command line: the running executable's path, or "".
// Private to the service: its shared and its POSIX file include this, so the compiler checks the seam.

#include <string>

namespace platform {
std::string ExecutableFileNameSys();
}  // namespace platform
