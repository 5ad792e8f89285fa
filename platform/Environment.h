#pragma once
// Environment variables of the process.

#include <optional>
#include <string>
#include <string_view>

namespace platform {
// The variable's value, or nothing when it is not set.
std::optional<std::string> GetEnvironmentVariable(std::string_view name);
// The value when set and not empty, else the fallback.
std::string GetEnvironmentVariableOr(std::string_view name, std::string_view fallback);
}  // namespace platform
