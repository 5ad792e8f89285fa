#pragma once
// The system primitive of the known folders: the folder as the system names it, or EOSError.
// Private to the service: its shared and its POSIX file include this, so the compiler checks the seam.

#include <string>

namespace platform {
std::string SpecialFolderPathSys(int csidl);
}  // namespace platform
