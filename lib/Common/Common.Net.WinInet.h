#pragma once
// The system's HTTP client, in four levels: connections (session, server, proxy choice), requests
// with any verb and their responses sharing one handle, streams over a response body, and the
// web client that the document storage uses. All calls block the calling thread.
//
// Only plain HTTP is spoken. Redirects are followed (10 at most, the verb kept); connecting gives
// up after 60 s and a transfer that receives nothing for 60 s ends with a time-out, so no request
// hangs forever (TWinInetLimits).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Common.Classes.h"
#include "Common.ExceptionEx.h"
#include "Common.Net.h"
#include "Runtime.Exceptions.h"
#include "Runtime.Streams.h"

// An open session, server connection or request; see InternetCloseHandle.
struct TInternetHandle;
using HINTERNET = TInternetHandle*;

// Closes a handle; nothing for null. Closing a session or connection leaves the handles opened
// on it usable until they are closed themselves.
void InternetCloseHandle(HINTERNET Handle);
// Handles open in this process: tests watch it for handles a failure leaves behind.
std::int32_t InternetOpenHandleCount();

// The limits that stand in for the platform's defaults. Tests lower them with ScopedWinInetLimits.
struct TWinInetLimits {
  std::int32_t ConnectTimeoutSeconds = 60;
  std::int32_t StallSeconds = 60;  // a transfer that receives no byte for this long ends
  std::int32_t MaxRedirects = 10;
};
const TWinInetLimits& WinInetLimits();
class ScopedWinInetLimits {
 public:
  explicit ScopedWinInetLimits(const TWinInetLimits& Limits);
  ~ScopedWinInetLimits();
  ScopedWinInetLimits(const ScopedWinInetLimits&) = delete;
  ScopedWinInetLimits& operator=(const ScopedWinInetLimits&) = delete;

 private:
  TWinInetLimits FSaved;
};

// The information levels of QueryInfoText.
inline constexpr std::uint32_t HTTP_QUERY_STATUS_CODE = 19;
inline constexpr std::uint32_t HTTP_QUERY_STATUS_TEXT = 20;
inline constexpr std::uint32_t HTTP_QUERY_RAW_HEADERS_CRLF = 22;
inline constexpr std::uint32_t HTTP_QUERY_FLAG_REQUEST_HEADERS = 0x80000000;
inline constexpr std::uint32_t INTERNET_FLAG_RELOAD = 0x80000000;  // bypass caches
inline constexpr std::uint32_t INTERNET_SERVICE_HTTP = 3;

// --- exceptions -------------------------------------------------------------------------------

// The operation ended silently: the user cancelled it. Error reports show nothing for it.
KV_DECLARE_EXCEPTION(EAbort, Exception);

// A failure of the HTTP layer: "WinInet error (<number>): <text>" with the transfer library's
// error number and text.
class EWinInetException : public Exception {
 public:
  EWinInetException(std::string Message, std::int32_t AErrorCode) : Exception(std::move(Message)), ErrorCode(AErrorCode) {}
  std::string ClassNameAndMessage() const { return FormatClassNameAndMessage(*this); }
  void IncludeOperationNameAsFirst(std::string_view OpName) { PrefixOperationName(*this, OpName); }

  std::int32_t ErrorCode;
};

// A status of 400 or more: "<code>: <status text>".
class EHttpStatusException : public Exception {
 public:
  EHttpStatusException(std::int32_t AStatusCode, std::string AStatusMessage, std::string ARequest,
                       std::string AExtendedData);
  std::string ClassNameAndMessage() const { return FormatClassNameAndMessage(*this); }
  void IncludeOperationNameAsFirst(std::string_view OpName) { PrefixOperationName(*this, OpName); }

  std::int32_t StatusCode;
  std::string StatusMessage;
  std::string Request;  // the raw request headers
  std::string ExtendedData;
};

// --- unit-level operations --------------------------------------------------------------------

// Raises EWinInetException for the calling thread's last HTTP-layer error when Ok is false.
void CheckWinInet(bool Ok);
// Raises EHttpStatusException when the request's status is 400 or more.
void CheckStatusCode(HINTERNET Request);
// The status code (19) or status text (20) of the final response.
std::string QueryInfoText(HINTERNET Request, std::uint32_t Level);
// The raw headers of the request as last sent, CR LF separated; " " when none were sent.
std::string QueryRawRequestHeaders(HINTERNET Request);

// --- the credential dialog --------------------------------------------------------------------

enum TCredentialsAnswer : int { caRetry, caNoRetry, caCancel };

// What the dialog is asked: the server (or proxy) refused the request with 401 (407). Login and
// Password hold what was used; on caRetry the new ones are used for the next attempt.
struct TCredentialsQuery {
  std::string Url;
  std::int32_t StatusCode = 0;
  bool ForProxy = false;
  std::string Realm;  // from the challenge, "" when it names none
  std::string Login;
  std::string Password;
};
using TCredentialsDialog = std::function<TCredentialsAnswer(TCredentialsQuery& Query)>;

// The process's dialog; none (the default) answers every question with no retry. Returns the
// previous one.
TCredentialsDialog SetCredentialsDialog(TCredentialsDialog Dialog);

// --- proxy settings and connections -----------------------------------------------------------

// pkDefault takes the proxy from the environment (http_proxy, all_proxy, no_proxy).
enum TWinInetProxyKind : int { pkNone, pkDefault, pkUserSettings, pkUserSettingsWithAuthority };

class TWinInetProxySettings {
 public:
  TWinInetProxyKind Kind() const { return FKind; }
  void SetKind(TWinInetProxyKind Value) { FKind = Value; }
  const std::string& Host() const { return FHost; }
  void SetHost(std::string Value) { FHost = std::move(Value); }
  std::int32_t Port() const { return FPort; }
  void SetPort(std::int32_t Value) { FPort = Value; }
  const std::string& Login() const { return FLogin; }
  void SetLogin(std::string Value) { FLogin = std::move(Value); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string Value) { FPassword = std::move(Value); }
  void Assign(const TWinInetProxySettings& ASource);

 private:
  TWinInetProxyKind FKind = pkDefault;
  std::string FHost;
  std::int32_t FPort = 0;
  std::string FLogin;
  std::string FPassword;
};

// A session and a connection to one server. Nothing travels before the first request: a server
// that cannot be reached shows up when a request is sent, as the connection's failure.
class TWinInetConnection {
 public:
  TWinInetConnection() = default;
  virtual ~TWinInetConnection();
  TWinInetConnection(const TWinInetConnection&) = delete;
  TWinInetConnection& operator=(const TWinInetConnection&) = delete;

  // Opens the session and the connection with the proxy settings of this moment; a failure
  // disconnects and raises ExceptionEx "Ошибка при подключении к серверу" with the cause inside.
  // An object connected already is reconnected.
  void Connect();
  void Disconnect();
  bool Connected() const { return FSession != nullptr; }

  const std::string& Host() const { return FHost; }
  void SetHost(std::string Value) { FHost = std::move(Value); }
  std::int32_t Port() const { return FPort; }
  void SetPort(std::int32_t Value) { FPort = Value; }
  const std::string& Login() const { return FLogin; }
  void SetLogin(std::string Value) { FLogin = std::move(Value); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string Value) { FPassword = std::move(Value); }
  TWinInetProxySettings& ProxySettings() { return FProxySettings; }
  HINTERNET ConnectHandle() const { return FConnect; }

  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }

 protected:
  virtual std::uint32_t GetServiceType() = 0;
  virtual std::uint32_t GetConnectFlags() { return 0; }

  std::int32_t FPort = 0;

 private:
  HINTERNET FSession = nullptr;
  HINTERNET FConnect = nullptr;
  TWinInetProxySettings FProxySettings;
  std::string FLogin;
  std::string FHost;
  std::string FPassword;
};

class TWinInetHTTPStream;

class TWinInetHTTP : public TWinInetConnection {
 public:
  TWinInetHTTP() { FPort = 80; }

  // Connects to the URI's host and port (80 when none) and opens its path. EInvalidUriException
  // "Допустим только http-протокол.\r\n<uri>" for any other protocol.
  std::unique_ptr<TWinInetHTTPStream> OpenStream(const TUri& Uri);
  // A GET of Path on this connection, bypassing caches.
  std::unique_ptr<TWinInetHTTPStream> OpenStream(const std::string& Path);

  // The whole body of Path, after the status check.
  void DownloadFile(const std::string& SourcePath, TStream& DestStream);
  // Creates (or truncates) the file first; it stays behind when the download fails.
  void DownloadFile(const std::string& SourcePath, const std::string& DestFilename);
  // Saves the body into DestPath under the name the server gives (Content-Disposition), else
  // ADefaultFilename, else the last segment of SourcePath, replacing a file there. The name loses
  // path separators, control characters and "." or ".." first, so it stays in DestPath;
  // EInvalidOperation when nothing usable is left.
  void DownloadWithPreferableFilename(const std::string& SourcePath, const std::string& DestPath,
                                      const std::string& ADefaultFilename);

  static void Download(const std::string& Url, TStream& DestStream);
  static void Download(const std::string& Url, const std::string& DestFilename);
  // Sends Data (from its beginning; none for null) with AVerb and returns the response body;
  // the status is checked. Credentials: AUserName and APassword, else the URL's.
  static std::vector<std::uint8_t> SendData(const std::string& Url, const std::string& AVerb, TStream* Data,
                                            const std::string& AUserName, const std::string& APassword);
  static std::vector<std::uint8_t> SendData(const std::string& Url, const std::string& AVerb,
                                            const std::vector<std::uint8_t>& Data, const std::string& AUserName,
                                            const std::string& APassword);

 protected:
  std::uint32_t GetServiceType() override { return INTERNET_SERVICE_HTTP; }
};

// --- streams ----------------------------------------------------------------------------------

// A response body read through a handle that this class does not close. It reads forward only:
// Seek answers the position and refuses to move.
class TWinInetStream : public TStream {
 public:
  explicit TWinInetStream(HINTERNET AHandle) : FHandle(AHandle) {}

  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  // Bodies are sent whole with their request; writing here raises EWinInetException.
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

  // Copies in 4096-byte pieces until the body ends or MaxBytes are copied; returns the count.
  std::int64_t CopyWhileReadableTo(TStream& Dest, std::int64_t MaxBytes);
  std::vector<std::uint8_t> ToBytes();
  // Without CanOverride an existing file raises Exception "Файл \"%s\" уже существует" before
  // anything is written.
  void SaveToFile(const std::string& DestFilename, bool CanOverride);
  void SaveToStream(TStream& AStream);

  HINTERNET Handle() const { return FHandle; }

 private:
  HINTERNET FHandle;
  std::int64_t FPosition = 0;
};

// A GET on a connection, sent when the object exists; it owns its request handle.
class TWinInetHTTPStream : public TWinInetStream {
 public:
  TWinInetHTTPStream(TWinInetHTTP& AHTTP, const std::string& APath, bool ADisableCache);
  ~TWinInetHTTPStream() override;

  // The file name of the first Content-Disposition header with "filename=", up to the next
  // blank, quotes kept; "" when there is none.
  std::string GetFilename();

  // Adds the header line, replacing one of the same name.
  static void AddHeaderToRequest(HINTERNET ARequest, const std::string& AHeader);
  // The raw request (ForRequest) or response headers, CR LF separated; "" when there are none.
  static std::string GetHeaders(HINTERNET ARequest, bool ForRequest);

 private:
  static HINTERNET OpenAndSend(TWinInetHTTP& AHTTP, const std::string& APath, bool ADisableCache);
};

// --- requests and responses -------------------------------------------------------------------

enum TWinInetHTTPRequestFlag : int { rfInternetFlagReload };

class TWinInetHTTPRequestFlags {
 public:
  constexpr TWinInetHTTPRequestFlags() = default;
  constexpr TWinInetHTTPRequestFlags(std::initializer_list<TWinInetHTTPRequestFlag> Flags) {
    for (TWinInetHTTPRequestFlag f : Flags) FBits |= 1u << static_cast<unsigned>(f);
  }
  constexpr bool Contains(TWinInetHTTPRequestFlag f) const { return (FBits & (1u << static_cast<unsigned>(f))) != 0; }

 private:
  unsigned FBits = 0;
};

class TWinInetHTTPResponse;

// A request with any verb on a connection, opened at construction. Its body collects in
// RequestStream until GetResponse sends it in one piece with its Content-Length.
class TWinInetHTTPRequest {
 public:
  TWinInetHTTPRequest(TWinInetHTTP& AHTTP, const std::string& APath, const std::string& AVerb, std::uint32_t AFlags);
  TWinInetHTTPRequest(TWinInetHTTP& AHTTP, const std::string& APath, const std::string& AVerb,
                      TWinInetHTTPRequestFlags AFlags);
  ~TWinInetHTTPRequest();
  TWinInetHTTPRequest(const TWinInetHTTPRequest&) = delete;
  TWinInetHTTPRequest& operator=(const TWinInetHTTPRequest&) = delete;

  void AddHeader(const std::string& AHeader);
  // EInvalidOperation "Нельзя писать в RequestStream после вызова GetResponse" once sent.
  TStream& RequestStream();
  // Sends the request (once: a second call fails an assertion); with ACheckStatusCode a status of
  // 400 or more raises after the response exists.
  TSharedPtr<TWinInetHTTPResponse> GetResponse(bool ACheckStatusCode);

  HINTERNET Handle() const { return FHandle; }
  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }

 private:
  friend class TWinInetHTTPResponse;
  HINTERNET FHandle = nullptr;
  TWinInetHTTPResponse* FResponse = nullptr;
  TWinInetHTTP* FHTTP;
  std::unique_ptr<TMemoryStream> FRequestStream;
  bool FGetResponseCalled = false;
};

// The response of a request, on the request's handle: whichever of the two goes last closes it.
class TWinInetHTTPResponse {
 public:
  TWinInetHTTPResponse(TWinInetHTTPRequest* ARequest, HINTERNET AHandle);
  ~TWinInetHTTPResponse();
  TWinInetHTTPResponse(const TWinInetHTTPResponse&) = delete;
  TWinInetHTTPResponse& operator=(const TWinInetHTTPResponse&) = delete;

  HINTERNET Handle() const { return FHandle; }
  TWinInetStream& ResponseStream() { return *FResponseStream; }
  std::int32_t StatusCode() const;
  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }

 private:
  friend class TWinInetHTTPRequest;
  HINTERNET FHandle;
  TWinInetHTTPRequest* FRequest;
  std::unique_ptr<TWinInetStream> FResponseStream;
};

// --- the web client ---------------------------------------------------------------------------

// Relative URLs against a base URL, default login, extra headers, the credential dialog after a
// 401 or 407, and the last status. It holds no connection between calls.
class TWinInetWebClient {
 public:
  using THeaders = std::map<std::string, std::string>;

  // ARequest is sent from its beginning; the body goes into AResponse from its position, which
  // is then set back there. Either may be null. With ShouldCheckStatusCode a status of 400 or
  // more raises EHttpStatusException after the body was written.
  void SendRequest(const std::string& AUrl, const std::string& AVerb, TStream* ARequest, TStream* AResponse);
  void DownloadData(const std::string& AUrl, TStream& ADest);
  // Creates (or truncates) the file first; it stays behind when the request fails.
  void DownloadData(const std::string& AUrl, const std::string& ADestFilename);
  std::vector<std::uint8_t> DownloadData(const std::string& AUrl);
  std::string DownloadString(const std::string& AUrl);  // UTF-8, a byte-order mark kept
  // POSTs ARequest as UTF-8 and returns the answer as UTF-8.
  std::string UploadString(const std::string& AUrl, const std::string& ARequest);

  THeaders& Headers() { return FHeaders; }
  const std::string& BaseUrl() const { return FBaseUrl; }
  void SetBaseUrl(std::string Value) { FBaseUrl = std::move(Value); }
  const std::string& Login() const { return FLogin; }
  void SetLogin(std::string Value) { FLogin = std::move(Value); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string Value) { FPassword = std::move(Value); }
  bool LoginPromt() const { return FLoginPromt; }
  void SetLoginPromt(bool Value) { FLoginPromt = Value; }
  bool ForceReload() const { return FForceReload; }
  void SetForceReload(bool Value) { FForceReload = Value; }
  bool ShouldCheckStatusCode() const { return FShouldCheckStatusCode; }
  void SetShouldCheckStatusCode(bool Value) { FShouldCheckStatusCode = Value; }
  const std::string& ResponseStatusText() const { return FResponseStatusText; }
  const std::string& RequestHeaders() const { return FRequestHeaders; }
  std::int32_t ResponseStatusCode() const { return FResponseStatusCode; }
  TWinInetProxySettings& ProxySettings() { return FProxySettings; }

  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }

 private:
  THeaders FHeaders;
  std::string FBaseUrl;
  std::string FPassword;
  std::string FLogin;
  bool FLoginPromt = false;
  bool FForceReload = false;
  std::string FResponseStatusText;
  std::string FRequestHeaders;
  std::int32_t FResponseStatusCode = 0;
  bool FShouldCheckStatusCode = true;
  TWinInetProxySettings FProxySettings;
};
