#include "Setup.Connections.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common.XMLUtils.h"
#include "Ox.Types.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "Ox_Storage.ConnectionPool.h"
#include "Runtime.Strings.h"
#include "platform/FileSystem.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace {

// An installed document package with two folders and a file, and the client's settings folder,
// in one temporary folder.
class RegisterConnectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeConnectionClasses();
    Dir.MakeDir("docs/Нормативы");
    Dir.MakeDir("docs/Примеры/2015");
    Dir.WriteFile("docs/Руководство.pdf", "pdf");
  }

  // "Caption|Address|ClassID" of every stored connection, in order.
  std::vector<std::string> Stored() const {
    TConnectionsPool pool;
    pool.LoadFromOptionsStorage(false);
    std::vector<std::string> entries;
    for (const TConnection& c : pool.Connections())
      entries.push_back(c.Caption() + "|" + c.Address() + "|" + c.ClassType().ClassID());
    return entries;
  }

  TTempDir Dir;
  TScopedEnv Data{"XDG_DATA_HOME", Dir.File("data")};
  TPackageFolders Folders{Dir.File("package/Client/"), Dir.File("package/Docs/"), Dir.File("common/"),
                          Dir.File("docs/")};
  const std::string Host{WebServiceHost};
};

TEST_F(RegisterConnectionsTest, AddsInstalledFoldersAndTheServiceOnceOnly) {
  const std::vector<TPackageEntry> chosen{{"Нормативы", 1}, {"Руководство.pdf", 1}, {"Пустая папка", 1},
                                          {"Примеры/2015", 1}};
  RegisterConnections(chosen, true, Folders);
  const std::vector<std::string> expected{"Нормативы|" + Dir.File("docs/Нормативы") + "|OX.Files",
                                          "2015|" + Dir.File("docs/Примеры/2015") + "|OX.Files",
                                          Host + "||OX.OrvelKvelo.Ru.KveloDocs"};
  EXPECT_EQ(Stored(), expected);

  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  EXPECT_EQ(pool.Connections().front().GetUsages(), TStorageKinds{TStorageKind::Kvelo});

  // The same choice again: a second run.
  RegisterConnections(chosen, true, Folders);
  EXPECT_EQ(Stored(), expected);
}

TEST_F(RegisterConnectionsTest, NothingChosenRewritesTheFileWithItsContent) {
  RegisterConnections({{"Нормативы", 1}}, false, Folders);
  const std::string before = ReadWholeFile(TConnectionsPool::OptionsFileName());
  RegisterConnections({}, false, Folders);
  EXPECT_EQ(ReadWholeFile(TConnectionsPool::OptionsFileName()), before);
}

TEST_F(RegisterConnectionsTest, AnUnreadableFileRaisesAndIsLeftAlone) {
  const std::string file = TConnectionsPool::OptionsFileName();
  platform::ForceDirectories(ExtractFileDir(file));
  WriteWholeFile(file, "<Options><Connections>");  // cut short
  EXPECT_THROW(RegisterConnections({{"Нормативы", 1}}, true, Folders), EInvalidXMLFile);
  EXPECT_EQ(ReadWholeFile(file), "<Options><Connections>");
}

}  // namespace
