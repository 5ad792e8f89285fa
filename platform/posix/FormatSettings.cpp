#include "platform/FormatSettings.h"

#include <langinfo.h>
#include <locale.h>

namespace platform {
TFormatSettings FormatSettingsFromLocale() {
  TFormatSettings settings;
  // The environment's locale, without touching the process-wide one.
  locale_t locale = newlocale(LC_NUMERIC_MASK | LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) locale = newlocale(LC_NUMERIC_MASK | LC_TIME_MASK, "C", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return settings;

  const char* decimal = nl_langinfo_l(RADIXCHAR, locale);
  if (decimal && decimal[0] && !decimal[1]) settings.DecimalSeparator = decimal[0];
  const char* thousands = nl_langinfo_l(THOUSEP, locale);
  settings.ThousandSeparator = (thousands && thousands[0] && !thousands[1]) ? thousands[0] : ' ';

  char dateSeparator = settings.DateSeparator;
  if (const char* dateFormat = nl_langinfo_l(D_FMT, locale); dateFormat && *dateFormat)
    settings.ShortDateFormat = DateTimeFormatFromStrftime(dateFormat, dateSeparator);
  settings.DateSeparator = dateSeparator;

  char timeSeparator = settings.TimeSeparator;
  if (const char* timeFormat = nl_langinfo_l(T_FMT, locale); timeFormat && *timeFormat)
    settings.LongTimeFormat = DateTimeFormatFromStrftime(timeFormat, timeSeparator);
  settings.TimeSeparator = timeSeparator;
  settings.ShortTimeFormat = "hh:nn";

  if (const char* am = nl_langinfo_l(AM_STR, locale); am && *am) settings.TimeAMString = am;
  if (const char* pm = nl_langinfo_l(PM_STR, locale); pm && *pm) settings.TimePMString = pm;
  freelocale(locale);
  return settings;
}
}  // namespace platform
