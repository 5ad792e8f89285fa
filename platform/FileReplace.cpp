#include "platform/FileReplace.h"

#include <cerrno>

#include "Runtime.Strings.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/Random.h"

namespace platform {
// The system primitive: creates File, which must not exist yet, writes Contents and flushes them to
// the disk. Returns 0 or the system's error code; Created tells whether File was made (and must be
// removed by the caller after a failure).
int WriteNewFileSys(const std::string& File, std::string_view Contents, unsigned Permissions, bool& Created);

namespace {
// A hidden name beside the target, so that a file manager does not show the unfinished file.
std::string TemporaryName(const std::string& Path) {
  unsigned char bytes[6];
  if (int error = FillRandomBytes(bytes, sizeof bytes); error != 0) throw EOSError(error, Path);
  std::string suffix;
  for (unsigned char b : bytes) suffix += IntToHex(b, 2);
  return ExtractFilePath(Path) + "." + ExtractFileName(Path) + "." + suffix + ".tmp";
}
}  // namespace

void WriteFileReplacing(const std::string& Path, std::string_view Contents, unsigned Permissions) {
  std::string temporary;
  int error = EEXIST;
  // A name that is taken (a leftover, or another writer) is never opened: try a fresh one.
  for (int attempt = 0; attempt < 8 && error == EEXIST; ++attempt) {
    temporary = TemporaryName(Path);
    bool created = false;
    error = WriteNewFileSys(temporary, Contents, Permissions, created);
    if (error != 0 && created) DeleteFile(temporary);
  }
  if (error != 0) throw EOSError(error, Path);
  if (!RenameFile(temporary, Path)) {
    error = LastErrorCode();
    DeleteFile(temporary);
    throw EOSError(error, Path);
  }
}
}  // namespace platform
