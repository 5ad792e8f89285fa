#pragma once
// URLs as plain text: TUri takes an absolute URL apart and puts it back together, without
// validating, normalising or knowing default ports (callers give those through the *OrDefault
// operations); percent-encoding and decoding; the last segment of a URL.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "Common.AnsiStrings.h"
#include "Common.Classes.h"
#include "Runtime.Exceptions.h"

// A URI the caller cannot use, e.g. one with a protocol the HTTP client does not speak.
KV_DECLARE_EXCEPTION(EInvalidUriException, Exception);

// "0" to "9", "A" to "Z", "a" to "z": what the strict encoding keeps.
inline constexpr TAnsiCharSet SafeUrlChars =
    TAnsiCharSet::Range('0', '9') + TAnsiCharSet::Range('A', 'Z') + TAnsiCharSet::Range('a', 'z');
// What the unsafe-only encoding escapes. The blank is not among them.
inline constexpr TAnsiCharSet UnsafeUrlChars = {'"', '%', '&', '<', '>', '[', '\\', ']', '^', '`', '{', '|', '}'};

class TUri {
 public:
  using TParams = std::map<std::string, std::string>;

  TUri() = default;
  explicit TUri(const std::string& Uri) { Parse(Uri); }

  // Replaces every field from Uri. EConvertError for an empty or non-numeric port and for a bad
  // percent escape in a query value, EListError "Duplicates not allowed" for a repeated parameter
  // name; the fields before the failing step are then set already.
  void Parse(const std::string& Uri);
  std::string Build() const;
  std::string ToString() const { return Build(); }

  std::string ProtocolOrDefault(std::string_view ADefault) const;
  std::int32_t PortOrDefault(std::int32_t ADefault) const;
  // The first parameter named ParamName (with CaseInsensitive, folding A-Z only); "" for none.
  std::string ParamByName(std::string_view ParamName, bool CaseInsensitive) const;
  // The path, then the query exactly as the source text had it.
  std::string PathAndQuery() const;

  const std::string& SourceUri() const { return FSourceUri; }
  const std::string& Protocol() const { return FProtocol; }
  void SetProtocol(std::string Value) { FProtocol = std::move(Value); }
  const std::string& Host() const { return FHost; }
  void SetHost(std::string Value) { FHost = std::move(Value); }
  std::int32_t Port() const { return FPort; }
  void SetPort(std::int32_t Value) { FPort = Value; }
  // Without its leading "/" and without the query.
  const std::string& Path() const { return FPath; }
  void SetPath(std::string Value) { FPath = std::move(Value); }
  const std::string& UserName() const { return FUserName; }
  void SetUserName(std::string Value) { FUserName = std::move(Value); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string Value) { FPassword = std::move(Value); }
  // Decoded query values by name; callers may change the map.
  TParams& Params() { return FParams; }
  const TParams& Params() const { return FParams; }

  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }

 private:
  void ParseQuery(std::string_view Query);

  std::string FProtocol;
  std::string FHost;
  std::int32_t FPort = 0;
  std::string FSourceUri;
  std::string FPath;
  std::string FUserName;
  std::string FPassword;
  TParams FParams;
};

// Percent-encodes S as UTF-8. Strict (OnlyUnsafe false): only ASCII letters and digits stay.
// OnlyUnsafe: only the characters of UnsafeUrlChars are escaped.
std::string UrlEncode(std::string_view S, bool OnlyUnsafe);
// Decodes "%XX" escapes (one digit at the end of the text: "%4") and reads the bytes as UTF-8;
// "+" stays. EConvertError for a "%" followed by nothing or by a character that is no hex digit.
std::string UrlDecode(std::string_view S);
// The text after the last "/" or "\" of S; S itself when it holds neither.
std::string ExtractUrlFileName(std::string_view S);
