#pragma once
// A writer of small PE images (Windows executables) with a version resource, for test fixtures and
// the demo's installed client. The images are well-formed (headers, a code section holding one
// "ret", an optional resource section) but are meant to be read, not run.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TPeStringTable {
  std::string Key;  // "041904E3": language and code page, 4 hexadecimal digits each
  std::vector<std::pair<std::string, std::string>> Strings;  // name and value, UTF-8
};

struct TPeImageOptions {
  bool Is64Bit = false;          // PE32+ for x64, else PE32 for x86
  bool WithResources = true;     // false: no resource section at all
  std::array<std::uint16_t, 4> FileVersion{};     // Major, Minor, Release, Build
  std::array<std::uint16_t, 4> ProductVersion{};
  std::vector<TPeStringTable> StringTables;       // none: no StringFileInfo block
  bool WithTranslation = true;   // false: no VarFileInfo block
  // The Translation entries as keys like the tables'; empty: one per string table, from its key.
  std::vector<std::string> Translations;
};

struct TPeImage {
  std::string Bytes;
  std::uint32_t ResourceOffset = 0;  // file offset of the resource directory; 0 without resources
  std::uint32_t VersionOffset = 0;   // file offset of VS_VERSIONINFO; 0 without resources
};

// EConvertError for a translation key that is not 8 hexadecimal digits.
TPeImage BuildPeImage(const TPeImageOptions& options);
