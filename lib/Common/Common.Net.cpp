#include "Common.Net.h"

#include <vector>

#include "Common.SysUtils.h"
#include "Runtime.Format.h"
#include "Runtime.Strings.h"
#include "Runtime.Utf8.h"

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The items of a query as a delimited list splits them: at "&" and at raw blanks, with quoted
// items, and an empty item between two "&" or after a final one.
std::vector<std::string> SplitQueryItems(std::string_view Query) {
  std::vector<std::string> items;
  std::size_t p = 0;
  const std::size_t n = Query.size();
  auto skipBlanks = [&] {
    while (p < n && IsBlank(Query[p])) ++p;
  };
  skipBlanks();
  while (p < n) {
    std::string item;
    if (Query[p] == '"') {
      ++p;
      while (p < n) {
        if (Query[p] == '"') {
          ++p;
          if (p >= n || Query[p] != '"') break;  // the closing quote; a doubled one stands for one
        }
        item += Query[p++];
      }
    } else {
      const std::size_t start = p;
      while (p < n && !IsBlank(Query[p]) && Query[p] != '&') ++p;
      item.assign(Query.substr(start, p - start));
    }
    items.push_back(std::move(item));
    skipBlanks();
    if (p < n && Query[p] == '&') {
      if (p + 1 == n) items.emplace_back();
      ++p;
      skipBlanks();
    }
  }
  return items;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The length of the UTF-8 character at S[i] by its byte pattern alone, 1 for a byte that starts none.
std::size_t Utf8CharLength(std::string_view S, std::size_t i) {
  const std::size_t len = Utf8LeadLength(S[i]);
  if (i + len > S.size()) return 1;
  for (std::size_t k = 1; k < len; ++k)
    if (!IsUtf8Continuation(S[i + k])) return 1;
  return len;
}
}  // namespace

void TUri::Parse(const std::string& Uri) {
  FProtocol.clear();
  FHost.clear();
  FPath.clear();
  FUserName.clear();
  FPassword.clear();
  FParams.clear();
  FPort = 0;
  FSourceUri = Uri;

  std::string rest = Uri;
  if (const std::size_t scheme = rest.find("://"); scheme != std::string::npos) {
    FProtocol = LowerCase(rest.substr(0, scheme));
    rest.erase(0, scheme + 3);
  }
  if (rest.empty()) return;

  if (const std::size_t at = rest.find('@'); at != std::string::npos) {
    const std::string userInfo = rest.substr(0, at);
    rest.erase(0, at + 1);
    if (const std::size_t colon = userInfo.find(':'); colon != std::string::npos) {
      FUserName = userInfo.substr(0, colon);
      FPassword = userInfo.substr(colon + 1);
    } else {
      FUserName = userInfo;
    }
  }

  const std::size_t hostEnd = std::min(rest.find_first_of(":/?"), rest.size());
  FHost = LowerCase(rest.substr(0, hostEnd));
  rest.erase(0, hostEnd);
  if (rest.empty()) return;

  if (rest[0] == ':') {
    const std::size_t portEnd = std::min(rest.find_first_of("/?", 1), rest.size());
    FPort = StrToInt(rest.substr(1, portEnd - 1));
    rest.erase(0, portEnd);
  }

  if (const std::size_t question = rest.find('?'); question != std::string::npos) {
    ParseQuery(std::string_view(rest).substr(question + 1));
    rest.erase(question);
  }
  FPath = TStringUtils::DropFirstChar(rest, U'/');
}

void TUri::ParseQuery(std::string_view Query) {
  const std::vector<std::string> items = SplitQueryItems(Query);
  auto nameOf = [](const std::string& item) {
    const std::size_t eq = item.find('=');
    return eq == std::string::npos ? std::string() : item.substr(0, eq);
  };
  // A value belongs to the first item with "=" whose name matches ignoring case, so a repeated
  // name reads the first value.
  auto valueOf = [&](const std::string& name) {
    for (const std::string& item : items) {
      const std::size_t eq = item.find('=');
      if (eq != std::string::npos && AnsiSameText(std::string_view(item).substr(0, eq), name)) return item.substr(eq + 1);
    }
    return std::string();
  };
  for (const std::string& item : items) {
    std::string name = nameOf(item);
    std::string value = UrlDecode(valueOf(name));
    if (!FParams.emplace(std::move(name), std::move(value)).second) throw EListError("Duplicates not allowed");
  }
}

std::string TUri::Build() const {
  const std::string userPart = FUserName.empty() ? std::string() : FUserName + ":" + FPassword + "@";
  std::string hostPart = FHost;
  if (FPort != 0) hostPart += ":" + IntToStr(FPort);
  const std::string hostAndPath = ConcatWithDelimiter(hostPart, FPath, '/');
  std::string query;
  for (const auto& [name, value] : FParams) query += "&" + UrlEncode(name, false) + "=" + UrlEncode(value, false);
  if (!query.empty()) query[0] = '?';
  return Format("%s://%s%s%s", LowerCase(FProtocol), userPart, hostAndPath, query);
}

std::string TUri::ProtocolOrDefault(std::string_view ADefault) const {
  return FProtocol.empty() ? std::string(ADefault) : FProtocol;
}

std::int32_t TUri::PortOrDefault(std::int32_t ADefault) const { return FPort != 0 ? FPort : ADefault; }

std::string TUri::ParamByName(std::string_view ParamName, bool CaseInsensitive) const {
  for (const auto& [name, value] : FParams)
    if (CaseInsensitive ? SameText(name, ParamName) : name == ParamName) return value;
  return {};
}

std::string TUri::PathAndQuery() const {
  const std::size_t question = FSourceUri.find('?');
  return question == std::string::npos ? FPath : FPath + FSourceUri.substr(question);
}

std::string UrlEncode(std::string_view S, bool OnlyUnsafe) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(S.size());
  for (std::size_t i = 0; i < S.size();) {
    const std::size_t len = Utf8CharLength(S, i);
    const std::string_view c = S.substr(i, len);
    i += len;
    // A byte that starts no character is written as the byte it is.
    const bool keep = len == 1 && static_cast<unsigned char>(c[0]) >= 0x80
                          ? false
                          : (OnlyUnsafe ? !CharInSet1251(c, UnsafeUrlChars) : CharInSet1251(c, SafeUrlChars));
    if (keep) {
      result += c;
      continue;
    }
    for (unsigned char b : c) {
      result += '%';
      result += kHex[b >> 4];
      result += kHex[b & 15];
    }
  }
  return result;
}

std::string UrlDecode(std::string_view S) {
  std::string bytes;
  bytes.reserve(S.size());
  for (std::size_t i = 0; i < S.size();) {
    if (S[i] != '%') {
      bytes += S[i++];
      continue;
    }
    // Two digits, or the one left at the end of the text ("%4" is byte 4).
    const std::string_view digits = S.substr(i + 1, 2);
    int value = digits.empty() ? -1 : 0;
    for (char digit : digits) {
      const int d = HexDigit(digit);
      value = d < 0 || value < 0 ? -1 : value * 16 + d;
    }
    if (value < 0) throw EConvertError(Format("'%s' is not a valid integer value", "$" + std::string(digits)));
    bytes += static_cast<char>(value);
    i += 3;
  }
  // Bytes that are no UTF-8 become U+FFFD, as the decoder reads them.
  return Utf16ToUtf8(Utf8ToUtf16(bytes));
}

std::string ExtractUrlFileName(std::string_view S) {
  const std::size_t slash = S.find_last_of("/\\");
  return std::string(slash == std::string::npos ? S : S.substr(slash + 1));
}
