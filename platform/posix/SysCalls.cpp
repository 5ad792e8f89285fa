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
  static SysCalls calls{RealOpen, ::close,  ::read,    ::write,   ::lseek,   RealFstat, RealStat, ::ftruncate,
                        ::getenv, ::mkdir,  ::unlink,  ::rmdir,   ::rename,  ::opendir, ::readdir, ::closedir,
                        ::getuid, ::getpwuid_r, ::readlink, ::realpath, ::socket, ::bind,
                        ::getrandom, ::fsync,
                        ::lstat,  ::pread,  ::copy_file_range, ::fchmod, ::futimens, ::symlink, ::acl_extended_fd,
                        ::acl_set_fd, ::chmod, ::posix_spawnp, ::waitpid, ::flock, ::statvfs,
                        RealOpenat, RealFstatat, ::mkdirat, ::unlinkat, ::renameat2, ::syncfs,
                        ::sync_file_range};
  return calls;
}
}  // namespace platform::posix
