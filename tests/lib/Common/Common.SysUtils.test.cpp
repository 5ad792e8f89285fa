#include "Common.SysUtils.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <regex>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/OSError.h"
#include "platform/KnownFolders.h"
#include "platform/posix/SysCalls.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "tools/PeWriter.h"

using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

// --- Join, ConcatWithDelimiter -----------------------------------------------------------------

TEST(StringUtils, JoinSkipsEmptyStringsWithTheirDelimiter) {
  EXPECT_EQ(TStringUtils::Join({"a", "", "b"}, ", "), "a, b");
  EXPECT_EQ(TStringUtils::Join({"", ""}, ", "), "");
  EXPECT_EQ(TStringUtils::Join({"a"}, ", "), "a");
  EXPECT_EQ(TStringUtils::Join({"a", "b"}, ""), "ab");
  EXPECT_EQ(TStringUtils::Join({"", "a", "", "", "b", ""}, "/"), "a/b");
  const std::vector<std::string> many(100, "слово");  // many times the first capacity
  std::string expected = "слово";
  for (int i = 1; i < 100; ++i) expected += " слово";
  EXPECT_EQ(TStringUtils::Join(many, " "), expected);
}

TEST(StringUtils, JoinOfARange) {
  const std::vector<std::string> abc{"a", "b", "c"};
  struct Case {
    int index, count;
    const char* expected;
  };
  const Case cases[] = {
      {-5, 2, ""},  // ends at index -4
      {-1, 2, "a"},  {1, 10, "b, c"}, {0, 3, "a, b, c"}, {2, 1, "c"},
      {3, 1, ""},    {1, 0, ""},      {1, -1, ""},       {0, 2147483647, "a, b, c"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TStringUtils::Join(abc, c.index, c.count, ", "), c.expected) << c.index << " " << c.count;
}

TEST(ConcatWithDelimiter, OneDelimiterAtEachSeam) {
  struct Case {
    const char* a;
    const char* b;
    const char* expected;
  };
  const Case cases[] = {
      {"/data/", "/file.txt", "/data/file.txt"}, {"/data", "file.txt", "/data/file.txt"},
      {"/data/", "file.txt", "/data/file.txt"},  {"/data", "/file.txt", "/data/file.txt"},
      {"", "file.txt", "file.txt"},              {"/data", "", "/data"},
      {"", "/file.txt", "/file.txt"},            {"/data/", "//file.txt", "/data//file.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(ConcatWithDelimiter(c.a, c.b, '/'), c.expected) << c.a << " + " << c.b;
  EXPECT_EQ(ConcatWithDelimiter("C:\\Data\\", "\\file.txt", '\\'), "C:\\Data\\file.txt");
  EXPECT_EQ(ConcatWithDelimiter({"http://host/", "/dav/", "", "папка"}, '/'), "http://host/dav/папка");
  EXPECT_EQ(ConcatWithDelimiter({"", "a", "b"}, '/'), "a/b");
  EXPECT_EQ(ConcatWithDelimiter(std::span<const std::string>(), '/'), "");
  const std::vector<std::string> parts{"a/", "b"};
  EXPECT_EQ(ConcatWithDelimiter(parts, '/'), "a/b");
}

// --- FastStringReplace -------------------------------------------------------------------------

TEST(FastStringReplace, ReplacesFirstOrAllWithOrWithoutCase) {
  const TReplaceFlags all{rfReplaceAll}, ignore{rfIgnoreCase}, allIgnore{rfReplaceAll, rfIgnoreCase};
  struct Case {
    const char* s;
    const char* oldPattern;
    const char* newPattern;
    TReplaceFlags flags;
    const char* expected;
  };
  const Case cases[] = {
      {"aXbxc", "x", "-", allIgnore, "a-b-c"},
      {"aXbxc", "x", "-", all, "aXb-c"},
      {"aXbxc", "x", "-", ignore, "a-bxc"},
      {"aXbxc", "x", "-", {}, "aXb-c"},
      {"abcabc", "bc", "", all, "aa"},
      {"abcabc", "bc", "", {}, "aabc"},
      {"abcabc", "BC", "", all, "abcabc"},
      {"abcabc", "BC", "[$&]", allIgnore, "a[$&]a[$&]"},
      {"abc", "", "x", allIgnore, "abc"},
      {"", "a", "b", all, ""},
      {"строка\r\nещё", "\r", "#13", all, "строка#13\nещё"},
      {"a#13#10b", "#13#10", "\r\n", all, "a\r\nb"},
      // One character of two bytes, replaced without searching, with and without case.
      {"ёлка Ёж", "ё", "е", all, "елка Ёж"},
      {"ёлка Ёж", "ё", "е", allIgnore, "елка еж"},
      {"Квело", "В", "w", ignore, "Кwело"},
      // Letters outside the matches keep their case.
      {"Смета СМЕТА смета", "смета", "X", allIgnore, "X X X"},
      {"Моя Смета.xml", "СМЕТА", "Опись", ignore, "Моя Опись.xml"},
      // Upper-casing that changes the byte length ('ı' and 'ſ' become 'I' and 'S'): the pieces
      // copied are still cut from S at the right places.
      {"xıabcſab", "AB", "-", allIgnore, "xı-cſ-"},
      {"ıı", "I", "i", allIgnore, "ii"},
      {"pſs", "SS", "!", allIgnore, "p!"},
      // Bytes that are no UTF-8 character are kept.
      {"a\xFF" "b\xC3", "B", "c", allIgnore, "a\xFF" "c\xC3"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FastStringReplace(c.s, c.oldPattern, c.newPattern, c.flags), c.expected)
        << c.s << " / " << c.oldPattern << " / " << c.newPattern;
}

// --- small string operations -------------------------------------------------------------------

TEST(StringUtils, CharactersAtTheEnds) {
  EXPECT_EQ(TStringUtils::AddLastChar("", '/'), "");
  EXPECT_EQ(TStringUtils::AddLastChar("/data", '/'), "/data/");
  EXPECT_EQ(TStringUtils::AddLastChar("/data/", '/'), "/data/");
  EXPECT_EQ(TStringUtils::AddLastChar("дом", U'ё'), "домё");
  EXPECT_EQ(TStringUtils::DropLastChar("/data/", '/'), "/data");
  EXPECT_EQ(TStringUtils::DropLastChar("/data", '/'), "/data");
  EXPECT_EQ(TStringUtils::DropLastChar("", '/'), "");
  EXPECT_EQ(TStringUtils::DropLastChar("домё", U'ё'), "дом");
  EXPECT_EQ(TStringUtils::DropLastChar("дом\xD1", U'ё'), "дом\xD1");  // half of 'ё' is not 'ё'
  EXPECT_EQ(TStringUtils::DropFirstChar("/dav", '/'), "dav");
  EXPECT_EQ(TStringUtils::DropFirstChar("ёж", U'ё'), "ж");
  EXPECT_EQ(TStringUtils::DropFirstChar("dav", '/'), "dav");
  EXPECT_EQ(TStringUtils::DropFirstStr("nbBase", "nb"), "Base");
  EXPECT_EQ(TStringUtils::DropFirstStr("NBBase", "nb"), "NBBase");
  EXPECT_EQ(TStringUtils::DropFirstStr("nb", "nb"), "");
  EXPECT_EQ(TStringUtils::DropFirstStr("nbBase", ""), "nbBase");
  EXPECT_EQ(TStringUtils::AddFirstStr("host", "http://"), "http://host");
  EXPECT_EQ(TStringUtils::AddFirstStr("http://host", "http://"), "http://host");
  EXPECT_EQ(TStringUtils::AddFirstStr("HTTP://host", "http://"), "http://HTTP://host");
  EXPECT_EQ(TStringUtils::AddFirstStr("host", ""), "host");
}

TEST(StringUtils, AddLeadingCharsCountsCharacters) {
  EXPECT_EQ(TStringUtils::AddLeadingChars("7", 3, U'0'), "007");
  EXPECT_EQ(TStringUtils::AddLeadingChars("1234", 3, U'0'), "1234");
  EXPECT_EQ(TStringUtils::AddLeadingChars("ж", 3, U'0'), "00ж");
  EXPECT_EQ(TStringUtils::AddLeadingChars("7", 3, U'ё'), "ёё7");
  EXPECT_EQ(TStringUtils::AddLeadingChars("", 2, U' '), "  ");
  // Single-byte strings count bytes.
  EXPECT_EQ(TStringUtils::AddLeadingChars("\xE6", 3, '0'), "00\xE6");
  EXPECT_EQ(TStringUtils::AddLeadingChars("1234", 3, '0'), "1234");
}

TEST(StringUtils, CharIsNumeric) {
  for (char32_t c : {U'0', U'5', U'9'}) EXPECT_TRUE(TStringUtils::CharIsNumeric(c, false));
  for (char32_t c : {U'a', U'/', U':', U'\u0663' /* Arabic-Indic three */, U'\uFF11' /* full-width one */})
    EXPECT_FALSE(TStringUtils::CharIsNumeric(c, true)) << static_cast<int>(c);
  EXPECT_FALSE(TStringUtils::CharIsNumeric(U'-', false));
  EXPECT_TRUE(TStringUtils::CharIsNumeric(U'-', true));
  EXPECT_FALSE(TStringUtils::CharIsNumeric(u'\u0663', true));
  EXPECT_TRUE(TStringUtils::CharIsNumeric(u'8', false));
  EXPECT_TRUE(TStringUtils::CharIsNumeric('3', false));
  EXPECT_TRUE(TStringUtils::CharIsNumeric('-', true));
  EXPECT_FALSE(TStringUtils::CharIsNumeric('\xB3', true));
}

TEST(StringUtils, OemAndAnsiSingleByteText) {
  const std::string ansi = "\xCA\xE2\xE5\xEB\xEE";  // "Квело" in 1251
  const std::string oem = "\x8A\xA2\xA5\xAB\xAE";   // the same in 866
  EXPECT_EQ(TStringUtils::OemToCharA(oem), ansi);
  EXPECT_EQ(TStringUtils::CharToOemA(ansi), oem);
  EXPECT_EQ(TStringUtils::CharToOemA("a\x88z").size(), 3u);  // no euro sign in 866: same length
}

TEST(StringUtils, IsEmptyString) {
  EXPECT_TRUE(IsEmptyString("", false));
  EXPECT_TRUE(IsEmptyString("", true));
  EXPECT_FALSE(IsEmptyString(" \t", false));
  EXPECT_TRUE(IsEmptyString(" \t\r\n", true));
  EXPECT_FALSE(IsEmptyString(" x ", true));
}

TEST(StringUtils, IndexOfStringAndPosText) {
  EXPECT_EQ(IndexOfString("HTTP", {"https", "http"}, false), 1);
  EXPECT_EQ(IndexOfString("HTTP", {"https", "http"}, true), -1);
  EXPECT_EQ(IndexOfString("ПАПКА", {"файл", "папка"}, false), 1);
  EXPECT_EQ(IndexOfString("ftp", {}, false), -1);
  const std::vector<std::string> schemes{"http", "https"};
  EXPECT_EQ(IndexOfString("https", schemes, true), 1);

  struct Case {
    const char* sub;
    const char* s;
    int expected;
  };
  const Case cases[] = {
      {"nb", "NB_Moscow", 1}, {"NB", "baseNb", 5}, {"nb", "base", 0},   {"", "nb", 0},
      {"ёж", "ЁЖИК", 1},      {"ик", "ЁЖИК", 3},   {"nb", "😀nb", 3},  // positions count UTF-16 code units
      {"b", "ıb", 2},  // 'ı' upper-cases to a shorter 'I': the position is still that in S
  };
  for (const auto& c : cases) EXPECT_EQ(PosText(c.sub, c.s), c.expected) << c.sub << " in " << c.s;
}

TEST(StringAppender, GrowsByDoublingAndTakesWholeCharactersOnly) {
  std::string target = "ab";
  TStringAppender appender(target);
  EXPECT_EQ(appender.Written(), 2);
  appender.Reserve(3);
  EXPECT_EQ(target.size(), 10u);  // at least 10
  appender.Append("cdefghijk");
  EXPECT_EQ(target.size(), 20u);  // twice the old capacity
  appender.Append("ёлка", -3, 4);  // Index <= 0 counts as 1: "ёл"
  appender.Append("ёлка", 5, 100);  // cut at the end: "ка"
  appender.Append("ёлка", 9, 1);    // beyond the end: nothing
  appender.Append("x", 1, 0);
  appender.DropLast(2);
  appender.Finish();
  EXPECT_EQ(target, "abcdefghijkёлк");

  for (auto append : {+[](TStringAppender& a) { a.Append("ё", 1, 1); }, +[](TStringAppender& a) { a.Append("ё", 2, 1); },
                      +[](TStringAppender& a) { a.Append("\xD1", 1); }, +[](TStringAppender& a) { a.Append("\x91", 1); }}) {
    std::string text;
    TStringAppender a(text);
    try {
      append(a);
      FAIL() << "half a character was appended";
    } catch (const Exception& e) {
      EXPECT_EQ(e.ClassName(), "Exception");
      EXPECT_EQ(e.Message(), "Добавить можно только кратное 1 число байт");
    }
  }
}

// --- system operations -------------------------------------------------------------------------

TEST(NewGUIDString, RandomVersion4InRegistryFormOrBare) {
  const std::regex braced("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  const std::regex bare("[0-9A-F]{12}4[0-9A-F]{3}[89AB][0-9A-F]{15}");
  std::vector<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    std::string withBraces = NewGUIDString(true);
    EXPECT_TRUE(std::regex_match(withBraces, braced)) << withBraces;
    std::string without = NewGUIDString(false);
    EXPECT_TRUE(std::regex_match(without, bare)) << without;
    seen.push_back(without);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
}

TEST(NewGUIDString, AFailingGeneratorRaisesWithTheSystemText) {
  ScopedSysCall failing(&SysCalls::getrandom, +[](void*, size_t, unsigned int) -> ssize_t {
    errno = ENOSYS;
    return -1;
  });
  try {
    NewGUIDString(false);
    FAIL() << "no error";
  } catch (const EAPICallError& e) {
    EXPECT_EQ(e.Message(), platform::SystemErrorText(ENOSYS));
  }
}

TEST(SystemOperations, TempDirectoryEndsWithASeparator) {
  const char* saved = std::getenv("TMPDIR");
  const std::string keep = saved ? saved : "";
  setenv("TMPDIR", "/var/tmp", 1);
  std::string path;
  GetTempDirectory(path);
  EXPECT_EQ(path, "/var/tmp/");
  setenv("TMPDIR", "/var/tmp/", 1);
  EXPECT_EQ(GetTempDirectory(), "/var/tmp/");
  if (saved) setenv("TMPDIR", keep.c_str(), 1); else unsetenv("TMPDIR");
}

TEST(SystemOperations, CheckOSResultRaisesTheLastError) {
  EXPECT_NO_THROW(CheckOSResult(true));
  errno = EACCES;
  try {
    CheckOSResult(false);
    FAIL() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), EACCES);
    EXPECT_EQ(e.Message(), platform::SystemErrorText(EACCES));
  }
}

TEST(GetFileList, ListsMatchingFilesOfAFolderTree) {
  TTempDir dir;
  dir.WriteFile("a.xml", "");
  dir.WriteFile("b.txt", "");
  dir.WriteFile("sub/c.xml", "");
  dir.WriteFile("sub/deeper/d.XML", "");
  dir.MakeDir("sub/empty.xml");  // a folder, not a file
  const std::string root = dir.Path() + "/";

  auto sorted = [](const TStringList& list) {
    std::vector<std::string> lines = list.ToStringArray();
    std::sort(lines.begin(), lines.end());
    return lines;
  };
  EXPECT_EQ(sorted(GetFileList(dir.Path(), "*.xml", false)), std::vector<std::string>{root + "a.xml"});
  EXPECT_EQ(sorted(GetFileList(root, "*.xml", true)),
            (std::vector<std::string>{root + "a.xml", root + "sub/c.xml", root + "sub/deeper/d.XML"}));
  EXPECT_EQ(GetFileList(root, "*.*", true).Count(), 4u);
  EXPECT_EQ(GetFileList(dir.File("missing"), "*.*", true).Count(), 0u);
  EXPECT_EQ(GetFileList("", "*.*", false).Count(), 0u);
}

TEST(GetFileList, AnErrorInsideTheTreeGivesAnEmptyList) {
  TTempDir dir;
  dir.WriteFile("a.xml", "");
  dir.WriteFile("sub/c.xml", "");
  static std::string failing;
  failing = dir.File("sub/");
  ScopedSysCall listing(&SysCalls::opendir, +[](const char* path) -> DIR* {
    if (failing == path) {
      errno = EACCES;
      return nullptr;
    }
    return ::opendir(path);
  });
  EXPECT_EQ(GetFileList(dir.Path(), "*.xml", true).Count(), 0u);
  EXPECT_EQ(GetFileList(dir.Path(), "*.xml", false).Count(), 1u);
}

TEST(Win1251Encoding, OneSharedObjectForEveryCaller) {
  const TCodePageEncoding* fromThreads[2] = {};
  std::thread first([&] { fromThreads[0] = &Win1251Encoding(); });
  std::thread second([&] { fromThreads[1] = &Win1251Encoding(); });
  first.join();
  second.join();
  EXPECT_EQ(fromThreads[0], fromThreads[1]);
  const TCodePageEncoding& encoding = Win1251Encoding();
  EXPECT_EQ(&encoding, fromThreads[0]);
  EXPECT_EQ(encoding.CodePage(), 1251);
  EXPECT_EQ(encoding.GetString("\xCA\xE2\xE5\xEB\xEE"), "Квело");
  EXPECT_EQ(encoding.GetBytes("Квело"), "\xCA\xE2\xE5\xEB\xEE");
}

// --- TNullable, TEnum --------------------------------------------------------------------------

TEST(Nullable, ValueOrNothing) {
  TNullable<int> fresh;
  EXPECT_TRUE(fresh.IsNull());
  EXPECT_FALSE(fresh.HasValue());
  EXPECT_EQ(fresh.ValueOrDefault(), 0);
  EXPECT_EQ(fresh.ValueOrDefault(7), 7);

  TNullable<int> five = 5;
  EXPECT_TRUE(five.HasValue());
  EXPECT_EQ(five.ValueOrDefault(7), 5);
  five = nullptr;
  EXPECT_TRUE(five.IsNull());
  five.Init(0);
  EXPECT_TRUE(five.HasValue());
  EXPECT_TRUE(TNullable<int>::Null().IsNull());

  TNullable<std::string> text = "abc";
  EXPECT_EQ(text.ValueOrDefault(), "abc");
}

TEST(Nullable, EqualityWithAValueEitherWay) {
  const TNullable<int> null;
  const TNullable<int> zero = 0;
  EXPECT_FALSE(null == 0);  // not even to the default value
  EXPECT_FALSE(0 == null);
  EXPECT_TRUE(null != 0);
  EXPECT_TRUE(0 != null);
  EXPECT_TRUE(zero == 0);
  EXPECT_TRUE(0 == zero);
  EXPECT_FALSE(zero != 0);
  EXPECT_TRUE(zero != 1);
  EXPECT_TRUE(TNullable<std::string>(std::string("a")) == "a");
}

namespace {
enum class TDocKind { dkEstimate, dkAct, dkResources };
enum TLevel { lvLow = 1, lvMiddle, lvHigh };
enum class TNoInfo { niA, niB };
}  // namespace
KV_ENUM_INFO(TDocKind, dkEstimate, dkAct, dkResources);
KV_ENUM_INFO(TLevel, lvLow, lvMiddle, lvHigh);

TEST(Enum, FromIntegerGivesNullOutsideTheDeclaredRange) {
  EXPECT_TRUE(TEnum::FromInteger<TDocKind>(2) == TDocKind::dkResources);
  EXPECT_TRUE(TEnum::FromInteger<TDocKind>(0) == TDocKind::dkEstimate);
  EXPECT_TRUE(TEnum::FromInteger<TDocKind>(3).IsNull());
  EXPECT_TRUE(TEnum::FromInteger<TDocKind>(-1).IsNull());
  EXPECT_TRUE(TEnum::FromInteger<TLevel>(1) == lvLow);
  EXPECT_TRUE(TEnum::FromInteger<TLevel>(3) == lvHigh);
  EXPECT_TRUE(TEnum::FromInteger<TLevel>(0).IsNull());
  EXPECT_TRUE(TEnum::FromInteger<TLevel>(4) != lvHigh);
}

TEST(Enum, TypesWithoutDeclarationOrNotEnumerationsAreProgrammingErrors) {
  struct Case {
    std::function<void()> call;
    const char* text;
  };
  const Case cases[] = {
      {[] { TEnum::FromInteger<TNoInfo>(0); }, "Тип переданный в TEnum.FromInteger не имеет RTTI"},
      {[] { TEnum::FromInteger<int>(0); }, "Тип int не является перечислением (TEnum.FromInteger)."},
      {[] { TEnum::FromInteger<TReplaceFlags>(0); },
       "Тип TReplaceFlags не является перечислением (TEnum.FromInteger)."},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      FAIL() << "no assertion for " << c.text;
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Text(), c.text);
      EXPECT_EQ(e.UnitPath(), "lib/Common/Common.SysUtils");
    }
  }
}

TEST(Enum, NamesBothWays) {
  EXPECT_EQ(TEnumInfo<TDocKind>::TypeName, "TDocKind");
  EXPECT_EQ(GetEnumName(TDocKind::dkAct), "dkAct");
  EXPECT_EQ(GetEnumName(lvHigh), "lvHigh");
  EXPECT_EQ(GetEnumName(static_cast<TDocKind>(5)), "");
  TLevel level = lvLow;
  EXPECT_TRUE(TryGetEnumValue("LVMIDDLE", level));
  EXPECT_EQ(level, lvMiddle);
  EXPECT_FALSE(TryGetEnumValue("lvNone", level));
  EXPECT_EQ(level, lvMiddle);
  static_assert(!HasEnumInfo<TNoInfo> && HasEnumInfo<TLevel>);
}

// --- special folders -----------------------------------------------------------------------------

TEST(SpecialFolder, IsThePlatformFolderWithoutTrailingSeparator) {
  TTempDir dir;
  TScopedEnv data("XDG_DATA_HOME", dir.Path() + "/data/");
  EXPECT_EQ(GetSpecialFolder(platform::CSIDL_APPDATA), dir.Path() + "/data");
  TScopedEnv root("ORVEL_COMMON_APPDATA", "/");
  EXPECT_EQ(GetSpecialFolder(platform::CSIDL_COMMON_APPDATA), "");  // joins as "" + "/" + name
  EXPECT_THROW(GetSpecialFolder(12345), EOSError);
}

// --- file versions -------------------------------------------------------------------------------

TEST(DigitalFileVersion, TextAndPackedForms) {
  const TDigitalFileVersionInfo version{7, 2, 513, 99};
  EXPECT_EQ(version.VerAsString(), "7.2.513.99");
  EXPECT_EQ(version.ShortVerAsString(), "7.2.513");
  EXPECT_EQ(version.AsCardinal(), 0x07020201u);  // Build dropped
  EXPECT_EQ((TDigitalFileVersionInfo{0x1FF, 0x102, 70000, 1}).AsCardinal(), 0xFF021170u);  // cut to 8, 8, 16 bits
  EXPECT_EQ(TDigitalFileVersionInfo{}.VerAsString(), "0.0.0.0");
}

TEST(DigitalFileVersion, CompareAndTheOperatorsAgree) {
  using V = TDigitalFileVersionInfo;
  struct Case {
    V a, b;
    int sign;
  };
  const Case cases[] = {
      {{7, 0, 1, 5}, {7, 0, 2, 0}, -1},  // Release decides before Build
      {{7, 2, 0, 15}, {7, 2, 0, 15}, 0},
      {{7, 0, 0, 0}, {6, 9, 9, 9}, 1},
      {{7, 1, 0, 0}, {7, 0, 5, 5}, 1},
      {{7, 2, 0, 14}, {7, 2, 0, 15}, -1},
      {{0x7FFFFFFF, 0, 0, 0}, {-1, 0, 0, 0}, 1},  // would wrap to negative as a 32-bit difference
      {{-2, 0, 0, 0}, {0x7FFFFFFF, 0, 0, 0}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a.VerAsString() + " vs " + c.b.VerAsString());
    const int compare = V::Compare(c.a, c.b);
    EXPECT_EQ((compare > 0) - (compare < 0), c.sign);
    EXPECT_EQ(c.a < c.b, c.sign < 0);
    EXPECT_EQ(c.a <= c.b, c.sign <= 0);
    EXPECT_EQ(c.a > c.b, c.sign > 0);
    EXPECT_EQ(c.a >= c.b, c.sign >= 0);
    EXPECT_EQ(c.a == c.b, c.sign == 0);
  }
  EXPECT_EQ(V::Compare({7, 0, 1, 5}, {7, 0, 4, 0}), -3);  // the difference of the first differing field
}

namespace {
std::string WriteExe(const TTempDir& dir, const std::string& name, std::vector<TPeStringTable> tables,
                     std::vector<std::string> translations = {}, bool withTranslation = true) {
  TPeImageOptions options;
  options.FileVersion = {7, 2, 0, 15};
  options.ProductVersion = {7, 2, 0, 15};
  options.StringTables = std::move(tables);
  options.Translations = std::move(translations);
  options.WithTranslation = withTranslation;
  return dir.WriteFile(name, BuildPeImage(options).Bytes);
}

// Sets the file's last-write time (seconds since the Unix epoch).
void SetModifiedTime(const std::string& file, std::int64_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}
}  // namespace

TEST(FileVersionInfo, ReadsTheStringTableOfTheFirstTranslation) {
  TTempDir dir;
  const std::string exe = WriteExe(dir, "OKvelo.exe",
                                   {{"041904E3",
                                     {{"CompanyName", "Орвел"},
                                      {"FileDescription", "Орвел Квело Клиент"},
                                      {"LegalCopyright", "(c) Орвел"},
                                      {"ProductVersion", "7.2"},
                                      {"Comments", ""}}}});
  SetModifiedTime(exe, 1700000001);  // an odd second: the packed date keeps pairs of seconds
  TFileVersionInfo info;
  info.CRC = 5;
  ASSERT_TRUE(info.ReadFromFile(exe));
  EXPECT_EQ(info.LanguageInfo, "041904E3");
  EXPECT_EQ(info.CompanyName, "Орвел");
  EXPECT_EQ(info.FileDescription, "Орвел Квело Клиент");
  EXPECT_EQ(info.LegalCopyRight, "(c) Орвел");
  EXPECT_EQ(info.ProductVersion, "7.2");
  EXPECT_EQ(info.Comments, "");  // present, empty
  for (const std::string* missing : {&info.InternalName, &info.LegalTradeMark, &info.OriginalFileName, &info.ProductName})
    EXPECT_EQ(*missing, "n/a");
  EXPECT_EQ(info.FileVersion, "7.2.0.15");
  EXPECT_EQ(info.DigitalFileVersion, (TDigitalFileVersionInfo{7, 2, 0, 15}));
  EXPECT_EQ(info.FileSize, static_cast<std::int32_t>(ReadWholeFile(exe).size()));
  EXPECT_EQ(info.ModifiedDate, platform::UnixTimeToLocalDateTime(1700000000));
  EXPECT_EQ(info.CRC, 0);

  TDigitalFileVersionInfo digital{1, 1, 1, 1};
  digital.ReadFromFile(exe);
  EXPECT_EQ(digital, (TDigitalFileVersionInfo{7, 2, 0, 15}));
}

TEST(FileVersionInfo, FallsBackToTheNeutralTable) {
  TTempDir dir;
  struct Case {
    const char* name;
    std::string exe;
    const char* languageInfo;
  };
  const Case cases[] = {
      // The translation names a Russian table that is not there.
      {"translation without its table",
       WriteExe(dir, "a.exe", {{"040904E4", {{"ProductName", "Квело"}}}}, {"041904E3"}), "041904E3"},
      {"no translation", WriteExe(dir, "b.exe", {{"040904E4", {{"ProductName", "Квело"}}}}, {}, false), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFileVersionInfo info;
    ASSERT_TRUE(info.ReadFromFile(c.exe));
    EXPECT_EQ(info.LanguageInfo, c.languageInfo);
    EXPECT_EQ(info.ProductName, "Квело");
    EXPECT_EQ(info.CompanyName, "n/a");
  }
}

TEST(FileVersionInfo, FileWithoutVersionResourceLeavesEverythingEmpty) {
  TTempDir dir;
  TPeImageOptions options;
  options.WithResources = false;
  const std::string bare = dir.WriteFile("bare.exe", BuildPeImage(options).Bytes);
  for (const std::string& file : {bare, dir.File("missing.exe"), dir.WriteFile("text.exe", "not an image")}) {
    SCOPED_TRACE(file);
    TFileVersionInfo info;
    info.CompanyName = "stale";
    info.FileSize = 7;
    info.ModifiedDate = 1;
    EXPECT_FALSE(info.ReadFromFile(file));
    EXPECT_EQ(info.CompanyName, "");
    EXPECT_EQ(info.FileVersion, "");
    EXPECT_EQ(info.LanguageInfo, "");
    EXPECT_EQ(info.FileSize, 0);
    EXPECT_EQ(info.ModifiedDate, 0);
    EXPECT_EQ(info.DigitalFileVersion, TDigitalFileVersionInfo{});
    TDigitalFileVersionInfo digital{1, 2, 3, 4};
    digital.ReadFromFile(file);
    EXPECT_EQ(digital, TDigitalFileVersionInfo{});
  }
}
