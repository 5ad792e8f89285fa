#pragma once
// Date-time values: days since 1899-12-30 as a double, the fraction being the time of day,
// local time. Conversions from the clock or from file times are in the platform layer.

#include <cstdint>
#include <string>
#include <string_view>

#include "Runtime.FormatSettings.h"

using TDateTime = double;

// Days from 1899-12-30 to 1970-01-01.
inline constexpr double UnixDateDelta = 25569.0;
inline constexpr double MSecsPerDay = 86400000.0;

struct TDateParts {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
  int DayOfWeek = 0;  // 1 = Sunday ... 7 = Saturday
};

bool IsLeapYear(int year);
int DaysInAMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& value);
TDateTime EncodeDate(int year, int month, int day);  // EConvertError "Invalid argument to date encode"
TDateTime EncodeTime(int hour, int minute, int second, int msec);  // "Invalid argument to time encode"
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);
TDateParts DecodeDateTime(TDateTime value);
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);

// Seconds since 1970-01-01 of the same wall-clock reading; no time-zone shift.
TDateTime UnixToDateTime(std::int64_t seconds);
std::int64_t DateTimeToUnix(TDateTime value);

// Format letters: d dd ddd dddd ddddd (short date), m mm mmm mmmm, yy yyyy, h hh, n nn, s ss,
// z zzz, t (short time), tt (long time), c (short date + long time, time left out at midnight),
// am/pm, ampm, "/" the date separator, ":" the time separator, '...' and "..." literal text.
// "m" right after an hour is the minute.
std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings);
// Short date, a blank and long time; only the date when the time is exactly midnight.
std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings);
std::string DateToStr(TDateTime value, const TFormatSettings& settings);
std::string TimeToStr(TDateTime value, const TFormatSettings& settings);
