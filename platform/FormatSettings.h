#pragma once
// The user's regional formats, read once from the C library locale (LC_NUMERIC, LC_TIME of the
// environment). Tests replace them with SetFormatSettings or ScopedFormatSettings.

#include "Runtime.FormatSettings.h"

namespace platform {
const TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);
// Reads the settings of the environment's locale now.
TFormatSettings FormatSettingsFromLocale();

// Translates a strftime date or time format ("%d.%m.%Y") into format letters ("dd/mm/yyyy"),
// with the separator found in it stored into `separator`.
std::string DateTimeFormatFromStrftime(std::string_view format, char& separator);

class ScopedFormatSettings {
 public:
  explicit ScopedFormatSettings(const TFormatSettings& settings) : FSaved(FormatSettings()) {
    SetFormatSettings(settings);
  }
  ~ScopedFormatSettings() { SetFormatSettings(FSaved); }
  ScopedFormatSettings(const ScopedFormatSettings&) = delete;
  ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

 private:
  TFormatSettings FSaved;
};
}  // namespace platform
