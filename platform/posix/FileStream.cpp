#include "platform/FileStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "SysCalls.h"
#include "platform/OSError.h"

using platform::posix::Sys;

int TFileStream::OpenSys(const std::string& fileName, std::uint16_t mode, int& errorCode) {
  int flags;
  if ((mode & fmCreate) == fmCreate) {
    flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 0x3) {
      case fmOpenWrite: flags = O_WRONLY; break;
      case fmOpenReadWrite: flags = O_RDWR; break;
      default: flags = O_RDONLY;
    }
  }
  int fd = Sys().open(fileName.c_str(), flags, 0666);
  if (fd < 0) {
    errorCode = errno;
    return -1;
  }
  // A folder opens for reading on POSIX; as a file stream it is an error from the start.
  struct stat st {};
  if (Sys().fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    Sys().close(fd);
    errorCode = EISDIR;
    return -1;
  }
  return fd;
}

void TFileStream::CloseSys(int handle) { Sys().close(handle); }

std::int32_t TFileStream::ReadSys(void* buffer, std::int32_t count) {
  auto* p = static_cast<char*>(buffer);
  std::int32_t total = 0;
  while (total < count) {
    ssize_t n = Sys().read(FHandle, p + total, static_cast<size_t>(count - total));
    if (n < 0) {
      if (errno == EINTR) continue;
      platform::RaiseLastOSError(FFileName);
    }
    if (n == 0) break;
    total += static_cast<std::int32_t>(n);
  }
  return total;
}

std::int32_t TFileStream::WriteSys(const void* buffer, std::int32_t count) {
  const auto* p = static_cast<const char*>(buffer);
  std::int32_t total = 0;
  while (total < count) {
    ssize_t n = Sys().write(FHandle, p + total, static_cast<size_t>(count - total));
    if (n < 0) {
      if (errno == EINTR) continue;
      platform::RaiseLastOSError(FFileName);
    }
    if (n == 0) break;
    total += static_cast<std::int32_t>(n);
  }
  return total;
}

std::int64_t TFileStream::SeekSys(std::int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = Sys().lseek(FHandle, static_cast<off_t>(offset), whence);
  if (r < 0) platform::RaiseLastOSError(FFileName);
  return r;
}

void TFileStream::SetSizeSys(std::int64_t size) {
  if (Sys().ftruncate(FHandle, static_cast<off_t>(size)) != 0) platform::RaiseLastOSError(FFileName);
}
