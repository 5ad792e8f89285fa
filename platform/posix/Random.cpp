#include "platform/Random.h"

#include <cerrno>

#include "SysCalls.h"

namespace platform {
bool FillRandomBytes(void* buffer, std::size_t count) {
  auto* p = static_cast<unsigned char*>(buffer);
  // Large requests may be answered in parts, and a signal may interrupt the wait for entropy.
  while (count > 0) {
    ssize_t n = posix::Sys().getrandom(p, count, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}
}  // namespace platform
