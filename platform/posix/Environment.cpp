#include "platform/Environment.h"

#include <vector>

#include "SysCalls.h"

namespace platform {
std::optional<std::string> GetEnvironmentVariable(std::string_view name) {
  const char* value = posix::Sys().getenv(std::string(name).c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> HomeFolderOfUser() {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (posix::Sys().getpwuid_r(posix::Sys().getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
      !found->pw_dir)
    return std::nullopt;
  return std::string(found->pw_dir);
}
}  // namespace platform
