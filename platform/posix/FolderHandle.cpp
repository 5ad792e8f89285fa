#include "platform/FolderHandle.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "SysCalls.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"

namespace platform {
using posix::Sys;

TFolderHandle::~TFolderHandle() {
  if (FFd >= 0) Sys().close(FFd);
}

TFolderHandle& TFolderHandle::operator=(TFolderHandle&& Other) noexcept {
  if (this != &Other) {
    if (FFd >= 0) Sys().close(FFd);
    FFd = Other.FFd;
    Other.FFd = -1;
  }
  return *this;
}

TEntryKind EntryKindAt(int Folder, const std::string& Name) {
  struct stat st {};
  if (Sys().fstatat(Folder, Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return TEntryKind::ekNone;
  if (S_ISLNK(st.st_mode)) return TEntryKind::ekLink;
  return S_ISDIR(st.st_mode) ? TEntryKind::ekFolder : TEntryKind::ekFile;
}

TFolderHandle OpenFolder(const std::string& Path) {
  int fd = Sys().open(Path.c_str(), O_RDONLY | O_DIRECTORY, 0);
  if (fd < 0) RaiseLastOSError(Path);
  return TFolderHandle(fd);
}

TChildFolder OpenChildFolder(int Parent, const std::string& Name, bool Create) {
  constexpr int Flags = O_RDONLY | O_DIRECTORY;
  TChildFolder child;
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = Sys().openat(Parent, Name.c_str(), Flags | O_NOFOLLOW, 0);
    if (fd >= 0) {
      child.Handle = TFolderHandle(fd);
      return child;
    }
    child.ErrorCode = errno;
    if (child.ErrorCode == ELOOP || child.ErrorCode == ENOTDIR) {
      struct stat st {};
      if (Sys().fstatat(Parent, Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        if (st.st_uid != 0 && st.st_uid != CurrentUserId()) {
          child.UntrustedLink = true;
          return child;
        }
        fd = Sys().openat(Parent, Name.c_str(), Flags, 0);
        if (fd >= 0) child.Handle = TFolderHandle(fd);
        else child.ErrorCode = errno;
      }
      return child;
    }
    if (child.ErrorCode != ENOENT || !Create) return child;
    if (Sys().mkdirat(Parent, Name.c_str(), 0777) == 0)
      child.Created = true;
    else if (errno != EEXIST) {  // made meanwhile by someone else is fine
      child.ErrorCode = errno;
      return child;
    }
  }
  return child;
}

bool MakeFolderAt(int Folder, const std::string& Name) { return Sys().mkdirat(Folder, Name.c_str(), 0777) == 0; }

bool RenameNoReplace(int FromFolder, const std::string& From, int ToFolder, const std::string& To) {
  return Sys().renameat2(FromFolder, From.c_str(), ToFolder, To.c_str(), RENAME_NOREPLACE) == 0;
}

bool RenameReplacing(int FromFolder, const std::string& From, int ToFolder, const std::string& To) {
  return Sys().renameat2(FromFolder, From.c_str(), ToFolder, To.c_str(), 0) == 0;
}

bool RemoveFileAt(int Folder, const std::string& Name) { return Sys().unlinkat(Folder, Name.c_str(), 0) == 0; }
bool RemoveFolderAt(int Folder, const std::string& Name) {
  return Sys().unlinkat(Folder, Name.c_str(), AT_REMOVEDIR) == 0;
}

std::uint64_t FileSystemIdOf(int Fd) {
  struct stat st {};
  if (Sys().fstat(Fd, &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_dev);
}

void SyncFileSystem(int Fd, const std::string& Path) {
  if (Sys().syncfs(Fd) != 0) RaiseLastOSError(Path);
}

void SyncFolder(const std::string& Path) {
  int fd = Sys().open(Path.c_str(), O_RDONLY | O_DIRECTORY, 0);
  if (fd < 0) RaiseLastOSError(Path);
  const int result = Sys().fsync(fd);
  const int error = errno;
  Sys().close(fd);
  if (result != 0) throw EOSError(error, Path);
}

}  // namespace platform
