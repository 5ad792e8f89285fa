#pragma once
// Private-profile ("INI") files, read with the rules of the system's profile functions.
//
// - "[section]" lines start sections; "key=value" lines give values; a line whose first character
//   after blanks is ";" is a comment. A ";" later in a line is part of the value.
// - Section and key names ignore letter case (NameFolding.h). Names and values are trimmed of
//   blanks, then one pair of matching quotes around a value ("..." or '...') is removed.
// - Values are cut to 2047 characters (UTF-16 code units), the size of the system's buffer.
// - A key that appears twice in a section: the first one's value is read, and ReadSection lists the
//   name once, spelled as first written. A section that appears twice is one section holding the
//   keys of both, in file order.
// - Lines without "=", keys with an empty name and keys before the first section are ignored.
// - Encoding: as every text file of a package (DecodeText): a byte-order mark, else valid UTF-8
//   (a file written on Linux), else Windows-1251.
// - A file that is missing or cannot be read reads as empty: the system's functions then give the
//   defaults too.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

inline constexpr std::size_t kProfileValueMaxLength = 2047;

class TIniFileReader {
 public:
  // Reads the whole file now; the object answers from memory afterwards.
  explicit TIniFileReader(std::string fileName);

  const std::string& FileName() const { return FFileName; }

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // The section names, and the key names of one section, in file order.
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(std::string_view section) const;

  // The value; `defaultValue` when the key is missing (a key with an empty value reads as ""). The
  // default is treated as the system treats it: trailing blanks removed, cut to 2047 characters.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;

  // The whole value as an integer: decimal, or hexadecimal after "0x" or "$", with an optional
  // sign; the default when the key is missing or the value is not such a number ("12abc" too).
  // This is how option readers of the system's class library treat profile integers.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
  // ReadInteger(section, key, defaultValue ? 1 : 0) != 0.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  // The system's GetPrivateProfileInt: the default when the key is missing or its value empty.
  // Otherwise leading blanks, an optional sign, then a base prefix "0x" (16), "0o" (8) or "0b" (2),
  // else decimal, and digits up to the first character that is not one; no digits at all gives 0,
  // not the default ("abc" -> 0, "12abc" -> 12, "0x1F" -> 31, "-5" -> -5). The number wraps
  // around in 32 bits, as the system's unsigned result does.
  std::int32_t GetPrivateProfileInt(std::string_view section, std::string_view key,
                                    std::int32_t defaultValue) const;

 private:
  struct TSection {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Keys;  // name and value, first of each name only
    std::map<std::string, std::size_t> Index;                // by FoldName
  };

  void Parse(std::string_view text);
  const TSection* FindSection(std::string_view section) const;
  const std::string* FindValue(std::string_view section, std::string_view key) const;

  std::string FFileName;
  std::vector<TSection> FSections;
  std::map<std::string, std::size_t> FSectionIndex;  // by FoldName
};

}  // namespace platform
