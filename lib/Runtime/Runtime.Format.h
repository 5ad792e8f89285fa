#pragma once
// Formatting of the system's "%s" / "%d" message templates.
//
// Supported: %s, %d, %u, %x, %X, %f, %g, %e and %%, with optional "-", width and ".precision"
// (%.2d pads with zeros, %.3f gives decimals). A missing or mistyped argument raises
// EConvertError, as a message template is program text and a wrong one is a programming error.

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace kv::detail {
using FormatArg = std::variant<std::int64_t, std::uint64_t, double, std::string_view>;

std::string FormatImpl(std::string_view format, const std::vector<FormatArg>& args);

template <class T>
FormatArg ToFormatArg(const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    return static_cast<std::int64_t>(value);
  } else if constexpr (std::is_enum_v<T>) {
    return static_cast<std::int64_t>(value);
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    return static_cast<std::int64_t>(value);
  } else if constexpr (std::is_integral_v<T>) {
    return static_cast<std::uint64_t>(value);
  } else if constexpr (std::is_floating_point_v<T>) {
    return static_cast<double>(value);
  } else {
    return std::string_view(value);
  }
}
}  // namespace kv::detail

template <class... Args>
std::string Format(std::string_view format, const Args&... args) {
  return kv::detail::FormatImpl(format, {kv::detail::ToFormatArg(args)...});
}
