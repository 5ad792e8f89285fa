#pragma once
// One character at a time in UTF-8, the form of every string, and in UTF-16, the form in which the
// system counts and compares characters (Runtime.Strings converts whole texts with these). The
// decoders are strict: no overlong forms, no surrogates, nothing above U+10FFFF. What a reader does
// with a unit that is not part of a character (replace it, keep it, reject the text) is its own
// choice, so decoding reports such a unit instead of deciding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The character that starts at a position: a well-formed sequence, or one code unit (byte) that
// starts none.
struct TDecodedChar {
  char32_t Code;         // the code point; the unit's value when not Valid
  std::uint32_t Length;  // in code units; 1 when not Valid
  bool Valid;
};
// Pos must be inside Text.
TDecodedChar DecodeUtf8Char(std::string_view Text, std::size_t Pos);
// A surrogate pair, or one unit; an unpaired surrogate is not Valid.
TDecodedChar DecodeUtf16Char(std::u16string_view Text, std::size_t Pos);

// A byte of the form 10xxxxxx, which continues a character and never starts one.
bool IsUtf8Continuation(char Byte);
// The length a first byte announces: 2 to 4 for the start of a multi-byte character, else 1.
std::uint32_t Utf8LeadLength(char Byte);
// Whether every byte of Text belongs to a well-formed character.
bool IsValidUtf8(std::string_view Text);

// The bytes of a code point. Code is not checked: callers pass the characters they mean.
void AppendUtf8(std::string& Out, char32_t Code);
std::string EncodeUtf8(char32_t Code);
// The code unit, or above U+FFFF the surrogate pair, of a code point.
void AppendUtf16(std::u16string& Out, char32_t Code);
