#include "platform/AssociatedApplication.h"

#include <mutex>
#include <vector>

#include "SysCalls.h"

extern char** environ;

namespace platform {
using posix::Sys;

namespace {
// The opener may wait for the application it starts, so nobody waits for it here. Openers that
// have ended are collected on the next call, which keeps at most a few finished ones around.
std::mutex openersMutex;
std::vector<pid_t> runningOpeners;

void CollectFinishedOpeners() {
  std::erase_if(runningOpeners, [](pid_t pid) {
    int status = 0;
    return Sys().waitpid(pid, &status, WNOHANG) != 0;  // ended, or no longer ours
  });
}
}  // namespace

bool OpenWithAssociatedApplication(const std::string& path) {
  std::lock_guard lock(openersMutex);
  CollectFinishedOpeners();
  std::string program = "xdg-open";
  // A name starting with "-" would read as an option of the opener.
  std::string argument = path.starts_with('-') ? "./" + path : path;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  if (Sys().posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  runningOpeners.push_back(pid);
  return true;
}

}  // namespace platform
