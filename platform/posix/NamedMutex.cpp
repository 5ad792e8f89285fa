#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "SysCalls.h"
#include "platform/NamedMutex.h"
#include "platform/NamedMutexSys.h"

namespace platform {
using posix::Sys;

int AcquireNamedMutexSys(std::string_view name, int& errorCode) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name.empty() || name.size() > sizeof address.sun_path - 1) {
    errorCode = name.empty() ? EINVAL : ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path + 1, name.data(), name.size());  // sun_path[0] = '\0': abstract
  auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());

  int fd = Sys().socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    errorCode = errno;
    return -1;
  }
  if (Sys().bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    errorCode = errno;
    Sys().close(fd);
    return -1;
  }
  return fd;
}

void ReleaseNamedMutexSys(int handle) { Sys().close(handle); }

}  // namespace platform
