#include "platform/FileBlocks.h"

#include <fcntl.h>
#include <acl/libacl.h>
#include <sys/acl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "Runtime.Strings.h"
#include "SysCalls.h"
#include "platform/OSError.h"

// Blocks are read with pread, or moved inside the kernel with copy_file_range, never mapped: a
// mapped source that shrinks or sits on a removed medium kills the process with SIGBUS, where a
// read only fails. copy_file_range is the fast path; where the system cannot copy between the two
// files it is given up for the rest of the file, and on any other failure the block goes on by
// pread and write, which tell whether reading or writing failed.

namespace platform {
using posix::Sys;

// Not following a link and not blocking: a link swapped in after the verdict fails with ELOOP,
// and a pipe without writer or a device opens at once, to be refused by its descriptor's type.
TBlockSource::TBlockSource(const std::string& Path) : FPath(Path) {
  FHandle = Sys().open(Path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK, 0);
  if (FHandle < 0) RaiseLastOSError(Path);
  struct stat st {};
  if (Sys().fstat(FHandle, &st) != 0) {
    int error = errno;
    Sys().close(FHandle);
    throw EOSError(error, Path);
  }
  if (!S_ISREG(st.st_mode)) {
    Sys().close(FHandle);
    throw EOSError(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, Path);
  }
  FSize = static_cast<std::uint64_t>(st.st_size);
  FMode = st.st_mode & 07777;
  FTimes[0] = st.st_atim.tv_sec;
  FTimes[1] = st.st_atim.tv_nsec;
  FTimes[2] = st.st_mtim.tv_sec;
  FTimes[3] = st.st_mtim.tv_nsec;
}

TBlockSource::~TBlockSource() {
  if (FHandle >= 0) Sys().close(FHandle);
}

bool TBlockSource::IsExecutable() const { return (FMode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0; }

TBlockTarget::TBlockTarget(std::string Target)
    : FErrorName(Target), FFile(std::make_unique<TNewFile>(TNewFile::AtFolderOfPath, std::move(Target), 0600, FErrorName)) {}

TBlockTarget::TBlockTarget(int Folder, std::string Name, std::string ErrorName)
    : FErrorName(std::move(ErrorName)), FFile(std::make_unique<TNewFile>(Folder, std::move(Name), 0600, FErrorName)) {}

TBlockTarget::~TBlockTarget() = default;

void TBlockTarget::Abandon() { FFile->Abandon(); }

TBlockResult TBlockTarget::CopyBlock(const TBlockSource& Source, std::uint64_t Offset, std::size_t Length,
                                     const TWrittenBytes* Written) {
  TBlockResult result = CopyBlockData(Source, Offset, Length, Written);
  if (result) StartWriteback(Length);
  return result;
}

// The run syncs once at its end; handing the disk each large file's data as it is copied lets
// that sync find most of it written already, instead of the whole package still to write.
void TBlockTarget::StartWriteback(std::size_t Length) {
  constexpr std::uint64_t Chunk = 8u << 20;
  FWritten += Length;
  if (FWritten - FHandedToDisk < Chunk) return;
  Sys().sync_file_range(FFile->Handle(), static_cast<off_t>(FHandedToDisk), static_cast<off_t>(FWritten - FHandedToDisk),
                        SYNC_FILE_RANGE_WRITE);  // only a hint: a failure changes nothing
  FHandedToDisk = FWritten;
}

TBlockResult TBlockTarget::CopyBlockData(const TBlockSource& Source, std::uint64_t Offset, std::size_t Length,
                                         const TWrittenBytes* Written) {
  std::size_t done = 0;
  while (FUseCopyRange && !Written && done < Length) {
    off_t in = static_cast<off_t>(Offset + done);
    ssize_t n = Sys().copy_file_range(Source.FHandle, &in, FFile->Handle(), nullptr, Length - done, 0);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0) return {bfRead, ENODATA};
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF)
      FUseCopyRange = false;
    break;
  }
  if (done == Length) return {};

  if (!FBuffer) FBuffer = std::make_unique_for_overwrite<char[]>(FileBlockSize);
  char* const buffer = FBuffer.get();
  while (done < Length) {
    ssize_t n = Sys().pread(Source.FHandle, buffer, std::min(Length - done, FileBlockSize),
                            static_cast<off_t>(Offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {bfRead, errno};
    if (n == 0) return {bfRead, ENODATA};
    for (ssize_t written = 0; written < n;) {
      ssize_t w = Sys().write(FFile->Handle(), buffer + written, static_cast<std::size_t>(n - written));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return {bfWrite, errno};
      if (w == 0) return {bfWrite, ENOSPC};
      written += w;
    }
    if (Written) (*Written)(buffer, static_cast<std::size_t>(n));
    done += static_cast<std::size_t>(n);
  }
  return {};
}

void TBlockTarget::GrantEveryoneAccess(bool Executable) {
  mode_t mode = 0666 | (Executable ? 0111 : 0);
  if (Sys().fchmod(FFile->Handle(), mode) != 0) RaiseLastOSError(FErrorName);
  // Most files have no extended entries (none inherited from the folder): then the mode is the
  // whole access already, and the journalled write of an access list is saved.
  if (Sys().acl_extended_fd(FFile->Handle()) == 0) return;
  acl_t acl = acl_from_mode(mode);
  if (!acl) RaiseLastOSError(FErrorName);
  int result = Sys().acl_set_fd(FFile->Handle(), acl);
  int error = errno;
  acl_free(acl);
  // Without access lists on the file system the mode is the whole access.
  if (result != 0 && error != ENOTSUP && error != EOPNOTSUPP) throw EOSError(error, FErrorName);
}

void TBlockTarget::KeepModeAndTimesOf(const TBlockSource& Source) {
  if (Sys().fchmod(FFile->Handle(), Source.FMode) != 0) RaiseLastOSError(FErrorName);
  struct timespec times[2] = {{Source.FTimes[0], Source.FTimes[1]}, {Source.FTimes[2], Source.FTimes[3]}};
  if (Sys().futimens(FFile->Handle(), times) != 0) RaiseLastOSError(FErrorName);
}

void TBlockTarget::Commit(TDurability Durability, bool NoReplace) { FFile->Commit(Durability, NoReplace); }

}  // namespace platform
