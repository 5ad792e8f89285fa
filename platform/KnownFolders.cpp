#include "platform/KnownFolders.h"
#include "platform/KnownFoldersSys.h"

#include "Runtime.Strings.h"

namespace platform {
std::string GetSpecialFolderPath(int csidl) {
  std::string folder = SpecialFolderPathSys(csidl);
  while (folder.size() > 1 && folder.back() == PathDelim) folder.pop_back();
  return folder;
}
}  // namespace platform
