#pragma once
// Single-byte code pages. The system's ANSI code page is Windows-1251 and its OEM code page 866.

#include <string>
#include <string_view>

namespace platform {
inline constexpr int kAnsiCodePage = 1251;
inline constexpr int kOemCodePage = 866;
inline constexpr int kUtf8CodePage = 65001;
inline constexpr int kUtf16LECodePage = 1200;

// Converts bytes between code pages. A character the target cannot hold becomes "?";
// malformed input bytes become "?" too. EConvertError for an unknown code page.
std::string ConvertCodePage(std::string_view bytes, int fromCodePage, int toCodePage);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The text of a text file (profiles, shortcut name files) as UTF-8. A byte-order mark selects
// UTF-8, UTF-16LE or UTF-16BE; without one, valid UTF-8 is taken as it is (editors here write it
// without a mark) and anything else is Windows-1251, as files written on Windows are. Cyrillic
// Windows-1251 text is practically never valid UTF-8, so no file written there changes meaning.
std::string DecodeText(std::string_view bytes);

inline std::string AnsiToUtf8(std::string_view ansi) { return ConvertCodePage(ansi, kAnsiCodePage, kUtf8CodePage); }
inline std::string Utf8ToAnsi(std::string_view utf8) { return ConvertCodePage(utf8, kUtf8CodePage, kAnsiCodePage); }
inline std::string OemToAnsi(std::string_view oem) { return ConvertCodePage(oem, kOemCodePage, kAnsiCodePage); }
inline std::string AnsiToOem(std::string_view ansi) { return ConvertCodePage(ansi, kAnsiCodePage, kOemCodePage); }
}  // namespace platform
