#pragma once
// String routines of the standard library the units are written against. Strings are UTF-8;
// "characters" are UTF-16 code units wherever the system counts or compares them.
//
// Names without "Ansi" fold only the letters A to Z; the "Ansi" ones follow the user's locale (ICU).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Runtime.FormatSettings.h"

// --- UTF-8 / UTF-16 --------------------------------------------------------------------------
// Malformed UTF-8 becomes U+FFFD; unpaired surrogates become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// Number of UTF-16 code units of a UTF-8 text.
std::size_t Utf16Length(std::string_view text);
// The first `count` UTF-16 code units of a UTF-8 text (a surrogate pair is not split).
std::string Utf16Left(std::string_view text, std::size_t count);

// --- letter case and comparison --------------------------------------------------------------
std::string UpperCase(std::string_view s);  // A-Z only
std::string LowerCase(std::string_view s);  // A-Z only
int CompareText(std::string_view a, std::string_view b);  // ignoring case of A-Z, byte order otherwise
bool SameText(std::string_view a, std::string_view b);
int CompareStr(std::string_view a, std::string_view b);  // ordinal

std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);
// Locale-aware collation; < 0, 0, > 0.
int AnsiCompareStr(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);

// --- trimming and searching ------------------------------------------------------------------
// Trimming removes blanks and control characters (every byte <= ' ').
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
bool StartsStr(std::string_view prefix, std::string_view s);
bool EndsStr(std::string_view suffix, std::string_view s);
std::string QuotedStr(std::string_view s, char quote = '\'');
std::vector<std::string> SplitString(std::string_view s, char delimiter);

// --- numbers ---------------------------------------------------------------------------------
// Integers in decimal, or hexadecimal with "$" or "0x"; leading blanks and a sign allowed,
// nothing after the digits.
bool TryStrToInt(std::string_view s, std::int32_t& value);
bool TryStrToInt64(std::string_view s, std::int64_t& value);
std::int32_t StrToInt(std::string_view s);  // EConvertError "'%s' is not a valid integer value"
std::int64_t StrToInt64(std::string_view s);
std::int32_t StrToIntDef(std::string_view s, std::int32_t def);
std::string IntToStr(std::int64_t value);
std::string IntToHex(std::uint64_t value, int digits);

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& settings);
double StrToFloat(std::string_view s, const TFormatSettings& settings);  // EConvertError
// Shortest text that reads back to the same double (up to 15 significant digits when exact).
std::string FloatToStr(double value, const TFormatSettings& settings);

// "True"/"False" (any letter case) or a number, where 0 is false.
bool TryStrToBool(std::string_view s, bool& value);
bool StrToBool(std::string_view s);  // EConvertError "'%s' is not a valid boolean value"
std::string BoolToStr(bool value, bool useBoolStrs = true);  // "True"/"False", else "-1"/"0"

// --- file names (the platform separator) -----------------------------------------------------
inline constexpr char PathDelim = '/';
std::string IncludeTrailingPathDelimiter(std::string_view path);
std::string ExcludeTrailingPathDelimiter(std::string_view path);
std::string ExtractFilePath(std::string_view fileName);  // up to and including the last separator
std::string ExtractFileDir(std::string_view fileName);   // without the trailing separator
std::string ExtractFileName(std::string_view fileName);
std::string ExtractFileExt(std::string_view fileName);  // with the dot, "" when none
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);
