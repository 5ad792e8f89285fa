#include "Ox_KveloStorage.WebDAV.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <iostream>
#include <map>
#include <thread>

#include "Common.Net.WebDAV.h"
#include "Common.Net.WinInet.h"
#include "Ox.Types.h"
#include "Runtime.Strings.h"
#include "platform/CodePages.h"
#include "platform/FileAttributes.h"
#include "platform/FileSystem.h"
#include "support/ApacheDav.h"
#include "support/MessageOf.h"
#include "support/ScopedEnv.h"
#include "support/RunProgram.h"
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

// --- the read-only storage ----------------------------------------------------------------------

namespace {
using TStorage = TWebDAVReadOnlyKveloStorage;

// A storage on an address of its own, owned by the test.
struct TStorageOn {
  explicit TStorageOn(const std::string& Address) {
    Connection.SetAddress(Address);
    Storage.reset(NewObject<TStorage>(Connection));
  }
  TStorage& operator*() const { return static_cast<TStorage&>(*Storage); }
  TStorage* operator->() const { return &**this; }

  TWebDAVConnection Connection;
  TKveloStoragePtr Storage;
};

TPropFindEntry EntryFor(const std::string& Href, const std::string& Props = "") {
  TXMLDocument doc;
  doc.LoadFromXML("<d:response xmlns:d=\"DAV:\"><d:href>" + Href + "</d:href><d:propstat><d:prop>" + Props +
                  "</d:prop></d:propstat></d:response>");
  return TPropFindEntry(doc.DocumentElement());
}

std::string KindOf(const TInterfacePtr<IKveloStorageEntry>& Entry) {
  TInterfacePtr<IKveloStorageFolder> folder;
  TInterfacePtr<IKveloStorageDocument> document;
  TInterfacePtr<IKveloStorageExternalDocument> external;
  if (Supports(Entry, folder)) return "folder";
  if (Supports(Entry, document)) return DocTypeName(document->GetProperties().DocType);
  if (Supports(Entry, external)) return "external";
  return "?";
}

std::map<std::string, std::string> Kinds(const TKveloStorageEntries& Entries) {
  std::map<std::string, std::string> kinds;
  for (const auto& entry : Entries) kinds[entry->GetTitle()] = KindOf(entry);
  return kinds;
}

template <class I>
TInterfacePtr<I> Child(const TKveloStorageEntries& Entries, const std::string& Title) {
  TInterfacePtr<I> result;
  for (const auto& entry : Entries)
    if (entry->GetTitle() == Title) Supports(entry, result);
  return result;
}
}  // namespace

TEST(WebDAVStorage, AbsoluteUrls) {
  const TStorageOn storage("http://User:pw@H:8080/dav/");
  EXPECT_EQ(storage->AbsoluteUrl("/dav/a.xml"), "http://h:8080/dav/a.xml");
  EXPECT_EQ(storage->AbsoluteUrl("HTTP://Other/x"), "HTTP://Other/x");
  EXPECT_EQ(TStorageOn("http://Docs.Example/")->AbsoluteUrl("/a"), "http://docs.example/a");
}

TEST(WebDAVStorage, EverythingThatWouldChangeTheServerIsRefused) {
  const TStorageOn storage("http://127.0.0.1:1/dav/");
  EXPECT_TRUE(storage->IsReadOnly());
  EXPECT_EQ(storage->RootImageIndex(), 18);
  EXPECT_EQ(storage->RootLargeImageIndex(), 15);
  EXPECT_EQ(storage->RootTileImageIndex(), 2);
  EXPECT_EQ(storage->GetImageIndex(3), -1);

  TMemoryStream data;
  const std::string rootRefusal = "Документ \"\" доступен только для чтения";
  EXPECT_EQ(MessageOf<EKveloStorageError>([&] { storage->CreateFolder("new"); }), rootRefusal);
  EXPECT_EQ(MessageOf<EKveloStorageError>([&] { storage->CreateDocument("new", {}, data); }), rootRefusal);
  EXPECT_EQ(MessageOf<EKveloStorageError>([&] { storage->CreateExternalDocument("new", data); }), rootRefusal);
  EXPECT_EQ(MessageOf<EKveloStorageError>([&] { storage->GetRoot()->SetProperties({}); }), rootRefusal);
  EXPECT_TRUE(storage->GetRoot()->GetHasSubItems());
  EXPECT_EQ(storage->GetRoot()->GetProperies(), TFolderProperties{});

  TInterfacePtr<IKveloStorageEntry> plans(NewObject<TStorage::TExternalDocument>(*storage, EntryFor("/dav/Plans")));
  const std::string refusal = "Документ \"Plans\" доступен только для чтения";
  EXPECT_EQ(MessageOf<EKveloStorageError>([&] { plans->SetDescription("x"); }), refusal);
  EXPECT_EQ(MessageOf<EKveloStorageError>([&] { plans->Delete(); }), refusal);
  EXPECT_EQ(MessageOf<EKveloStorageError>([&] { plans->MoveTo(storage->GetRoot()); }), refusal);
  try {
    storage->FindEntry("Plans");
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "TFolder.FindEntry не реализовано");
  }
  EXPECT_THROW(NewObject<TStorage::TDocument>(*storage, EntryFor("/dav/f/", "<d:resourcetype><d:collection/></d:resourcetype>"), sdtKvelo),
               EAssertionFailed);

  // The service's storage takes the service's connection only.
  TOrvelKveloRuKveloStorage::TConnection service;
  TKveloStoragePtr serviceStorage(TOrvelKveloRuKveloStorage::MetaClass().Create(service));
  EXPECT_TRUE(serviceStorage->IsReadOnly());
  TWebDAVConnection plain;
  EXPECT_THROW(TOrvelKveloRuKveloStorage::MetaClass().Create(plain), EAssertionFailed);
}

TEST(WebDAVStorage, LocalFileNamesStayInTheirFolder) {
  const std::pair<std::string, std::string> names[] = {
      {"report.pdf", "report.pdf"},   {"../../evil.txt", "evil.txt"}, {"..\\..\\evil.txt", "evil.txt"},
      {"a\x01\nb\x7F.txt", "ab.txt"}, {"..", "document"},            {".", "document"},
      {"", "document"},               {"Смета v1..2.xml", "Смета v12.xml"},
  };
  for (const auto& [description, expected] : names) EXPECT_EQ(TStorage::TExternalDocument::LocalFileName(description), expected);
}

namespace {
// A tree of folders, estimate documents and plain files on Apache httpd; the document types are
// dead properties set with PROPPATCH, as the service keeps them.
class WebDAVStorageOnServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TApacheDav::Available()) GTEST_SKIP() << TApacheDav::MissingMessage();
    for (int i = 0; i < 256; ++i) FPriceBytes += static_cast<char>(i);
    FDir.WriteFile("served/Сметы/price.kvl", FPriceBytes);
    for (const char* name : {"eleven.kvl", "negative.kvl", "letter.kvl", "plain.txt"})
      FDir.WriteFile(std::string("served/Сметы/") + name, name);
    FDir.WriteFile("served/Сметы/Вложенная/project.kvl", "project");
    FDir.WriteFile("served/notes.pdf", "first copy");
    FServer = std::make_unique<TApacheDav>(FDir.File("served"));
    SetDocType("Сметы/price.kvl", "3");
    SetDocType("Сметы/eleven.kvl", "11");
    SetDocType("Сметы/negative.kvl", "-1");
    SetDocType("Сметы/letter.kvl", "x");
    SetDocType("Сметы/Вложенная/", "3");
    SetDocType("Сметы/Вложенная/project.kvl", "9");
  }

  // The server's URL of a path below its root, percent-encoded.
  std::string Url(const std::string& Path) const {
    std::string encoded;
    for (const std::string& segment : SplitString(Path, '/')) encoded += (encoded.empty() ? "" : "/") + UrlEncode(segment, false);
    return FServer->Url() + encoded;
  }

  void SetDocType(const std::string& Path, const std::string& Value) {
    const std::string patch = "<?xml version=\"1.0\"?><d:propertyupdate xmlns:d=\"DAV:\" xmlns:k=\"" +
                              std::string(EstimateNamespaceUri) + "\"><d:set><d:prop><k:KveloDocType>" + Value +
                              "</k:KveloDocType></d:prop></d:set></d:propertyupdate>";
    TWinInetWebClient client;
    client.Headers()["Content-Type"] = "text/xml";
    TBytesStream request(std::vector<std::uint8_t>(patch.begin(), patch.end()));
    client.SendRequest(Url(Path), "PROPPATCH", &request, nullptr);
    ASSERT_EQ(client.ResponseStatusCode(), 207) << Path;
  }

  TTempDir FDir;
  std::string FPriceBytes;
  std::unique_ptr<TApacheDav> FServer;
};

std::string BytesOf(TBytesStream& Stream) {
  const std::vector<std::uint8_t> bytes = Stream.Bytes();
  return std::string(bytes.begin(), bytes.end());
}
}  // namespace

TEST_F(WebDAVStorageOnServer, ListsTheTreeAsFoldersDocumentsAndFiles) {
  const TStorageOn storage(FServer->Url());
  const TKveloStorageEntries root = storage->LoadChildItems();
  EXPECT_EQ(Kinds(root), (std::map<std::string, std::string>{{"Сметы", "folder"}, {"notes.pdf", "external"}}));

  TInterfacePtr<IKveloStorageFolder> estimates = Child<IKveloStorageFolder>(root, "Сметы");
  ASSERT_TRUE(estimates);
  EXPECT_NE(estimates->GetDateChange(), 0);
  EXPECT_EQ(estimates->GetDateCreate(), estimates->GetDateChange());
  const TKveloStorageEntries children = estimates->LoadChildItems();
  EXPECT_EQ(Kinds(children), (std::map<std::string, std::string>{{"price.kvl", "sdtCennik"},
                                                                   {"eleven.kvl", "external"},
                                                                   {"negative.kvl", "external"},
                                                                   {"letter.kvl", "external"},
                                                                   {"plain.txt", "external"},
                                                                   {"Вложенная", "folder"}}));
  // A collection with a document type stays a folder, and its listing skips it as well.
  const TKveloStorageEntries nested = Child<IKveloStorageFolder>(children, "Вложенная")->LoadChildItems();
  EXPECT_EQ(Kinds(nested), (std::map<std::string, std::string>{{"project.kvl", "sdtProjectKvelo"}}));

  // Every listing asks again: a file added on the server shows at once.
  FDir.WriteFile("served/new.txt", "new");
  FServer->ShareWithServer(FDir.File("served/new.txt"));
  EXPECT_EQ(storage->LoadChildItems().size(), 3u);
}

TEST_F(WebDAVStorageOnServer, TheRootsOwnEntryIsSkippedOnlyWhenItsUrlMatches) {
  // Without the trailing "/" of the server's self entry.
  const std::string noSlash = FServer->Url().substr(0, FServer->Url().size() - 1);
  EXPECT_EQ(Kinds(TStorageOn(noSlash)->LoadChildItems()).count("dav"), 0u);
  // The self entry becomes "http://localhost:<port>/dav/": not the address as stored.
  const std::string upperHost = "http://LOCALHOST:" + std::to_string(FServer->Port()) + "/dav/";
  EXPECT_EQ(Kinds(TStorageOn(upperHost)->LoadChildItems()).at("dav"), "folder");
}

TEST_F(WebDAVStorageOnServer, DocumentsAreReadByteForByteAndOpenedReadOnly) {
  const TStorageOn storage(FServer->Url());
  const TKveloStorageEntries children = Child<IKveloStorageFolder>(storage->LoadChildItems(), "Сметы")->LoadChildItems();
  TInterfacePtr<IKveloStorageDocument> price = Child<IKveloStorageDocument>(children, "price.kvl");
  ASSERT_TRUE(price);
  EXPECT_EQ(price->GetProperties(), TOxDocCommonProperties::Create(sdtCennik));

  TBytesStream read;
  price->ReadData(read);
  EXPECT_EQ(BytesOf(read), FPriceBytes);
  TBytesStream opened;
  TInterfacePtr<IKveloStorageOpenedDocument> document = price->OpenAndLockData(opened);
  EXPECT_EQ(BytesOf(opened), FPriceBytes);
  EXPECT_TRUE(document->GetReadOnly());
  EXPECT_EQ(document->GetReadOnlyOpenPromt(), "");
  EXPECT_EQ(document->GetDocument(), price);
  EXPECT_EQ(MessageOf<Exception>([&] { document->Save({}, opened); }), "Попытка сохранить ReadOnly документ");

  TBytesStream external;
  Child<IKveloStorageExternalDocument>(children, "plain.txt")->ReadData(external);
  EXPECT_EQ(BytesOf(external), "plain.txt");

  // Deleted on the server after the listing.
  platform::DeleteFile(FDir.File("served/Сметы/price.kvl"));
  TBytesStream after;
  try {
    price->OpenAndLockData(after);
    FAIL() << "no error";
  } catch (const EKveloStorageError& e) {
    EXPECT_EQ(e.Message(), "Элемент \"price.kvl\" не найден");
    const auto* inner = dynamic_cast<const EHttpStatusException*>(e.InnerException());
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->StatusCode, 404);
  }
  EXPECT_EQ(MessageOf<EHttpStatusException>([&] { price->ReadData(after); }), "404: Not Found");
}

TEST_F(WebDAVStorageOnServer, AFolderThatCannotBeListedNamesItsDecodedUrl) {
  const std::string missing = FServer->Url() + "%D0%BD%D0%B5%D1%82/";
  EXPECT_EQ(MessageOf<EHttpStatusException>([&] { TStorageOn(missing)->LoadChildItems(); }),
            "Ошибка получении дочерних элементов по ссылке\r\n" + FServer->Url() + "нет/\r\nТекст ошибки: 404: Not Found");

  // A server nobody answers on fails in the connection step: that error passes unchanged.
  EXPECT_EQ(MessageOf<ExceptionEx>([&] { TStorageOn("http://127.0.0.1:1/dav/")->LoadChildItems(); }),
            "Ошибка при подключении к серверу");
}

namespace {
// A desktop opener that notes the file it was given, and a temporary folder of the test's own.
class WebDAVStorageEdit : public WebDAVStorageOnServer {
 protected:
  void SetUp() override {
    WebDAVStorageOnServer::SetUp();
    if (IsSkipped()) return;
    const std::string opener = FDir.WriteFile("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + FDir.File("opened") + "'\n");
    ::chmod(opener.c_str(), 0755);
  }

  std::string Opened() {
    for (int i = 0; i < 500 && Utf16Length(ReadOrEmpty(FDir.File("opened"))) < FExpectedOpened; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ReadOrEmpty(FDir.File("opened"));
  }
  static std::string ReadOrEmpty(const std::string& Path) { return platform::FileExists(Path) ? ReadWholeFile(Path) : ""; }

  std::size_t FExpectedOpened = 0;
  TScopedEnv FPath{"PATH", FDir.File("bin") + ":/usr/bin:/bin"};
  TScopedEnv FTemp{"TMPDIR", FDir.MakeDir("tmp/inner")};
};
}  // namespace

TEST_F(WebDAVStorageEdit, ACopyIsOpenedReadOnlyAndReplacedOnlyWhenComplete) {
  const TStorageOn storage(FServer->Url());
  TInterfacePtr<IKveloStorageExternalDocument> notes = Child<IKveloStorageExternalDocument>(storage->LoadChildItems(), "notes.pdf");
  ASSERT_TRUE(notes);
  const std::string copy = FDir.File("tmp/inner/notes.pdf");
  notes->Edit();
  EXPECT_EQ(ReadWholeFile(copy), "first copy");
  EXPECT_TRUE(platform::FileIsReadOnly(copy));
  FExpectedOpened = Utf16Length(copy) + 1;
  EXPECT_EQ(Opened(), copy + "\n");

  WriteWholeFile(FDir.File("served/notes.pdf"), "second copy");
  notes->Edit();
  EXPECT_EQ(ReadWholeFile(copy), "second copy");
  EXPECT_TRUE(platform::FileIsReadOnly(copy));

  // A failed download keeps the copy there is and leaves nothing else behind.
  platform::DeleteFile(FDir.File("served/notes.pdf"));
  EXPECT_THROW(notes->Edit(), EHttpStatusException);
  EXPECT_EQ(ReadWholeFile(copy), "second copy");
  for (const auto& entry : platform::ListDirectory(FDir.File("tmp/inner")))
    EXPECT_FALSE(entry.Name.starts_with("notes.pdf.")) << entry.Name;
}

TEST_F(WebDAVStorageEdit, AHostileNameCannotLeadOutOfTheTemporaryFolder) {
  const TStorageOn storage(FServer->Url());
  // The server names the file "../../evil.txt" ("%2F" decodes to "/"); the query keeps the
  // request on a real file.
  TInterfacePtr<IKveloStorageExternalDocument> hostile(
      NewObject<TStorage::TExternalDocument>(*storage, EntryFor("/dav/notes.pdf?a=/..%2F..%2Fevil.txt")));
  ASSERT_EQ(hostile->GetTitle(), "../../evil.txt");
  hostile->Edit();
  EXPECT_EQ(ReadWholeFile(FDir.File("tmp/inner/evil.txt")), "first copy");
  EXPECT_FALSE(platform::FileExists(FDir.File("evil.txt")));
  EXPECT_FALSE(platform::FileExists(FDir.File("tmp/evil.txt")));
}

TEST_F(WebDAVStorageOnServer, KveloDocsShowsTheTreeAndDownloads) {
  const std::string out = FDir.File("out.txt");
  const std::string err = FDir.File("err.txt");
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), KV_KVELO_DOCS);
    return RunProgram(std::move(args), out, err);
  };

  ASSERT_EQ(run({FServer->Url()}), 0) << ReadWholeFile(err);
  const std::string listing = ReadWholeFile(out);
  std::cout << listing;  // the README shows this output
  const std::vector<std::string> lines = SplitString(listing, '\n');
  auto line = [&](const std::string& start) {
    for (const std::string& l : lines)
      if (l.starts_with(start)) return TrimRight(l);
    return "(no line for " + start + ")";
  };
  EXPECT_TRUE(lines[0].starts_with("Name")) << listing;
  EXPECT_THAT(line("Сметы/ "), ::testing::MatchesRegex("Сметы/ +folder +[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}"));
  EXPECT_THAT(line("  price.kvl "), ::testing::HasSubstr(" sdtCennik "));
  EXPECT_THAT(line("  plain.txt "), ::testing::HasSubstr(" external document "));
  EXPECT_THAT(line("    project.kvl "), ::testing::HasSubstr(" sdtProjectKvelo "));
  EXPECT_THAT(line("notes.pdf "), ::testing::HasSubstr(" external document "));

  ASSERT_EQ(run({FServer->Url(), "Сметы/Вложенная"}), 0) << ReadWholeFile(err);
  EXPECT_EQ(SplitString(TrimRight(ReadWholeFile(out)), '\n').size(), 2u);

  const std::string dest = FDir.File("price copy.kvl");
  ASSERT_EQ(run({FServer->Url(), "--get", "Сметы/price.kvl", dest}), 0) << ReadWholeFile(err);
  EXPECT_EQ(ReadWholeFile(dest), FPriceBytes);

  EXPECT_EQ(run({FServer->Url(), "--get", "Сметы/gone.kvl", dest}), 1);
  EXPECT_EQ(ReadWholeFile(err), "kvelo-docs: Элемент \"Сметы/gone.kvl\" не найден\n");
  EXPECT_EQ(run({FServer->Url() + "missing/"}), 1);
  EXPECT_THAT(ReadWholeFile(err), ::testing::StartsWith("kvelo-docs: Ошибка получении дочерних элементов по ссылке\r\n"));
  EXPECT_EQ(run({}), 2);
}
