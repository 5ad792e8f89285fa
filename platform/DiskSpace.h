#pragma once
// How much a file system can still take, and which file system a path lies on.

#include <cstdint>
#include <string>

namespace platform {

// The bytes an unprivileged user may still write on the file system of Path. EOSError.
std::uint64_t FreeDiskSpace(const std::string& Path);

// Equal for two existing paths on the same file system. EOSError.
std::uint64_t FileSystemOf(const std::string& Path);

}  // namespace platform
