#include "Setup.PackageSettings.h"

#include <algorithm>

#include "Ox.Types.h"
#include "Runtime.Strings.h"
#include "Setup.PackageScan.h"
#include "platform/FileSystem.h"
#include "platform/PrivateProfile.h"

namespace {
// Entries are package-relative paths; packages are written on Windows, with "\" between folders.
std::string SettingsPath(std::string value) {
  for (char& c : value)
    if (c == '\\') c = '/';
  return value;
}

bool Contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}
}  // namespace

bool TPackageSettings::IsAutoLink(const std::string& Path) const { return Contains(AutoLinks, Path); }

bool TPackageSettings::IsAutoConnection(const std::string& Path) const { return Contains(AutoConnections, Path); }

TPackageSettings ReadPackageSettings(const std::string& BaseFolder) {
  TPackageSettings settings;
  const std::string settingsFile = BaseFolder + SettingsFileName;
  const std::string package = BaseFolder + DocumentPackageFolder;
  if (!platform::FileExists(settingsFile)) return settings;
  const platform::TIniFileReader ini(settingsFile);
  settings.ShowLinksDialog = ini.ReadBool("links", "showdialog", true);
  settings.ShowConnectionsDialog = ini.ReadBool("connections", "showdialog", true);

  for (const std::string& key : ini.ReadSection("links")) {
    const std::string value = SettingsPath(ini.ReadString("links", key, ""));
    if (platform::FileExists(package + value))
      settings.AutoLinks.push_back(value);
    else if (platform::DirectoryExists(package + IncludeTrailingPathDelimiter(value)))
      settings.AutoLinks.push_back(IncludeTrailingPathDelimiter(value));
  }

  for (const std::string& key : ini.ReadSection("connections")) {
    const std::string written = ini.ReadString("connections", key, "");
    if (SameText(written, WebServiceHost)) {
      settings.AutoConnections.push_back(written);
      continue;
    }
    std::string value = SettingsPath(written);
    if (!value.empty()) value = IncludeTrailingPathDelimiter(value);
    // An empty value stays an empty entry while the package exists; it matches nothing.
    if (platform::DirectoryExists(package + IncludeTrailingPathDelimiter(value))) settings.AutoConnections.push_back(value);
  }

  settings.ExternalFileExts = ini.ReadString("CommonSettings.XML", "ExternalFileExts", "");
  return settings;
}
