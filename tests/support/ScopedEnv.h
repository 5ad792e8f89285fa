#pragma once
// Sets or unsets an environment variable for the lifetime of the object, then restores it.

#include <optional>
#include <string>

class TScopedEnv {
 public:
  // Sets the variable to `value`, or unsets it when `value` is nothing.
  TScopedEnv(std::string name, const std::optional<std::string>& value);
  ~TScopedEnv();
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  std::string FName;
  std::optional<std::string> FSaved;
};
