#pragma once
// A file copied block by block into a new file that replaces its target only when complete.
//
// The new file is written by the update's one writer (TNewFile) and renamed over the target by
// Commit, so a failed or cancelled copy never leaves a half-written file in place, and a
// symbolic link at the target is replaced by the file, never written through. Access and times are
// set through the new file's descriptor, so they cannot land on a link's target either.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/AtomicFile.h"

namespace platform {

// One block of the copy: the size of a view of the allocation granularity where files are mapped,
// kept so that progress and the memory used stay the same.
inline constexpr std::size_t FileBlockSize = 65536;

// A regular file opened for reading; its size and mode are taken once, from the opened descriptor,
// so the file copied is the one whose type was checked.
class TBlockSource {
 public:
  // Path is opened without following a link (for a package link, open the path its verdict
  // resolved, FileKind.h) and without blocking. EOSError when it cannot be opened (ELOOP for a link),
  // is a folder (EISDIR) or anything else but a regular file (EINVAL: a pipe, socket or device).
  explicit TBlockSource(const std::string& Path);
  ~TBlockSource();
  TBlockSource(const TBlockSource&) = delete;
  TBlockSource& operator=(const TBlockSource&) = delete;

  const std::string& Path() const { return FPath; }
  std::uint64_t Size() const { return FSize; }
  bool IsExecutable() const;

 private:
  friend class TBlockTarget;
  std::string FPath;
  int FHandle = -1;
  std::uint64_t FSize = 0;
  std::uint32_t FMode = 0;
  std::int64_t FTimes[4] = {};  // access and modification: seconds, nanoseconds
};

enum TBlockFailure : int { bfNone, bfRead, bfWrite };

struct TBlockResult {
  TBlockFailure Failure = bfNone;
  int ErrorCode = 0;  // the system's code; ENODATA when the source ended before its size
  explicit operator bool() const { return Failure == bfNone; }
};

class TBlockTarget {
 public:
  // Creates the temporary file (the update's one writer, TNewFile) for Target, a path, or a name
  // inside the folder descriptor Folder; EOSError naming ErrorName when it cannot be created.
  explicit TBlockTarget(std::string Target);
  TBlockTarget(int Folder, std::string Name, std::string ErrorName);
  // Removes the temporary unless it was committed.
  ~TBlockTarget();
  TBlockTarget(const TBlockTarget&) = delete;
  TBlockTarget& operator=(const TBlockTarget&) = delete;

  const std::string& Target() const { return FErrorName; }

  // Sees the bytes of a block once they are written.
  using TWrittenBytes = std::function<void(const void* Data, std::size_t Length)>;

  // Appends Length bytes of Source from Offset. With Written the block passes through memory, so
  // what Written sees is exactly what was written; without it the system may copy it directly.
  TBlockResult CopyBlock(const TBlockSource& Source, std::uint64_t Offset, std::size_t Length,
                         const TWrittenBytes* Written = nullptr);

  // Read and write for user, group and other (execute too when Executable), extended access
  // entries removed. EOSError when the system refuses.
  void GrantEveryoneAccess(bool Executable);
  // The source's permission bits and access and modification times. EOSError when refused.
  void KeepModeAndTimesOf(const TBlockSource& Source);

  // Closes the file and renames it over the target (with NoReplace only where nothing is there),
  // durable as TNewFile says; EOSError when that fails (the temporary is then removed).
  void Commit(TDurability Durability = TDurability::dSyncedByRun, bool NoReplace = false);
  // Removes the temporary now.
  void Abandon();

 private:
  std::string FErrorName;
  std::unique_ptr<TNewFile> FFile;
  TBlockResult CopyBlockData(const TBlockSource& Source, std::uint64_t Offset, std::size_t Length,
                             const TWrittenBytes* Written);
  void StartWriteback(std::size_t Length);

  std::unique_ptr<char[]> FBuffer;  // one block, kept for the whole file
  bool FUseCopyRange = true;  // until the system says it cannot copy between these files
  std::uint64_t FWritten = 0, FHandedToDisk = 0;
};

}  // namespace platform
