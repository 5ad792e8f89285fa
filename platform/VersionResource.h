#pragma once
// The version resource of an executable or library in the PE format (.exe, .dll), read by our own
// reader: the client is a Windows program, and no system service reads its resources here.
//
// What the system's version queries give, in data:
//   "\"                              -> Fixed (file and product version numbers)
//   "\VarFileInfo\Translation"       -> Translations
//   "\StringFileInfo\<key>\<name>"   -> QueryString(key, name)
// The resource found is the first one of type RT_VERSION (16): its first name, its first language.
// Hostile files are expected: every read is checked against the file, the version block is at most
// 64 KiB (its length field is 16 bits), and the walk has a fixed depth, so truncated, cyclic or
// oversized structures give "no version" or a partial block, never a read outside the file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// Four 16-bit numbers: Major and Minor from the most significant double word of VS_FIXEDFILEINFO,
// Release and Build from the least significant one.
struct TVersionNumbers {
  std::uint16_t Major = 0;
  std::uint16_t Minor = 0;
  std::uint16_t Release = 0;
  std::uint16_t Build = 0;
  bool operator==(const TVersionNumbers&) const = default;
};

struct TVersionFixedInfo {
  TVersionNumbers FileVersion;
  TVersionNumbers ProductVersion;
};

struct TVersionTranslation {
  std::uint16_t Language = 0;  // e.g. 0x0419 Russian
  std::uint16_t CodePage = 0;  // e.g. 1251 = 0x04E3
  // The name of the string table for this translation: language then code page, 4 upper-case
  // hexadecimal digits each ("041904E3").
  std::string Key() const;
};

struct TVersionStringTable {
  std::string Key;  // as stored, normally 8 hexadecimal digits
  std::vector<std::pair<std::string, std::string>> Strings;  // name and value (UTF-8), in file order
};

struct TVersionInfo {
  // Nothing when the block carries no VS_FIXEDFILEINFO with the signature 0xFEEF04BD.
  std::optional<TVersionFixedInfo> Fixed;
  std::vector<TVersionTranslation> Translations;  // empty without a Translation value
  std::vector<TVersionStringTable> StringTables;

  // The value of "\StringFileInfo\<table>\<name>", or nothing when the table or the string is
  // missing (an empty value is found and is ""). Keys and names ignore the letter case of A to Z,
  // as the system's query does; the first match counts.
  std::optional<std::string> QueryString(std::string_view table, std::string_view name) const;
};

// The version block of the file; nothing when the file is missing or unreadable, is not a PE image,
// or has no well-formed VS_VERSIONINFO resource.
std::optional<TVersionInfo> ReadVersionResource(const std::string& fileName);
// The same for an image in memory.
std::optional<TVersionInfo> ParseVersionResource(std::string_view image);

}  // namespace platform
