#pragma once
// Reads a fuzz input as a sequence of little-endian fields; past its end every field reads as 0.
// Seeds are written with FuzzOutput in the same order.

#include <cstdint>
#include <cstring>
#include <string>

namespace kv::fuzz {
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : FData(data), FLeft(size) {}

  bool Empty() const { return FLeft == 0; }

  template <class T>
  T Take() {
    unsigned char raw[sizeof(T)] = {};
    const std::size_t n = FLeft < sizeof(T) ? FLeft : sizeof(T);
    if (n > 0) std::memcpy(raw, FData, n);
    FData += n;
    FLeft -= n;
    T value;
    std::memcpy(&value, raw, sizeof(T));
    return value;
  }

 private:
  const std::uint8_t* FData;
  std::size_t FLeft;
};

class FuzzOutput {
 public:
  template <class T>
  FuzzOutput& Put(T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    FBytes.append(raw, sizeof(T));
    return *this;
  }
  const std::string& Bytes() const { return FBytes; }

 private:
  std::string FBytes;
};
}  // namespace kv::fuzz
