#include "Common.AnsiStrings.h"

#include "Runtime.Strings.h"
#include "Runtime.Utf8.h"
#include "platform/CodePages.h"

unsigned char CharTo1251(std::string_view C) {
  const std::string bytes = platform::Utf8ToAnsi(C);
  // A malformed sequence may come back as several "?"; it is one character all the same.
  return bytes.size() == 1 ? static_cast<unsigned char>(bytes[0]) : static_cast<unsigned char>('?');
}

bool CharInSet1251(std::string_view C, const TAnsiCharSet& Set) { return Set.Contains(CharTo1251(C)); }

bool CharInSet1251(char32_t C, const TAnsiCharSet& Set) {
  // Through UTF-16, so that a surrogate code point meets the set as U+FFFD.
  std::u16string utf16;
  AppendUtf16(utf16, C);
  return CharInSet1251(Utf16ToUtf8(utf16), Set);
}
