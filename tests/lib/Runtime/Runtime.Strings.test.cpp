#include "Runtime.Strings.h"

#include <gtest/gtest.h>

#include "Runtime.Exceptions.h"

TEST(Utf16, CountsAndCutsCodeUnitsNotBytes) {
  EXPECT_EQ(Utf16Length("abc"), 3u);
  EXPECT_EQ(Utf16Length("Орвел"), 5u);       // 10 bytes
  EXPECT_EQ(Utf16Length("\xF0\x9F\x98\x80"), 2u);  // one supplementary character, a surrogate pair
  EXPECT_EQ(Utf16Left("Орвел-Квело", 5), "Орвел");
  EXPECT_EQ(Utf16Left("a\xF0\x9F\x98\x80", 2), "a");  // the pair is not split
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("Кв\xF0\x9F\x98\x80z")), "Кв\xF0\x9F\x98\x80z");
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\xFFFD");  // a truncated sequence
  EXPECT_EQ(Utf16ToUtf8(u"\xD800"), "\xEF\xBF\xBD");
}

TEST(Case, AsciiRoutinesFoldOnlyLatinLetters) {
  EXPECT_EQ(UpperCase("abcЖ"), "ABCЖ");
  EXPECT_TRUE(SameText("Options", "OPTIONS"));
  EXPECT_FALSE(SameText("Опции", "ОПЦИИ"));
  EXPECT_LT(CompareText("a", "B"), 0);
}

TEST(Case, AnsiRoutinesFollowTheLocale) {
  EXPECT_EQ(AnsiUpperCase("квело"), "КВЕЛО");
  EXPECT_EQ(AnsiLowerCase("КВЕЛО"), "квело");
  EXPECT_TRUE(AnsiSameText("Опции", "ОПЦИИ"));
  EXPECT_EQ(AnsiCompareText(".doc", ".DOC"), 0);
  EXPECT_NE(AnsiCompareStr(".doc", ".DOC"), 0);
  EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);  // by letters, not by code
  EXPECT_LT(AnsiCompareText("ёж", "Я"), 0);
}

TEST(Trim, RemovesBlanksAndControlCharacters) {
  EXPECT_EQ(Trim(" \t.pdf \r\n"), ".pdf");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_EQ(Trim("   "), "");
}

TEST(Numbers, IntegerTexts) {
  struct Case {
    const char* text;
    bool ok;
    std::int32_t value;
  };
  const Case cases[] = {
      {"42", true, 42},          {"  -17", true, -17},  {"+8", true, 8},          {"0x1F", true, 31},
      {"$FF", true, 255},        {"0xFFFFFFFF", true, -1}, {"2147483647", true, INT32_MAX},
      {"2147483648", false, 0},  {"12abc", false, 0},   {"", false, 0},           {"-", false, 0},
      {"1 ", false, 0},          {"0x", false, 0},
  };
  for (const auto& c : cases) {
    std::int32_t v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  try {
    StrToInt("12abc");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'12abc' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef("x", 7), 7);
  EXPECT_EQ(IntToHex(0x102, 4), "0102");
}

TEST(Numbers, FloatsFollowTheDecimalSeparator) {
  TFormatSettings comma;
  comma.DecimalSeparator = ',';
  double v = 0;
  EXPECT_TRUE(TryStrToFloat("3,25", v, comma));
  EXPECT_DOUBLE_EQ(v, 3.25);
  EXPECT_FALSE(TryStrToFloat("3.25", v, comma));
  EXPECT_TRUE(TryStrToFloat(" -1,5E3 ", v, comma));
  EXPECT_DOUBLE_EQ(v, -1500);
  EXPECT_FALSE(TryStrToFloat("1e", v, comma));
  EXPECT_FALSE(TryStrToFloat(",", v, comma));

  EXPECT_EQ(FloatToStr(3.25, comma), "3,25");
  EXPECT_EQ(FloatToStr(0.1, TFormatSettings::Invariant()), "0.1");
  EXPECT_EQ(FloatToStr(1e20, TFormatSettings::Invariant()), "1E20");
  EXPECT_EQ(FloatToStr(-2.5e-7, TFormatSettings::Invariant()), "-2.5E-7");
  for (double x : {1.0 / 3, 123456789.123456789, 2.2250738585072014e-308, -0.0}) {
    double back = 0;
    ASSERT_TRUE(TryStrToFloat(FloatToStr(x, comma), back, comma));
    EXPECT_EQ(back, x);
  }
  EXPECT_THROW(StrToFloat("abc", comma), EConvertError);
}

TEST(Numbers, Booleans) {
  bool b = false;
  for (const char* t : {"true", "TRUE", "True", "1", "-1", "2.5"}) {
    ASSERT_TRUE(TryStrToBool(t, b)) << t;
    EXPECT_TRUE(b) << t;
  }
  for (const char* t : {"false", "False", "0"}) {
    ASSERT_TRUE(TryStrToBool(t, b)) << t;
    EXPECT_FALSE(b) << t;
  }
  EXPECT_FALSE(TryStrToBool("yes", b));
  EXPECT_THROW(StrToBool(""), EConvertError);
  EXPECT_EQ(BoolToStr(true), "True");
  EXPECT_EQ(BoolToStr(false, false), "0");
}

TEST(FileNames, PlatformSeparator) {
  EXPECT_EQ(IncludeTrailingPathDelimiter("/data"), "/data/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/data/"), "/data/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/data/"), "/data");
  EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(ExtractFileDir("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
  EXPECT_EQ(ExtractFileExt("/a/b.d/c"), "");
  EXPECT_EQ(ExtractFileExt("c.tar.gz"), ".gz");
  EXPECT_EQ(ChangeFileExt("/a/c.txt", ".xml"), "/a/c.xml");
  EXPECT_EQ(ChangeFileExt("/a.b/c", ".xml"), "/a.b/c.xml");
}

TEST(Split, KeepsEmptyParts) {
  EXPECT_EQ(SplitString("a;;b;", ';'), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
}
