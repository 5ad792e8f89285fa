#include "Runtime.DateTime.h"

#include <cctype>
#include <cmath>

#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"

namespace {
constexpr std::int64_t kDaysTo18991230 = 693594;  // 1899-12-30 as the 1-based day count from 0001-01-01
const char* const kShortMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
const char* const kShortDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// The day number and the time of day in whole milliseconds. For negative values the day counts
// back from 1899-12-30 while the time of day still counts forward.
struct DayAndTime {
  std::int64_t Days;
  std::int64_t Milliseconds;
};
DayAndTime Split(TDateTime value) {
  double days = std::trunc(value);
  DayAndTime r{static_cast<std::int64_t>(days), static_cast<std::int64_t>(std::llround(std::fabs(value - days) * MSecsPerDay))};
  if (r.Milliseconds >= 86400000) {
    r.Milliseconds -= 86400000;
    r.Days += value < 0 ? -1 : 1;
  }
  return r;
}
}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInAMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month)) return false;
  std::int64_t days = day;
  for (int m = 1; m < month; ++m) days += DaysInAMonth(year, m);
  std::int64_t y = year - 1;
  days += y * 365 + y / 4 - y / 100 + y / 400;
  value = static_cast<double>(days - kDaysTo18991230);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& value) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
    return false;
  value = (((hour * 60 + minute) * 60 + second) * 1000.0 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime v;
  if (!TryEncodeDate(year, month, day, v)) throw EConvertError("Invalid argument to date encode");
  return v;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime v;
  if (!TryEncodeTime(hour, minute, second, msec, v)) throw EConvertError("Invalid argument to time encode");
  return v;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  TDateTime date = EncodeDate(year, month, day);
  TDateTime time = EncodeTime(hour, minute, second, msec);
  return date < 0 ? date - time : date + time;
}

TDateParts DecodeDateTime(TDateTime value) {
  TDateParts parts;
  auto [days, timeMs] = Split(value);
  parts.Hour = static_cast<int>(timeMs / 3600000);
  parts.Minute = static_cast<int>(timeMs / 60000 % 60);
  parts.Second = static_cast<int>(timeMs / 1000 % 60);
  parts.MilliSecond = static_cast<int>(timeMs % 1000);

  std::int64_t d = days + kDaysTo18991230 - 1;  // days since 0001-01-01, 0-based
  parts.DayOfWeek = static_cast<int>(((d + 1) % 7 + 7) % 7) + 1;
  if (d < 0) return parts;  // before year 1: no calendar date
  std::int64_t y400 = d / 146097;
  d %= 146097;
  std::int64_t y100 = std::min<std::int64_t>(d / 36524, 3);
  d -= y100 * 36524;
  std::int64_t y4 = d / 1461;
  d %= 1461;
  std::int64_t y1 = std::min<std::int64_t>(d / 365, 3);
  d -= y1 * 365;
  parts.Year = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
  parts.Month = 1;
  while (d >= DaysInAMonth(parts.Year, parts.Month)) d -= DaysInAMonth(parts.Year, parts.Month++);
  parts.Day = static_cast<int>(d) + 1;
  return parts;
}

TDateTime DateOf(TDateTime value) { return std::trunc(value); }
TDateTime TimeOf(TDateTime value) { return std::fabs(value - std::trunc(value)); }

TDateTime UnixToDateTime(std::int64_t seconds) { return static_cast<double>(seconds) / 86400.0 + UnixDateDelta; }

std::int64_t DateTimeToUnix(TDateTime value) {
  return static_cast<std::int64_t>(std::llround((value - UnixDateDelta) * 86400.0));
}

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings) {
  TDateParts p = DecodeDateTime(value);
  std::string out;
  auto two = [](int v) { return Format("%.2d", v); };
  bool lastWasHour = false;
  std::size_t i = 0;
  auto count = [&](char letter) {
    std::size_t n = 0;
    while (i + n < format.size() && std::tolower(static_cast<unsigned char>(format[i + n])) == letter) ++n;
    return n;
  };
  while (i < format.size()) {
    char c = format[i];
    char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == '\'' || c == '"') {
      std::size_t end = format.find(c, i + 1);
      if (end == std::string_view::npos) end = format.size();
      out.append(format.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (c == '/') {
      out += settings.DateSeparator;
      ++i;
      continue;
    }
    if (c == ':') {
      out += settings.TimeSeparator;
      ++i;
      continue;
    }
    if (lower == 'a') {
      std::string rest = LowerCase(format.substr(i, 5));
      bool pm = p.Hour >= 12;
      if (rest == "am/pm") {
        out += pm ? "pm" : "am";
        i += 5;
        continue;
      }
      if (rest.substr(0, 4) == "ampm") {
        out += pm ? settings.TimePMString : settings.TimeAMString;
        i += 4;
        continue;
      }
    }
    std::size_t n = 0;
    bool hour = false;
    switch (lower) {
      case 'y':
        n = count('y');
        out += n <= 2 ? two(p.Year % 100) : Format("%.4d", p.Year);
        break;
      case 'm':
        n = count('m');
        if (lastWasHour && n <= 2) {
          out += n == 1 ? std::to_string(p.Minute) : two(p.Minute);
        } else if (n == 1) {
          out += std::to_string(p.Month);
        } else if (n == 2) {
          out += two(p.Month);
        } else if (n == 3) {
          out += kShortMonthNames[p.Month - 1];
        } else {
          out += kLongMonthNames[p.Month - 1];
        }
        break;
      case 'd':
        n = count('d');
        if (n == 1) out += std::to_string(p.Day);
        else if (n == 2) out += two(p.Day);
        else if (n == 3) out += kShortDayNames[p.DayOfWeek - 1];
        else if (n == 4) out += kLongDayNames[p.DayOfWeek - 1];
        else out += FormatDateTime(settings.ShortDateFormat, value, settings);
        break;
      case 'h':
        n = count('h');
        out += n == 1 ? std::to_string(p.Hour) : two(p.Hour);
        hour = true;
        break;
      case 'n':
        n = count('n');
        out += n == 1 ? std::to_string(p.Minute) : two(p.Minute);
        break;
      case 's':
        n = count('s');
        out += n == 1 ? std::to_string(p.Second) : two(p.Second);
        break;
      case 'z':
        n = count('z');
        out += n >= 3 ? Format("%.3d", p.MilliSecond) : std::to_string(p.MilliSecond);
        break;
      case 't':
        n = count('t');
        out += FormatDateTime(n == 1 ? settings.ShortTimeFormat : settings.LongTimeFormat, value, settings);
        break;
      case 'c':
        n = 1;
        out += DateTimeToStr(value, settings);
        break;
      default:
        n = 1;
        out += c;
    }
    if (lower != ' ') lastWasHour = hour;
    i += n;
  }
  return out;
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings) {
  std::string text = DateToStr(value, settings);
  if (Split(value).Milliseconds != 0) text += ' ' + TimeToStr(value, settings);
  return text;
}

std::string DateToStr(TDateTime value, const TFormatSettings& settings) {
  return FormatDateTime(settings.ShortDateFormat, value, settings);
}

std::string TimeToStr(TDateTime value, const TFormatSettings& settings) {
  return FormatDateTime(settings.LongTimeFormat, value, settings);
}
