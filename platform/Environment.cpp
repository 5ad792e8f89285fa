#include "platform/Environment.h"

#include "Runtime.Strings.h"

namespace platform {
std::string GetEnvironmentVariableOr(std::string_view name, std::string_view fallback) {
  auto value = GetEnvironmentVariable(name);
  return value && !value->empty() ? *value : std::string(fallback);
}

std::optional<std::string> HomeFolder() {
  std::optional<std::string> home = GetEnvironmentVariable("HOME");
  if (!home || home->empty()) home = HomeFolderOfUser();
  if (!home || home->empty()) return std::nullopt;
  std::string folder = *home;
  while (!folder.empty() && folder.back() == PathDelim) folder.pop_back();
  return folder.empty() ? std::string(1, PathDelim) : folder;
}
}  // namespace platform
