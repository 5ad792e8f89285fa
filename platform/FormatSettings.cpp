#include "platform/FormatSettings.h"

#include <mutex>

namespace platform {
namespace {
std::mutex& SettingsMutex() {
  static std::mutex m;
  return m;
}
TFormatSettings& Current() {
  static TFormatSettings settings = FormatSettingsFromLocale();
  return settings;
}
}  // namespace

const TFormatSettings& FormatSettings() {
  std::lock_guard lock(SettingsMutex());
  return Current();
}

void SetFormatSettings(const TFormatSettings& settings) {
  std::lock_guard lock(SettingsMutex());
  Current() = settings;
}

std::string DateTimeFormatFromStrftime(std::string_view format, char& separator) {
  // The first punctuation character is the separator; it is written as the placeholder that
  // FormatDateTime replaces by the settings' separator.
  const bool isTime = format.find_first_of("HIMSTRkl") != std::string_view::npos &&
                      format.find_first_of("dmyYDFe") == std::string_view::npos;
  const char placeholder = isTime ? ':' : '/';
  bool separatorFound = false;
  auto useSeparator = [&](char c) {
    if (!separatorFound) {
      separator = c;
      separatorFound = true;
    }
  };
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%' || i + 1 >= format.size()) {
      bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
      if (letter || c == ' ') {
        out += '"';
        out += c;
        out += '"';
      } else {
        useSeparator(c);
        out += c == separator ? placeholder : c;
      }
      continue;
    }
    char f = format[++i];
    while ((f == 'E' || f == 'O' || f == '-' || f == '_' || f == '0') && i + 1 < format.size()) f = format[++i];
    switch (f) {
      case 'd': out += "dd"; break;
      case 'e': out += "d"; break;
      case 'm': out += "mm"; break;
      case 'b': case 'h': out += "mmm"; break;
      case 'B': out += "mmmm"; break;
      case 'y': out += "yy"; break;
      case 'Y': out += "yyyy"; break;
      case 'H': case 'I': out += "hh"; break;
      case 'k': case 'l': out += "h"; break;
      case 'M': out += "nn"; break;
      case 'S': out += "ss"; break;
      case 'p': case 'P': out += "ampm"; break;
      case 'a': out += "ddd"; break;
      case 'A': out += "dddd"; break;
      case 'D': useSeparator('/'); out += "mm/dd/yy"; break;
      case 'F': useSeparator('-'); out += "yyyy/mm/dd"; break;
      case 'T': useSeparator(':'); out += "hh:nn:ss"; break;
      case 'R': useSeparator(':'); out += "hh:nn"; break;
      default: break;
    }
  }
  return out;
}
}  // namespace platform
