#include "ScopedEnv.h"

#include <stdlib.h>

namespace {
void Put(const std::string& name, const std::optional<std::string>& value) {
  if (value)
    setenv(name.c_str(), value->c_str(), 1);
  else
    unsetenv(name.c_str());
}
}  // namespace

TScopedEnv::TScopedEnv(std::string name, const std::optional<std::string>& value) : FName(std::move(name)) {
  if (const char* saved = getenv(FName.c_str())) FSaved = saved;
  Put(FName, value);
}

TScopedEnv::~TScopedEnv() { Put(FName, FSaved); }
