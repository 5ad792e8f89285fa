// Small platform services: OS error texts, the temporary folder, code pages, locale formats, clock.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/CodePages.h"
#include "platform/FormatSettings.h"
#include "platform/OSError.h"
#include "platform/TempFolder.h"

TEST(OSError, CarriesCodeAndSystemText) {
  EOSError e(ENOENT);
  EXPECT_EQ(e.ErrorCode(), ENOENT);
  EXPECT_EQ(e.Message(), "No such file or directory");
  errno = EACCES;
  try {
    platform::RaiseLastOSError();
    FAIL();
  } catch (const EOSError& err) {
    EXPECT_EQ(err.ErrorCode(), EACCES);
    EXPECT_EQ(err.Message(), "Permission denied");
  }
}

TEST(TempFolder, HonoursTmpdirWithoutTrailingSeparator) {
  const char* saved = std::getenv("TMPDIR");
  std::string keep = saved ? saved : "";
  setenv("TMPDIR", "/var/tmp/", 1);
  EXPECT_EQ(platform::TempFolder(), "/var/tmp");
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(platform::TempFolder(), "/tmp");
  if (saved) setenv("TMPDIR", keep.c_str(), 1); else unsetenv("TMPDIR");
}

TEST(CodePages, Windows1251AndOem866) {
  const std::string ansi = "\xCA\xE2\xE5\xEB\xEE";  // "Квело" in 1251
  EXPECT_EQ(platform::AnsiToUtf8(ansi), "Квело");
  EXPECT_EQ(platform::Utf8ToAnsi("Квело"), ansi);
  const std::string oem = "\x8A\xA2\xA5\xAB\xAE";  // "Квело" in 866
  EXPECT_EQ(platform::OemToAnsi(oem), ansi);
  EXPECT_EQ(platform::AnsiToOem(ansi), oem);
  EXPECT_EQ(platform::Utf8ToAnsi("a\xE2\x82\xAC" "b\xE4\xB8\xAD"), "a\x88" "b?");  // euro exists, CJK does not
  EXPECT_EQ(platform::AnsiToOem("\x88").size(), 1u);  // same length, "?" where 866 has no euro
  EXPECT_EQ(platform::Utf8ToAnsi("\xC3"), "?");  // malformed input
  EXPECT_THROW(platform::ConvertCodePage("x", 12345, 1251), EConvertError);
}

TEST(FormatSettings, StrftimeFormatsBecomeFormatLetters) {
  struct Case {
    const char* strftime;
    const char* letters;
    char separator;
  };
  const Case cases[] = {
      {"%d.%m.%Y", "dd/mm/yyyy", '.'},
      {"%m/%d/%y", "mm/dd/yy", '/'},
      {"%Y-%m-%d", "yyyy/mm/dd", '-'},
      {"%H:%M:%S", "hh:nn:ss", ':'},
      {"%I:%M:%S %p", "hh:nn:ss\" \"ampm", ':'},
      {"%T", "hh:nn:ss", ':'},
  };
  for (const auto& c : cases) {
    char separator = '?';
    EXPECT_EQ(platform::DateTimeFormatFromStrftime(c.strftime, separator), c.letters) << c.strftime;
    EXPECT_EQ(separator, c.separator) << c.strftime;
  }
}

TEST(FormatSettings, CanBeReplacedForATest) {
  TFormatSettings comma;
  comma.DecimalSeparator = ',';
  {
    platform::ScopedFormatSettings scoped(comma);
    EXPECT_EQ(platform::FormatSettings().DecimalSeparator, ',');
  }
  EXPECT_EQ(platform::FormatSettings().DecimalSeparator, platform::FormatSettingsFromLocale().DecimalSeparator);
}

TEST(Clock, LocalTimeRoundTrips) {
  std::int64_t t = 1765400000;  // a December 2025 moment
  EXPECT_EQ(platform::LocalDateTimeToUnixTime(platform::UnixTimeToLocalDateTime(t)), t);
  TDateTime now = platform::Now();
  EXPECT_GT(now, EncodeDate(2020, 1, 1));
}
