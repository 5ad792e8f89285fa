#include "Common.Net.WinInet.h"

#include <algorithm>
#include <limits>

#include "Common.Net.WinInet.Handles.h"
#include "Common.SysUtils.h"
#include "Runtime.Format.h"
#include "Runtime.Strings.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"

using namespace kv::inet;

namespace {
bool StartsText(std::string_view prefix, std::string_view s) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

// Sends with CheckWinInet; a server that cannot be reached is the connection's failure.
void SendRequestChecked(HINTERNET request, const void* body, std::size_t bodyLength) {
  if (HttpSendRequest(request, body, bodyLength)) return;
  if (!SendFailedToConnect(request)) CheckWinInet(false);
  try {
    CheckWinInet(false);
  } catch (...) {
    throw ExceptionEx("Ошибка при подключении к серверу");
  }
}

// Without separators, "." and ".." parts and control characters, so that it names a file
// inside the destination folder.
std::string SafeFileName(const std::string& name) {
  std::string result;
  std::string part;
  auto flush = [&] {
    if (part != "." && part != "..") result += part;
    part.clear();
  };
  for (char c : name) {
    if (c == '/' || c == '\\') {
      flush();
    } else if (static_cast<unsigned char>(c) >= ' ' && c != 0x7F) {
      part += c;
    }
  }
  flush();
  return result;
}
}  // namespace

// --- exceptions and unit-level operations -----------------------------------------------------

EHttpStatusException::EHttpStatusException(std::int32_t AStatusCode, std::string AStatusMessage, std::string ARequest,
                                           std::string AExtendedData)
    : Exception(Format("%d: %s", AStatusCode, AStatusMessage)),
      StatusCode(AStatusCode),
      StatusMessage(std::move(AStatusMessage)),
      Request(std::move(ARequest)),
      ExtendedData(std::move(AExtendedData)) {}

void CheckWinInet(bool Ok) {
  if (Ok) return;
  throw EWinInetException(Format("WinInet error (%d): %s", InternetLastError(), InternetLastErrorText()),
                          InternetLastError());
}

std::string QueryInfoText(HINTERNET Request, std::uint32_t Level) {
  std::string value;
  CheckWinInet(HttpQueryInfo(Request, Level, value));
  return value;
}

std::string QueryRawRequestHeaders(HINTERNET Request) {
  std::string value;
  if (!HttpQueryInfo(Request, HTTP_QUERY_RAW_HEADERS_CRLF | HTTP_QUERY_FLAG_REQUEST_HEADERS, value) || value.empty())
    return " ";
  return value;
}

void CheckStatusCode(HINTERNET Request) {
  const std::int32_t code = StrToInt(QueryInfoText(Request, HTTP_QUERY_STATUS_CODE));
  if (code >= 400)
    throw EHttpStatusException(code, QueryInfoText(Request, HTTP_QUERY_STATUS_TEXT), QueryRawRequestHeaders(Request), "");
}

// --- proxy settings and connections -----------------------------------------------------------

void TWinInetProxySettings::Assign(const TWinInetProxySettings& ASource) {
  FLogin = ASource.FLogin;
  FPassword = ASource.FPassword;
  FHost = ASource.FHost;
  FPort = ASource.FPort;
  FKind = ASource.FKind;
}

TWinInetConnection::~TWinInetConnection() { Disconnect(); }

void TWinInetConnection::Connect() {
  if (Connected()) Disconnect();
  TAccessType access = atPreconfig;
  std::string proxy;
  switch (FProxySettings.Kind()) {
    case pkNone: access = atDirect; break;
    case pkDefault: access = atPreconfig; break;
    case pkUserSettings:
    case pkUserSettingsWithAuthority:
      access = atProxy;
      proxy = FProxySettings.Host() + ":" + IntToStr(FProxySettings.Port());
      break;
  }
  FSession = InternetOpen(access, proxy);
  try {
    CheckWinInet(FSession != nullptr);
    const std::size_t scheme = FHost.find("://");
    const std::string server = scheme == std::string::npos ? FHost : FHost.substr(scheme + 3);
    FConnect = InternetConnect(FSession, server, FPort, FLogin, FPassword, GetServiceType());
    CheckWinInet(FConnect != nullptr);
    if (FProxySettings.Kind() == pkUserSettingsWithAuthority) {
      CheckWinInet(InternetSetOption(FConnect, kOptionProxyUserName, FProxySettings.Login()));
      CheckWinInet(InternetSetOption(FConnect, kOptionProxyPassword, FProxySettings.Password()));
    }
  } catch (...) {
    Disconnect();
    throw ExceptionEx("Ошибка при подключении к серверу");
  }
}

void TWinInetConnection::Disconnect() {
  if (FConnect) InternetCloseHandle(std::exchange(FConnect, nullptr));
  if (FSession) InternetCloseHandle(std::exchange(FSession, nullptr));
}

// --- TWinInetHTTP -----------------------------------------------------------------------------

std::unique_ptr<TWinInetHTTPStream> TWinInetHTTP::OpenStream(const TUri& Uri) {
  if (IndexOfString(Uri.Protocol(), {"http"}, false) < 0)
    throw EInvalidUriException("Допустим только http-протокол.\r\n" + Uri.SourceUri());
  SetHost(Uri.Host());
  SetPort(Uri.PortOrDefault(80));
  Connect();
  return OpenStream(Uri.Path());
}

std::unique_ptr<TWinInetHTTPStream> TWinInetHTTP::OpenStream(const std::string& Path) {
  return std::make_unique<TWinInetHTTPStream>(*this, Path, true);
}

void TWinInetHTTP::DownloadFile(const std::string& SourcePath, TStream& DestStream) {
  std::unique_ptr<TWinInetHTTPStream> stream = OpenStream(SourcePath);
  CheckStatusCode(stream->Handle());
  stream->SaveToStream(DestStream);
}

void TWinInetHTTP::DownloadFile(const std::string& SourcePath, const std::string& DestFilename) {
  TFileStream file(DestFilename, fmCreate);
  DownloadFile(SourcePath, file);
}

void TWinInetHTTP::DownloadWithPreferableFilename(const std::string& SourcePath, const std::string& DestPath,
                                                  const std::string& ADefaultFilename) {
  std::unique_ptr<TWinInetHTTPStream> stream = OpenStream(SourcePath);
  CheckStatusCode(stream->Handle());
  std::string name = stream->GetFilename();
  if (name.empty()) name = ADefaultFilename;
  if (name.empty()) name = ExtractUrlFileName(SourcePath);
  const std::string safeName = SafeFileName(name);
  if (safeName.empty())
    throw EInvalidOperation(Format("Не удалось определить допустимое имя файла для загрузки \"%s\"", SourcePath));
  stream->SaveToFile(TStringUtils::AddLastChar(DestPath, U'/') + safeName, true);
}

void TWinInetHTTP::Download(const std::string& Url, TStream& DestStream) {
  TWinInetHTTP http;
  const TUri uri(Url);
  http.SetHost(uri.Host());
  http.SetPort(uri.PortOrDefault(80));
  http.Connect();
  http.DownloadFile(uri.Path(), DestStream);
}

void TWinInetHTTP::Download(const std::string& Url, const std::string& DestFilename) {
  TFileStream file(DestFilename, fmCreate);
  Download(Url, file);
}

std::vector<std::uint8_t> TWinInetHTTP::SendData(const std::string& Url, const std::string& AVerb, TStream* Data,
                                                 const std::string& AUserName, const std::string& APassword) {
  TWinInetHTTP http;
  const TUri uri(Url);
  http.SetLogin(AUserName.empty() ? uri.UserName() : AUserName);
  http.SetPassword(AUserName.empty() ? uri.Password() : APassword);
  http.SetHost(uri.Host());
  http.SetPort(uri.PortOrDefault(80));
  http.Connect();
  TWinInetHTTPRequest request(http, uri.Path(), AVerb, TWinInetHTTPRequestFlags{});
  if (Data) request.RequestStream().CopyFrom(*Data, 0);
  TSharedPtr<TWinInetHTTPResponse> response = request.GetResponse(true);
  return response->ResponseStream().ToBytes();
}

std::vector<std::uint8_t> TWinInetHTTP::SendData(const std::string& Url, const std::string& AVerb,
                                                 const std::vector<std::uint8_t>& Data, const std::string& AUserName,
                                                 const std::string& APassword) {
  TBytesStream data(Data);
  return SendData(Url, AVerb, &data, AUserName, APassword);
}

// --- streams ----------------------------------------------------------------------------------

std::int32_t TWinInetStream::Read(void* Buffer, std::int32_t Count) {
  std::int32_t read = 0;
  CheckWinInet(InternetReadFile(FHandle, Buffer, Count, read));
  FPosition += read;
  return read;
}

std::int32_t TWinInetStream::Write(const void*, std::int32_t) {
  CheckWinInet(FailInvalidArgument("A response body cannot be written"));
  return 0;
}

std::int64_t TWinInetStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  const std::int64_t target = Origin == soBeginning ? Offset : Origin == soCurrent ? FPosition + Offset : -1;
  if (target != FPosition) CheckWinInet(FailInvalidArgument("A response body is read forward only"));
  return FPosition;
}

std::int64_t TWinInetStream::CopyWhileReadableTo(TStream& Dest, std::int64_t MaxBytes) {
  std::uint8_t buffer[4096];
  std::int64_t total = 0;
  while (total < MaxBytes) {
    const auto wanted = static_cast<std::int32_t>(std::min<std::int64_t>(sizeof buffer, MaxBytes - total));
    const std::int32_t read = Read(buffer, wanted);
    if (read == 0) break;
    Dest.WriteBuffer(buffer, read);
    total += read;
  }
  return total;
}

void TWinInetStream::SaveToStream(TStream& AStream) {
  CopyWhileReadableTo(AStream, std::numeric_limits<std::int64_t>::max());
}

std::vector<std::uint8_t> TWinInetStream::ToBytes() {
  TBytesStream bytes;
  SaveToStream(bytes);
  return bytes.Bytes();
}

void TWinInetStream::SaveToFile(const std::string& DestFilename, bool CanOverride) {
  if (!CanOverride && platform::FileExists(DestFilename))
    throw Exception(Format("Файл \"%s\" уже существует", DestFilename));
  // A file that is replaced keeps its old contents until the new ones are complete.
  const std::string partial = DestFilename + ".part-" + NewGUIDString(false);
  try {
    {
      TFileStream file(partial, fmCreate);
      SaveToStream(file);
    }
    if (!platform::RenameFile(partial, DestFilename)) platform::RaiseLastOSError(DestFilename);
  } catch (...) {
    platform::DeleteFile(partial);
    throw;
  }
}

TWinInetHTTPStream::TWinInetHTTPStream(TWinInetHTTP& AHTTP, const std::string& APath, bool ADisableCache)
    : TWinInetStream(OpenAndSend(AHTTP, APath, ADisableCache)) {}

TWinInetHTTPStream::~TWinInetHTTPStream() { InternetCloseHandle(Handle()); }

HINTERNET TWinInetHTTPStream::OpenAndSend(TWinInetHTTP& AHTTP, const std::string& APath, bool ADisableCache) {
  HINTERNET request = HttpOpenRequest(AHTTP.ConnectHandle(), "GET", APath, ADisableCache ? INTERNET_FLAG_RELOAD : 0);
  CheckWinInet(request != nullptr);
  try {
    AddHeaderToRequest(request, "Accept: */*");
    AddHeaderToRequest(request, "Proxy-Connection: Keep-Alive");
    AddHeaderToRequest(request, "Accept-Language: ru");
    AddHeaderToRequest(request, "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)");
    SendRequestChecked(request, nullptr, 0);
  } catch (...) {
    InternetCloseHandle(request);
    throw;
  }
  return request;
}

std::string TWinInetHTTPStream::GetFilename() {
  for (const std::string& rawLine : SplitString(GetHeaders(Handle(), false), '\n')) {
    const std::string line = TrimRight(rawLine);
    if (!StartsText("Content-Disposition:", line)) continue;
    const std::size_t at = line.find("filename=");
    if (at == std::string::npos) continue;
    const std::size_t start = at + 9;
    const std::size_t end = line.find(' ', start);
    return Trim(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
  }
  return {};
}

void TWinInetHTTPStream::AddHeaderToRequest(HINTERNET ARequest, const std::string& AHeader) {
  CheckWinInet(HttpAddRequestHeaders(ARequest, AHeader));
}

std::string TWinInetHTTPStream::GetHeaders(HINTERNET ARequest, bool ForRequest) {
  std::string value;
  const std::uint32_t level = HTTP_QUERY_RAW_HEADERS_CRLF | (ForRequest ? HTTP_QUERY_FLAG_REQUEST_HEADERS : 0);
  return HttpQueryInfo(ARequest, level, value) ? value : std::string();
}

// --- requests and responses -------------------------------------------------------------------

TWinInetHTTPRequest::TWinInetHTTPRequest(TWinInetHTTP& AHTTP, const std::string& APath, const std::string& AVerb,
                                         std::uint32_t AFlags)
    : FHTTP(&AHTTP) {
  FHandle = HttpOpenRequest(AHTTP.ConnectHandle(), AVerb, APath, AFlags);
  CheckWinInet(FHandle != nullptr);
}

TWinInetHTTPRequest::TWinInetHTTPRequest(TWinInetHTTP& AHTTP, const std::string& APath, const std::string& AVerb,
                                         TWinInetHTTPRequestFlags AFlags)
    : TWinInetHTTPRequest(AHTTP, APath, AVerb, AFlags.Contains(rfInternetFlagReload) ? INTERNET_FLAG_RELOAD : 0u) {}

TWinInetHTTPRequest::~TWinInetHTTPRequest() {
  if (FResponse)
    FResponse->FRequest = nullptr;
  else
    InternetCloseHandle(FHandle);
}

void TWinInetHTTPRequest::AddHeader(const std::string& AHeader) { CheckWinInet(HttpAddRequestHeaders(FHandle, AHeader)); }

TStream& TWinInetHTTPRequest::RequestStream() {
  if (FGetResponseCalled) throw EInvalidOperation("Нельзя писать в RequestStream после вызова GetResponse");
  if (!FRequestStream) FRequestStream = std::make_unique<TMemoryStream>();
  return *FRequestStream;
}

TSharedPtr<TWinInetHTTPResponse> TWinInetHTTPRequest::GetResponse(bool ACheckStatusCode) {
  ASSERT(!FGetResponseCalled, "GetResponse is called once per request");
  if (FRequestStream) {
    AddHeader("Content-Length: " + IntToStr(FRequestStream->Size()));
    SendRequestChecked(FHandle, FRequestStream->Memory(), static_cast<std::size_t>(FRequestStream->Size()));
  } else {
    SendRequestChecked(FHandle, nullptr, 0);
  }
  TSharedPtr<TWinInetHTTPResponse> response(new TWinInetHTTPResponse(this, FHandle));
  FResponse = response.SharedObject();
  FGetResponseCalled = true;
  if (ACheckStatusCode) CheckStatusCode(FHandle);
  return response;
}

TWinInetHTTPResponse::TWinInetHTTPResponse(TWinInetHTTPRequest* ARequest, HINTERNET AHandle)
    : FHandle(AHandle), FRequest(ARequest), FResponseStream(std::make_unique<TWinInetStream>(AHandle)) {}

TWinInetHTTPResponse::~TWinInetHTTPResponse() {
  if (FRequest)
    FRequest->FResponse = nullptr;
  else
    InternetCloseHandle(FHandle);
}

std::int32_t TWinInetHTTPResponse::StatusCode() const { return StrToInt(QueryInfoText(FHandle, HTTP_QUERY_STATUS_CODE)); }

// --- the web client ---------------------------------------------------------------------------

void TWinInetWebClient::SendRequest(const std::string& AUrl, const std::string& AVerb, TStream* ARequest,
                                    TStream* AResponse) {
  const std::string url = StartsStr("http://", AUrl) ? AUrl : ConcatWithDelimiter(FBaseUrl, AUrl, '/');
  const TUri uri(url);
  TWinInetHTTP http;
  http.ProxySettings().Assign(FProxySettings);
  http.SetHost(uri.Host());
  http.SetPort(uri.PortOrDefault(80));
  http.SetLogin(FLogin.empty() ? uri.UserName() : FLogin);
  http.SetPassword(FPassword.empty() ? uri.Password() : FPassword);
  http.Connect();

  std::unique_ptr<TWinInetHTTPRequest> request;
  TSharedPtr<TWinInetHTTPResponse> response;
  for (;;) {
    response = nullptr;
    request.reset();
    request = std::make_unique<TWinInetHTTPRequest>(
        http, uri.PathAndQuery(), AVerb,
        FForceReload ? TWinInetHTTPRequestFlags{rfInternetFlagReload} : TWinInetHTTPRequestFlags{});
    for (const auto& [name, value] : FHeaders) request->AddHeader(name + ": " + value);
    if (ARequest) request->RequestStream().CopyFrom(*ARequest, 0);
    response = request->GetResponse(false);
    const std::int32_t status = response->StatusCode();
    if (!((status == 401 || status == 407) && FLoginPromt && AskCredentials(request->Handle()) == kForceRetry)) break;
  }

  if (AResponse) {
    const std::int64_t position = AResponse->Position();
    response->ResponseStream().SaveToStream(*AResponse);
    AResponse->SetPosition(position);
  }
  FResponseStatusText = QueryInfoText(request->Handle(), HTTP_QUERY_STATUS_TEXT);
  FResponseStatusCode = response->StatusCode();
  FRequestHeaders = QueryRawRequestHeaders(request->Handle());
  if (FShouldCheckStatusCode) CheckStatusCode(request->Handle());
}

void TWinInetWebClient::DownloadData(const std::string& AUrl, TStream& ADest) { SendRequest(AUrl, "GET", nullptr, &ADest); }

void TWinInetWebClient::DownloadData(const std::string& AUrl, const std::string& ADestFilename) {
  TFileStream file(ADestFilename, fmCreate);
  DownloadData(AUrl, file);
}

std::vector<std::uint8_t> TWinInetWebClient::DownloadData(const std::string& AUrl) {
  TBytesStream bytes;
  DownloadData(AUrl, bytes);
  return bytes.Bytes();
}

std::string TWinInetWebClient::DownloadString(const std::string& AUrl) {
  const std::vector<std::uint8_t> bytes = DownloadData(AUrl);
  return std::string(bytes.begin(), bytes.end());
}

std::string TWinInetWebClient::UploadString(const std::string& AUrl, const std::string& ARequest) {
  TBytesStream request(std::vector<std::uint8_t>(ARequest.begin(), ARequest.end()));
  TBytesStream response;
  SendRequest(AUrl, "POST", &request, &response);
  const std::vector<std::uint8_t> bytes = response.Bytes();
  return std::string(bytes.begin(), bytes.end());
}
