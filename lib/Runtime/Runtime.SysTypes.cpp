#include "Runtime.SysTypes.h"

#include <bit>
#include <cmath>

#include "Runtime.Exceptions.h"

namespace {
__extension__ typedef unsigned __int128 UInt128;

constexpr std::uint64_t kDoubleFractionMask = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t kIntegerBit = std::uint64_t{1} << 63;
constexpr int kExtendedBias = 16383;
constexpr int kDoubleBias = 1023;
constexpr std::uint64_t kDoubleSign = std::uint64_t{1} << 63;
constexpr std::uint64_t kDoubleInfinity = std::uint64_t{0x7FF} << 52;
constexpr std::uint64_t kDoubleQuietBit = std::uint64_t{1} << 51;
constexpr std::uint64_t kDefaultNaN = kDoubleSign | kDoubleInfinity | kDoubleQuietBit;

// Rounds `bits >> shift` to nearest, ties to even (shift 1..64).
std::uint64_t ShiftRightRounded(std::uint64_t bits, int shift) {
  std::uint64_t kept = shift >= 64 ? 0 : bits >> shift;
  std::uint64_t rest = shift >= 64 ? bits : bits & ((std::uint64_t{1} << shift) - 1);
  std::uint64_t half = std::uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && (kept & 1))) ++kept;
  return kept;
}
}  // namespace

Currency Currency::FromDouble(double value) {
  if (!std::isfinite(value)) throw EConvertError("Invalid floating point operation");
  auto bits = std::bit_cast<std::uint64_t>(value);
  bool negative = bits & kDoubleSign;
  int exponent = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & kDoubleFractionMask;
  if (exponent != 0) mantissa |= std::uint64_t{1} << 52;
  // value = mantissa * 2^power exactly; the product with 10000 fits 67 bits.
  int power = (exponent == 0 ? 1 : exponent) - kDoubleBias - 52;
  UInt128 product = static_cast<UInt128>(mantissa) * 10000u;
  UInt128 scaled;
  if (product == 0) {
    scaled = 0;
  } else if (power >= 0) {
    scaled = ~UInt128{0};  // the value is at least 2^52, its product above 2^63
  } else if (-power > 68) {
    scaled = 0;  // below half a unit
  } else {
    int shift = -power;
    UInt128 kept = product >> shift;
    UInt128 rest = product & ((UInt128{1} << shift) - 1);
    UInt128 half = UInt128{1} << (shift - 1);
    if (rest > half || (rest == half && (kept & 1))) ++kept;
    scaled = kept;
  }
  UInt128 limit = negative ? (UInt128{1} << 63) : (UInt128{1} << 63) - 1;
  if (scaled > limit) throw EConvertError("Floating point overflow");
  auto magnitude = static_cast<std::uint64_t>(scaled);
  return Currency{negative ? static_cast<std::int64_t>(~magnitude + 1) : static_cast<std::int64_t>(magnitude)};
}

TExtended80 DoubleToExtended(double value) {
  auto bits = std::bit_cast<std::uint64_t>(value);
  std::uint16_t sign = (bits & kDoubleSign) ? 0x8000 : 0;
  int exponent = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t fraction = bits & kDoubleFractionMask;
  std::uint16_t biased = 0;
  std::uint64_t significand = 0;
  if (exponent == 0x7FF) {  // infinity or NaN, payload kept
    biased = 0x7FFF;
    significand = kIntegerBit | (fraction << 11);
  } else if (exponent != 0) {
    biased = static_cast<std::uint16_t>(exponent - kDoubleBias + kExtendedBias);
    significand = kIntegerBit | (fraction << 11);
  } else if (fraction != 0) {  // denormal: normalise, the extended range holds it
    int zeros = std::countl_zero(fraction);
    significand = fraction << zeros;
    biased = static_cast<std::uint16_t>(63 - zeros - 1074 + kExtendedBias);
  }
  TExtended80 result{};
  for (int i = 0; i < 8; ++i) result[i] = static_cast<std::uint8_t>(significand >> (8 * i));
  std::uint16_t top = sign | biased;
  result[8] = static_cast<std::uint8_t>(top);
  result[9] = static_cast<std::uint8_t>(top >> 8);
  return result;
}

double ExtendedToDouble(const TExtended80& value) {
  std::uint64_t significand = 0;
  for (int i = 0; i < 8; ++i) significand |= std::uint64_t{value[i]} << (8 * i);
  auto top = static_cast<std::uint16_t>(value[8] | (value[9] << 8));
  std::uint64_t sign = (top & 0x8000) ? kDoubleSign : 0;
  int biased = top & 0x7FFF;
  bool integerBit = significand & kIntegerBit;

  if (biased == 0x7FFF) {
    if (!integerBit) return std::bit_cast<double>(kDefaultNaN);  // pseudo-infinity or pseudo-NaN
    std::uint64_t fraction = significand & ~kIntegerBit;
    if (fraction == 0) return std::bit_cast<double>(sign | kDoubleInfinity);
    return std::bit_cast<double>(sign | kDoubleInfinity | kDoubleQuietBit | ((fraction >> 11) & kDoubleFractionMask));
  }
  if (biased != 0 && !integerBit) return std::bit_cast<double>(kDefaultNaN);  // unnormal
  if (significand == 0) return std::bit_cast<double>(sign);

  // value = significand / 2^63 * 2^exponent; normalise so that bit 63 is set.
  int exponent = (biased == 0 ? 1 : biased) - kExtendedBias;
  int zeros = std::countl_zero(significand);
  significand <<= zeros;
  exponent -= zeros;

  if (exponent > kDoubleBias) return std::bit_cast<double>(sign | kDoubleInfinity);
  if (exponent >= 1 - kDoubleBias) {
    std::uint64_t mantissa = ShiftRightRounded(significand, 11);  // 53 bits, or 2^53 after a carry
    if (mantissa >> 53) {
      mantissa >>= 1;
      ++exponent;
      if (exponent > kDoubleBias) return std::bit_cast<double>(sign | kDoubleInfinity);
    }
    auto field = static_cast<std::uint64_t>(exponent + kDoubleBias);
    return std::bit_cast<double>(sign | (field << 52) | (mantissa & kDoubleFractionMask));
  }
  // Denormal range: the result counts units of 2^-1074; a carry into 2^52 yields the smallest
  // normal, which the same bit pattern encodes.
  int shift = 63 - (exponent + 1074);
  if (shift > 64) return std::bit_cast<double>(sign);
  return std::bit_cast<double>(sign | ShiftRightRounded(significand, shift));
}
