#pragma once
// The system clock and local time.

#include <cstdint>

#include "Runtime.DateTime.h"

namespace platform {
// The current local date and time, to the millisecond.
TDateTime Now();
// Seconds since the Unix epoch (UTC) as a local date-time, and back.
TDateTime UnixTimeToLocalDateTime(std::int64_t seconds);
std::int64_t LocalDateTimeToUnixTime(TDateTime value);
}  // namespace platform
