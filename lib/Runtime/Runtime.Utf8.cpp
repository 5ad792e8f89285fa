#include "Runtime.Utf8.h"

namespace {
bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
}  // namespace

bool IsUtf8Continuation(char Byte) { return (static_cast<unsigned char>(Byte) & 0xC0) == 0x80; }

std::uint32_t Utf8LeadLength(char Byte) {
  const auto b = static_cast<unsigned char>(Byte);
  return (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
}

TDecodedChar DecodeUtf8Char(std::string_view Text, std::size_t Pos) {
  const auto b0 = static_cast<unsigned char>(Text[Pos]);
  const TDecodedChar invalid{b0, 1, false};
  if (b0 < 0x80) return {b0, 1, true};
  const std::uint32_t length = Utf8LeadLength(Text[Pos]);
  if (length == 1 || Pos + length > Text.size()) return invalid;
  char32_t code = b0 & (0x7F >> length);
  for (std::uint32_t k = 1; k < length; ++k) {
    if (!IsUtf8Continuation(Text[Pos + k])) return invalid;
    code = code << 6 | (static_cast<unsigned char>(Text[Pos + k]) & 0x3F);
  }
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kMinimum[length] || code > 0x10FFFF || IsSurrogate(code)) return invalid;
  return {code, length, true};
}

TDecodedChar DecodeUtf16Char(std::u16string_view Text, std::size_t Pos) {
  const char32_t unit = Text[Pos];
  if (IsHighSurrogate(unit) && Pos + 1 < Text.size() && IsLowSurrogate(Text[Pos + 1]))
    return {0x10000 + ((unit - 0xD800) << 10) + (Text[Pos + 1] - 0xDC00), 2, true};
  return {unit, 1, !IsSurrogate(unit)};
}

bool IsValidUtf8(std::string_view Text) {
  for (std::size_t pos = 0; pos < Text.size();) {
    const TDecodedChar c = DecodeUtf8Char(Text, pos);
    if (!c.Valid) return false;
    pos += c.Length;
  }
  return true;
}

void AppendUtf8(std::string& Out, char32_t Code) {
  if (Code < 0x80) {
    Out += static_cast<char>(Code);
  } else if (Code < 0x800) {
    Out += static_cast<char>(0xC0 | (Code >> 6));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  } else if (Code < 0x10000) {
    Out += static_cast<char>(0xE0 | (Code >> 12));
    Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (Code >> 18));
    Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  }
}

std::string EncodeUtf8(char32_t Code) {
  std::string out;
  AppendUtf8(out, Code);
  return out;
}

void AppendUtf16(std::u16string& Out, char32_t Code) {
  if (Code >= 0x10000) {
    Out += static_cast<char16_t>(0xD800 + ((Code - 0x10000) >> 10));
    Out += static_cast<char16_t>(0xDC00 + ((Code - 0x10000) & 0x3FF));
  } else {
    Out += static_cast<char16_t>(Code);
  }
}
