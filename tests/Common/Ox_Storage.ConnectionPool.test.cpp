#include "Ox_Storage.ConnectionPool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "Common.XMLUtils.h"
#include "ConnectionTestClasses.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "Ox_Storage.FileSystemConnection.h"
#include "platform/CodePages.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"
#include "support/MessageOf.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {
// The client's settings folder inside a temporary folder.
class ConnectionsPool : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeConnectionClasses();
    ASSERT_EQ(TConnectionsPool::OptionsFileName(), FDir.File("data/Orvel/OrvelKvelo 7/Client/Settings/Connections.xml"));
  }

  std::string FileName() const { return TConnectionsPool::OptionsFileName(); }
  std::string Stored() const { return ReadWholeFile(FileName()); }
  void Store(std::string_view Utf8Text) const {
    platform::ForceDirectories(ExtractFileDir(FileName()));
    WriteWholeFile(FileName(), Utf8Text);
  }

  static std::unique_ptr<TFileSystemConnection> Folder(std::string Address, std::string Caption = {}) {
    auto folder = std::make_unique<TFileSystemConnection>();
    folder->SetAddress(std::move(Address));
    folder->SetCaption(std::move(Caption));
    return folder;
  }
  static std::vector<std::string> Captions(const TConnectionsPool& Pool) {
    std::vector<std::string> captions;
    for (const TConnection& connection : Pool.Connections()) captions.push_back(connection.Caption());
    return captions;
  }

  TTempDir FDir;
  TScopedEnv FData{"XDG_DATA_HOME", FDir.File("data")};
};

// As the client stores it: windows-1251, Cyrillic captions, every attribute the entries can have.
constexpr std::string_view kClientFile =
    "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
    "<Options>\n"
    "  <Connections>\n"
    "    <Connection_1 Address=\"/home/user/Документы/Сметы/\" InstanceUID=\"0F1E2D3C4B5A69788796A5B4C3D2E1F0\" "
    "Caption=\"Мои сметы\" Description=\"Сметы отдела, 2024 год\" Usages=\"Kvelo,NormBase,DocTemplate\" "
    "UseRecycleBin=\"True\" ClassID=\"OX.Files\"/>\n"
    "    <Connection_2 InstanceUID=\"11111111222222223333333344444444\" Caption=\"docs.orvel-kvelo.ru\" "
    "Usages=\"Kvelo\" UseRecycleBin=\"False\" ClassID=\"OX.OrvelKvelo.Ru.KveloDocs\"/>\n"
    "    <Connection_3 Address=\"/mnt/Общие базы\" InstanceUID=\"AAAAAAAABBBBBBBBCCCCCCCCDDDDDDDD\" "
    "Caption=\"Нормативы\" Usages=\"NormBase\" UseRecycleBin=\"False\" ClassID=\"OX.Files\"/>\n"
    "  </Connections>\n"
    "  <NBTemplateLocation ConnectionClassId=\"OX.Files\" BaseAddress=\"/mnt/Общие базы\" LocalPath=\"Шаблон.oxd5\"/>\n"
    "  <RegionInfo Name=\"Москва\" ShortCode=\"77\" Zone2001Name=\"Зона 1\" Zone1984Name=\"Зона А\"/>\n"
    "</Options>\n";

// What identifies a connection in the file, for comparing pools.
std::vector<std::string> Describe(const TConnectionsPool& Pool) {
  std::vector<std::string> lines;
  for (const TConnection& c : Pool.Connections()) {
    std::string usages;
    for (TStorageKind kind : TEnumInfo<TStorageKind>::Values)
      if (c.GetUsages().Contains(kind)) usages += std::string(GetEnumName(kind)) + " ";
    lines.push_back(c.ClassType().ClassID() + "|" + c.Address() + "|" + c.InstanceUID() + "|" + c.Caption() + "|" +
                    c.Description() + "|" + usages + "|" + BoolToStr(c.UseRecycleBin()));
  }
  return lines;
}
}  // namespace

TEST_F(ConnectionsPool, AFreshPoolSavesTheEmptyForm) {
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  EXPECT_FALSE(pool.OptionsFileExists());
  EXPECT_TRUE(pool.Connections().empty());

  pool.SaveToOptionsStorage();
  EXPECT_EQ(Stored(), platform::Utf8ToAnsi("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
                                           "<Options>\n"
                                           "  <Connections/>\n"
                                           "  <NBTemplateLocation/>\n"
                                           "  <RegionInfo Name=\"Нет данных\" ShortCode=\"-1\"/>\n"
                                           "</Options>\n"));
}

TEST_F(ConnectionsPool, TheClientsFileLoadsAndSavesBackUnchanged) {
  const std::string ansi = platform::Utf8ToAnsi(kClientFile);
  ASSERT_NE(ansi, kClientFile);  // really single-byte text
  Store(ansi);

  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  EXPECT_TRUE(pool.OptionsFileExists());
  EXPECT_THAT(Describe(pool),
              ElementsAre("OX.Files|/home/user/Документы/Сметы/|0F1E2D3C4B5A69788796A5B4C3D2E1F0|Мои сметы|"
                          "Сметы отдела, 2024 год|Kvelo NormBase DocTemplate |True",
                          "OX.OrvelKvelo.Ru.KveloDocs||11111111222222223333333344444444|docs.orvel-kvelo.ru||Kvelo |False",
                          "OX.Files|/mnt/Общие базы|AAAAAAAABBBBBBBBCCCCCCCCDDDDDDDD|Нормативы||NormBase |False"));
  EXPECT_EQ(pool.NBTemplateLocation().LocalPath, "Шаблон.oxd5");
  EXPECT_EQ(pool.StoredRegionInfo().Name(), "Москва");
  EXPECT_EQ(pool.StoredRegionInfo().ShortCode(), 77);

  pool.SaveToOptionsStorage();
  EXPECT_EQ(Stored(), ansi);

  TConnectionsPool reloaded;
  reloaded.LoadFromOptionsStorage(false);
  EXPECT_EQ(Describe(reloaded), Describe(pool));
  EXPECT_EQ(reloaded.NBTemplateLocation().ToString(), pool.NBTemplateLocation().ToString());
  EXPECT_EQ(reloaded.StoredRegionInfo().Zone1984Name(), "Зона А");
}

TEST_F(ConnectionsPool, EntriesAreReadWhateverTheirNameAndUnknownOnesDropped) {
  TScopedConnectionClass internal(&TTestInternalConnection::MetaClass());
  Store(R"(<?xml version="1.0" encoding="UTF-8"?>
<Settings Version="2">
  <Connections>
    <Folder Address="/a" Caption="A" UseRecycleBin="False" ClassID="OX.Files"/>
    <NoClass Address="/lost" Caption="Lost"/>
    <Connection_9 Address="/b" Caption="B" UseRecycleBin="False" ClassID="OX.Files"/>
    <Connection_2 Address="/x" Caption="Unknown" ClassID="OX.Somewhere"/>
    <Connection_3 Caption="Internal" ClassID="Test.Internal"/>
    <Item Address="/c" Caption="C" UseRecycleBin="False" ClassID="OX.Files"/>
  </Connections>
  <History Count="3"/>
</Settings>
)");
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  EXPECT_THAT(Captions(pool), ElementsAre("Встроенный", "A", "B", "C"));

  pool.SaveToOptionsStorage();
  const std::string saved = Stored();
  EXPECT_THAT(saved, HasSubstr("<Settings>\n  <Connections>\n    <Connection_1 Address=\"/a\""));
  EXPECT_THAT(saved, HasSubstr("<Connection_2 Address=\"/b\""));
  EXPECT_THAT(saved, HasSubstr("<Connection_3 Address=\"/c\""));
  for (const char* gone : {"Connection_4", "Lost", "Unknown", "Internal", "Встроенный", "History", "Version"})
    EXPECT_THAT(saved, Not(HasSubstr(gone))) << gone;
}

TEST_F(ConnectionsPool, StoredValuesAreSavedAsTheClassesSeeThem) {
  Store(R"(<?xml version="1.0" encoding="UTF-8"?>
<Options>
  <Connections>
    <Connection_1 Address="/a" Caption="Сметы" UseRecycleBin="False" ClassID="OX.Files"/>
    <Connection_2 Address="/b" InstanceUID="0123456789ABCDEF0123456789ABCDEF" UseRecycleBin="False" ClassID="OX.Files"/>
    <Connection_3 InstanceUID="FEDCBA9876543210FEDCBA9876543210" Caption="docs.orvel-kvelo.ru" Usages="Kvelo,NormBase,Nonsense" UseRecycleBin="False" ClassID="OX.OrvelKvelo.Ru.KveloDocs"/>
  </Connections>
</Options>
)");
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  // Connection_1 had no InstanceUID: it keeps the fresh one its constructor gave it.
  EXPECT_EQ(pool.Connections()[0].InstanceUID().size(), 32u);
  pool.Connections()[0].SetCaption("Сметы\x01 отдела\x1F\tи\r\nархив");
  pool.SaveToOptionsStorage();

  const std::string saved = Stored();
  EXPECT_THAT(saved, HasSubstr("Caption=\"Сметы отдела&#9;и&#13;&#10;архив\""));
  EXPECT_THAT(saved, HasSubstr("<Connection_2 Address=\"/b\" InstanceUID=\"0123456789ABCDEF0123456789ABCDEF\" "
                               "Caption=\"Папка 2\" Usages=\"Kvelo\" UseRecycleBin=\"False\" ClassID=\"OX.Files\"/>"));
  EXPECT_THAT(saved, HasSubstr("Caption=\"docs.orvel-kvelo.ru\" Usages=\"Kvelo\" UseRecycleBin=\"False\" "
                               "ClassID=\"OX.OrvelKvelo.Ru.KveloDocs\"/>"));
}

TEST_F(ConnectionsPool, FindConnection) {
  TConnectionsPool pool;
  pool.AddConnection(Folder("/Home/User/Документы/", "Документы"));
  pool.AddConnection(Folder("/mnt/b", "B"));
  TConnection& service = TOrvelKveloRuKveloStorage::AddConnectionToPool(pool);

  struct TCase {
    const char* ClassID;
    const char* Address;
    const char* Found;  // caption, or null
  };
  const TCase cases[] = {
      {"OX.Files", "/home/user/документы", "Документы"},
      {"OX.Files", "/HOME/USER/ДОКУМЕНТЫ/", "Документы"},
      {"ox.files", "/home/user/документы", nullptr},
      {"OX.Files", "/home/user", nullptr},
      {"OX.Files", "/mnt/b/", "B"},
      {"OX.OrvelKvelo.Ru.KveloDocs", "", "docs.orvel-kvelo.ru"},
      {"OX.OrvelKvelo.Ru.KveloDocs", "/", nullptr},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.ClassID) + " " + c.Address);
    const TConnection* found = pool.FindConnection(c.ClassID, c.Address);
    EXPECT_EQ(found ? found->Caption() : "(none)", c.Found ? c.Found : "(none)");
  }
  EXPECT_EQ(pool.FindConnection(TDocumentLocation::Make("OX.Files", "/mnt/B", "x.kvelo"))->Caption(), "B");
  EXPECT_EQ(pool.FindConnection("OX.Files")->Caption(), "Документы");
  EXPECT_EQ(pool.FindConnection("OX.OrvelKvelo.Ru.KveloDocs"), &service);
  EXPECT_EQ(pool.FindConnection("OX.FILES"), nullptr);

  EXPECT_EQ(pool.GetLocationDisplayName(TDocumentLocation::Make("OX.Files", "/mnt/b/", "Сметы/1.kvelo")),
            "B: Сметы/1.kvelo");
  EXPECT_EQ(pool.GetLocationDisplayName(TDocumentLocation::Make("OX.Files", "/mnt/c/", "/Сметы/1.kvelo")),
            "OX.Files: /mnt/c/Сметы/1.kvelo");
}

TEST_F(ConnectionsPool, NewFoldersAreNamedByTheCountOfFoldersPresent) {
  TConnectionsPool pool;
  pool.AddConnection(Folder("/a", "Мои сметы"));
  TOrvelKveloRuKveloStorage::AddConnectionToPool(pool);
  pool.AddConnection(Folder("/b"));
  pool.AddConnection(Folder("/c"));
  EXPECT_THAT(Captions(pool), ElementsAre("Мои сметы", "docs.orvel-kvelo.ru", "Папка 2", "Папка 3"));

  pool.ConnectionExchange(0, 3);
  EXPECT_THAT(Captions(pool), ElementsAre("Папка 3", "docs.orvel-kvelo.ru", "Папка 2", "Мои сметы"));
  pool.DeleteConnection(&pool.Connections()[2]);
  TFileSystemConnection stranger;
  pool.DeleteConnection(&stranger);
  EXPECT_THAT(Captions(pool), ElementsAre("Папка 3", "docs.orvel-kvelo.ru", "Мои сметы"));
}

TEST_F(ConnectionsPool, InternalConnectionsBelongToEveryPoolAndAreNeverStored) {
  TScopedConnectionClass internal(&TTestInternalConnection::MetaClass());
  TConnectionsPool pool;
  ASSERT_THAT(Captions(pool), ElementsAre("Встроенный"));
  TConnection& builtIn = pool.Connections()[0];
  EXPECT_EQ(builtIn.GetUsages(), (TStorageKinds{TStorageKind::NormBase, TStorageKind::FormTemplate}));
  EXPECT_EQ(pool.FindConnection("Test.Internal", "/anywhere"), &builtIn);

  EXPECT_EQ(MessageOf<TConnectionsPool::Exception>([&] { pool.AddConnection(std::make_unique<TTestInternalConnection>()); }),
            "Источник данных \"Встроенный\" является встроенным, его нельзя добавить еше раз");
  EXPECT_EQ(MessageOf<TConnectionsPool::Exception>([&] { pool.DeleteConnection(&builtIn); }),
            "Источник данных \"Встроенный\" является встроенным, его нельзя удалять");
  EXPECT_EQ(TConnectionsPool::Exception::ConnectionByClassNotFound(&TFileSystemConnection::MetaClass()).Message(),
            "Источник данных  класса \"Папка\" не найден");
  EXPECT_THAT(Captions(pool), ElementsAre("Встроенный"));

  pool.AddConnection(Folder("/a"));
  pool.Clear();
  EXPECT_THAT(Captions(pool), ElementsAre("Встроенный"));
  pool.SaveToOptionsStorage();
  EXPECT_THAT(Stored(), HasSubstr("<Connections/>"));
}

TEST_F(ConnectionsPool, LoadingOnlyTheTemplateLocationKeepsTheConnections) {
  Store(R"(<Options><Connections><C Address="/stored" ClassID="OX.Files"/></Connections>
<NBTemplateLocation ConnectionClassId="OX.Files" LocalPath="t.oxd5"/><RegionInfo ShortCode="5"/></Options>)");
  TConnectionsPool pool;
  pool.AddConnection(Folder("/mine", "Моя"));
  pool.LoadFromOptionsStorage(true);
  EXPECT_THAT(Captions(pool), ElementsAre("Моя"));
  EXPECT_EQ(pool.NBTemplateLocation().LocalPath, "t.oxd5");
  EXPECT_EQ(pool.StoredRegionInfo().ShortCode(), 5);
  EXPECT_EQ(pool.StoredRegionInfo().Name(), "Нет данных");

  // Without the file a full load empties the list and keeps the rest.
  platform::DeleteFile(FileName());
  pool.LoadFromOptionsStorage(false);
  EXPECT_TRUE(pool.Connections().empty());
  EXPECT_EQ(pool.NBTemplateLocation().LocalPath, "t.oxd5");
}

TEST_F(ConnectionsPool, ABrokenFileKeepsThePoolAndASaveReplacesIt) {
  Store("<Options><Connections>");
  TConnectionsPool pool;
  pool.AddConnection(Folder("/a", "A"));
  EXPECT_THROW(pool.LoadFromOptionsStorage(false), EInvalidXMLFile);
  EXPECT_THAT(Captions(pool), ElementsAre("A"));

  pool.SaveToOptionsStorage();
  TConnectionsPool reloaded;
  reloaded.LoadFromOptionsStorage(false);
  EXPECT_THAT(Captions(reloaded), ElementsAre("A"));
}

// The client's data sources must survive a save that fails half way.
TEST_F(ConnectionsPool, ASaveThatFailsOnAFullDiskLeavesThePreviousFile) {
  const std::string ansi = platform::Utf8ToAnsi(kClientFile);
  Store(ansi);
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  for (int i = 0; i < 200; ++i) pool.AddConnection(Folder("/folder/" + std::to_string(i)));

  using platform::posix::ScopedSysCall;
  using platform::posix::SysCalls;
  static int writes;
  writes = 0;
  ScopedSysCall<decltype(SysCalls::write)> diskFull(&SysCalls::write, [](int fd, const void* buf, size_t n) {
    if (writes++ == 0) return ::write(fd, buf, n / 2);
    errno = ENOSPC;
    return ssize_t(-1);
  });
  try {
    pool.SaveToOptionsStorage();
    FAIL() << "the save reported success";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOSPC);
  }
  EXPECT_EQ(Stored(), ansi);
  std::vector<std::string> names;
  for (const auto& entry : platform::ListDirectory(ExtractFileDir(FileName()))) names.push_back(entry.Name);
  EXPECT_THAT(names, ElementsAre("Connections.xml"));
}
