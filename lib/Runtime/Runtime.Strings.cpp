#include "Runtime.Strings.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

#include "Runtime.Exceptions.h"
#include "Runtime.Utf8.h"

// --- UTF-8 / UTF-16 --------------------------------------------------------------------------

namespace {
constexpr char32_t kReplacement = 0xFFFD;

// The code point at pos, advancing pos; U+FFFD for a unit that starts no character.
template <class Text>
char32_t NextOrReplacement(Text text, std::size_t& pos, TDecodedChar (*decode)(Text, std::size_t)) {
  const TDecodedChar c = decode(text, pos);
  pos += c.Length;
  return c.Valid ? c.Code : kReplacement;
}

std::size_t Utf16Width(char32_t c) { return c >= 0x10000 ? 2 : 1; }
}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) AppendUtf16(out, NextOrReplacement(text, i, DecodeUtf8Char));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) AppendUtf8(out, NextOrReplacement(text, i, DecodeUtf16Char));
  return out;
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size();) n += Utf16Width(NextOrReplacement(text, i, DecodeUtf8Char));
  return n;
}

std::string Utf16Left(std::string_view text, std::size_t count) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t next = i;
    const std::size_t width = Utf16Width(NextOrReplacement(text, next, DecodeUtf8Char));
    if (units + width > count) break;
    units += width;
    i = next;
  }
  return std::string(text.substr(0, i));
}

// --- letter case and comparison --------------------------------------------------------------

namespace {
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

icu::UnicodeString ToUnicode(std::string_view s) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}
std::string FromUnicode(const icu::UnicodeString& u) {
  std::string out;
  u.toUTF8String(out);
  return out;
}

// The user's locale for collation and case mapping. The C/POSIX locale maps to ICU's en_US_POSIX,
// whose collation is code-point order; the root collation is the locale-neutral ordering instead.
const icu::Locale& UserLocale() {
  static const icu::Locale locale = [] {
    icu::Locale def = icu::Locale::getDefault();
    return std::string_view(def.getName()) == "en_US_POSIX" ? icu::Locale::getRoot() : def;
  }();
  return locale;
}

// One collator per thread and strength: ICU collators are cheap to use but costly to create.
const icu::Collator& LocaleCollator(bool ignoreCase) {
  struct Collators {
    std::unique_ptr<icu::Collator> caseSensitive;
    std::unique_ptr<icu::Collator> ignoringCase;
  };
  thread_local Collators collators;
  auto& slot = ignoreCase ? collators.ignoringCase : collators.caseSensitive;
  if (!slot) {
    UErrorCode status = U_ZERO_ERROR;
    slot.reset(icu::Collator::createInstance(UserLocale(), status));
    if (U_FAILURE(status) || !slot) {
      status = U_ZERO_ERROR;
      slot.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    if (!slot) throw Exception("Cannot create the locale collator");
    slot->setStrength(ignoreCase ? icu::Collator::SECONDARY : icu::Collator::TERTIARY);
  }
  return *slot;
}

int LocaleCompare(std::string_view a, std::string_view b, bool ignoreCase) {
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = LocaleCollator(ignoreCase)
                           .compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                        icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
  if (U_FAILURE(status)) return CompareStr(a, b);
  return r;
}
}  // namespace

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

int CompareText(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int d = static_cast<unsigned char>(AsciiUpper(a[i])) - static_cast<unsigned char>(AsciiUpper(b[i]));
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

int CompareStr(std::string_view a, std::string_view b) {
  int r = a.compare(b);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

std::string AnsiUpperCase(std::string_view s) { return FromUnicode(ToUnicode(s).toUpper(UserLocale())); }
std::string AnsiLowerCase(std::string_view s) { return FromUnicode(ToUnicode(s).toLower(UserLocale())); }
int AnsiCompareStr(std::string_view a, std::string_view b) { return LocaleCompare(a, b, false); }
int AnsiCompareText(std::string_view a, std::string_view b) { return LocaleCompare(a, b, true); }
bool AnsiSameStr(std::string_view a, std::string_view b) { return a == b; }
bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

// --- trimming and searching ------------------------------------------------------------------

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
}  // namespace

std::string Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

std::string TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return std::string(s.substr(0, n));
}

bool StartsStr(std::string_view prefix, std::string_view s) { return s.substr(0, prefix.size()) == prefix; }
bool EndsStr(std::string_view suffix, std::string_view s) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string QuotedStr(std::string_view s, char quote) {
  std::string out(1, quote);
  for (char c : s) {
    out += c;
    if (c == quote) out += c;
  }
  out += quote;
  return out;
}

std::vector<std::string> SplitString(std::string_view s, char delimiter) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t pos = s.find(delimiter, start);
    parts.emplace_back(s.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
    if (pos == std::string_view::npos) return parts;
    start = pos + 1;
  }
}

// --- numbers ---------------------------------------------------------------------------------

bool TryStrToInt64(std::string_view s, std::int64_t& value) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  std::uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(s.data() + i, s.data() + s.size(), magnitude, base);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  if (base == 16) {  // hexadecimal texts give the bit pattern, as 0xFFFFFFFF reads as -1 in 32 bits
    value = static_cast<std::int64_t>(negative ? (0 - magnitude) : magnitude);
    return true;
  }
  if (negative ? magnitude > static_cast<std::uint64_t>(INT64_MAX) + 1 : magnitude > static_cast<std::uint64_t>(INT64_MAX))
    return false;
  value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

bool TryStrToInt(std::string_view s, std::int32_t& value) {
  std::int64_t v;
  if (!TryStrToInt64(s, v)) return false;
  bool hex = s.find_first_of("$xX") != std::string_view::npos;
  if (hex && v >= 0 && v <= static_cast<std::int64_t>(UINT32_MAX)) {
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return true;
  }
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

std::int32_t StrToInt(std::string_view s) {
  std::int32_t v;
  if (!TryStrToInt(s, v)) throw EConvertError(Format("'%s' is not a valid integer value", s));
  return v;
}

std::int64_t StrToInt64(std::string_view s) {
  std::int64_t v;
  if (!TryStrToInt64(s, v)) throw EConvertError(Format("'%s' is not a valid integer value", s));
  return v;
}

std::int32_t StrToIntDef(std::string_view s, std::int32_t def) {
  std::int32_t v;
  return TryStrToInt(s, v) ? v : def;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::string IntToHex(std::uint64_t value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(value));
  return buf;
}

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& settings) {
  std::string t = Trim(s);
  std::string normal;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) normal += t[i++];
  bool digits = false;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') normal += t[i++], digits = true;
  if (i < t.size() && t[i] == settings.DecimalSeparator) {
    normal += '.';
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') normal += t[i++], digits = true;
  }
  if (!digits) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    normal += 'e';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) normal += t[i++];
    bool expDigits = false;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') normal += t[i++], expDigits = true;
    if (!expDigits) return false;
  }
  if (i != t.size()) return false;
  const char* begin = normal.data();
  if (*begin == '+') ++begin;
  double v;
  auto [end, ec] = std::from_chars(begin, normal.data() + normal.size(), v);
  if (ec != std::errc() || end != normal.data() + normal.size()) return false;
  value = v;
  return true;
}

double StrToFloat(std::string_view s, const TFormatSettings& settings) {
  double v;
  if (!TryStrToFloat(s, v, settings)) throw EConvertError(Format("'%s' is not a valid floating point value", s));
  return v;
}

std::string FloatToStr(double value, const TFormatSettings& settings) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  double back = 0;
  std::from_chars(buf, buf + std::char_traits<char>::length(buf), back);
  if (back != value) std::snprintf(buf, sizeof buf, "%.17g", value);
  std::string text = buf;
  // "1e+20" -> "1E20", "1e-05" -> "1E-5"; the decimal point becomes the locale's separator.
  if (auto e = text.find('e'); e != std::string::npos) {
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    bool negative = exponent[0] == '-';
    std::size_t k = (exponent[0] == '-' || exponent[0] == '+') ? 1 : 0;
    while (k + 1 < exponent.size() && exponent[k] == '0') ++k;
    text = mantissa + "E" + (negative ? "-" : "") + exponent.substr(k);
  }
  for (char& c : text)
    if (c == '.') c = settings.DecimalSeparator;
  return text;
}

bool TryStrToBool(std::string_view s, bool& value) {
  double number;
  if (TryStrToFloat(s, number, TFormatSettings::Invariant())) {
    value = number != 0;
    return true;
  }
  std::string t = Trim(s);
  if (SameText(t, "True")) {
    value = true;
    return true;
  }
  if (SameText(t, "False")) {
    value = false;
    return true;
  }
  return false;
}

bool StrToBool(std::string_view s) {
  bool v;
  if (!TryStrToBool(s, v)) throw EConvertError(Format("'%s' is not a valid boolean value", s));
  return v;
}

std::string BoolToStr(bool value, bool useBoolStrs) {
  if (useBoolStrs) return value ? "True" : "False";
  return value ? "-1" : "0";
}

// --- file names ------------------------------------------------------------------------------

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  std::string out(path);
  if (out.empty() || out.back() != PathDelim) out += PathDelim;
  return out;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
  std::string out(path);
  if (!out.empty() && out.back() == PathDelim) out.pop_back();
  return out;
}

std::string ExtractFilePath(std::string_view fileName) {
  auto pos = fileName.rfind(PathDelim);
  return pos == std::string_view::npos ? std::string() : std::string(fileName.substr(0, pos + 1));
}

std::string ExtractFileDir(std::string_view fileName) {
  auto pos = fileName.rfind(PathDelim);
  if (pos == std::string_view::npos) return {};
  return std::string(fileName.substr(0, pos == 0 ? 1 : pos));
}

std::string ExtractFileName(std::string_view fileName) {
  auto pos = fileName.rfind(PathDelim);
  return std::string(pos == std::string_view::npos ? fileName : fileName.substr(pos + 1));
}

std::string ExtractFileExt(std::string_view fileName) {
  std::string name = ExtractFileName(fileName);
  auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(std::string_view fileName, std::string_view extension) {
  std::string name = ExtractFileName(fileName);
  auto dot = name.rfind('.');
  std::string base(fileName.substr(0, fileName.size() - (dot == std::string::npos ? 0 : name.size() - dot)));
  return base + std::string(extension);
}

TFormatSettings TFormatSettings::Invariant() {
  TFormatSettings s;
  s.DecimalSeparator = '.';
  s.ThousandSeparator = ',';
  s.DateSeparator = '-';
  s.TimeSeparator = ':';
  s.ShortDateFormat = "yyyy/mm/dd";
  s.LongTimeFormat = "hh:nn:ss";
  s.ShortTimeFormat = "hh:nn";
  return s;
}
