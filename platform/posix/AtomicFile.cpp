#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>

#include "Runtime.Strings.h"
#include "SysCalls.h"
#include "platform/OSError.h"
#include "platform/Random.h"

namespace platform {
using posix::Sys;

namespace {
// The temporary file while it is being written: closed and removed unless Commit renamed it.
class TTemporaryFile {
 public:
  TTemporaryFile(std::string path, int fd) : FPath(std::move(path)), FFd(fd) {}
  ~TTemporaryFile() {
    if (FFd >= 0) Sys().close(FFd);
    if (!FPath.empty()) Sys().unlink(FPath.c_str());
  }
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  int Fd() const { return FFd; }
  // Closes the descriptor; false (errno set) when the system reports a late write error.
  bool Close() {
    int fd = FFd;
    FFd = -1;
    return Sys().close(fd) == 0;
  }
  bool RenameTo(const std::string& target) {
    if (Sys().rename(FPath.c_str(), target.c_str()) != 0) return false;
    FPath.clear();
    return true;
  }

 private:
  std::string FPath;
  int FFd;
};

// "<path>.<16 hex digits>.tmp": in the same folder, so that the rename stays on one file system.
std::string TemporaryName(const std::string& path) {
  std::uint64_t random = 0;
  if (int error = FillRandomBytes(&random, sizeof random); error != 0) throw EOSError(error, path);
  return path + "." + IntToHex(random, 16) + ".tmp";
}

void WriteAll(int fd, std::string_view contents, const std::string& path) {
  while (!contents.empty()) {
    ssize_t n = Sys().write(fd, contents.data(), contents.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseLastOSError(path);
    }
    contents.remove_prefix(static_cast<std::size_t>(n));
  }
}
}  // namespace

namespace {
// Without permissions the file keeps the old file's bits.
void WriteThroughTemporary(const std::string& path, std::string_view contents, std::optional<unsigned> permissions) {
  struct stat old {};
  const bool keepOldMode = !permissions && Sys().stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  const mode_t createMode = permissions ? static_cast<mode_t>(*permissions) : 0666;

  std::string temporaryName;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporaryName = TemporaryName(path);
    fd = Sys().open(temporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, createMode);
    if (fd < 0 && (errno != EEXIST || attempt == 8)) RaiseLastOSError(path);
  }
  TTemporaryFile temporary(temporaryName, fd);

  WriteAll(temporary.Fd(), contents, path);
  if (keepOldMode && Sys().fchmod(temporary.Fd(), old.st_mode & 07777) != 0) RaiseLastOSError(path);
  // Without the flush a crash after the rename could leave an empty file where the old one was.
  if (Sys().fsync(temporary.Fd()) != 0) RaiseLastOSError(path);
  if (!temporary.Close()) RaiseLastOSError(path);
  if (!temporary.RenameTo(path)) RaiseLastOSError(path);
}
}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  WriteThroughTemporary(path, contents, std::nullopt);
}

void WriteFileAtomically(const std::string& path, std::string_view contents, unsigned permissions) {
  WriteThroughTemporary(path, contents, permissions);
}

}  // namespace platform
