#pragma once
// The user's regional formats for numbers, dates and times. The platform layer fills one from the
// C library locale; code that formats or parses takes the settings it should use.

#include <string>

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  // Date-time format strings with the letters of FormatDateTime ("dd/mm/yyyy", "hh:nn:ss");
  // "/" and ":" in them stand for DateSeparator and TimeSeparator.
  std::string ShortDateFormat = "mm/dd/yyyy";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string ShortTimeFormat = "hh:nn";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";

  // Locale-independent settings: "." as decimal separator, ISO-like date and time.
  static TFormatSettings Invariant();
};
