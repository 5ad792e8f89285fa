#pragma once
// Symbolic links that belong to another user, as someone else sharing the machine would plant
// them. Run as root the link is really given away; otherwise the system-call table reports
// another owner for it.

#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <stdexcept>
#include <string>

#include "platform/posix/SysCalls.h"

class TForeignLinks {
 public:
  static constexpr uid_t Stranger = 65534;

  TForeignLinks() : FLstat(&platform::posix::SysCalls::lstat, &Lstat) { Active() = this; }
  ~TForeignLinks() { Active() = nullptr; }
  TForeignLinks(const TForeignLinks&) = delete;
  TForeignLinks& operator=(const TForeignLinks&) = delete;

  // A link at path to target, owned by Stranger.
  void Plant(const std::string& target, const std::string& path) {
    if (::symlink(target.c_str(), path.c_str()) != 0) throw std::runtime_error("cannot link " + path);
    if (::geteuid() == 0) {
      if (::lchown(path.c_str(), Stranger, Stranger) != 0) throw std::runtime_error("cannot give away " + path);
    } else {
      FPaths.insert(path);
    }
  }

 private:
  static TForeignLinks*& Active() {
    static TForeignLinks* active = nullptr;
    return active;
  }
  static int Lstat(const char* path, struct stat* st) {
    int result = ::lstat(path, st);
    if (result == 0 && Active() && Active()->FPaths.count(path)) st->st_uid = Stranger;
    return result;
  }

  platform::posix::ScopedSysCall<decltype(platform::posix::SysCalls::lstat)> FLstat;
  std::set<std::string> FPaths;
};
