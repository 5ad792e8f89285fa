#include "platform/KnownFolders.h"

#include "Runtime.Strings.h"

namespace platform {
// The system primitive: the folder as the system names it, or EOSError.
std::string SpecialFolderPathSys(int csidl);

std::string GetSpecialFolderPath(int csidl) {
  std::string folder = SpecialFolderPathSys(csidl);
  while (folder.size() > 1 && folder.back() == PathDelim) folder.pop_back();
  return folder;
}
}  // namespace platform
