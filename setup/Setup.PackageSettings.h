#pragma once
// What a package's "settings.ini" asks for, read once for the window and the unattended run alike.

#include <string>
#include <vector>

struct TPackageSettings {
  bool ShowLinksDialog = true;
  bool ShowConnectionsDialog = true;
  // Package-relative paths of the document package that get a shortcut; folders end with "/".
  std::vector<std::string> AutoLinks;
  // Folders of the document package (ending with "/") to register, and the web service's host as
  // written.
  std::vector<std::string> AutoConnections;
  std::string ExternalFileExts;

  bool IsAutoLink(const std::string& Path) const;
  bool IsAutoConnection(const std::string& Path) const;
};

// Reads BaseFolder's "settings.ini" (BaseFolder ends with a separator); a missing file asks for
// nothing. Entries naming nothing in the document package are dropped, "\" is read as "/".
TPackageSettings ReadPackageSettings(const std::string& BaseFolder);
