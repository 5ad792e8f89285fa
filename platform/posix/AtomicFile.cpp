#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
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
constexpr std::string_view TemporaryPrefix = ".quenta-";
constexpr std::string_view TemporarySuffix = ".tmp";

std::string& RunIdStorage() {
  static std::string id;
  return id;
}
std::atomic<unsigned> Serial{0};

std::string TemporaryNameFor(const std::string& target, int folder) {
  std::string name = std::string(TemporaryPrefix) + TemporaryRunId() + "-" + std::to_string(++Serial) +
                     std::string(TemporarySuffix);
  return folder == TNewFile::AtFolderOfPath ? ExtractFilePath(target) + name : name;
}
}  // namespace

const std::string& TemporaryRunId() {
  std::string& id = RunIdStorage();
  if (id.empty()) {
    std::uint64_t random = 0;
    if (!FillRandomBytes(&random, sizeof random)) RaiseLastOSError();
    id = IntToHex(random & 0xFFFFFFFFFFFFull, 12);
  }
  return id;
}

void SetTemporaryRunId(const std::string& RunId) { RunIdStorage() = RunId; }

bool IsTemporaryName(std::string_view Name) { return Name.starts_with(TemporaryPrefix) && Name.ends_with(TemporarySuffix); }

bool IsTemporaryOfRun(std::string_view Name, std::string_view RunId) {
  return IsTemporaryName(Name) && Name.substr(TemporaryPrefix.size()).starts_with(RunId) &&
         Name.substr(TemporaryPrefix.size() + RunId.size()).starts_with('-');
}

TNewFile::TNewFile(int Folder, std::string Target, unsigned Mode, std::string ErrorName)
    : FFolder(Folder), FTarget(std::move(Target)), FErrorName(std::move(ErrorName)) {
  // O_EXCL|O_NOFOLLOW never follows a link someone may have put at the temporary name.
  for (int attempt = 0; FHandle < 0; ++attempt) {
    FTemporary = TemporaryNameFor(FTarget, FFolder);
    FHandle = Sys().openat(FFolder, FTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW,
                           static_cast<mode_t>(Mode));
    if (FHandle < 0 && (errno != EEXIST || attempt == 8)) RaiseLastOSError(FErrorName);
  }
}

TNewFile::~TNewFile() { Abandon(); }

void TNewFile::Abandon() {
  if (FHandle < 0) return;
  Sys().close(FHandle);
  FHandle = -1;
  Sys().unlinkat(FFolder, FTemporary.c_str(), 0);
}

void TNewFile::Write(std::string_view Bytes) {
  while (!Bytes.empty()) {
    ssize_t n = Sys().write(FHandle, Bytes.data(), Bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseLastOSError(FErrorName);
    }
    Bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void TNewFile::Commit(TDurability Durability, bool NoReplace) {
  const int handle = FHandle;
  FHandle = -1;
  bool done = Durability != TDurability::dSyncNow || Sys().fsync(handle) == 0;
  int error = errno;
  // A late write error (a full disk, a network file system) shows only at close.
  if (Sys().close(handle) != 0 && done) {
    done = false;
    error = errno;
  }
  if (done && Sys().renameat2(FFolder, FTemporary.c_str(), FFolder, FTarget.c_str(), NoReplace ? RENAME_NOREPLACE : 0) != 0) {
    done = false;
    error = errno;
  }
  if (done) return;
  Sys().unlinkat(FFolder, FTemporary.c_str(), 0);
  throw EOSError(error, FErrorName);
}

namespace {
// Without permissions the file keeps the old file's bits.
void WriteThroughTemporary(const std::string& path, std::string_view contents, std::optional<unsigned> permissions,
                           TDurability durability) {
  struct stat old {};
  const bool replacing = Sys().stat(path.c_str(), &old) == 0;
  const bool keepOldMode = !permissions && replacing && S_ISREG(old.st_mode);
  TNewFile file(TNewFile::AtFolderOfPath, path, permissions ? *permissions : 0666, path);
  file.Write(contents);
  if (keepOldMode && Sys().fchmod(file.Handle(), old.st_mode & 07777) != 0) RaiseLastOSError(path);
  // Without the flush a power cut after the rename could leave an empty file where the old one was.
  file.Commit(replacing ? TDurability::dSyncNow : durability);
}
}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  WriteThroughTemporary(path, contents, std::nullopt, TDurability::dSyncNow);
}

void WriteFileAtomically(const std::string& path, std::string_view contents, unsigned permissions,
                         TDurability Durability) {
  WriteThroughTemporary(path, contents, permissions, Durability);
}

}  // namespace platform
