#include "platform/Environment.h"

#include "SysCalls.h"

namespace platform {
std::optional<std::string> GetEnvironmentVariable(std::string_view name) {
  const char* value = posix::Sys().getenv(std::string(name).c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}
}  // namespace platform
