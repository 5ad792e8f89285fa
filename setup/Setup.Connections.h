#pragma once
// The chosen package folders and the maker's web document service as data sources of the client,
// in its "Connections.xml" (the connections pool).
//
// Entry point for whoever runs the update, with or without the window: RegisterConnections with the
// chosen items.

#include <memory>
#include <string>
#include <vector>

#include "Setup.PackageEntries.h"

class TFileSystemConnection;

// The data source of an installed folder (Address without trailing separator): a folder connection
// captioned with the folder's own name, holding estimates.
std::unique_ptr<TFileSystemConnection> NewFolderConnection(const std::string& Folder);

// Loads the client's connections, adds every item whose installed copy is a folder (in the order
// given) and, when WithWebService, the web document service after them, and saves. A source that
// is listed already (a folder by class and address, the service by class) is not added again, so a
// second run adds nothing. Items that are files or were never installed are passed over. The file
// is saved also when nothing was added. A connections file that cannot be read raises before
// anything is saved; one that cannot be written raises and stays as it was.
void RegisterConnections(const std::vector<TPackageEntry>& Items, bool WithWebService, const TPackageFolders& Folders);
