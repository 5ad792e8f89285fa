#pragma once
// Every POSIX call of the platform layer goes through this table, so that tests can make a call
// fail and reach the error paths. Replace entries only through ScopedSysCall.

#include <dirent.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/acl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>

#include <utility>

#include "Runtime.ScopedReplacement.h"

namespace platform::posix {

struct SysCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buf, size_t count);
  ssize_t (*write)(int fd, const void* buf, size_t count);
  off_t (*lseek)(int fd, off_t offset, int whence);
  int (*fstat)(int fd, struct stat* st);
  int (*stat)(const char* path, struct stat* st);
  int (*ftruncate)(int fd, off_t length);
  char* (*getenv)(const char* name);
  int (*mkdir)(const char* path, mode_t mode);
  int (*unlink)(const char* path);
  int (*rmdir)(const char* path);
  int (*rename)(const char* from, const char* to);
  DIR* (*opendir)(const char* path);
  dirent* (*readdir)(DIR* dir);
  int (*closedir)(DIR* dir);
  uid_t (*getuid)();
  int (*getpwuid_r)(uid_t uid, struct passwd* pwd, char* buf, size_t size, struct passwd** result);
  ssize_t (*readlink)(const char* path, char* buf, size_t size);
  char* (*realpath)(const char* path, char* resolved);
  int (*socket)(int domain, int type, int protocol);
  int (*bind)(int fd, const struct sockaddr* addr, socklen_t length);
  ssize_t (*getrandom)(void* buf, size_t count, unsigned int flags);
  int (*fsync)(int fd);
  // Files copied block by block, moved and given their access.
  int (*lstat)(const char* path, struct stat* st);
  ssize_t (*pread)(int fd, void* buf, size_t count, off_t offset);
  ssize_t (*copy_file_range)(int fdIn, off_t* offIn, int fdOut, off_t* offOut, size_t length, unsigned int flags);
  int (*fchmod)(int fd, mode_t mode);
  int (*futimens)(int fd, const struct timespec times[2]);
  int (*symlink)(const char* target, const char* path);
  int (*acl_extended_fd)(int fd);
  int (*acl_set_fd)(int fd, acl_t acl);
  // Programs started without a shell, file attributes by name.
  int (*chmod)(const char* path, mode_t mode);
  int (*posix_spawnp)(pid_t* pid, const char* file, const posix_spawn_file_actions_t* actions,
                      const posix_spawnattr_t* attributes, char* const argv[], char* const envp[]);
  pid_t (*waitpid)(pid_t pid, int* status, int options);
  // The update's journal and log, and the space check.
  int (*flock)(int fd, int operation);
  int (*statvfs)(const char* path, struct statvfs* st);
  // The update's steps relative to folder descriptors, and its few syncs.
  int (*openat)(int dirFd, const char* name, int flags, mode_t mode);
  int (*fstatat)(int dirFd, const char* name, struct stat* st, int flags);
  int (*mkdirat)(int dirFd, const char* name, mode_t mode);
  int (*unlinkat)(int dirFd, const char* name, int flags);
  int (*renameat2)(int fromDirFd, const char* from, int toDirFd, const char* to, unsigned int flags);
  int (*syncfs)(int fd);
  int (*sync_file_range)(int fd, off_t offset, off_t length, unsigned int flags);
  // The terminal a tool asks its user on.
  int (*isatty)(int fd);
  int (*tcgetattr)(int fd, struct termios* mode);
  int (*tcsetattr)(int fd, int when, const struct termios* mode);
};

// The table in use; starts with the real calls.
SysCalls& Sys();

// Replaces one entry for the lifetime of the object.
template <class Fn>
struct ScopedSysCall : ScopedReplacement<SysCalls, Fn> {
  ScopedSysCall(Fn SysCalls::*member, Fn replacement) : ScopedReplacement<SysCalls, Fn>(Sys(), member, replacement) {}
};

}  // namespace platform::posix
