#include "Common.SysUtils.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <vector>

#include "Runtime.Strings.h"
#include "Runtime.Utf8.h"
#include "platform/Clock.h"
#include "platform/CodePages.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/Random.h"
#include "platform/KnownFolders.h"
#include "platform/TempFolder.h"
#include "platform/VersionResource.h"

// --- UTF-8 characters --------------------------------------------------------------------------

namespace {
struct TChar {
  char32_t Code;  // the code point, or kInvalidBase + the byte for a byte that starts no character
  std::uint32_t Length;
};

// Bytes that are not part of a well-formed character stand for themselves, one at a time, with codes
// outside Unicode, so that they match only the same byte and are copied unchanged.
constexpr char32_t kInvalidBase = 0x110000;

TChar DecodeChar(std::string_view s, std::size_t pos) {
  const TDecodedChar c = DecodeUtf8Char(s, pos);
  return {c.Valid ? c.Code : kInvalidBase + c.Code, c.Length};
}

// True when the boundary before s[pos] lies inside one of s's well-formed characters.
bool CutsCharacter(std::string_view s, std::size_t pos) {
  if (pos == 0 || pos >= s.size() || !IsUtf8Continuation(s[pos])) return false;
  for (std::size_t back = 1; back <= 3 && back <= pos; ++back) {
    if (IsUtf8Continuation(s[pos - back])) continue;
    TChar c = DecodeChar(s, pos - back);
    return c.Code < kInvalidBase && c.Length > back;
  }
  return false;
}

// True when raw bytes end with the beginning of a character whose remaining bytes are missing.
bool EndsInsideCharacter(std::string_view s) {
  for (std::size_t back = 1; back <= 4 && back <= s.size(); ++back) {
    const char b = s[s.size() - back];
    if (IsUtf8Continuation(b)) continue;
    return Utf8LeadLength(b) > back;
  }
  return false;
}

// Upper-casing one character to one character keeps every position of the text where it was, so
// that matches found in the upper-cased text are cut out of the original. The locale matters for
// the Turkic dotted i; other characters take Unicode's simple upper-case mapping.
bool TurkicLocale() {
  static const bool turkic = [] {
    std::string_view language = icu::Locale::getDefault().getLanguage();
    return language == "tr" || language == "az";
  }();
  return turkic;
}

char32_t UpperChar(char32_t c) {
  if (c < 0x80) {
    if (c < 'a' || c > 'z') return c;
    return c == 'i' && TurkicLocale() ? U'\u0130' : c - 32;
  }
  if (c >= kInvalidBase) return c;
  return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}

// A text as upper-cased characters, with the byte offset of each in the original (and its end).
struct TFoldedText {
  std::vector<char32_t> Chars;
  std::vector<std::uint32_t> Offsets;
};

TFoldedText FoldText(std::string_view s) {
  TFoldedText folded;
  folded.Chars.reserve(s.size());
  folded.Offsets.reserve(s.size() + 1);
  for (std::size_t pos = 0; pos < s.size();) {
    TChar c = DecodeChar(s, pos);
    folded.Chars.push_back(UpperChar(c.Code));
    folded.Offsets.push_back(static_cast<std::uint32_t>(pos));
    pos += c.Length;
  }
  folded.Offsets.push_back(static_cast<std::uint32_t>(s.size()));
  return folded;
}

// The one character of a text, or nothing when it has none or more.
bool SingleChar(std::string_view s, TChar& c) {
  if (s.empty()) return false;
  c = DecodeChar(s, 0);
  return c.Length == s.size();
}

std::int32_t ToInt32(std::size_t n) { return static_cast<std::int32_t>(n); }
}  // namespace

// --- TStringAppender ---------------------------------------------------------------------------

TStringAppender::TStringAppender(std::string& ATarget) : FTarget(&ATarget), FWritten(ToInt32(ATarget.size())) {}

void TStringAppender::Reserve(std::int32_t n) {
  const auto capacity = ToInt32(FTarget->size());
  if (capacity < n) {
    const std::int32_t grown = std::max({n, capacity * 2, 10});
    FTarget->resize(static_cast<std::size_t>(grown));
    FWritten = std::min(FWritten, grown);
  }
}

void TStringAppender::AppendBytes(const char* Bytes, std::int32_t ByteCount) {
  if (ByteCount <= 0) return;
  Reserve(FWritten + ByteCount);
  std::memcpy(FTarget->data() + FWritten, Bytes, static_cast<std::size_t>(ByteCount));
  FWritten += ByteCount;
}

namespace {
[[noreturn]] void RaiseCutCharacter() { throw Exception(Format("Добавить можно только кратное %d число байт", 1)); }
}  // namespace

void TStringAppender::Append(const char* Bytes, std::int32_t ByteCount) {
  if (ByteCount <= 0) return;
  std::string_view bytes(Bytes, static_cast<std::size_t>(ByteCount));
  if (IsUtf8Continuation(bytes.front()) || EndsInsideCharacter(bytes)) RaiseCutCharacter();
  AppendBytes(Bytes, ByteCount);
}

void TStringAppender::Append(std::string_view S) { AppendBytes(S.data(), ToInt32(S.size())); }

void TStringAppender::Append(std::string_view S, std::int32_t Index, std::int32_t Count) {
  const auto length = static_cast<std::int64_t>(S.size());
  if (length < Index || Count <= 0) return;
  if (Index <= 0) Index = 1;
  const std::int64_t count = std::min<std::int64_t>(Count, length - Index + 1);
  const auto begin = static_cast<std::size_t>(Index - 1);
  const auto end = begin + static_cast<std::size_t>(count);
  if (CutsCharacter(S, begin) || CutsCharacter(S, end)) RaiseCutCharacter();
  AppendBytes(S.data() + begin, static_cast<std::int32_t>(count));
}

void TStringAppender::DropLast(std::int32_t Count) { FWritten = std::max(FWritten - Count, 0); }

void TStringAppender::Finish() { FTarget->resize(static_cast<std::size_t>(FWritten)); }

// --- TStringUtils ------------------------------------------------------------------------------

namespace {
template <class It>
std::string JoinRange(It first, It last, std::string_view Delimiter) {
  std::string result;
  TStringAppender appender(result);
  for (; first != last; ++first) {
    std::string_view s = *first;
    if (s.empty()) continue;
    appender.Append(s);
    appender.Append(Delimiter);
  }
  if (appender.Written() > 0) appender.DropLast(ToInt32(Delimiter.size()));
  appender.Finish();
  return result;
}
}  // namespace

std::string TStringUtils::Join(std::initializer_list<std::string_view> Strings, std::string_view Delimiter) {
  return JoinRange(Strings.begin(), Strings.end(), Delimiter);
}

std::string TStringUtils::Join(std::span<const std::string> Strings, std::string_view Delimiter) {
  return JoinRange(Strings.begin(), Strings.end(), Delimiter);
}

std::string TStringUtils::Join(std::span<const std::string> Strings, std::int32_t Index, std::int32_t Count,
                               std::string_view Delimiter) {
  const std::int64_t first = std::max<std::int64_t>(Index, 0);
  const std::int64_t last =
      std::min<std::int64_t>(static_cast<std::int64_t>(Strings.size()) - 1, std::int64_t{Index} + Count - 1);
  if (first > last) return {};
  return JoinRange(Strings.begin() + first, Strings.begin() + last + 1, Delimiter);
}

bool TStringUtils::CharIsNumeric(char32_t AChar, bool IncludeMinus) {
  return (AChar >= U'0' && AChar <= U'9') || (IncludeMinus && AChar == U'-');
}

bool TStringUtils::CharIsNumeric(char16_t AChar, bool IncludeMinus) {
  return CharIsNumeric(static_cast<char32_t>(AChar), IncludeMinus);
}

bool TStringUtils::CharIsNumeric(char AChar, bool IncludeMinus) {
  return CharIsNumeric(static_cast<char32_t>(static_cast<unsigned char>(AChar)), IncludeMinus);
}

std::string TStringUtils::AddLeadingChars(std::string_view s, std::int32_t ResLength, char32_t CharForAdd) {
  const std::string fill = EncodeUtf8(CharForAdd);
  const std::int64_t fillLength = CharForAdd >= 0x10000 ? 2 : 1;  // in UTF-16 code units
  std::string prefix;
  for (auto length = static_cast<std::int64_t>(Utf16Length(s)); length < ResLength; length += fillLength)
    prefix += fill;
  return prefix + std::string(s);
}

std::string TStringUtils::AddLeadingChars(std::string_view s, std::int32_t ResLength, char CharForAdd) {
  const auto length = static_cast<std::int64_t>(s.size());
  if (length >= ResLength) return std::string(s);
  return std::string(static_cast<std::size_t>(ResLength - length), CharForAdd) + std::string(s);
}

std::string TStringUtils::DropLastChar(std::string_view s, char32_t LastChar) {
  const std::string c = EncodeUtf8(LastChar);
  if (!s.empty() && EndsStr(c, s)) s.remove_suffix(c.size());
  return std::string(s);
}

std::string TStringUtils::DropFirstChar(std::string_view s, char32_t FirstChar) {
  const std::string c = EncodeUtf8(FirstChar);
  if (!s.empty() && StartsStr(c, s)) s.remove_prefix(c.size());
  return std::string(s);
}

std::string TStringUtils::DropFirstStr(std::string_view s, std::string_view FirstStr) {
  if (!FirstStr.empty() && StartsStr(FirstStr, s)) s.remove_prefix(FirstStr.size());
  return std::string(s);
}

std::string TStringUtils::AddFirstStr(std::string_view s, std::string_view FirstStr) {
  if (StartsStr(FirstStr, s)) return std::string(s);
  return std::string(FirstStr) + std::string(s);
}

std::string TStringUtils::AddLastChar(std::string_view s, char32_t LastChar) {
  const std::string c = EncodeUtf8(LastChar);
  if (s.empty() || EndsStr(c, s)) return std::string(s);
  return std::string(s) + c;
}

std::string TStringUtils::OemToCharA(std::string_view OemStr) { return platform::OemToAnsi(OemStr); }

std::string TStringUtils::CharToOemA(std::string_view AWin) { return platform::AnsiToOem(AWin); }

// --- FastStringReplace -------------------------------------------------------------------------

namespace {
std::string ReplaceOneChar(std::string_view S, TChar oldChar, std::string_view OldPattern,
                           std::string_view NewPattern, bool replaceAll, bool ignoreCase) {
  const char32_t wanted = UpperChar(oldChar.Code);
  std::string result;
  result.reserve(S.size());
  bool replacing = true;
  for (std::size_t pos = 0; pos < S.size();) {
    TChar c = DecodeChar(S, pos);
    std::string_view bytes = S.substr(pos, c.Length);
    if (replacing && (ignoreCase ? UpperChar(c.Code) == wanted : bytes == OldPattern)) {
      result += NewPattern;
      replacing = replaceAll;
    } else {
      result += bytes;
    }
    pos += c.Length;
  }
  return result;
}
}  // namespace

std::string FastStringReplace(std::string_view S, std::string_view OldPattern, std::string_view NewPattern,
                              TReplaceFlags Flags) {
  const bool replaceAll = Flags.Contains(rfReplaceAll);
  const bool ignoreCase = Flags.Contains(rfIgnoreCase);
  TChar oldChar{}, newChar{};
  if (SingleChar(OldPattern, oldChar) && SingleChar(NewPattern, newChar))
    return ReplaceOneChar(S, oldChar, OldPattern, NewPattern, replaceAll, ignoreCase);

  std::string result;
  TStringAppender appender(result);
  appender.Reserve(ToInt32(S.size()));
  // Matches are found in byte positions of S, or with ignore-case in character positions of the
  // upper-cased S, which map back to byte positions through the folded offsets.
  TFoldedText text, pattern;
  if (ignoreCase && !OldPattern.empty()) {
    text = FoldText(S);
    pattern = FoldText(OldPattern);
  }
  auto find = [&](std::size_t from, std::size_t& matchBegin, std::size_t& matchEnd) {
    if (OldPattern.empty()) return false;
    if (!ignoreCase) {
      std::size_t at = S.find(OldPattern, from);
      if (at == std::string_view::npos) return false;
      matchBegin = at;
      matchEnd = at + OldPattern.size();
      return true;
    }
    auto start = std::lower_bound(text.Offsets.begin(), text.Offsets.end() - 1, from) - text.Offsets.begin();
    auto it = std::search(text.Chars.begin() + start, text.Chars.end(), pattern.Chars.begin(), pattern.Chars.end());
    if (it == text.Chars.end()) return false;
    const auto index = static_cast<std::size_t>(it - text.Chars.begin());
    matchBegin = text.Offsets[index];
    matchEnd = text.Offsets[index + pattern.Chars.size()];
    return true;
  };

  std::size_t offset = 0;  // bytes of S already taken
  for (;;) {
    std::size_t matchBegin = 0, matchEnd = 0;
    if (!find(offset, matchBegin, matchEnd)) {
      appender.Append(S, ToInt32(offset + 1), ToInt32(S.size() - offset));
      break;
    }
    appender.Append(S, ToInt32(offset + 1), ToInt32(matchBegin - offset));
    appender.Append(NewPattern);
    offset = matchEnd;
    if (!replaceAll) {
      appender.Append(S, ToInt32(offset + 1), ToInt32(S.size() - offset));
      break;
    }
  }
  appender.Finish();
  return result;
}

// --- paths, identifiers, system ------------------------------------------------------------------

namespace {
template <class It>
std::string ConcatRange(It first, It last, char Delimiter) {
  if (first == last) return {};
  std::string result(*first);
  for (++first; first != last; ++first) {
    std::string_view part = *first;
    if (part.empty()) continue;
    const bool ends = !result.empty() && result.back() == Delimiter;
    const bool starts = part.front() == Delimiter;
    if (ends && starts) {
      result.append(part.substr(1));
    } else if (ends || starts || result.empty()) {
      result.append(part);
    } else {
      result += Delimiter;
      result.append(part);
    }
  }
  return result;
}
}  // namespace

std::string ConcatWithDelimiter(std::string_view A, std::string_view B, char Delimiter) {
  return ConcatWithDelimiter({A, B}, Delimiter);
}

std::string ConcatWithDelimiter(std::initializer_list<std::string_view> Parts, char Delimiter) {
  return ConcatRange(Parts.begin(), Parts.end(), Delimiter);
}

std::string ConcatWithDelimiter(std::span<const std::string> Parts, char Delimiter) {
  return ConcatRange(Parts.begin(), Parts.end(), Delimiter);
}

std::string NewGUIDString(bool WithBraces) {
  std::uint8_t bytes[16];
  if (!platform::FillRandomBytes(bytes, sizeof bytes))
    throw EAPICallError(platform::SystemErrorText(platform::LastErrorCode()));
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4: random
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // the standard variant
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  if (WithBraces) text += '{';
  for (int i = 0; i < 16; ++i) {
    if (WithBraces && (i == 4 || i == 6 || i == 8 || i == 10)) text += '-';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  if (WithBraces) text += '}';
  return text;
}

void GetTempDirectory(std::string& Path) {
  Path = platform::TempFolder();
  if (!Path.empty() && Path.back() != PathDelim) Path += PathDelim;
}

std::string GetTempDirectory() {
  std::string path;
  GetTempDirectory(path);
  return path;
}

void CheckOSResult(bool Ok) {
  if (!Ok) platform::RaiseLastOSError();
}

bool IsEmptyString(std::string_view S, bool Trimmed) {
  if (!Trimmed) return S.empty();
  return std::all_of(S.begin(), S.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

namespace {
template <class It>
int IndexOfRange(std::string_view S, It first, It last, bool CaseSensitive) {
  for (int index = 0; first != last; ++first, ++index) {
    std::string_view value = *first;
    if (CaseSensitive ? AnsiSameStr(S, value) : AnsiSameText(S, value)) return index;
  }
  return -1;
}
}  // namespace

int IndexOfString(std::string_view S, std::initializer_list<std::string_view> Values, bool CaseSensitive) {
  return IndexOfRange(S, Values.begin(), Values.end(), CaseSensitive);
}

int IndexOfString(std::string_view S, std::span<const std::string> Values, bool CaseSensitive) {
  return IndexOfRange(S, Values.begin(), Values.end(), CaseSensitive);
}

int PosText(std::string_view SubStr, std::string_view S) {
  if (SubStr.empty()) return 0;
  const TFoldedText text = FoldText(S);
  const TFoldedText sub = FoldText(SubStr);
  auto it = std::search(text.Chars.begin(), text.Chars.end(), sub.Chars.begin(), sub.Chars.end());
  if (it == text.Chars.end()) return 0;
  const std::size_t byteOffset = text.Offsets[static_cast<std::size_t>(it - text.Chars.begin())];
  return static_cast<int>(Utf16Length(S.substr(0, byteOffset))) + 1;
}

namespace {
void AddFiles(TStringList& list, const std::string& folder, const std::string& mask, bool recursive) {
  for (const platform::TFileEntry& entry : platform::ListDirectory(folder)) {
    if (entry.IsDirectory) {
      if (recursive) AddFiles(list, folder + entry.Name + PathDelim, mask, recursive);
    } else if (platform::MatchesMask(entry.Name, mask)) {
      list.Add(folder + entry.Name);
    }
  }
}
}  // namespace

TStringList GetFileList(const std::string& Path, const std::string& Mask, bool Recursive) {
  TStringList list;
  // An empty path names no folder (it would otherwise become the root).
  if (Path.empty()) return list;
  try {
    AddFiles(list, IncludeTrailingPathDelimiter(Path), Mask, Recursive);
  } catch (const std::exception&) {
    list.Clear();
  }
  return list;
}

std::string GetSpecialFolder(int CSIDL) {
  // The platform keeps the root as "/"; without its separator it joins like any other folder.
  return ExcludeTrailingPathDelimiter(platform::GetSpecialFolderPath(CSIDL));
}

// --- file versions -----------------------------------------------------------------------------

void TDigitalFileVersionInfo::ReadFromFile(const std::string& Filename) {
  TFileVersionInfo info;
  info.ReadFromFile(Filename);
  *this = info.DigitalFileVersion;
}

std::string TDigitalFileVersionInfo::VerAsString() const {
  return Format("%d.%d.%d.%d", Major, Minor, Release, Build);
}

std::string TDigitalFileVersionInfo::ShortVerAsString() const { return Format("%d.%d.%d", Major, Minor, Release); }

std::uint32_t TDigitalFileVersionInfo::AsCardinal() const {
  return (static_cast<std::uint32_t>(Major) & 0xFF) << 24 | (static_cast<std::uint32_t>(Minor) & 0xFF) << 16 |
         (static_cast<std::uint32_t>(Release) & 0xFFFF);
}

std::int32_t TDigitalFileVersionInfo::Compare(const TDigitalFileVersionInfo& A, const TDigitalFileVersionInfo& B) {
  // The difference is taken in 64 bits and saturated, so that fields far apart (not from any
  // file: those are 16-bit) cannot wrap around to the wrong sign.
  auto difference = [](std::int32_t a, std::int32_t b) {
    const std::int64_t d = std::int64_t{a} - b;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(d, std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
  };
  if (A.Major != B.Major) return difference(A.Major, B.Major);
  if (A.Minor != B.Minor) return difference(A.Minor, B.Minor);
  if (A.Release != B.Release) return difference(A.Release, B.Release);
  return difference(A.Build, B.Build);
}

namespace {
// The table every version resource of the system's tools carries: US English, Western code page.
constexpr std::string_view kNeutralTable = "040904E4";

std::string VersionString(const platform::TVersionInfo& info, const std::string& key, std::string_view name) {
  std::optional<std::string> value = info.QueryString(key, name);
  if (!value && key != kNeutralTable) value = info.QueryString(kNeutralTable, name);
  return value ? *value : "n/a";
}
}  // namespace

bool TFileVersionInfo::ReadFromFile(const std::string& FileName) {
  *this = TFileVersionInfo();
  if (!platform::FileExists(FileName)) return false;
  const std::optional<platform::TVersionInfo> info = platform::ReadVersionResource(FileName);
  if (!info) return false;

  std::string key(kNeutralTable);
  if (!info->Translations.empty()) {
    key = info->Translations.front().Key();
    LanguageInfo = key;
  }
  if (info->Fixed) {
    const platform::TVersionNumbers& numbers = info->Fixed->FileVersion;
    DigitalFileVersion = {numbers.Major, numbers.Minor, numbers.Release, numbers.Build};
  }
  FileVersion = DigitalFileVersion.VerAsString();
  CompanyName = VersionString(*info, key, "CompanyName");
  FileDescription = VersionString(*info, key, "FileDescription");
  InternalName = VersionString(*info, key, "InternalName");
  LegalCopyRight = VersionString(*info, key, "LegalCopyright");
  LegalTradeMark = VersionString(*info, key, "LegalTrademark");
  OriginalFileName = VersionString(*info, key, "OriginalFilename");
  ProductName = VersionString(*info, key, "ProductName");
  ProductVersion = VersionString(*info, key, "ProductVersion");
  Comments = VersionString(*info, key, "Comments");

  if (const std::optional<platform::TFileEntry> entry = platform::GetFileEntry(FileName)) {
    FileSize = static_cast<std::int32_t>(static_cast<std::uint32_t>(entry->Size));
    // The packed file date the system reports counts seconds in pairs.
    const std::int64_t seconds = entry->ModifiedTime - (((entry->ModifiedTime % 2) + 2) % 2);
    ModifiedDate = platform::UnixTimeToLocalDateTime(seconds);
  }
  return true;
}

// --- encodings ---------------------------------------------------------------------------------

std::string TCodePageEncoding::GetString(std::string_view Bytes) const {
  return platform::ConvertCodePage(Bytes, FCodePage, platform::kUtf8CodePage);
}

std::string TCodePageEncoding::GetBytes(std::string_view Text) const {
  return platform::ConvertCodePage(Text, platform::kUtf8CodePage, FCodePage);
}

namespace {
// The shared encoding; the holder frees it at exit.
struct TSharedEncoding {
  std::atomic<TCodePageEncoding*> Encoding{nullptr};
  ~TSharedEncoding() { delete Encoding.exchange(nullptr); }
};
TSharedEncoding gWin1251;
}  // namespace

const TCodePageEncoding& Win1251Encoding() {
  TCodePageEncoding* encoding = gWin1251.Encoding.load(std::memory_order_acquire);
  if (!encoding) {
    auto* created = new TCodePageEncoding(1251);
    TCodePageEncoding* expected = nullptr;
    if (gWin1251.Encoding.compare_exchange_strong(expected, created, std::memory_order_acq_rel)) {
      encoding = created;
    } else {
      delete created;  // another thread stored one first
      encoding = expected;
    }
  }
  return *encoding;
}

// --- TEnum -------------------------------------------------------------------------------------

namespace kv::detail {
void EnumWithoutInfo() {
  ASSERT(false, "Тип переданный в TEnum.FromInteger не имеет RTTI");
  std::abort();
}

void NotAnEnumeration(const std::type_info& type) {
  ASSERT(false, "Тип " + TypeName(type) + " не является перечислением (TEnum.FromInteger).");
  std::abort();
}
}  // namespace kv::detail
