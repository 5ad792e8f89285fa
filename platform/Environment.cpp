#include "platform/Environment.h"

namespace platform {
std::string GetEnvironmentVariableOr(std::string_view name, std::string_view fallback) {
  auto value = GetEnvironmentVariable(name);
  return value && !value->empty() ? *value : std::string(fallback);
}
}  // namespace platform
