#pragma once
// Byte strings for binary-format tests: written as spaced hexadecimal, compared as strings.

#include <cstdint>
#include <string>
#include <string_view>

#include "Runtime.Streams.h"

// "06 00 CF" -> the three bytes.
inline std::string Hex(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (char c : text) {
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  return bytes;
}

inline std::string Contents(const TMemoryStream& stream, std::int64_t size) {
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(size));
}

inline std::string Contents(TMemoryStream& stream) { return Contents(stream, stream.Size()); }

// A memory stream holding the bytes, positioned at 0.
inline void Fill(TMemoryStream& stream, std::string_view bytes) {
  stream.Clear();
  stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  stream.SetPosition(0);
}
