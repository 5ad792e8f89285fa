#pragma once
// String and system utilities the units call by name: TStringUtils, the free string and
// operating-system operations, EAPICallError, TNullable with TEnum::FromInteger, the shared
// Windows-1251 encoding, special folders and the version information of files.
//
// Strings are UTF-8. Where a character is meant it is a whole UTF-8 character (a code point);
// character counts and 1-based positions are UTF-16 code units, as elsewhere in the system.
// "Single-byte" strings hold bytes of a code page (Windows-1251 unless said otherwise).

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>

#include "Common.Classes.h"
#include "Common.EnumInfo.h"
#include "Runtime.DateTime.h"
#include "Runtime.Exceptions.h"
#include "Runtime.StringList.h"

// An operating-system call reported failure; the message is the system's text for the error code.
KV_DECLARE_EXCEPTION(EAPICallError, Exception);

// --- TStringUtils ------------------------------------------------------------------------------

// Class operations only; the class is not instantiated in practice.
class TStringUtils {
 public:
  // The non-empty strings, each followed by Delimiter, without the last Delimiter; empty strings
  // are skipped with their delimiter.
  static std::string Join(std::initializer_list<std::string_view> Strings, std::string_view Delimiter);
  static std::string Join(std::span<const std::string> Strings, std::string_view Delimiter);
  // The same over the elements max(Index, 0) .. min(last, Index + Count - 1).
  static std::string Join(std::span<const std::string> Strings, std::int32_t Index, std::int32_t Count,
                          std::string_view Delimiter);

  // "0" to "9", and "-" when IncludeMinus; nothing above code 255.
  static bool CharIsNumeric(char32_t AChar, bool IncludeMinus);
  static bool CharIsNumeric(char16_t AChar, bool IncludeMinus);
  static bool CharIsNumeric(char AChar, bool IncludeMinus);  // single-byte character

  // s with CharForAdd in front until it is ResLength characters long; unchanged when it is already.
  // Pass a char32_t (U'0') for UTF-8 text; the char overload is for single-byte strings and counts bytes.
  static std::string AddLeadingChars(std::string_view s, std::int32_t ResLength, char32_t CharForAdd);
  static std::string AddLeadingChars(std::string_view s, std::int32_t ResLength, char CharForAdd);

  // s without its last (first) character when that is LastChar (FirstChar); else s.
  static std::string DropLastChar(std::string_view s, char32_t LastChar);
  static std::string DropFirstChar(std::string_view s, char32_t FirstChar);
  // s without the prefix FirstStr when it begins with it (case-sensitive); else s.
  static std::string DropFirstStr(std::string_view s, std::string_view FirstStr);
  // s when it begins with FirstStr (case-sensitive); else FirstStr + s.
  static std::string AddFirstStr(std::string_view s, std::string_view FirstStr);
  // s + LastChar when s is not empty and does not end with it; else s (an empty s stays empty).
  static std::string AddLastChar(std::string_view s, char32_t LastChar);

  // Single-byte text between the OEM code page (866) and the ANSI code page (1251), same length.
  static std::string OemToCharA(std::string_view OemStr);
  static std::string CharToOemA(std::string_view AWin);

  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }
};

// --- free operations ---------------------------------------------------------------------------

enum TReplaceFlag : int { rfReplaceAll, rfIgnoreCase };

// A set of replace flags: {}, {rfReplaceAll}, {rfReplaceAll, rfIgnoreCase}.
class TReplaceFlags {
 public:
  constexpr TReplaceFlags() = default;
  constexpr TReplaceFlags(std::initializer_list<TReplaceFlag> flags) {
    for (TReplaceFlag f : flags) FBits |= Bit(f);
  }
  constexpr bool Contains(TReplaceFlag f) const { return (FBits & Bit(f)) != 0; }

 private:
  static constexpr unsigned Bit(TReplaceFlag f) { return 1u << static_cast<unsigned>(f); }
  unsigned FBits = 0;
};

// S with OldPattern replaced by NewPattern: the first occurrence, or every one with rfReplaceAll;
// with rfIgnoreCase both are compared upper-cased by the user's locale, and the text kept outside
// the matches is S's own. An empty OldPattern is never found.
std::string FastStringReplace(std::string_view S, std::string_view OldPattern, std::string_view NewPattern,
                              TReplaceFlags Flags = {});

// The parts joined with one Delimiter at each seam (an ASCII character such as '/'): a seam where
// the left part ends and the right part starts with it loses one; empty parts after the first are
// skipped; the first part is kept as it is.
std::string ConcatWithDelimiter(std::string_view A, std::string_view B, char Delimiter);
std::string ConcatWithDelimiter(std::initializer_list<std::string_view> Parts, char Delimiter);
std::string ConcatWithDelimiter(std::span<const std::string> Parts, char Delimiter);

// A new random (version 4) GUID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, or without
// braces the 32 digits alone. EAPICallError when the system cannot give random bytes.
std::string NewGUIDString(bool WithBraces);

// The temporary folder with a trailing separator.
void GetTempDirectory(std::string& Path);
std::string GetTempDirectory();

// Raises the standard operating-system error (EOSError) for the last error code when Ok is false.
void CheckOSResult(bool Ok);

// True when S is empty; with Trimmed, after blanks and control characters at both ends are removed.
bool IsEmptyString(std::string_view S, bool Trimmed);

// The 0-based index of the first value equal to S (locale-aware comparison), or -1.
int IndexOfString(std::string_view S, std::initializer_list<std::string_view> Values, bool CaseSensitive);
int IndexOfString(std::string_view S, std::span<const std::string> Values, bool CaseSensitive);

// The 1-based character position of SubStr in S, both upper-cased by the user's locale; 0 when it
// is absent or empty.
int PosText(std::string_view SubStr, std::string_view S);

// The full names of the files in Path matching Mask ("*" and "?"), in all subfolders when Recursive,
// in the order the file system lists them. Any error (a missing folder, say) gives an empty list.
TStringList GetFileList(const std::string& Path, const std::string& Mask, bool Recursive);

// Text in a single-byte code page.
class TCodePageEncoding {
 public:
  explicit TCodePageEncoding(int ACodePage) : FCodePage(ACodePage) {}
  int CodePage() const { return FCodePage; }
  // Bytes in the code page to UTF-8 text.
  std::string GetString(std::string_view Bytes) const;
  // UTF-8 text to bytes in the code page; characters it cannot hold become "?".
  std::string GetBytes(std::string_view Text) const;

 private:
  int FCodePage;
};

// The Windows-1251 encoding, created on first use (safely against concurrent first calls) and
// shared until the process ends.
const TCodePageEncoding& Win1251Encoding();

// The special folder with the system's folder identifier (CSIDL_APPDATA = 26, ...), without a
// trailing separator. EOSError when the system cannot name it.
std::string GetSpecialFolder(int CSIDL);

// --- file versions -----------------------------------------------------------------------------

// A file's four version numbers. All four zero: no version is known.
struct TDigitalFileVersionInfo {
  std::int32_t Major = 0;
  std::int32_t Minor = 0;
  std::int32_t Release = 0;
  std::int32_t Build = 0;

  // The file's fixed version numbers; zeros when the file or its version information is missing.
  void ReadFromFile(const std::string& Filename);
  std::string VerAsString() const;       // "Major.Minor.Release.Build"
  std::string ShortVerAsString() const;  // "Major.Minor.Release"
  // Major and Minor in 8 bits each, then Release in 16; Build is not part of it.
  std::uint32_t AsCardinal() const;
  // The difference of the first field that differs (Major, Minor, Release, Build), or 0: negative,
  // zero or positive as A is below, equal to or above B.
  static std::int32_t Compare(const TDigitalFileVersionInfo& A, const TDigitalFileVersionInfo& B);

  friend bool operator<(const TDigitalFileVersionInfo& A, const TDigitalFileVersionInfo& B) { return Compare(A, B) < 0; }
  friend bool operator<=(const TDigitalFileVersionInfo& A, const TDigitalFileVersionInfo& B) { return Compare(A, B) < 1; }
  friend bool operator>(const TDigitalFileVersionInfo& A, const TDigitalFileVersionInfo& B) { return Compare(A, B) > 0; }
  friend bool operator>=(const TDigitalFileVersionInfo& A, const TDigitalFileVersionInfo& B) { return Compare(A, B) >= 0; }
  friend bool operator==(const TDigitalFileVersionInfo& A, const TDigitalFileVersionInfo& B) { return Compare(A, B) == 0; }
};

// What a file's version resource says about it, and its size and date.
struct TFileVersionInfo {
  std::string CompanyName;
  std::string FileDescription;
  std::string FileVersion;  // the fixed numbers as "Major.Minor.Release.Build"
  std::string InternalName;
  std::string LegalCopyRight;
  std::string LegalTradeMark;
  std::string OriginalFileName;
  std::string ProductName;
  std::string ProductVersion;
  TDigitalFileVersionInfo DigitalFileVersion;
  std::string Comments;
  TDateTime ModifiedDate = 0;  // last write, local time, to two seconds
  std::int32_t FileSize = 0;   // the low 32 bits of the size
  std::string LanguageInfo;    // the key of the string table read ("041904E3"); "" without translation
  std::int32_t CRC = 0;        // never filled

  // Clears the record, then fills it; true when the file has a version resource. The strings come
  // from the table of the first translation, else from "040904E4"; one found in neither is "n/a".
  bool ReadFromFile(const std::string& FileName);
};

// --- TStringAppender ---------------------------------------------------------------------------

// Builds a string in place: the target's length is the capacity, which grows by doubling (at least
// 10 bytes), and the written count is the text so far until Finish cuts the target to it. Counts
// and positions are bytes of the UTF-8 text.
class TStringAppender {
 public:
  // Start: remembers the target; what it holds already counts as written.
  explicit TStringAppender(std::string& ATarget);

  void Reserve(std::int32_t n);
  // Whole UTF-8 characters only: bytes that begin or end inside a character raise Exception
  // "Добавить можно только кратное 1 число байт".
  void Append(const char* Bytes, std::int32_t ByteCount);
  void Append(std::string_view S);
  // Count bytes of S from the 1-based Index: nothing when S is shorter than Index or Count <= 0;
  // an Index <= 0 counts as 1; Count is cut at the end of S. A part that cuts one of S's characters
  // raises as above.
  void Append(std::string_view S, std::int32_t Index, std::int32_t Count);
  // Takes back the last Count bytes written (not below 0).
  void DropLast(std::int32_t Count);
  std::int32_t Written() const { return FWritten; }
  void Finish();

 private:
  void AppendBytes(const char* Bytes, std::int32_t ByteCount);

  std::string* FTarget;
  std::int32_t FWritten;
};

// --- TNullable ---------------------------------------------------------------------------------

// A value or nothing. A default-constructed nullable, and nullptr, are null.
template <class T>
class TNullable {
 public:
  // The type of the null literal.
  using TNull = std::nullptr_t;

  TNullable() = default;
  TNullable(TNull) noexcept {}
  TNullable(const T& AValue) : FValue(AValue), FHasValue(true) {}
  template <class U>
    requires(std::is_convertible_v<U, T> && !std::is_same_v<std::remove_cvref_t<U>, T> &&
             !std::is_same_v<std::remove_cvref_t<U>, TNull> && !std::is_same_v<std::remove_cvref_t<U>, TNullable>)
  TNullable(U&& AValue) : FValue(std::forward<U>(AValue)), FHasValue(true) {}

  void Init(const T& AValue) {
    FValue = AValue;
    FHasValue = true;
  }
  static TNullable Null() { return TNullable(); }

  bool IsNull() const noexcept { return !FHasValue; }
  bool HasValue() const noexcept { return FHasValue; }
  T ValueOrDefault() const { return FHasValue ? FValue : T{}; }
  T ValueOrDefault(const T& ADef) const { return FHasValue ? FValue : ADef; }

  // Equal only when there is a value and it equals AValue; a null nullable equals no value.
  // (Either operand order; != is the negation.)
  friend bool operator==(const TNullable& ANullable, const T& AValue) {
    return ANullable.FHasValue && std::equal_to<T>{}(ANullable.FValue, AValue);
  }

 private:
  T FValue{};
  bool FHasValue = false;
};

// --- TEnum -------------------------------------------------------------------------------------

namespace kv::detail {
[[noreturn]] void EnumWithoutInfo();
[[noreturn]] void NotAnEnumeration(const std::type_info& type);
}  // namespace kv::detail

class TEnum {
 public:
  // The enumeration value with the ordinal Value, or null when Value lies outside the range the
  // enumeration declared with KV_ENUM_INFO. A type without that declaration, or one that is not an
  // enumeration, is a programming error (assertion).
  template <class T>
  static TNullable<T> FromInteger(int Value) {
    if constexpr (!std::is_enum_v<T>) {
      kv::detail::NotAnEnumeration(typeid(T));
    } else if constexpr (!HasEnumInfo<T>) {
      kv::detail::EnumWithoutInfo();
    } else {
      if (Value >= TEnumInfo<T>::MinValue && Value <= TEnumInfo<T>::MaxValue) return TNullable<T>(static_cast<T>(Value));
      return TNullable<T>::Null();
    }
  }
};
