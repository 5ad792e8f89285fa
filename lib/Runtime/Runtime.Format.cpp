#include "Runtime.Format.h"

#include <cstdio>
#include <cstdint>

#include "Runtime.Exceptions.h"

namespace kv::detail {
namespace {

[[noreturn]] void BadFormat(std::string_view format) {
  throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string Pad(std::string text, int width, bool left) {
  if (width > 0 && static_cast<int>(text.size()) < width) {
    std::string fill(width - text.size(), ' ');
    text = left ? text + fill : fill + text;
  }
  return text;
}

std::string FormatInteger(const FormatArg& arg, char type, int precision, std::string_view format) {
  char buf[64];
  if (std::holds_alternative<std::int64_t>(arg)) {
    long long v = std::get<std::int64_t>(arg);
    if (type == 'd') {
      std::snprintf(buf, sizeof buf, "%.*lld", precision < 0 ? 1 : precision, v);
    } else {
      // Like 32-bit integers in the message templates, negative values that fit show as 32-bit hex.
      unsigned long long u = (v < 0 && v >= INT32_MIN) ? static_cast<std::uint32_t>(v) : static_cast<unsigned long long>(v);
      std::snprintf(buf, sizeof buf, type == 'X' ? "%.*llX" : "%.*llu", precision < 0 ? 1 : precision, u);
    }
  } else if (std::holds_alternative<std::uint64_t>(arg)) {
    unsigned long long v = std::get<std::uint64_t>(arg);
    std::snprintf(buf, sizeof buf, type == 'X' ? "%.*llX" : "%.*llu", precision < 0 ? 1 : precision, v);
  } else {
    BadFormat(format);
  }
  return buf;
}

std::string FormatFloat(const FormatArg& arg, char type, int precision, std::string_view format) {
  double v;
  if (std::holds_alternative<double>(arg)) {
    v = std::get<double>(arg);
  } else if (std::holds_alternative<std::int64_t>(arg)) {
    v = static_cast<double>(std::get<std::int64_t>(arg));
  } else {
    BadFormat(format);
  }
  char pattern[8] = {'%', '.', '*', type, 0};
  char buf[512];
  std::snprintf(buf, sizeof buf, pattern, precision < 0 ? 6 : precision, v);
  return buf;
}

}  // namespace

std::string FormatImpl(std::string_view format, const std::vector<FormatArg>& args) {
  std::string out;
  out.reserve(format.size() + 16 * args.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i >= format.size()) BadFormat(format);
    if (format[i] == '%') {
      out += '%';
      continue;
    }
    bool left = false;
    int width = -1;
    int precision = -1;
    if (format[i] == '-') {
      left = true;
      ++i;
    }
    auto readNumber = [&](int& target) {
      if (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        target = 0;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') target = target * 10 + (format[i++] - '0');
      }
    };
    readNumber(width);
    if (i < format.size() && format[i] == '.') {
      ++i;
      precision = 0;
      readNumber(precision);
    }
    if (i >= format.size() || next >= args.size()) BadFormat(format);
    const FormatArg& arg = args[next++];
    char type = format[i];
    std::string piece;
    switch (type) {
      case 's':
      case 'S':
        if (!std::holds_alternative<std::string_view>(arg)) BadFormat(format);
        piece = std::string(std::get<std::string_view>(arg));
        if (precision >= 0 && static_cast<int>(piece.size()) > precision) piece.resize(precision);
        break;
      case 'd':
      case 'D':
        piece = FormatInteger(arg, 'd', precision, format);
        break;
      case 'u':
      case 'U':
        piece = FormatInteger(arg, 'u', precision, format);
        break;
      case 'x':
      case 'X':  // hexadecimal digits are upper-case either way
        piece = FormatInteger(arg, 'X', precision, format);
        break;
      case 'f':
      case 'F':
        piece = FormatFloat(arg, 'f', precision < 0 ? 2 : precision, format);
        break;
      case 'g':
      case 'G':
        piece = FormatFloat(arg, 'g', precision < 0 ? 15 : precision, format);
        break;
      case 'e':
      case 'E':
        piece = FormatFloat(arg, 'E', precision < 0 ? 15 : precision - 1, format);
        break;
      default:
        BadFormat(format);
    }
    out += Pad(std::move(piece), width, left);
  }
  return out;
}

}  // namespace kv::detail
