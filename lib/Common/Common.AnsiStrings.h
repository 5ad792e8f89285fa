#pragma once
// Tests of characters against sets of single-byte (Windows-1251) codes.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>

// A set of single-byte codes, as the encoders of the system write their character classes.
class TAnsiCharSet {
 public:
  constexpr TAnsiCharSet() = default;
  constexpr TAnsiCharSet(std::initializer_list<unsigned char> Codes) {
    for (unsigned char c : Codes) Set(c);
  }
  // Every code from First to Last, both included.
  static constexpr TAnsiCharSet Range(unsigned char First, unsigned char Last) {
    TAnsiCharSet set;
    for (unsigned c = First; c <= Last; ++c) set.Set(static_cast<unsigned char>(c));
    return set;
  }
  constexpr TAnsiCharSet operator+(const TAnsiCharSet& Other) const {
    TAnsiCharSet set = *this;
    for (std::size_t i = 0; i < set.FBits.size(); ++i) set.FBits[i] |= Other.FBits[i];
    return set;
  }
  constexpr bool Contains(unsigned char Code) const { return (FBits[Code >> 6] >> (Code & 63) & 1) != 0; }

 private:
  constexpr void Set(unsigned char Code) { FBits[Code >> 6] |= std::uint64_t{1} << (Code & 63); }

  std::array<std::uint64_t, 4> FBits{};
};

// C (one UTF-8 character) converted to its one Windows-1251 byte, "?" when it has none.
unsigned char CharTo1251(std::string_view C);
// Whether that byte is in Set.
bool CharInSet1251(std::string_view C, const TAnsiCharSet& Set);
bool CharInSet1251(char32_t C, const TAnsiCharSet& Set);
