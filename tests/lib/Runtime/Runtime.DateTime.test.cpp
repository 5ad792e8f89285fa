#include "Runtime.DateTime.h"

#include <gtest/gtest.h>

#include "Runtime.Exceptions.h"

TEST(DateTime, DaysSince18991230) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(1970, 1, 1), UnixDateDelta);
  EXPECT_EQ(EncodeDate(2026, 12, 10), 46366.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 2, 29, 18, 0, 0, 0), 36585.75);
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
}

TEST(DateTime, DecodeRoundTripsAndHandlesValuesBefore1899) {
  TDateParts p = DecodeDateTime(EncodeDateTime(2024, 2, 29, 23, 59, 58, 999));
  EXPECT_EQ(p.Year, 2024);
  EXPECT_EQ(p.Month, 2);
  EXPECT_EQ(p.Day, 29);
  EXPECT_EQ(p.Hour, 23);
  EXPECT_EQ(p.Minute, 59);
  EXPECT_EQ(p.Second, 58);
  EXPECT_EQ(p.MilliSecond, 999);
  EXPECT_EQ(p.DayOfWeek, 5);  // Thursday

  TDateParts before = DecodeDateTime(-1.25);  // 1899-12-29 06:00: the time still counts forward
  EXPECT_EQ(before.Year, 1899);
  EXPECT_EQ(before.Day, 29);
  EXPECT_EQ(before.Hour, 6);
  EXPECT_EQ(UnixToDateTime(86400), UnixDateDelta + 1);
  EXPECT_EQ(DateTimeToUnix(UnixDateDelta + 0.5), 43200);
}

TEST(DateTime, FormatsWithTheSettings) {
  TFormatSettings ru;
  ru.DateSeparator = '.';
  ru.TimeSeparator = ':';
  ru.ShortDateFormat = "dd/mm/yyyy";
  ru.LongTimeFormat = "h:nn:ss";
  TDateTime t = EncodeDateTime(2026, 3, 7, 9, 5, 4, 0);
  EXPECT_EQ(DateTimeToStr(t, ru), "07.03.2026 9:05:04");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 3, 7), ru), "07.03.2026");  // midnight: the date only
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:mm:ss.zzz", t, ru), "2026-03-07 09:05:04.000");
  EXPECT_EQ(FormatDateTime("d/m/yy 'at' t", t, ru), "7.3.26 at 09:05");
  EXPECT_EQ(FormatDateTime("ddd, d mmm yyyy", t, ru), "Sat, 7 Mar 2026");
  EXPECT_EQ(FormatDateTime("h:nn ampm", EncodeTime(15, 0, 0, 0), ru), "15:00 PM");
}
