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
// The user's home folder: $HOME when set and not empty, else the home folder of the real user in
// the password database; nothing when neither names one. Without trailing separator ("/" stays).
std::optional<std::string> HomeFolder();
// The home folder of the real user in the password database, or nothing.
std::optional<std::string> HomeFolderOfUser();
}  // namespace platform
