#include "SysCalls.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platform::posix {
namespace {
int RealOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags | O_CLOEXEC, mode); }
int RealStat(const char* path, struct stat* st) { return ::stat(path, st); }
int RealFstat(int fd, struct stat* st) { return ::fstat(fd, st); }
int RealOpenat(int dirFd, const char* name, int flags, mode_t mode) { return ::openat(dirFd, name, flags | O_CLOEXEC, mode); }
int RealFstatat(int dirFd, const char* name, struct stat* st, int flags) { return ::fstatat(dirFd, name, st, flags); }
}  // namespace

SysCalls& Sys() {
  // By name, in the order of the declaration, so that two calls of one type cannot be swapped.
  static SysCalls calls{
      .open = RealOpen,
      .close = ::close,
      .read = ::read,
      .write = ::write,
      .lseek = ::lseek,
      .fstat = RealFstat,
      .stat = RealStat,
      .ftruncate = ::ftruncate,
      .getenv = ::getenv,
      .mkdir = ::mkdir,
      .unlink = ::unlink,
      .rmdir = ::rmdir,
      .rename = ::rename,
      .opendir = ::opendir,
      .readdir = ::readdir,
      .closedir = ::closedir,
      .getuid = ::getuid,
      .getpwuid_r = ::getpwuid_r,
      .readlink = ::readlink,
      .realpath = ::realpath,
      .socket = ::socket,
      .bind = ::bind,
      .getrandom = ::getrandom,
      .fsync = ::fsync,
      .lstat = ::lstat,
      .pread = ::pread,
      .copy_file_range = ::copy_file_range,
      .fchmod = ::fchmod,
      .futimens = ::futimens,
      .symlink = ::symlink,
      .acl_extended_fd = ::acl_extended_fd,
      .acl_set_fd = ::acl_set_fd,
      .chmod = ::chmod,
      .posix_spawnp = ::posix_spawnp,
      .waitpid = ::waitpid,
      .flock = ::flock,
      .statvfs = ::statvfs,
      .openat = RealOpenat,
      .fstatat = RealFstatat,
      .mkdirat = ::mkdirat,
      .unlinkat = ::unlinkat,
      .renameat2 = ::renameat2,
      .syncfs = ::syncfs,
      .sync_file_range = ::sync_file_range,
      .isatty = ::isatty,
      .tcgetattr = ::tcgetattr,
      .tcsetattr = ::tcsetattr,
  };
  return calls;
}
}  // namespace platform::posix
