#include "Common.Net.WinInet.Handles.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <mutex>

#include "Common.Net.WinInet.Curl.h"
#include "Runtime.Strings.h"

using kv::curl::Curl;

// On libcurl's multi interface, so that a body can be read in pieces as it arrives.

namespace {
constexpr std::int32_t kBadArgument = CURLE_BAD_FUNCTION_ARGUMENT;
// Bytes held from the network before the transfer is paused until the reader catches up.
constexpr std::size_t kMaxPendingBody = 65536;

thread_local std::int32_t gLastError = 0;
thread_local std::string gLastErrorText;
std::atomic<std::int32_t> gOpenHandles{0};
TWinInetLimits gLimits;

std::mutex gDialogMutex;
TCredentialsDialog gDialog;

bool Fail(std::int32_t code, std::string text = {}) {
  gLastError = code;
  gLastErrorText = text.empty() ? curl_easy_strerror(static_cast<CURLcode>(code)) : std::move(text);
  return false;
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// What may travel in a request line as it stands; escapes already there are kept.
std::string EscapeRequestPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    const bool strayPercent = c == '%' && !(i + 2 < path.size() && IsHexDigit(path[i + 1]) && IsHexDigit(path[i + 2]));
    if (strayPercent || c <= ' ' || c >= 0x7F || std::strchr("\"<>\\^`{|}#", c) != nullptr) {
      result += '%';
      result += kHex[c >> 4];
      result += kHex[c & 15];
    } else {
      result += static_cast<char>(c);
    }
  }
  return result;
}

HINTERNET FailHandle(std::int32_t code) {
  Fail(code);
  return nullptr;
}

std::string HeaderName(std::string_view header) {
  const std::size_t colon = header.find(':');
  return Trim(header.substr(0, colon == std::string_view::npos ? header.size() : colon));
}
}  // namespace

struct TInternetHandle {
  TInternetHandle() { ++gOpenHandles; }
  virtual ~TInternetHandle() { --gOpenHandles; }
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;
};

namespace {
using namespace kv::inet;

// Connections and name lookups are shared by every request of a session.
struct TSessionState {
  CURLSH* Share = nullptr;
  TAccessType AccessType = atPreconfig;
  std::string Proxy;
  ~TSessionState() {
    if (Share) Curl().share_cleanup(Share);
  }
};

struct TSessionHandle : TInternetHandle {
  std::shared_ptr<TSessionState> State;
};

struct TConnectState {
  std::shared_ptr<TSessionState> Session;
  std::string Server;
  std::int32_t Port = 0;
  std::string Login, Password, ProxyLogin, ProxyPassword;
};

struct TConnectHandle : TInternetHandle {
  std::shared_ptr<TConnectState> State;
};

struct TRequestHandle : TInternetHandle {
  std::shared_ptr<TConnectState> Connect;
  std::string Verb;
  std::string Path;
  std::uint32_t Flags = 0;
  std::vector<std::string> Headers;

  CURL* Easy = nullptr;
  CURLM* Multi = nullptr;
  curl_slist* HeaderList = nullptr;
  std::string Url;
  std::string Body;
  char ErrorBuffer[CURL_ERROR_SIZE] = {};
  bool Sent = false;
  bool Done = false;
  bool Paused = false;
  CURLcode Result = CURLE_OK;

  std::string ResponseHeaders;  // the final response's block: status line, headers, blank line
  std::int32_t StatusCode = 0;
  std::string StatusText;
  std::string RequestHeaders;
  bool NextHeaderOutStartsRequest = true;
  std::string Pending;
  std::size_t PendingPos = 0;

  ~TRequestHandle() override {
    if (Multi) {
      if (Easy) Curl().multi_remove_handle(Multi, Easy);
      Curl().multi_cleanup(Multi);
    }
    if (Easy) Curl().easy_cleanup(Easy);
    if (HeaderList) Curl().slist_free_all(HeaderList);
  }
  std::size_t PendingSize() const { return Pending.size() - PendingPos; }
};

template <class T>
T* As(HINTERNET handle) {
  return dynamic_cast<T*>(handle);
}

bool GlobalInit() {
  static const CURLcode code = Curl().global_init(CURL_GLOBAL_DEFAULT);
  return code == CURLE_OK || Fail(code);
}

bool HasHeader(const TRequestHandle& r, std::string_view name) {
  return std::any_of(r.Headers.begin(), r.Headers.end(), [&](const std::string& h) { return SameText(HeaderName(h), name); });
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* r = static_cast<TRequestHandle*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    // Each response (a redirect, a challenge answered by the library) starts a new block.
    r->ResponseHeaders.clear();
    r->NextHeaderOutStartsRequest = true;
    const std::string status = TrimRight(line);
    const std::size_t codeStart = status.find(' ');
    const std::size_t textStart = codeStart == std::string::npos ? std::string::npos : status.find(' ', codeStart + 1);
    const std::string code = codeStart == std::string::npos ? std::string() : status.substr(codeStart + 1, textStart - codeStart - 1);
    r->StatusCode = StrToIntDef(code, 0);
    r->StatusText = textStart == std::string::npos ? std::string() : status.substr(textStart + 1);
  }
  r->ResponseHeaders.append(line);
  return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* r = static_cast<TRequestHandle*>(user);
  if (r->PendingSize() >= kMaxPendingBody) {
    r->Paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (r->PendingPos > 0 && r->PendingPos == r->Pending.size()) {
    r->Pending.clear();
    r->PendingPos = 0;
  }
  r->Pending.append(data, size * count);
  return size * count;
}

int OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
  auto* r = static_cast<TRequestHandle*>(user);
  if (type == CURLINFO_HEADER_OUT) {
    if (r->NextHeaderOutStartsRequest) r->RequestHeaders.clear();
    r->NextHeaderOutStartsRequest = false;
    r->RequestHeaders.append(data, size);
  }
  return 0;
}

bool Setup(TRequestHandle& r, const void* body, std::size_t bodyLength) {
  const TConnectState& c = *r.Connect;
  const TSessionState& s = *c.Session;
  const std::string path = r.Path.starts_with('/') ? r.Path : "/" + r.Path;
  const std::int32_t port = c.Port != 0 ? c.Port : 80;
  r.Url = "http://" + c.Server + ":" + IntToStr(port) + EscapeRequestPath(path);
  if (body) r.Body.assign(static_cast<const char*>(body), bodyLength);

  std::vector<std::string> headers = r.Headers;
  if (r.Flags & INTERNET_FLAG_RELOAD) {
    if (!HasHeader(r, "Cache-Control")) headers.push_back("Cache-Control: no-cache");
    if (!HasHeader(r, "Pragma")) headers.push_back("Pragma: no-cache");
  }
  // The library would add these to a body; the request carries only what its caller set.
  if (body && !HasHeader(r, "Content-Type")) headers.push_back("Content-Type:");
  if (!HasHeader(r, "Expect")) headers.push_back("Expect:");
  for (const std::string& h : headers) {
    curl_slist* list = Curl().slist_append(r.HeaderList, h.c_str());
    if (!list) return Fail(CURLE_OUT_OF_MEMORY);
    r.HeaderList = list;
  }

  CURL* e = r.Easy;
  auto& api = Curl();
  CURLcode code = CURLE_OK;
  auto setLong = [&](CURLoption o, long v) { if (code == CURLE_OK) code = api.setopt_long(e, o, v); };
  auto setPtr = [&](CURLoption o, const void* v) { if (code == CURLE_OK) code = api.setopt_pointer(e, o, v); };
  auto setText = [&](CURLoption o, const std::string& v) { setPtr(o, v.c_str()); };

  setPtr(CURLOPT_ERRORBUFFER, r.ErrorBuffer);
  setText(CURLOPT_URL, r.Url);
  setLong(CURLOPT_NOSIGNAL, 1L);
  setPtr(CURLOPT_PROTOCOLS_STR, "http");
  setPtr(CURLOPT_REDIR_PROTOCOLS_STR, "http");
  setPtr(CURLOPT_SHARE, s.Share);
  setLong(CURLOPT_FOLLOWLOCATION, 1L);
  setLong(CURLOPT_MAXREDIRS, gLimits.MaxRedirects);
  setLong(CURLOPT_POSTREDIR, CURL_REDIR_POST_ALL);
  setLong(CURLOPT_CONNECTTIMEOUT, gLimits.ConnectTimeoutSeconds);
  setLong(CURLOPT_LOW_SPEED_LIMIT, 1L);
  setLong(CURLOPT_LOW_SPEED_TIME, gLimits.StallSeconds);
  if (s.AccessType == atDirect) {
    setText(CURLOPT_PROXY, std::string());
  } else if (s.AccessType == atProxy) {
    setText(CURLOPT_PROXY, "http://" + s.Proxy);
    setText(CURLOPT_NOPROXY, std::string());
    if (!c.ProxyLogin.empty()) {
      setText(CURLOPT_PROXYUSERNAME, c.ProxyLogin);
      setText(CURLOPT_PROXYPASSWORD, c.ProxyPassword);
      setLong(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    }
  }
  if (!c.Login.empty()) {
    setText(CURLOPT_USERNAME, c.Login);
    setText(CURLOPT_PASSWORD, c.Password);
    setLong(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
  }
  if (r.Verb == "HEAD") {
    setLong(CURLOPT_NOBODY, 1L);
  } else if (r.Verb != "GET" || body) {
    setText(CURLOPT_CUSTOMREQUEST, r.Verb);
  }
  if (body) {
    setPtr(CURLOPT_POSTFIELDS, r.Body.data());
    if (code == CURLE_OK) code = api.setopt_offset(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.Body.size()));
  }
  setPtr(CURLOPT_HTTPHEADER, r.HeaderList);
  if (code == CURLE_OK) code = api.setopt_write_function(e, CURLOPT_HEADERFUNCTION, OnHeader);
  setPtr(CURLOPT_HEADERDATA, &r);
  if (code == CURLE_OK) code = api.setopt_write_function(e, CURLOPT_WRITEFUNCTION, OnBody);
  setPtr(CURLOPT_WRITEDATA, &r);
  if (code == CURLE_OK) code = api.setopt_debug_function(e, CURLOPT_DEBUGFUNCTION, OnDebug);
  setPtr(CURLOPT_DEBUGDATA, &r);
  setLong(CURLOPT_VERBOSE, 1L);
  if (code != CURLE_OK) return Fail(code);

  r.Multi = api.multi_init();
  if (!r.Multi) return Fail(CURLE_FAILED_INIT);
  if (const CURLMcode mc = api.multi_add_handle(r.Multi, e); mc != CURLM_OK) {
    api.multi_cleanup(r.Multi);
    r.Multi = nullptr;
    return Fail(CURLE_FAILED_INIT, curl_multi_strerror(mc));
  }
  return true;
}

// One step of the transfer: whatever the network has ready, or a wait of at most a second.
bool Pump(TRequestHandle& r) {
  auto& api = Curl();
  if (r.Paused) {
    r.Paused = false;  // the resumed transfer may deliver (and pause) at once
    if (const CURLcode code = api.easy_pause(r.Easy, CURLPAUSE_CONT); code != CURLE_OK) return Fail(code);
  }
  int running = 0;
  if (const CURLMcode mc = api.multi_perform(r.Multi, &running); mc != CURLM_OK)
    return Fail(CURLE_RECV_ERROR, curl_multi_strerror(mc));
  int queued = 0;
  while (CURLMsg* message = api.multi_info_read(r.Multi, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == r.Easy) {
      r.Done = true;
      r.Result = message->data.result;
    }
  }
  if (!r.Done && r.PendingSize() == 0 && !r.Paused) {
    if (const CURLMcode mc = api.multi_poll(r.Multi, nullptr, 0, 1000, nullptr); mc != CURLM_OK)
      return Fail(CURLE_RECV_ERROR, curl_multi_strerror(mc));
  }
  return true;
}

bool FailTransfer(const TRequestHandle& r) {
  std::string text = curl_easy_strerror(r.Result);
  if (r.ErrorBuffer[0] != '\0' && text != r.ErrorBuffer) text += " (" + std::string(r.ErrorBuffer) + ")";
  return Fail(r.Result, text);
}

std::string HeaderValue(const std::string& block, std::string_view name) {
  for (const std::string& line : SplitString(block, '\n')) {
    if (SameText(HeaderName(line), name) && line.find(':') != std::string::npos) return Trim(line.substr(line.find(':') + 1));
  }
  return {};
}

std::string RealmOf(const std::string& challenge) {
  const std::size_t at = LowerCase(challenge).find("realm=");
  if (at == std::string::npos) return {};
  std::string rest = challenge.substr(at + 6);
  if (rest.starts_with('"')) return rest.substr(1, rest.find('"', 1) - 1);
  return rest.substr(0, rest.find_first_of(", "));
}
}  // namespace

namespace kv::inet {
std::int32_t InternetLastError() { return gLastError; }
const std::string& InternetLastErrorText() { return gLastErrorText; }
bool FailInvalidArgument(std::string Text) { return Fail(kBadArgument, std::move(Text)); }

HINTERNET InternetOpen(TAccessType accessType, const std::string& proxy) {
  if (!GlobalInit()) return nullptr;
  auto state = std::make_shared<TSessionState>();
  state->AccessType = accessType;
  state->Proxy = proxy;
  state->Share = Curl().share_init();
  if (!state->Share) return FailHandle(CURLE_FAILED_INIT);
  if (Curl().share_setopt(state->Share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) != CURLSHE_OK ||
      Curl().share_setopt(state->Share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT) != CURLSHE_OK)
    return FailHandle(CURLE_FAILED_INIT);
  auto* handle = new TSessionHandle;
  handle->State = std::move(state);
  return handle;
}

HINTERNET InternetConnect(HINTERNET session, const std::string& server, std::int32_t port, const std::string& login,
                          const std::string& password, std::uint32_t service) {
  auto* s = As<TSessionHandle>(session);
  if (!s) return FailHandle(kBadArgument);
  if (service != INTERNET_SERVICE_HTTP) return FailHandle(CURLE_UNSUPPORTED_PROTOCOL);
  auto state = std::make_shared<TConnectState>();
  state->Session = s->State;
  state->Server = server;
  state->Port = port;
  state->Login = login;
  state->Password = password;
  auto* handle = new TConnectHandle;
  handle->State = std::move(state);
  return handle;
}

bool InternetSetOption(HINTERNET connect, std::uint32_t option, const std::string& value) {
  auto* c = As<TConnectHandle>(connect);
  if (!c) return Fail(kBadArgument);
  if (option == kOptionProxyUserName)
    c->State->ProxyLogin = value;
  else if (option == kOptionProxyPassword)
    c->State->ProxyPassword = value;
  else
    return Fail(kBadArgument);
  return true;
}

HINTERNET HttpOpenRequest(HINTERNET connect, const std::string& verb, const std::string& path, std::uint32_t flags) {
  auto* c = As<TConnectHandle>(connect);
  if (!c) return FailHandle(kBadArgument);
  auto handle = std::make_unique<TRequestHandle>();
  handle->Connect = c->State;
  handle->Verb = verb.empty() ? "GET" : verb;
  handle->Path = path;
  handle->Flags = flags;
  handle->Easy = Curl().easy_init();
  if (!handle->Easy) return FailHandle(CURLE_FAILED_INIT);
  return handle.release();
}

bool HttpAddRequestHeaders(HINTERNET request, const std::string& header) {
  auto* r = As<TRequestHandle>(request);
  if (!r || r->Sent) return Fail(kBadArgument);
  // One header per call: a line break inside would let a value smuggle in headers of its own.
  const std::string name = HeaderName(header);
  if (name.empty() || header.find(':') == std::string::npos ||
      std::any_of(header.begin(), header.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }))
    return Fail(kBadArgument, "Invalid request header");
  auto same = std::find_if(r->Headers.begin(), r->Headers.end(), [&](const std::string& h) { return SameText(HeaderName(h), name); });
  if (same != r->Headers.end())
    *same = header;
  else
    r->Headers.push_back(header);
  return true;
}

// Sends the request and waits until its final response begins (or the transfer ends).
bool HttpSendRequest(HINTERNET request, const void* body, std::size_t bodyLength) {
  auto* r = As<TRequestHandle>(request);
  if (!r || r->Sent) return Fail(kBadArgument);
  r->Sent = true;
  if (!Setup(*r, body, bodyLength)) return false;
  while (!r->Done && r->PendingSize() == 0)
    if (!Pump(*r)) return false;
  if (r->Done && r->Result != CURLE_OK) return FailTransfer(*r);
  return true;
}

// Whether a failed send never reached the server (or proxy).
bool SendFailedToConnect(HINTERNET request) {
  auto* r = As<TRequestHandle>(request);
  if (!r || !r->Done) return false;
  switch (r->Result) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
      return true;
    case CURLE_OPERATION_TIMEDOUT: {
      curl_off_t connectTime = 0;
      return Curl().getinfo_offset(r->Easy, CURLINFO_CONNECT_TIME_T, &connectTime) == CURLE_OK && connectTime == 0;
    }
    default:
      return false;
  }
}

bool InternetReadFile(HINTERNET request, void* buffer, std::int32_t count, std::int32_t& read) {
  read = 0;
  auto* r = As<TRequestHandle>(request);
  if (!r || !r->Sent || count < 0) return Fail(kBadArgument);
  while (r->PendingSize() == 0 && !r->Done)
    if (!Pump(*r)) return false;
  if (r->PendingSize() == 0) return r->Result == CURLE_OK || FailTransfer(*r);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), r->PendingSize());
  std::memcpy(buffer, r->Pending.data() + r->PendingPos, n);
  r->PendingPos += n;
  read = static_cast<std::int32_t>(n);
  return true;
}

// The text of an information level, or nothing with the last error set.
bool HttpQueryInfo(HINTERNET request, std::uint32_t level, std::string& value) {
  auto* r = As<TRequestHandle>(request);
  if (!r) return Fail(kBadArgument);
  if (level == (HTTP_QUERY_RAW_HEADERS_CRLF | HTTP_QUERY_FLAG_REQUEST_HEADERS)) {
    value = r->RequestHeaders;
    return true;
  }
  if (!r->Sent || r->StatusCode == 0) return Fail(kBadArgument, "No response was received");
  switch (level) {
    case HTTP_QUERY_STATUS_CODE: value = IntToStr(r->StatusCode); return true;
    case HTTP_QUERY_STATUS_TEXT: value = r->StatusText; return true;
    case HTTP_QUERY_RAW_HEADERS_CRLF: value = r->ResponseHeaders; return true;
    default: return Fail(kBadArgument);
  }
}

// The credential dialog for a refused request: kForceRetry with the new credentials set on the
// request's connection, 0 for no retry; a cancel ends the operation silently.
int AskCredentials(HINTERNET request) {
  auto* r = As<TRequestHandle>(request);
  if (!r || (r->StatusCode != 401 && r->StatusCode != 407)) return 0;
  TCredentialsDialog dialog;
  {
    std::lock_guard lock(gDialogMutex);
    dialog = gDialog;
  }
  if (!dialog) return 0;
  TConnectState& c = *r->Connect;
  TCredentialsQuery query;
  query.Url = r->Url;
  query.StatusCode = r->StatusCode;
  query.ForProxy = r->StatusCode == 407;
  query.Realm = RealmOf(HeaderValue(r->ResponseHeaders, query.ForProxy ? "Proxy-Authenticate" : "WWW-Authenticate"));
  query.Login = query.ForProxy ? c.ProxyLogin : c.Login;
  query.Password = query.ForProxy ? c.ProxyPassword : c.Password;
  switch (dialog(query)) {
    case caRetry:
      (query.ForProxy ? c.ProxyLogin : c.Login) = query.Login;
      (query.ForProxy ? c.ProxyPassword : c.Password) = query.Password;
      return kForceRetry;
    case caNoRetry:
      return 0;
    case caCancel:
      break;
  }
  throw EAbort("Operation aborted");
}
}  // namespace kv::inet

void InternetCloseHandle(HINTERNET Handle) { delete Handle; }

std::int32_t InternetOpenHandleCount() { return gOpenHandles.load(); }

const TWinInetLimits& WinInetLimits() { return gLimits; }

ScopedWinInetLimits::ScopedWinInetLimits(const TWinInetLimits& Limits) : FSaved(gLimits) { gLimits = Limits; }
ScopedWinInetLimits::~ScopedWinInetLimits() { gLimits = FSaved; }

TCredentialsDialog SetCredentialsDialog(TCredentialsDialog Dialog) {
  std::lock_guard lock(gDialogMutex);
  std::swap(gDialog, Dialog);
  return Dialog;
}
