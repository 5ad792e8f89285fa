#pragma once
// The system primitive of the registry: the hive file's bytes, or nothing when there is no such file.
// Private to the service: its shared and its POSIX file include this, so the compiler checks the seam.

#include <optional>
#include <string>

namespace platform {
std::optional<std::string> ReadRegistryFileSys(const std::string& fileName);
}  // namespace platform
