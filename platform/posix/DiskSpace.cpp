#include "platform/DiskSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include "SysCalls.h"
#include "platform/OSError.h"

namespace platform {
using posix::Sys;

std::uint64_t FreeDiskSpace(const std::string& Path) {
  struct statvfs st {};
  if (Sys().statvfs(Path.c_str(), &st) != 0) RaiseLastOSError(Path);
  return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

std::uint64_t FileSystemOf(const std::string& Path) {
  struct stat st {};
  if (Sys().stat(Path.c_str(), &st) != 0) RaiseLastOSError(Path);
  return static_cast<std::uint64_t>(st.st_dev);
}

}  // namespace platform
