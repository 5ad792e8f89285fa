#pragma once
// A machine of its own for a test: the registry, the application-data folders and the documents
// folder all inside one temporary folder, through the variables the platform layer reads.

#include <optional>
#include <string>
#include <vector>

#include "SysInfo.Core.CommonUtils.h"
#include "SysInfo.Core.Kvelo7.h"
#include "platform/Registry.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "tools/PeWriter.h"

class TClientSandbox {
 public:
  // One uninstall entry of the hive file; no InstallLocation value when it is nothing.
  struct TEntry {
    std::string RegistryKey;
    std::optional<std::string> InstallLocation;
  };

  TClientSandbox() {
    FDir.MakeDir("home");
    FDir.WriteFile("config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Документы\"\n");
    Reset();
  }
  ~TClientSandbox() { Reset(); }

  const std::string& Path() const { return FDir.Path(); }
  const TTempDir& Dir() const { return FDir; }
  std::string Home() const { return FDir.File("home"); }
  std::string Data() const { return FDir.File("data"); }
  std::string Common() const { return FDir.File("common"); }
  std::string Documents() const { return FDir.File("home/Документы"); }
  std::string Registry() const { return FDir.File("registry"); }

  // Writes HKLM.reg with these uninstall entries, and any further text.
  void WriteRegistry(const std::vector<TEntry>& entries, const std::string& more = {}) {
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    for (const TEntry& entry : entries) {
      text += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entry.RegistryKey +
              "]\r\n\"DisplayName\"=\"Орвел Квело Клиент\"\r\n";
      if (entry.InstallLocation) text += "\"InstallLocation\"=\"" + *entry.InstallLocation + "\"\r\n";
    }
    FDir.WriteFile("registry/HKLM.reg", text + more);
    platform::ReloadRegistry();
  }

  // An executable with this file version (no version resource when it is nothing).
  static std::string WriteExecutable(const std::string& path, std::optional<std::array<std::uint16_t, 4>> version) {
    TPeImageOptions options;
    options.WithResources = version.has_value();
    if (version) options.FileVersion = options.ProductVersion = *version;
    options.StringTables = {{"041904E3", {{"FileDescription", "Орвел Квело Клиент"}}}};
    WriteWholeFile(path, BuildPeImage(options).Bytes);
    return path;
  }

  // The client as its installer leaves it: InstallLocation is the folder (given without trailing
  // separator, as installers often write it), the executable is in its "Client/" subfolder.
  std::string InstallClient(const std::string& registryKey, const std::string& folder,
                            std::optional<std::array<std::uint16_t, 4>> version) {
    const std::string location = FDir.MakeDir(folder);
    FDir.MakeDir(folder + "/Client");
    WriteRegistry({{registryKey, location}});
    return WriteExecutable(location + "/Client/OKvelo.exe", version);
  }

 private:
  static void Reset() {
    platform::ReloadRegistry();
    ClearKveloFolderOverrides();
    SetPortableRoot("");
  }

  TTempDir FDir;
  TScopedEnv FHome{"HOME", FDir.File("home")};
  TScopedEnv FData{"XDG_DATA_HOME", FDir.File("data")};
  TScopedEnv FConfig{"XDG_CONFIG_HOME", FDir.File("config")};
  TScopedEnv FRegistry{"ORVEL_REGISTRY_DIR", FDir.File("registry")};
  TScopedEnv FCommon{"ORVEL_COMMON_APPDATA", FDir.File("common")};
};

inline const char* const kKvelo6Key = "{00C00000-0001-4A2E-8D31-600000000001}_is1";
inline const char* const kKvelo7Key = "{00C00000-0001-4A2E-8D31-700000000001}_is1";
