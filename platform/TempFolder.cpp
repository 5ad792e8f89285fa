#include "platform/TempFolder.h"

#include "Runtime.Strings.h"
#include "platform/Environment.h"

namespace platform {
std::string TempFolder() {
  std::string folder = GetEnvironmentVariableOr("TMPDIR", "/tmp");
  return folder.size() > 1 ? ExcludeTrailingPathDelimiter(folder) : folder;
}
}  // namespace platform
