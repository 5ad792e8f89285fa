#pragma once
// The few cryptographic primitives the package check needs, each a thin call into libsodium: no
// cryptography is written here. Byte strings are std::string; digests and keys fixed-size arrays.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Runtime.Exceptions.h"

KV_DECLARE_EXCEPTION(ECryptoError, Exception);

namespace crypto {

using TSha256Digest = std::array<std::uint8_t, 32>;
using TEd25519PublicKey = std::array<std::uint8_t, 32>;
using TEd25519SecretKey = std::array<std::uint8_t, 64>;  // seed and public key, as libsodium keeps it
using TEd25519Signature = std::array<std::uint8_t, 64>;

// SHA-256 over data given in pieces: Update per block as it passes, Final once.
class TSha256 {
 public:
  TSha256();
  void Update(const void* Data, std::size_t Length);
  void Update(std::string_view Data) { Update(Data.data(), Data.size()); }
  TSha256Digest Final();

 private:
  alignas(16) unsigned char FState[128];
};

TSha256Digest Sha256(std::string_view Data);

// BLAKE2b with an output of Length bytes (16 to 64).
std::string Blake2b(std::string_view Data, std::size_t Length);

struct TEd25519KeyPair {
  TEd25519PublicKey Public;
  TEd25519SecretKey Secret;
};
TEd25519KeyPair NewEd25519KeyPair();
TEd25519Signature Ed25519Sign(const TEd25519SecretKey& Key, std::string_view Message);
bool Ed25519Verify(const TEd25519PublicKey& Key, std::string_view Message, const TEd25519Signature& Signature);
// The public half of a secret key.
TEd25519PublicKey Ed25519PublicKeyOf(const TEd25519SecretKey& Key);

// Length bytes derived from a password by scrypt (the salsa20/8, SHA-256 variant). ECryptoError
// when the limits are out of the library's range or the memory cannot be had.
std::string Scrypt(std::string_view Password, std::string_view Salt, std::uint64_t OpsLimit,
                   std::uint64_t MemLimit, std::size_t Length);

std::string RandomBytes(std::size_t Length);

// Standard base64 with padding; Base64Decode raises ECryptoError on anything else.
std::string Base64Encode(std::string_view Data);
std::string Base64Decode(std::string_view Text);
// Lower-case hexadecimal; HexDecode raises ECryptoError on anything but an even count of hex digits.
std::string HexEncode(std::string_view Data);
std::string HexDecode(std::string_view Text);

template <std::size_t N>
std::string_view BytesOf(const std::array<std::uint8_t, N>& Array) {
  return {reinterpret_cast<const char*>(Array.data()), N};
}

// Compares in time independent of where the first difference lies.
bool SameBytes(std::string_view A, std::string_view B);

}  // namespace crypto
