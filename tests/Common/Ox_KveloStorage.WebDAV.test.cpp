#include "Ox_KveloStorage.WebDAV.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Ox.Types.h"
#include "platform/CodePages.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

using ::testing::HasSubstr;

namespace {
class WebConnections : public ::testing::Test {
 protected:
  void SetUp() override { InitializeConnectionClasses(); }

  TTempDir FDir;
  TScopedEnv FData{"XDG_DATA_HOME", FDir.File("data")};
};
}  // namespace

TEST_F(WebConnections, TheServiceClass) {
  using TService = TOrvelKveloRuKveloStorage::TConnection;
  EXPECT_EQ(TService::ClassID(), "OX.OrvelKvelo.Ru.KveloDocs");
  EXPECT_EQ(TService::DisplayName(), "Данные с orvel-kvelo.ru");
  EXPECT_FALSE(TService::IsInternal());
  EXPECT_EQ(TService::SupportedKinds(), TStorageKinds{TStorageKind::Kvelo});
  EXPECT_EQ(TWebDAVConnection::ClassID(), "OX.WebDAV.ReadOnly");

  TWebDAVConnection server;
  server.SetAddress("http://127.0.0.1:8080/dav/");
  server.Connect("user", "secret");
  EXPECT_TRUE(server.Connected());
  EXPECT_EQ(server.Address(), "http://127.0.0.1:8080/dav/");
  server.Disconnect();
  EXPECT_FALSE(server.Connected());
}

// The wizard's way of adding the service, as the client then finds it in its file.
TEST_F(WebConnections, AddConnectionToPoolIsStoredWithoutAddress) {
  TConnectionsPool pool;
  TConnection& first = TOrvelKveloRuKveloStorage::AddConnectionToPool(pool);
  EXPECT_EQ(&pool.Connections()[0], &first);
  EXPECT_EQ(first.Caption(), WebServiceHost);
  TConnection& second = TOrvelKveloRuKveloStorage::AddConnectionToPool(pool);  // the pool does not refuse it
  pool.SaveToOptionsStorage();

  const std::string saved = ReadWholeFile(TConnectionsPool::OptionsFileName());
  for (auto [number, connection] : {std::pair{1, &first}, std::pair{2, &second}})
    EXPECT_THAT(saved, HasSubstr("<Connection_" + std::to_string(number) + " InstanceUID=\"" + connection->InstanceUID() +
                                 "\" Caption=\"docs.orvel-kvelo.ru\" Usages=\"Kvelo\" UseRecycleBin=\"False\" "
                                 "ClassID=\"OX.OrvelKvelo.Ru.KveloDocs\"/>"));
}

TEST_F(WebConnections, AServerAddressIsStoredFirst) {
  TConnectionsPool pool;
  auto server = std::make_unique<TWebDAVConnection>();
  server->SetAddress("http://127.0.0.1/dav");
  server->SetCaption("Сервер");
  const std::string uid = server->InstanceUID();
  pool.AddConnection(std::move(server));
  pool.SaveToOptionsStorage();
  EXPECT_THAT(platform::AnsiToUtf8(ReadWholeFile(TConnectionsPool::OptionsFileName())),
              HasSubstr("<Connection_1 Address=\"http://127.0.0.1/dav\" InstanceUID=\"" + uid +
                        "\" Caption=\"Сервер\" Usages=\"Kvelo\" UseRecycleBin=\"False\" ClassID=\"OX.WebDAV.ReadOnly\"/>"));
}
