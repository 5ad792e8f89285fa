#include "platform/Environment.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/RegistrySys.h"
#include "platform/KnownFolders.h"

namespace platform {

std::string RegistryFileName(TRegistryHive hive) {
  const char* file = hive == rhLocalMachine ? "HKLM.reg" : "HKCU.reg";
  std::string folder = GetEnvironmentVariableOr("ORVEL_REGISTRY_DIR", "");
  if (folder.empty()) {
    if (hive == rhLocalMachine) {
      folder = "/etc/orvel/registry";
    } else {
      auto config = XdgConfigHome();
      if (!config) return std::string();
      folder = *config + "/orvel/registry";
    }
  }
  if (folder.back() != '/') folder += '/';
  return folder + file;
}

std::optional<std::string> ReadRegistryFileSys(const std::string& fileName) {
  if (!GetFileEntry(fileName)) return std::nullopt;
  TMemoryStream stream;
  LoadStreamFromFile(stream, fileName);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

}  // namespace platform
