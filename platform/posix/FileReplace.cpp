#include <fcntl.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "SysCalls.h"

namespace platform {
using posix::Sys;

int WriteNewFileSys(const std::string& File, std::string_view Contents, unsigned Permissions, bool& Created) {
  // O_EXCL with O_NOFOLLOW: a name that someone else placed there, a link included, is never written.
  int fd = Sys().open(File.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, static_cast<mode_t>(Permissions));
  if (fd < 0) return errno;
  Created = true;
  int error = 0;
  for (std::size_t done = 0; done < Contents.size() && error == 0;) {
    ssize_t n = Sys().write(fd, Contents.data() + done, Contents.size() - done);
    if (n < 0) {
      if (errno != EINTR) error = errno;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  // Without the flush a crash after the rename could leave an empty file in place of the old one.
  if (error == 0 && Sys().fsync(fd) != 0) error = errno;
  if (Sys().close(fd) != 0 && error == 0) error = errno;
  return error;
}
}  // namespace platform
