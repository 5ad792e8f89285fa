#include "Runtime.SysTypes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "Runtime.Exceptions.h"

namespace {
TExtended80 Ext(std::uint16_t signExponent, std::uint64_t significand) {
  TExtended80 e{};
  for (int i = 0; i < 8; ++i) e[i] = static_cast<std::uint8_t>(significand >> (8 * i));
  e[8] = static_cast<std::uint8_t>(signExponent);
  e[9] = static_cast<std::uint8_t>(signExponent >> 8);
  return e;
}

std::uint64_t Bits(double d) { return std::bit_cast<std::uint64_t>(d); }
}  // namespace

TEST(Extended, DoublesConvertExactlyAndBack) {
  struct Case {
    const char* name;
    std::uint64_t doubleBits;
    std::uint16_t signExponent;
    std::uint64_t significand;
  } cases[] = {
      {"1.0", Bits(1.0), 0x3FFF, 0x8000000000000000},
      {"0.0", Bits(0.0), 0x0000, 0},
      {"-0.0", Bits(-0.0), 0x8000, 0},
      {"-2.5", Bits(-2.5), 0xC000, 0xA000000000000000},
      {"largest double", Bits(std::numeric_limits<double>::max()), 0x43FE, 0xFFFFFFFFFFFFF800},
      {"smallest normal", Bits(std::numeric_limits<double>::min()), 0x3C01, 0x8000000000000000},
      {"smallest denormal", 1, 0x3BCD, 0x8000000000000000},
      {"denormal 3 units", 3, 0x3BCE, 0xC000000000000000},
      {"largest denormal", 0x000FFFFFFFFFFFFF, 0x3C00, 0xFFFFFFFFFFFFF000},
      {"+inf", Bits(INFINITY), 0x7FFF, 0x8000000000000000},
      {"-inf", Bits(-INFINITY), 0xFFFF, 0x8000000000000000},
      {"quiet NaN with payload", 0x7FF8000000000123, 0x7FFF, 0xC000000000091800},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DoubleToExtended(std::bit_cast<double>(c.doubleBits)), Ext(c.signExponent, c.significand));
    EXPECT_EQ(Bits(ExtendedToDouble(Ext(c.signExponent, c.significand))), c.doubleBits);
  }
}

TEST(Extended, RoundsToNearestEvenWithDenormalsAndOverflow) {
  const std::uint64_t kDefaultNaN = 0xFFF8000000000000;
  struct Case {
    const char* name;
    std::uint16_t signExponent;
    std::uint64_t significand;
    std::uint64_t doubleBits;
  } cases[] = {
      {"largest extended", 0x7FFE, 0xFFFFFFFFFFFFFFFF, Bits(INFINITY)},
      {"2^1024", 0x43FF, 0x8000000000000000, Bits(INFINITY)},
      {"-2^1024", 0xC3FF, 0x8000000000000000, Bits(-INFINITY)},
      {"halfway above the largest double", 0x43FE, 0xFFFFFFFFFFFFFC00, Bits(INFINITY)},
      {"just below that halfway", 0x43FE, 0xFFFFFFFFFFFFFBFF, Bits(std::numeric_limits<double>::max())},
      {"smallest normal extended", 0x0001, 0x8000000000000000, Bits(0.0)},
      {"negative tiny", 0x8001, 0x8000000000000000, Bits(-0.0)},
      {"2^-1075 ties to zero", 0x3BCC, 0x8000000000000000, 0},
      {"just above 2^-1075", 0x3BCC, 0x8000000000000001, 1},
      {"1.5 denormal units", 0x3BCD, 0xC000000000000000, 2},
      {"2.5 denormal units", 0x3BCE, 0xA000000000000000, 2},
      {"denormal rounding up into the smallest normal", 0x3C00, 0xFFFFFFFFFFFFF800, 0x0010000000000000},
      {"1 + 2^-53 ties to 1", 0x3FFF, 0x8000000000000400, Bits(1.0)},
      {"1 + 2^-52 + 2^-53 ties up to even", 0x3FFF, 0x8000000000000C00, 0x3FF0000000000002},
      {"1 + 2^-53 + tiny rounds up", 0x3FFF, 0x8000000000000401, 0x3FF0000000000001},
      {"extended denormal", 0x0000, 0x0000000000000001, 0},
      {"pseudo-denormal", 0x0000, 0x8000000000000000, 0},
      {"unnormal", 0x3FFF, 0x4000000000000000, kDefaultNaN},
      {"pseudo-infinity", 0x7FFF, 0x0000000000000000, kDefaultNaN},
      {"signalling NaN is quietened", 0x7FFF, 0x8000000000000800, 0x7FF8000000000001},
      {"negative quiet NaN", 0xFFFF, 0xC000000000000000, 0xFFF8000000000000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Bits(ExtendedToDouble(Ext(c.signExponent, c.significand))), c.doubleBits);
  }
}

TEST(CurrencyValue, FromDoubleRoundsHalfToEvenAndChecksRange) {
  struct Case {
    double value;
    std::int64_t scaled;
  } cases[] = {
      {1.5, 15000},       {-1.5, -15000},       {0.03125, 312},  // 312.5 exactly
      {0.09375, 938},     {-0.03125, -312},     {1e-5, 0},
      {123.4567, 1234567}, {9.2e14, 9200000000000000000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(Currency::FromDouble(c.value).Scaled, c.scaled);
  }
  EXPECT_DOUBLE_EQ(Currency::FromScaled(15000).ToDouble(), 1.5);
  EXPECT_THROW(Currency::FromDouble(1e15), EConvertError);
  EXPECT_THROW(Currency::FromDouble(-1e15), EConvertError);
  EXPECT_THROW(Currency::FromDouble(NAN), EConvertError);
  EXPECT_THROW(Currency::FromDouble(INFINITY), EConvertError);
}
