#include "platform/AppendFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "SysCalls.h"
#include "platform/OSError.h"

namespace platform {
using posix::Sys;

// flock, not POSIX record locks: those belong to the process and vanish when any descriptor of the
// file closes, which a reader in the same process would do.
TAppendFile::TAppendFile(std::string Path) : FPath(std::move(Path)) {
  FHandle = Sys().open(FPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW, 0600);
  if (FHandle < 0) RaiseLastOSError(FPath);
  if (Sys().flock(FHandle, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    Sys().close(FHandle);
    throw EOSError(error, FPath);
  }
}

TAppendFile::~TAppendFile() {
  if (FHandle >= 0) Sys().close(FHandle);
}

void TAppendFile::Append(std::string_view Text, bool Sync) {
  while (!Text.empty()) {
    const ssize_t n = Sys().write(FHandle, Text.data(), Text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) RaiseLastOSError(FPath);
    Text.remove_prefix(static_cast<std::size_t>(n));
  }
  if (Sync && Sys().fsync(FHandle) != 0) RaiseLastOSError(FPath);
}

bool IsWriterAlive(const std::string& Path) {
  const int handle = Sys().open(Path.c_str(), O_RDONLY | O_NOFOLLOW, 0);
  if (handle < 0) return false;
  bool alive = false;
  if (Sys().flock(handle, LOCK_SH | LOCK_NB) != 0)
    alive = errno == EWOULDBLOCK;
  else
    Sys().flock(handle, LOCK_UN);
  Sys().close(handle);
  return alive;
}

}  // namespace platform
