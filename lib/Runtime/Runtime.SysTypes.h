#pragma once
// Plain value types of the system that binary records carry: the fixed-point currency, GUIDs,
// file times and the 10-byte x87 extended-precision format.

#include <array>
#include <compare>
#include <cstdint>

// A fixed-point number with four decimals, held as the value times 10000.
struct Currency {
  std::int64_t Scaled = 0;

  static constexpr Currency FromScaled(std::int64_t scaled) { return Currency{scaled}; }
  // Rounds to the nearest ten-thousandth, halves to even. EConvertError for NaN and for values
  // outside the 64-bit range.
  static Currency FromDouble(double value);
  double ToDouble() const { return static_cast<double>(Scaled) / 10000.0; }

  friend constexpr auto operator<=>(const Currency&, const Currency&) = default;
};

// A GUID with its fields in memory order: 32-bit, 16-bit, 16-bit, then 8 bytes.
struct TGUID {
  std::uint32_t D1 = 0;
  std::uint16_t D2 = 0;
  std::uint16_t D3 = 0;
  std::array<std::uint8_t, 8> D4{};

  friend constexpr bool operator==(const TGUID&, const TGUID&) = default;
};

// The Windows file time: 100-nanosecond intervals since 1601-01-01, split into two halves.
struct TFileTime {
  std::uint32_t dwLowDateTime = 0;
  std::uint32_t dwHighDateTime = 0;

  friend constexpr bool operator==(const TFileTime&, const TFileTime&) = default;
};

// The x87 80-bit extended format as stored: 64-bit significand with an explicit integer bit
// (bytes 0-7, little-endian), then the sign bit and the 15-bit exponent biased by 16383
// (bytes 8-9). Converted in software, as not every platform has such a type.
using TExtended80 = std::array<std::uint8_t, 10>;

// Exact: every double has an extended value. Denormals are normalised, infinities keep their
// sign, NaNs keep their payload with the integer bit set.
TExtended80 DoubleToExtended(double value);

// Rounds to nearest, ties to even, as the x87 does when it stores a double:
// - values above the largest double (after rounding) become infinities, values below half the
//   smallest denormal become signed zeros, and values in between round into denormals;
// - exponent 0 with the integer bit set (pseudo-denormal) is read as the x87 reads it, with
//   exponent 1;
// - infinities stay infinities; NaNs become quiet NaNs keeping the sign and the top 51 payload
//   bits;
// - encodings the x87 rejects as invalid operands (non-zero exponent with the integer bit clear:
//   unnormals, pseudo-infinities, pseudo-NaNs) become the default quiet NaN with the sign bit set,
//   as the x87's invalid-operation result does.
double ExtendedToDouble(const TExtended80& value);
