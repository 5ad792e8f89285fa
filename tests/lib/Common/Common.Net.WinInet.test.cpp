// The HTTP client against a real server on 127.0.0.1 (cpp-httplib in this program).

#include "Common.Net.WinInet.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "Common.Net.WinInet.Curl.h"
#include "platform/FileStream.h"
#include "support/MessageOf.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace {
// What the server saw of the last request.
struct TSeen {
  std::string Method;
  std::string Target;
  std::string Body;
  httplib::Headers Headers;
  int Count = 0;
};

class TTestServer {
 public:
  TTestServer() {
    FPort = FServer.bind_to_any_port("127.0.0.1");
    // Recorded before the response goes out: the logger runs only after it, when the client may
    // already be looking.
    FServer.set_post_routing_handler([this](const httplib::Request& request, httplib::Response&) {
      std::lock_guard lock(FMutex);
      FSeen.Method = request.method;
      FSeen.Target = request.target;
      FSeen.Body = request.body;
      FSeen.Headers = request.headers;
      ++FSeen.Count;
    });
    FThread = std::thread([this] { FServer.listen_after_bind(); });
    while (!FServer.is_running()) std::this_thread::yield();
  }
  ~TTestServer() {
    FServer.stop();
    FThread.join();
  }
  httplib::Server& operator*() { return FServer; }
  httplib::Server* operator->() { return &FServer; }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(FPort) + path; }
  int Port() const { return FPort; }
  TSeen Seen() {
    std::lock_guard lock(FMutex);
    return FSeen;
  }
  std::string Header(const std::string& name) {
    const TSeen seen = Seen();
    auto it = seen.Headers.find(name);
    return it == seen.Headers.end() ? "(none)" : it->second;
  }

 private:
  httplib::Server FServer;
  std::thread FThread;
  int FPort = 0;
  std::mutex FMutex;
  TSeen FSeen;
};

std::string Text(TMemoryStream& stream) {
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

// Sets the process's credential dialog for one test.
class TScopedDialog {
 public:
  explicit TScopedDialog(TCredentialsDialog dialog) : FSaved(SetCredentialsDialog(std::move(dialog))) {}
  ~TScopedDialog() { SetCredentialsDialog(FSaved); }

 private:
  TCredentialsDialog FSaved;
};

// A listening socket that never answers; the kernel completes the connections all the same.
class TSilentServer {
 public:
  TSilentServer() {
    FSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(FSocket, 4);
    getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length);
    FPort = ntohs(address.sin_port);
  }
  ~TSilentServer() { close(FSocket); }
  int Port() const { return FPort; }

 private:
  int FSocket;
  int FPort;
};

int RefusedPort() {
  TSilentServer closed;
  return closed.Port();  // nobody listens once it is closed
}
}  // namespace

TEST(WinInetWebClient, StatusCodesWithAndWithoutTheCheck) {
  TTestServer server;
  server->Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("<h1>no such page</h1>", "text/html");
  });
  server->Get("/ok", [](const httplib::Request&, httplib::Response& res) { res.set_content("fine", "text/plain"); });

  TWinInetWebClient client;
  TMemoryStream body;
  try {
    client.SendRequest(server.Url("/missing"), "GET", nullptr, &body);
    FAIL() << "no error for 404";
  } catch (const EHttpStatusException& e) {
    EXPECT_EQ(e.StatusCode, 404);
    EXPECT_EQ(e.Message(), "404: Not Found");
    EXPECT_EQ(e.StatusMessage, "Not Found");
    EXPECT_EQ(e.Request.rfind("GET /missing HTTP/1.1\r\n", 0), 0u) << e.Request;
  }
  EXPECT_EQ(Text(body), "<h1>no such page</h1>");  // written before the error
  EXPECT_EQ(client.ResponseStatusCode(), 404);
  EXPECT_EQ(client.ResponseStatusText(), "Not Found");

  client.SetShouldCheckStatusCode(false);
  EXPECT_EQ(client.DownloadString(server.Url("/missing")), "<h1>no such page</h1>");
  EXPECT_EQ(client.ResponseStatusCode(), 404);
  EXPECT_EQ(client.DownloadString(server.Url("/ok")), "fine");
  EXPECT_EQ(client.ResponseStatusCode(), 200);
  EXPECT_NE(client.RequestHeaders().find("GET /ok HTTP/1.1"), std::string::npos);
}

TEST(WinInetWebClient, RelativeUrlsJoinTheBaseUrlAndKeepTheQuery) {
  TTestServer server;
  server->Get(".*", [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
  TWinInetWebClient client;
  client.SetBaseUrl(server.Url("/dav"));
  for (const char* url : {"docs/a.xml", "/docs/a.xml"}) {
    client.DownloadString(url);
    EXPECT_EQ(server.Seen().Target, "/dav/docs/a.xml") << url;
  }
  client.DownloadString("docs/a b.xml?q=1&r=%D0%B0");
  EXPECT_EQ(server.Seen().Target, "/dav/docs/a%20b.xml?q=1&r=%D0%B0");
  client.DownloadString(server.Url("/абв/x#1"));  // what cannot travel raw is escaped
  EXPECT_EQ(server.Seen().Target, "/%D0%B0%D0%B1%D0%B2/x%231");
}

TEST(WinInetWebClient, ResponseGoesWhereTheStreamStoodAndThePositionReturns) {
  TTestServer server;
  server->Get("/body", [](const httplib::Request&, httplib::Response& res) { res.set_content("BODY", "text/plain"); });
  TWinInetWebClient client;
  TMemoryStream dest;
  dest.WriteBuffer("0123456789", 10);
  client.DownloadData(server.Url("/body"), dest);
  EXPECT_EQ(dest.Position(), 10);
  EXPECT_EQ(Text(dest), "0123456789BODY");
}

TEST(WinInetWebClient, RequestBodyWithItsLengthAndHeadersReplaced) {
  TTestServer server;
  server->Put("/up", [](const httplib::Request& req, httplib::Response& res) { res.set_content("got " + req.body, "text/plain"); });
  server->Post("/post", [](const httplib::Request& req, httplib::Response& res) { res.set_content(req.body, "text/plain"); });

  TWinInetWebClient client;
  client.Headers()["Accept"] = "text/xml";
  client.Headers()["X-Trace"] = "42";
  TBytesStream request(std::vector<std::uint8_t>{'a', 0xD0, 0xB1, 'c'});
  request.SetPosition(4);  // sent from its beginning all the same
  TMemoryStream response;
  client.SendRequest(server.Url("/up"), "PUT", &request, &response);
  EXPECT_EQ(Text(response), "got a\xD0\xB1" "c");
  EXPECT_EQ(server.Seen().Method, "PUT");
  EXPECT_EQ(server.Header("Content-Length"), "4");
  EXPECT_EQ(server.Seen().Headers.count("Accept"), 1u);
  EXPECT_EQ(server.Header("Accept"), "text/xml");
  EXPECT_EQ(server.Header("X-Trace"), "42");
  EXPECT_EQ(server.Header("Content-Type"), "(none)");
  EXPECT_EQ(server.Header("Expect"), "(none)");

  EXPECT_EQ(client.UploadString(server.Url("/post"), "привет"), "привет");
  EXPECT_EQ(server.Header("Content-Length"), "12");

  // One header per name on a request, the last one added; no line breaks smuggled in.
  TWinInetHTTP http;
  http.SetHost("127.0.0.1");
  http.SetPort(server.Port());
  http.Connect();
  TWinInetHTTPRequest direct(http, "post", "POST", TWinInetHTTPRequestFlags{rfInternetFlagReload});
  direct.AddHeader("X-Trace: 1");
  direct.AddHeader("x-trace: 2");
  EXPECT_EQ(MessageOf<EWinInetException>([&] { direct.AddHeader("X-Bad: 1\r\nX-Injected: 2"); }),
            "WinInet error (43): Invalid request header");
  direct.RequestStream().WriteBuffer("z", 1);
  TSharedPtr<TWinInetHTTPResponse> answer = direct.GetResponse(true);
  EXPECT_EQ(server.Header("X-Trace"), "2");
  EXPECT_EQ(server.Header("Cache-Control"), "no-cache");
  EXPECT_EQ(server.Seen().Headers.count("X-Injected"), 0u);
  EXPECT_EQ(MessageOf<EInvalidOperation>([&] { direct.RequestStream(); }),
            "Нельзя писать в RequestStream после вызова GetResponse");
  EXPECT_THROW(direct.GetResponse(false), EAssertionFailed);
  EXPECT_EQ(answer->StatusCode(), 200);
}

TEST(WinInetWebClient, UnauthorizedLoopAsksTheDialog) {
  TTestServer server;
  server->Get("/secret", [](const httplib::Request& req, httplib::Response& res) {
    if (req.get_header_value("Authorization") == "Basic dXNlcjpzZWNyZXQ=") {  // user:secret
      res.set_content("in", "text/plain");
    } else {
      res.status = 401;
      res.set_header("WWW-Authenticate", "Basic realm=\"Documents\"");
    }
  });
  const std::string url = server.Url("/secret");
  int asked = 0;
  TCredentialsQuery lastQuery;
  auto dialog = [&](TCredentialsAnswer answer) {
    return [&, answer](TCredentialsQuery& query) {
      ++asked;
      lastQuery = query;
      query.Login = "user";
      query.Password = "secret";
      return answer;
    };
  };

  TWinInetWebClient client;
  {  // no prompt: the loop ends at once
    TScopedDialog scoped(dialog(caRetry));
    EXPECT_EQ(MessageOf<EHttpStatusException>([&] { client.DownloadString(url); }), "401: Unauthorized");
    EXPECT_EQ(asked, 0);
  }
  client.SetLoginPromt(true);
  {  // prompt without a dialog: nobody to ask
    TScopedDialog scoped(nullptr);
    EXPECT_THROW(client.DownloadString(url), EHttpStatusException);
  }
  {
    TScopedDialog scoped(dialog(caRetry));
    EXPECT_EQ(client.DownloadString(url), "in");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(lastQuery.StatusCode, 401);
    EXPECT_EQ(lastQuery.Realm, "Documents");
    EXPECT_EQ(lastQuery.Url, url);
  }
  {
    TScopedDialog scoped(dialog(caCancel));
    EXPECT_THROW(client.DownloadString(url), EAbort);
  }
  client.SetLogin("user");
  client.SetPassword("secret");
  EXPECT_EQ(client.DownloadString(url), "in");
  EXPECT_EQ(asked, 2);
}

TEST(WinInetWebClient, ProxyKinds) {
  TTestServer proxy;
  std::atomic<bool> requireLogin = false;
  proxy->Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    if (!requireLogin || req.get_header_value("Proxy-Authorization") == "Basic cHU6cHA=") {  // pu:pp
      res.set_content("via proxy", "text/plain");
    } else {
      res.status = 407;
      res.set_header("Proxy-Authenticate", "Basic realm=\"proxy\"");
    }
  });
  TTestServer direct;
  direct->Get(".*", [](const httplib::Request&, httplib::Response& res) { res.set_content("direct", "text/plain"); });
  const TScopedEnv httpProxy("http_proxy", proxy.Url(""));
  const TScopedEnv noProxy("no_proxy", std::nullopt);

  TWinInetWebClient client;
  client.ProxySettings().SetKind(pkUserSettings);
  client.ProxySettings().SetHost("127.0.0.1");
  client.ProxySettings().SetPort(proxy.Port());
  // The proxy sees the whole URL of a host that need not resolve here.
  EXPECT_EQ(client.DownloadString("http://webdav.invalid:81/docs/a.xml"), "via proxy");
  EXPECT_EQ(proxy.Seen().Target, "http://webdav.invalid:81/docs/a.xml");

  client.ProxySettings().SetKind(pkDefault);  // the environment's proxy
  EXPECT_EQ(client.DownloadString(direct.Url("/x")), "via proxy");
  client.ProxySettings().SetKind(pkNone);
  EXPECT_EQ(client.DownloadString(direct.Url("/x")), "direct");

  requireLogin = true;
  client.ProxySettings().SetKind(pkUserSettings);
  EXPECT_EQ(MessageOf<EHttpStatusException>([&] { client.DownloadString("http://webdav.invalid/y"); }),
            "407: Proxy Authentication Required");
  client.ProxySettings().SetKind(pkUserSettingsWithAuthority);
  client.ProxySettings().SetLogin("pu");
  client.ProxySettings().SetPassword("pp");
  EXPECT_EQ(client.DownloadString("http://webdav.invalid/y"), "via proxy");
}

TEST(WinInetWebClient, StalledServerEndsWithTheTimeOut) {
  const ScopedWinInetLimits limits({.ConnectTimeoutSeconds = 5, .StallSeconds = 1, .MaxRedirects = 10});
  TSilentServer server;
  const std::int32_t handles = InternetOpenHandleCount();
  TWinInetWebClient client;
  try {
    client.DownloadString("http://127.0.0.1:" + std::to_string(server.Port()) + "/x");
    FAIL() << "no time-out";
  } catch (const EWinInetException& e) {
    EXPECT_EQ(e.ErrorCode, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(e.Message().rfind("WinInet error (28): Timeout was reached", 0), 0u) << e.Message();
  }
  EXPECT_EQ(InternetOpenHandleCount(), handles);
}

TEST(WinInetWebClient, RefusedPortIsTheConnectionsFailure) {
  const int port = RefusedPort();
  TWinInetWebClient client;
  try {
    client.DownloadString("http://127.0.0.1:" + std::to_string(port) + "/x");
    FAIL() << "no error";
  } catch (const ExceptionEx& e) {
    EXPECT_EQ(e.Message(), "Ошибка при подключении к серверу");
    const auto* inner = dynamic_cast<const EWinInetException*>(e.InnerException());
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->ErrorCode, CURLE_COULDNT_CONNECT);
    EXPECT_EQ(inner->Message().rfind("WinInet error (7): Couldn't connect to server", 0), 0u) << inner->Message();
  }
  EXPECT_EQ(InternetOpenHandleCount(), 0);
}

TEST(WinInetWebClient, RedirectsAreFollowedWithTheVerbKept) {
  TTestServer server;
  server->Post("/old", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/new", 302); });
  server->Post("/new", [](const httplib::Request& req, httplib::Response& res) { res.set_content("new " + req.body, "text/plain"); });
  server->Get("/loop", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop", 302); });
  TWinInetWebClient client;
  EXPECT_EQ(client.UploadString(server.Url("/old"), "data"), "new data");
  EXPECT_EQ(server.Seen().Method, "POST");
  EXPECT_EQ(MessageOf<EWinInetException>([&] { client.DownloadString(server.Url("/loop")); }).rfind("WinInet error (47): ", 0), 0u);
}

TEST(WinInetHTTP, ContentDispositionNames) {
  TTestServer server;
  std::string disposition;
  server->Get(".*", [&](const httplib::Request&, httplib::Response& res) {
    if (!disposition.empty()) res.set_header("Content-Disposition", disposition);
    res.set_content("payload", "application/octet-stream");
  });
  TWinInetHTTP http;
  http.SetHost("127.0.0.1");
  http.SetPort(server.Port());
  http.Connect();
  const std::pair<std::string, std::string> names[] = {
      {"attachment; filename=report.xml", "report.xml"},
      {"attachment; filename=\"my report.xml\"", "\"my"},
      {"inline; name=x", ""},
      {"", ""},
  };
  for (const auto& [header, name] : names) {
    disposition = header;
    EXPECT_EQ(http.OpenStream("docs/file")->GetFilename(), name) << header;
  }

  TTempDir dir;
  const std::string dest = dir.MakeDir("dest");
  const std::pair<std::string, std::string> saved[] = {
      {"attachment; filename=../../x", "x"},
      {"attachment; filename=..\\evil.txt", "evil.txt"},
      {"attachment; filename=report.xml", "report.xml"},
      {"", "default.bin"},
  };
  for (const auto& [header, file] : saved) {
    disposition = header;
    http.DownloadWithPreferableFilename("docs/file", dest, "default.bin");
    EXPECT_EQ(dir.ReadFile("dest/" + file), "payload") << header;
  }
  disposition.clear();
  WriteWholeFile(dest + "/file", "old contents");
  http.DownloadWithPreferableFilename("docs/file", dest, "");  // the URL's segment, replaced
  EXPECT_EQ(dir.ReadFile("dest/file"), "payload");
  disposition = "attachment; filename=..";
  EXPECT_EQ(MessageOf<EInvalidOperation>([&] { http.DownloadWithPreferableFilename("docs/..", dest, ""); }),
            "Не удалось определить допустимое имя файла для загрузки \"docs/..\"");
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path())) count += entry.is_regular_file();
  EXPECT_EQ(count, 5u);  // nothing left outside dest, no partial files
}

TEST(WinInetHTTP, StreamsDownloadsAndOneShotOperations) {
  TTestServer server;
  const std::string big(300000, 'b');  // more than the client holds before it pauses the transfer
  server->Get("/big", [&](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", [&](size_t, httplib::DataSink& sink) {
      for (std::size_t at = 0; at < big.size(); at += 10000) sink.write(big.data() + at, 10000);
      sink.done();
      return true;
    });
  });
  server->Put("/echo", [](const httplib::Request& req, httplib::Response& res) { res.set_content(req.body, "text/plain"); });

  TMemoryStream whole;
  TWinInetHTTP::Download(server.Url("/big"), whole);
  EXPECT_EQ(Text(whole), big);
  const std::vector<std::uint8_t> echoed = TWinInetHTTP::SendData(server.Url("/echo?ignored=1"), "PUT", {'h', 'i'}, "", "");
  EXPECT_EQ(std::string(echoed.begin(), echoed.end()), "hi");
  EXPECT_EQ(server.Seen().Target, "/echo");

  TWinInetHTTP http;
  EXPECT_EQ(MessageOf<EInvalidUriException>([&] { http.OpenStream(TUri("ftp://h/x")); }), "Допустим только http-протокол.\r\nftp://h/x");
  std::unique_ptr<TWinInetHTTPStream> stream = http.OpenStream(TUri(server.Url("/big")));
  TMemoryStream part;
  EXPECT_EQ(stream->CopyWhileReadableTo(part, 5000), 5000);
  EXPECT_EQ(stream->Position(), 5000);
  EXPECT_THROW(stream->Seek(0, soBeginning), EWinInetException);  // forward only
  EXPECT_EQ(stream->ToBytes().size(), big.size() - 5000);

  TTempDir dir;
  const std::string existing = dir.WriteFile("existing", "keep me");
  stream = http.OpenStream("big");
  EXPECT_EQ(MessageOf<Exception>([&] { stream->SaveToFile(existing, false); }), "Файл \"" + existing + "\" уже существует");
  EXPECT_EQ(dir.ReadFile("existing"), "keep me");
  stream->SaveToFile(existing, true);
  EXPECT_EQ(dir.ReadFile("existing"), big);
}

TEST(WinInetHTTP, RequestAndResponseCloseTheirSharedHandleOnce) {
  TTestServer server;
  server->Get("/x", [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
  TWinInetHTTP http;
  http.SetHost("127.0.0.1");
  http.SetPort(server.Port());
  http.Connect();
  const std::int32_t handles = InternetOpenHandleCount();
  for (bool requestFirst : {true, false}) {
    auto request = std::make_unique<TWinInetHTTPRequest>(http, "x", "GET", 0u);
    TSharedPtr<TWinInetHTTPResponse> response = request->GetResponse(true);
    if (requestFirst) request.reset();
    EXPECT_EQ(InternetOpenHandleCount(), handles + 1);
    response = nullptr;
    request.reset();
    EXPECT_EQ(InternetOpenHandleCount(), handles) << requestFirst;
  }
}

TEST(WinInetHTTP, LibraryFailuresBecomeExceptionsAndLeaveNoHandles) {
  using kv::curl::CurlCalls;
  using kv::curl::ScopedCurlCall;
  TTestServer server;
  server->Get("/x", [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
  TWinInetWebClient client;
  const std::string url = server.Url("/x");
  {
    ScopedCurlCall<CURLSH* (*)()> fail(&CurlCalls::share_init, [] { return static_cast<CURLSH*>(nullptr); });
    try {
      client.DownloadString(url);
      FAIL() << "no error";
    } catch (const ExceptionEx& e) {
      EXPECT_EQ(e.Message(), "Ошибка при подключении к серверу");
      ASSERT_NE(dynamic_cast<const EWinInetException*>(e.InnerException()), nullptr);
      EXPECT_EQ(e.InnerException()->what(), std::string("WinInet error (2): Failed initialization"));
    }
  }
  {
    ScopedCurlCall<CURL* (*)()> fail(&CurlCalls::easy_init, [] { return static_cast<CURL*>(nullptr); });
    EXPECT_EQ(MessageOf<EWinInetException>([&] { client.DownloadString(url); }), "WinInet error (2): Failed initialization");
  }
  {
    using TPerform = CURLMcode (*)(CURLM*, int*);
    ScopedCurlCall<TPerform> fail(&CurlCalls::multi_perform, [](CURLM*, int*) { return CURLM_OUT_OF_MEMORY; });
    EXPECT_EQ(MessageOf<EWinInetException>([&] { client.DownloadString(url); }), "WinInet error (56): Out of memory");
  }
  EXPECT_EQ(InternetOpenHandleCount(), 0);
  EXPECT_EQ(client.DownloadString(url), "x");
}
