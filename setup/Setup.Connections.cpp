#include "Setup.Connections.h"

#include "Ox_KveloStorage.WebDAV.h"
#include "Ox_Storage.ConnectionPool.h"
#include "Ox_Storage.FileSystemConnection.h"
#include "Runtime.Strings.h"
#include "platform/FileSystem.h"

std::unique_ptr<TFileSystemConnection> NewFolderConnection(const std::string& Folder) {
  auto connection = std::make_unique<TFileSystemConnection>();
  connection->SetAddress(Folder);
  connection->SetCaption(ExtractFileName(ExcludeTrailingPathDelimiter(Folder)));
  connection->SetUsages(TStorageKinds{TStorageKind::Kvelo});
  return connection;
}

void RegisterConnections(const std::vector<TPackageEntry>& Items, bool WithWebService, const TPackageFolders& Folders) {
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  for (const TPackageEntry& item : Items) {
    const std::string folder = Folders.InstalledPathOf(item);
    if (!platform::DirectoryExists(folder)) continue;
    std::unique_ptr<TFileSystemConnection> connection = NewFolderConnection(folder);
    if (!pool.FindConnection(TFileSystemConnection::ClassID(), connection->Address()))
      pool.AddConnection(std::move(connection));
  }
  if (WithWebService && !pool.FindConnection(TOrvelKveloRuKveloStorage::TConnection::ClassID()))
    TOrvelKveloRuKveloStorage::AddConnectionToPool(pool);
  pool.SaveToOptionsStorage();
}
