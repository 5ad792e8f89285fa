#include "platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SysCalls.h"
#include "Runtime.Strings.h"
#include "platform/OSError.h"

namespace platform {
using posix::Sys;

namespace {
TFileEntry EntryFromStat(std::string name, const struct stat& st) {
  TFileEntry e;
  e.Name = std::move(name);
  e.IsDirectory = S_ISDIR(st.st_mode);
  e.IsExecutable = !e.IsDirectory && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
  e.Size = static_cast<std::int64_t>(st.st_size);
  e.ModifiedTime = static_cast<std::int64_t>(st.st_mtime);
  e.IsSymbolicLink = S_ISLNK(st.st_mode);
  e.OwnerId = st.st_uid;
  return e;
}

class FdCloser {
 public:
  explicit FdCloser(int fd) : FFd(fd) {}
  ~FdCloser() {
    if (FFd >= 0) Sys().close(FFd);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int FFd;
};
}  // namespace

namespace {
std::optional<TFileEntry> EntryOf(const std::string& path, bool followLinks) {
  struct stat st {};
  if (path.empty() || (followLinks ? Sys().stat(path.c_str(), &st) : Sys().lstat(path.c_str(), &st)) != 0)
    return std::nullopt;
  std::string_view name = path;
  while (name.size() > 1 && name.back() == '/') name.remove_suffix(1);
  if (auto slash = name.rfind('/'); slash != std::string_view::npos && name.size() > 1) name.remove_prefix(slash + 1);
  return EntryFromStat(std::string(name), st);
}
}  // namespace

std::optional<TFileEntry> GetFileEntry(const std::string& path) { return EntryOf(path, true); }

// A trailing separator would make the system follow the link after all.
std::optional<TFileEntry> GetLinkEntry(const std::string& path) {
  return EntryOf(path.size() > 1 ? ExcludeTrailingPathDelimiter(path) : path, false);
}

std::uint32_t CurrentUserId() { return Sys().getuid(); }

void CopySymbolicLink(const std::string& from, const std::string& to) {
  std::string target(4096, '\0');
  ssize_t n = Sys().readlink(from.c_str(), target.data(), target.size());
  if (n < 0) RaiseLastOSError(from);
  if (static_cast<std::size_t>(n) == target.size()) throw EOSError(ENAMETOOLONG, from);
  target.resize(static_cast<std::size_t>(n));
  if (Sys().symlink(target.c_str(), to.c_str()) != 0) RaiseLastOSError(to);
}

bool CreateDir(const std::string& path) { return Sys().mkdir(path.c_str(), 0777) == 0; }
bool DeleteFile(const std::string& path) { return Sys().unlink(path.c_str()) == 0; }
bool RemoveDir(const std::string& path) { return Sys().rmdir(path.c_str()) == 0; }
bool RenameFile(const std::string& from, const std::string& to) { return Sys().rename(from.c_str(), to.c_str()) == 0; }

void CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  int in = Sys().open(from.c_str(), O_RDONLY, 0);
  if (in < 0) RaiseLastOSError(from);
  FdCloser closeIn(in);
  struct stat st {};
  if (Sys().fstat(in, &st) != 0) RaiseLastOSError(from);
  if (S_ISDIR(st.st_mode)) throw EOSError(EISDIR, from);
  int flags = O_WRONLY | O_CREAT | O_TRUNC | (failIfExists ? O_EXCL : 0);
  int out = Sys().open(to.c_str(), flags, st.st_mode & 07777);
  if (out < 0) RaiseLastOSError(to);
  FdCloser closeOut(out);
  char buffer[65536];
  for (;;) {
    ssize_t n = Sys().read(in, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseLastOSError(from);
    }
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = Sys().write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        RaiseLastOSError(to);
      }
      done += w;
    }
  }
}

std::vector<TFileEntry> ListDirectory(const std::string& path, bool followLinks) {
  DIR* dir = Sys().opendir(path.c_str());
  if (!dir) RaiseLastOSError(path);
  std::vector<TFileEntry> entries;
  std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
  errno = 0;
  while (dirent* d = Sys().readdir(dir)) {
    if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
    struct stat st {};
    const std::string full = prefix + d->d_name;
    // Vanished, or a dangling link when links are followed.
    if ((followLinks ? Sys().stat(full.c_str(), &st) : Sys().lstat(full.c_str(), &st)) != 0) continue;
    entries.push_back(EntryFromStat(d->d_name, st));
    errno = 0;
  }
  int error = errno;
  Sys().closedir(dir);
  if (error != 0) throw EOSError(error, path);
  SortInFileSystemOrder(entries);
  return entries;
}

}  // namespace platform
