// WebDAV listings: the multistatus reader on small answers, and real listings from Apache httpd.

#include "Common.Net.WebDAV.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>
#include <map>

#include "Common.Net.WinInet.h"
#include "Runtime.Strings.h"
#include "support/ApacheDav.h"
#include "support/MessageOf.h"
#include "support/ScopedEnv.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace {
// Dates read in a fixed zone (three hours east of UTC, no daylight saving).
class TMoscowTime {
 public:
  TMoscowTime() : FTz("TZ", "MSK-3") { tzset(); }
  ~TMoscowTime() { tzset(); }

 private:
  TScopedEnv FTz;
};

TPropFind Parse(const std::string& responses, const std::string& prefix = "d") {
  TXMLDocument doc;
  doc.LoadFromXML("<" + prefix + ":multistatus xmlns:" + prefix + "=\"DAV:\">" + responses + "</" + prefix + ":multistatus>");
  return TPropFind(doc.DocumentElement());
}

std::string Response(const std::string& href, const std::string& props, const std::string& status = "HTTP/1.1 200 OK") {
  return "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>" + props + "</d:prop><d:status>" + status +
         "</d:status></d:propstat></d:response>";
}

// 2015-07-07 07:33:23 UTC.
constexpr std::int64_t kJuly7 = 1436254403;
}  // namespace

TEST(PropFind, EntriesFromAMultistatus) {
  const TPropFind listing = Parse(
      Response("/dav/Folder%20A/", "<d:resourcetype><d:collection/></d:resourcetype>") +
      Response("/dav/file.xml", "<d:getcontentlength>5368709120</d:getcontentlength><d:resourcetype/>", "HTTP/1.1 200 OK") +
      Response("/", "<d:getcontentlength>abc</d:getcontentlength>") +
      "<d:response><d:href>/dav/%D0%B4%D0%BE%D0%BA.xml</d:href>"
      "<d:propstat><d:prop><d:getcontentlength/></d:prop><d:status>HTTP/1.1 404 Not Found</d:status></d:propstat>"
      "<d:propstat><d:prop><d:getcontentlength>7</d:getcontentlength></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>"
      "</d:response>");
  ASSERT_EQ(listing.EntryCount(), 4);
  const auto& e = listing.Entries();
  EXPECT_EQ(e[0]->EntryName(), "Folder A");
  EXPECT_TRUE(e[0]->IsContainer());
  EXPECT_EQ(e[0]->ContentSize(), 0);  // none given
  EXPECT_EQ(e[1]->EntryName(), "file.xml");
  EXPECT_FALSE(e[1]->IsContainer());
  EXPECT_EQ(e[1]->ContentSize(), 5368709120);
  EXPECT_EQ(e[1]->Status(), "HTTP/1.1 200 OK");
  EXPECT_EQ(e[1]->Url(), "/dav/file.xml");
  EXPECT_EQ(e[2]->EntryName(), "");
  EXPECT_EQ(e[2]->ContentSize(), 0);
  EXPECT_EQ(e[3]->EntryName(), "док.xml");
  EXPECT_EQ(e[3]->ContentSize(), 0);  // the first propstat holding the property decides
  EXPECT_EQ(e[3]->Status(), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(e[3]->XML().LocalName(), "response");
}

TEST(PropFind, AnyPrefixForDavAndFailures) {
  TXMLDocument doc;
  doc.LoadFromXML("<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/a/b</D:href></D:response></D:multistatus>");
  const TPropFind listing(doc.DocumentElement());
  ASSERT_EQ(listing.EntryCount(), 1);
  EXPECT_EQ(listing.Entries()[0]->EntryName(), "b");
  EXPECT_EQ(Parse("").EntryCount(), 0);
  EXPECT_EQ(MessageOf<EXMLNodeNotFound>([] { Parse("<d:response><d:status>x</d:status></d:response>"); }),
            "Не найден узел по XPath запросу \"d:href\"");
  EXPECT_EQ(MessageOf<Exception>([] { Parse(Response("/x", "<d:getlastmodified>PT5M</d:getlastmodified>")); }),
            "Не поддерживаются промежутки времени");
}

TEST(PropFind, ChangeDates) {
  const TMoscowTime moscow;
  const TDateTime july7 = EncodeDateTime(2015, 7, 7, 7, 33, 23, 0);
  const std::pair<const char*, TDateTime> dates[] = {
      {"2015-07-07T07:33:23", july7},
      {"2015-07-07T07:33:23.120+03:00", july7},
      {"2015-07-07T07:33:23Z", 0},
      {"2015", EncodeDate(2015, 1, 1)},
      {"2015-07-07T07:33:23+0300", 0},
      {"", 0},
      {"Tue, 07 Jul 2015 07:33:23 GMT", EncodeDateTime(2015, 7, 7, 10, 33, 23, 0)},  // GMT, read as local time
      {"Tue, 07 Jul 2015 07:33:23 UTC", 0},
      {"Tue, 31 Feb 2015 07:33:23 GMT", 0},
  };
  for (const auto& [text, date] : dates) {
    SCOPED_TRACE(text);
    const TPropFind listing = Parse(Response("/x", std::string("<d:getlastmodified>") + text + "</d:getlastmodified>"));
    EXPECT_DOUBLE_EQ(listing.Entries()[0]->ChangeDate(), date);
  }
  EXPECT_THROW(ISO8601ToDateTimeDef("2015-13-01", 0), EConvertError);
  EXPECT_EQ(MessageOf<Exception>([] { ISO8601ToDateTimeDef("7/7/2015 7:33 PM", 0); }), "Не поддерживаются промежутки времени");
  EXPECT_DOUBLE_EQ(ISO8601ToDateTimeDef("garbage", 5), 5);
}

// --- against Apache httpd -----------------------------------------------------------------------

namespace {
class TDavServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TApacheDav::Available()) GTEST_SKIP() << TApacheDav::MissingMessage();
    FDir.WriteFile("served/имя с пробелом.xml", "<a>текст</a>");
    FDir.WriteFile("served/Папка/вложенный.txt", "nested");
    FDir.MakeDir("served/Sub folder");
    const std::string big = FDir.File("served/big.bin");
    const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(ftruncate(fd, kBigSize), 0);  // sparse: no disk space taken
    close(fd);
    const utimbuf times{kJuly7, kJuly7};
    utime(FDir.File("served/имя с пробелом.xml").c_str(), &times);
    FServer = std::make_unique<TApacheDav>(FDir.File("served"));
  }

  static constexpr std::int64_t kBigSize = 5LL * 1024 * 1024 * 1024 + 3;
  TTempDir FDir;
  std::unique_ptr<TApacheDav> FServer;
};

struct TRow {
  bool IsContainer;
  std::int64_t Size;
  bool operator==(const TRow&) const = default;
};

std::map<std::string, TRow> Rows(const TPropFind& listing) {
  std::map<std::string, TRow> rows;
  for (const auto& entry : listing.Entries()) rows[entry->EntryName()] = {entry->IsContainer(), entry->ContentSize()};
  return rows;
}
}  // namespace

TEST_F(TDavServer, ListsAFolderWithItsDirectMembers) {
  const TMoscowTime moscow;
  const TSharedPtr<TPropFind> listing = RequestPropFind(FServer->Url());
  const std::map<std::string, TRow> expected = {
      {"dav", {true, 0}},  // the folder itself
      {"имя с пробелом.xml", {false, 17}},
      {"Папка", {true, 0}},
      {"Sub folder", {true, 0}},
      {"big.bin", {false, kBigSize}},
  };
  EXPECT_EQ(Rows(*listing), expected);  // Depth 1: nothing from inside "Папка"
  for (const auto& entry : listing->Entries()) {
    EXPECT_EQ(entry->Status(), "HTTP/1.1 200 OK");
    EXPECT_NE(entry->ChangeDate(), 0) << entry->EntryName();
    if (entry->EntryName() == "имя с пробелом.xml") {
      EXPECT_EQ(entry->Url(), "/dav/%d0%b8%d0%bc%d1%8f%20%d1%81%20%d0%bf%d1%80%d0%be%d0%b1%d0%b5%d0%bb%d0%be%d0%bc.xml");
      EXPECT_DOUBLE_EQ(entry->ChangeDate(), EncodeDateTime(2015, 7, 7, 10, 33, 23, 0));
    }
  }

  const TSharedPtr<TPropFind> folder = RequestPropFind(FServer->Url("Папка/"));
  EXPECT_EQ(Rows(*folder), (std::map<std::string, TRow>{{"Папка", {true, 0}}, {"вложенный.txt", {false, 6}}}));
  EXPECT_EQ(MessageOf<EHttpStatusException>([&] { RequestPropFind(FServer->Url("missing/")); }), "404: Not Found");
}

TEST_F(TDavServer, PropertiesCanBeWritten) {
  TWinInetWebClient client;
  const std::string patch =
      "<?xml version=\"1.0\"?><d:propertyupdate xmlns:d=\"DAV:\" xmlns:o=\"urn:orvel\">"
      "<d:set><d:prop><o:version>7</o:version></d:prop></d:set></d:propertyupdate>";
  client.Headers()["Content-Type"] = "text/xml";
  TBytesStream request(std::vector<std::uint8_t>(patch.begin(), patch.end()));
  TBytesStream response;
  client.SendRequest(FServer->Url("Папка/вложенный.txt"), "PROPPATCH", &request, &response);
  EXPECT_EQ(client.ResponseStatusCode(), 207);
  const std::vector<std::uint8_t> answer = response.Bytes();
  EXPECT_NE(std::string(answer.begin(), answer.end()).find("HTTP/1.1 200 OK"), std::string::npos);
}

TEST_F(TDavServer, KveloWebdavPrintsTheListing) {
  const std::string out = FDir.File("out.txt");
  const std::string err = FDir.File("err.txt");
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), KV_KVELO_WEBDAV);
    return RunProgram(std::move(args), out, err);
  };

  const TScopedEnv tz("TZ", "UTC0");
  ASSERT_EQ(run({FServer->Url()}), 0) << ReadWholeFile(err);
  const std::vector<std::string> lines = SplitString(ReadWholeFile(out), '\n');
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0].rfind("Name", 0), 0u);
  auto line = [&](const std::string& name) {
    for (const std::string& l : lines)
      if (l.rfind(name + " ", 0) == 0) return l;
    return "(no line for " + name + ")";
  };
  EXPECT_NE(line("big.bin").find(" 5368709123 "), std::string::npos) << line("big.bin");
  EXPECT_NE(line("Папка").find(" <DIR> "), std::string::npos);
  EXPECT_NE(line("имя с пробелом.xml").find(" 17 "), std::string::npos) << line("имя с пробелом.xml");
  EXPECT_NE(line("имя с пробелом.xml").find(" 2015-07-07 07:33:23  HTTP/1.1 200 OK"), std::string::npos);

  EXPECT_EQ(run({FServer->Url("missing/")}), 1);
  EXPECT_EQ(ReadWholeFile(err), "kvelo-webdav: 404: Not Found\n");
  EXPECT_EQ(run({}), 2);
}
