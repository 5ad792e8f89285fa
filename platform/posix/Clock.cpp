#include "platform/Clock.h"

#include <ctime>

namespace platform {
namespace {
TDateTime FromTm(const std::tm& t, int msec) {
  TDateTime value = 0;
  TDateTime time = 0;
  if (!TryEncodeDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, value)) return 0;
  TryEncodeTime(t.tm_hour, t.tm_min, t.tm_sec > 59 ? 59 : t.tm_sec, msec, time);
  return value + time;
}
}  // namespace

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm local{};
  localtime_r(&ts.tv_sec, &local);
  return FromTm(local, static_cast<int>(ts.tv_nsec / 1000000));
}

TDateTime UnixTimeToLocalDateTime(std::int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (!localtime_r(&t, &local)) return 0;
  return FromTm(local, 0);
}

std::int64_t LocalDateTimeToUnixTime(TDateTime value) {
  TDateParts p = DecodeDateTime(value);
  std::tm local{};
  local.tm_year = p.Year - 1900;
  local.tm_mon = p.Month - 1;
  local.tm_mday = p.Day;
  local.tm_hour = p.Hour;
  local.tm_min = p.Minute;
  local.tm_sec = p.Second;
  local.tm_isdst = -1;
  return static_cast<std::int64_t>(mktime(&local));
}
}  // namespace platform
