#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "Runtime.Strings.h"
#include "platform/CodePages.h"
#include "platform/posix/SysCalls.h"
#include "support/TempDir.h"

using namespace platform;

namespace {
const char* const kSettings =
    "; the package's settings\r\n"
    "orphan=before any section\r\n"
    "[links]\r\n"
    "showdialog=1\r\n"
    "  a = Docs\\Manual.pdf  \r\n"
    "b=\"  quoted  \"\r\n"
    "c='single'\r\n"
    "d=\"unbalanced\r\n"
    "e=value ; not a comment\r\n"
    "A=second a\r\n"
    "no value here\r\n"
    "=no name\r\n"
    "[connections]\n"
    "showdialog=0\n"
    "d=\n"
    "[LINKS]\n"
    "f=merged\n"
    "[broken\n"
    "g=after a broken header\n"
    "[Раздел]\n"
    "Ключ=Значение\n";
}  // namespace

TEST(PrivateProfile, ReadsEveryEncodingWithNamesIgnoringCase) {
  TTempDir dir;
  const std::pair<const char*, std::string> files[] = {
      {"Windows-1251", Utf8ToAnsi(kSettings)},
      {"UTF-16LE", "\xFF\xFE" + ConvertCodePage(kSettings, kUtf8CodePage, kUtf16LECodePage)},
      {"UTF-8 with mark", std::string("\xEF\xBB\xBF") + kSettings},
      {"UTF-8 without mark, as written on Linux", kSettings},
  };
  for (const auto& [encoding, bytes] : files) {
    SCOPED_TRACE(encoding);
    TIniFileReader ini(dir.WriteFile("settings.ini", bytes));
    EXPECT_EQ(ini.ReadString("раздел", "КЛЮЧ", ""), "Значение");
    EXPECT_EQ(ini.ReadString("LINKS", "A", ""), "Docs\\Manual.pdf");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"links", "connections", "Раздел"}));
  }
}

TEST(PrivateProfile, FollowsTheSystemsLineAndValueRules) {
  TTempDir dir;
  TIniFileReader ini(dir.WriteFile("settings.ini", kSettings));
  EXPECT_EQ(ini.ReadSection("Links"), (std::vector<std::string>{"showdialog", "a", "b", "c", "d", "e", "f", "g"}));
  EXPECT_EQ(ini.ReadString("links", "a", ""), "Docs\\Manual.pdf");  // trimmed; the first "a" wins
  EXPECT_EQ(ini.ReadString("links", "b", ""), "  quoted  ");
  EXPECT_EQ(ini.ReadString("links", "c", ""), "single");
  EXPECT_EQ(ini.ReadString("links", "d", ""), "\"unbalanced");
  EXPECT_EQ(ini.ReadString("links", "e", ""), "value ; not a comment");
  EXPECT_EQ(ini.ReadString("links", "g", ""), "after a broken header");
  EXPECT_EQ(ini.ReadString("connections", "d", "default"), "");  // present and empty
  EXPECT_TRUE(ini.ValueExists("connections", "D"));
  EXPECT_EQ(ini.ReadString("connections", "missing", "default  "), "default");
  EXPECT_EQ(ini.ReadString("", "orphan", "none"), "none");
  EXPECT_FALSE(ini.ValueExists("links", "no value here"));
  EXPECT_FALSE(ini.SectionExists("broken"));
  EXPECT_TRUE(ini.ReadSection("missing").empty());
}

TEST(PrivateProfile, ValuesAndDefaultsAreCutTo2047Utf16Characters) {
  TTempDir dir;
  std::string cyrillic;
  for (int i = 0; i < 3000; ++i) cyrillic += "я";
  const std::string pairAtTheCut = std::string(2046, 'a') + "😀b";  // the pair would be units 2047 and 2048
  TIniFileReader ini(dir.WriteFile("long.ini", "\xEF\xBB\xBF[s]\nlong=" + cyrillic + "\npair=" + pairAtTheCut + "\n"));
  EXPECT_EQ(Utf16Length(ini.ReadString("s", "long", "")), 2047u);
  EXPECT_EQ(ini.ReadString("s", "pair", ""), std::string(2046, 'a'));
  EXPECT_EQ(Utf16Length(ini.ReadString("s", "missing", cyrillic)), 2047u);
}

TEST(PrivateProfile, IntegersByTheSystemsRuleAndAsWholeValues) {
  struct Case {
    const char* value;  // nullptr: no such key
    std::int32_t profileInt;
    std::int32_t integer;
    bool boolean;
  };
  const Case cases[] = {
      {"12", 12, 12, true},           {"  -5", -5, -5, true},        {"0x1F", 31, 31, true},
      {"0X1f", 31, 31, true},         {"12abc", 12, 99, true},       {"abc", 0, 99, true},
      {"0abc", 0, 99, true},          {"0", 0, 0, false},            {"", 99, 99, true},
      {"+7", 7, 7, true},             {"0b101", 5, 99, true},        {"4294967297", 1, 99, true},
      {"$10", 0, 16, true},           {"\"0\"", 0, 0, false},        {nullptr, 99, 99, true},
  };
  TTempDir dir;
  std::string text = "[n]\n";
  for (std::size_t i = 0; i < std::size(cases); ++i)
    if (cases[i].value) text += "k" + std::to_string(i) + "=" + cases[i].value + "\n";
  TIniFileReader ini(dir.WriteFile("numbers.ini", text));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    std::string key = "k" + std::to_string(i);
    SCOPED_TRACE(c.value ? c.value : "(missing)");
    EXPECT_EQ(ini.GetPrivateProfileInt("n", key, 99), c.profileInt);
    EXPECT_EQ(ini.ReadInteger("n", key, 99), c.integer);
    EXPECT_EQ(ini.ReadBool("n", key, true), c.boolean);
  }
}

TEST(PrivateProfile, ReadsTheFileOnceAndMissingOrUnreadableFilesAreEmpty) {
  TTempDir dir;
  std::string path = dir.WriteFile("a.ini", "[s]\nk=old\n");
  TIniFileReader ini(path);
  dir.WriteFile("a.ini", "[s]\nk=new\n");
  EXPECT_EQ(ini.ReadString("s", "k", ""), "old");
  EXPECT_EQ(TIniFileReader(path).ReadString("s", "k", ""), "new");

  EXPECT_TRUE(TIniFileReader(dir.File("missing.ini")).ReadSections().empty());
  using posix::ScopedSysCall;
  using posix::SysCalls;
  ScopedSysCall<decltype(SysCalls::open)> denied(&SysCalls::open, [](const char*, int, mode_t) {
    errno = EACCES;
    return -1;
  });
  TIniFileReader unreadable(path);
  EXPECT_EQ(unreadable.ReadString("s", "k", "default"), "default");
}
