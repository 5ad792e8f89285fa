#include <vector>

#include "SysCalls.h"
#include "platform/CommandLine.h"
#include "platform/CommandLineSys.h"

namespace platform {

std::string ExecutableFileNameSys() {
  // readlink does not say whether it cut the name: grow the buffer until the name fits.
  for (std::size_t size = 256; size <= 65536; size *= 2) {
    std::vector<char> buffer(size);
    ssize_t length = posix::Sys().readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return std::string();
    if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(length));
  }
  return std::string();
}

}  // namespace platform
