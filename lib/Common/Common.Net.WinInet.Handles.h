#pragma once
// The handle layer under the HTTP client: sessions, connections and requests with a thread's last
// error, in the shape of the platform API the client classes were written against. This is the
// part a Windows build replaces; the classes above it (Common.Net.WinInet.cpp) never see libcurl.
// Each call returns false (or null) on failure and leaves its error for InternetLastError.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Common.Net.WinInet.h"

namespace kv::inet {

enum TAccessType { atPreconfig = 0, atDirect = 1, atProxy = 3 };
inline constexpr std::uint32_t kOptionProxyUserName = 43;
inline constexpr std::uint32_t kOptionProxyPassword = 44;
// What AskCredentials answers when the request is to be sent again.
inline constexpr int kForceRetry = 12032;

// The calling thread's last failure: the transfer library's error number and its text.
std::int32_t InternetLastError();
const std::string& InternetLastErrorText();
// Records a call the handle layer refuses (an argument it cannot take) as the last failure; false.
bool FailInvalidArgument(std::string Text);

// A session; atProxy takes "host:port".
HINTERNET InternetOpen(TAccessType accessType, const std::string& proxy);
HINTERNET InternetConnect(HINTERNET session, const std::string& server, std::int32_t port, const std::string& login,
                          const std::string& password, std::uint32_t service);
// kOptionProxyUserName or kOptionProxyPassword of a connection.
bool InternetSetOption(HINTERNET connect, std::uint32_t option, const std::string& value);
HINTERNET HttpOpenRequest(HINTERNET connect, const std::string& verb, const std::string& path, std::uint32_t flags);
// One header line, replacing one of the same name; only before the request is sent.
bool HttpAddRequestHeaders(HINTERNET request, const std::string& header);
// Sends the request and waits until its final response begins (or the transfer ends).
bool HttpSendRequest(HINTERNET request, const void* body, std::size_t bodyLength);
// Whether a failed send never reached the server (or proxy).
bool SendFailedToConnect(HINTERNET request);
// Up to count bytes of the body; read is 0 at its end.
bool InternetReadFile(HINTERNET request, void* buffer, std::int32_t count, std::int32_t& read);
// The text of an information level (HTTP_QUERY_...).
bool HttpQueryInfo(HINTERNET request, std::uint32_t level, std::string& value);
// The credential dialog for a refused request: kForceRetry with the new credentials set on the
// request's connection, 0 for no retry; a cancel raises EAbort.
int AskCredentials(HINTERNET request);

}  // namespace kv::inet
