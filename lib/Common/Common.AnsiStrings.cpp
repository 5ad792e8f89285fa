#include "Common.AnsiStrings.h"

#include "Runtime.Strings.h"
#include "platform/CodePages.h"

unsigned char CharTo1251(std::string_view C) {
  const std::string bytes = platform::Utf8ToAnsi(C);
  // A malformed sequence may come back as several "?"; it is one character all the same.
  return bytes.size() == 1 ? static_cast<unsigned char>(bytes[0]) : static_cast<unsigned char>('?');
}

bool CharInSet1251(std::string_view C, const TAnsiCharSet& Set) { return Set.Contains(CharTo1251(C)); }

bool CharInSet1251(char32_t C, const TAnsiCharSet& Set) {
  std::u16string utf16;
  if (C >= 0x10000) {
    utf16 += static_cast<char16_t>(0xD800 + ((C - 0x10000) >> 10));
    utf16 += static_cast<char16_t>(0xDC00 + ((C - 0x10000) & 0x3FF));
  } else {
    utf16 += static_cast<char16_t>(C);
  }
  return CharInSet1251(Utf16ToUtf8(utf16), Set);
}
