#include "platform/FileAttributes.h"

#include "SysCalls.h"
#include "platform/OSError.h"

namespace platform {
using posix::Sys;

namespace {
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
}

void SetFileReadOnly(const std::string& path, bool readOnly) {
  struct stat st {};
  if (Sys().stat(path.c_str(), &st) != 0) RaiseLastOSError(path);
  const mode_t mode = st.st_mode & 07777;
  const mode_t wanted = readOnly ? mode & ~kWriteBits : mode | S_IWUSR;
  if (wanted != mode && Sys().chmod(path.c_str(), wanted) != 0) RaiseLastOSError(path);
}

bool FileIsReadOnly(const std::string& path) {
  struct stat st {};
  return Sys().stat(path.c_str(), &st) == 0 && (st.st_mode & kWriteBits) == 0;
}

}  // namespace platform
