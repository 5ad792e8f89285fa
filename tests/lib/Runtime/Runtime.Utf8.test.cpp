#include "Runtime.Utf8.h"

#include <gtest/gtest.h>
#include <unicode/utf8.h>

#include <vector>

#include "Runtime.Strings.h"

namespace {
// ICU's strict reader as the reference: the code points of a text, or nothing when a byte
// belongs to no character.
bool ReferenceDecode(std::string_view text, std::vector<std::uint32_t>& codes) {
  codes.clear();
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
    codes.push_back(static_cast<std::uint32_t>(c));
  }
  return true;
}

bool Decode(std::string_view text, std::vector<std::uint32_t>& codes) {
  codes.clear();
  for (std::size_t pos = 0; pos < text.size();) {
    const TDecodedChar c = DecodeUtf8Char(text, pos);
    if (!c.Valid) return false;
    codes.push_back(c.Code);
    pos += c.Length;
  }
  return true;
}
}  // namespace

TEST(Utf8, DecodesCharactersAndReportsEachStrayByteAlone) {
  struct Case {
    const char* Name;
    std::string_view Text;
    char32_t Code;
    std::uint32_t Length;
    bool Valid;
  };
  const Case cases[] = {
      {"ascii", "a", U'a', 1, true},
      {"two bytes", "Ж", U'Ж', 2, true},
      {"three bytes", "\xE2\x82\xAC", U'\u20AC', 3, true},
      {"four bytes", "\xF0\x9F\x98\x80", U'\U0001F600', 4, true},
      {"last code point", "\xF4\x8F\xBF\xBF", U'\U0010FFFF', 4, true},
      {"continuation first", "\x80z", 0x80, 1, false},
      {"truncated", "\xD0", 0xD0, 1, false},
      {"interrupted", "\xE2\x82z", 0xE2, 1, false},
      {"overlong slash", "\xC0\xAF", 0xC0, 1, false},
      {"overlong three bytes", "\xE0\x80\xAF", 0xE0, 1, false},
      {"surrogate", "\xED\xA0\x80", 0xED, 1, false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", 0xF4, 1, false},
      {"five-byte lead", "\xF8\x88\x80\x80\x80", 0xF8, 1, false},
  };
  for (const Case& c : cases) {
    const TDecodedChar decoded = DecodeUtf8Char(c.Text, 0);
    EXPECT_EQ(std::uint32_t{decoded.Code}, std::uint32_t{c.Code}) << c.Name;
    EXPECT_EQ(decoded.Length, c.Length) << c.Name;
    EXPECT_EQ(decoded.Valid, c.Valid) << c.Name;
    EXPECT_EQ(IsValidUtf8(c.Text), c.Valid && c.Length == c.Text.size()) << c.Name;
  }
}

TEST(Utf8, EveryCodePointEncodesAndDecodesBackThroughBothForms) {
  std::u16string units;
  for (char32_t code = 0; code <= 0x10FFFF; ++code) {
    const std::string bytes = EncodeUtf8(code);
    const TDecodedChar decoded = DecodeUtf8Char(bytes, 0);
    if (code >= 0xD800 && code <= 0xDFFF) {
      ASSERT_FALSE(decoded.Valid) << std::hex << std::uint32_t{code};
      continue;
    }
    units.clear();
    AppendUtf16(units, code);
    const TDecodedChar unit = DecodeUtf16Char(units, 0);
    const bool ok = decoded.Valid && decoded.Code == code && decoded.Length == bytes.size() &&
                    Utf8LeadLength(bytes[0]) == bytes.size() && unit.Valid && unit.Code == code &&
                    unit.Length == units.size() && Utf8ToUtf16(bytes) == units && Utf16ToUtf8(units) == bytes &&
                    Utf16Length(bytes) == units.size();
    ASSERT_TRUE(ok) << std::hex << std::uint32_t{code};
  }
}

// Every text of up to two bytes, and the three- and four-byte texts that start a long character
// (the second byte of every value that matters, later bytes by their kinds), against ICU.
TEST(Utf8, ValidityAndCodePointsAgreeWithIcuOnEveryShortText) {
  std::vector<std::uint32_t> ours, reference;
  auto check = [&](const std::string& text) {
    const bool valid = Decode(text, ours);
    ASSERT_EQ(valid, ReferenceDecode(text, reference)) << testing::PrintToString(text);
    ASSERT_EQ(IsValidUtf8(text), valid);
    if (valid) {
      ASSERT_EQ(ours, reference) << testing::PrintToString(text);
    }
  };
  for (int a = 0; a < 256; ++a) {
    check(std::string(1, static_cast<char>(a)));
    for (int b = 0; b < 256; ++b) check({static_cast<char>(a), static_cast<char>(b)});
  }
  // The second byte decides the ranges (E0, ED, F0, F4 narrow them), so it takes every kind and
  // every continuation byte; later bytes matter only as continuation or not.
  std::vector<char> seconds = {'\0', '\x7F', '\xC0', '\xC3', '\xE0', '\xF0', '\xFF'};
  for (int b = 0x80; b < 0xC0; ++b) seconds.push_back(static_cast<char>(b));
  const std::vector<char> later = {'\0', '\x7F', '\x80', '\x8F', '\x90', '\xBF', '\xC0', '\xFF'};
  for (int lead = 0xE0; lead < 0x100; ++lead) {
    const char a = static_cast<char>(lead);
    for (char b : seconds)
      for (char c : later) {
        ASSERT_NO_FATAL_FAILURE(check({a, b, c}));
        for (char d : later) ASSERT_NO_FATAL_FAILURE(check({a, b, c, d}));
      }
  }
}

TEST(Utf8, Utf16FormReplacesWhatHasNoCharacter) {
  for (std::u16string_view unpaired : {u"\xD800", u"\xDC00\xD800", u"\xD83Dz", u"\xDFFF"}) {
    const TDecodedChar c = DecodeUtf16Char(unpaired, 0);
    EXPECT_FALSE(c.Valid);
    EXPECT_EQ(c.Length, 1u);
    EXPECT_EQ(std::uint32_t{c.Code}, std::uint32_t{unpaired[0]});
  }
  EXPECT_EQ(Utf8ToUtf16("a\xE2\x82z"), u"a\xFFFD\xFFFDz");  // each stray byte on its own
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // pair in the wrong order
  EXPECT_EQ(Utf16Length("\xF0\x9F"), 2u);  // two stray bytes, two replacements
}
