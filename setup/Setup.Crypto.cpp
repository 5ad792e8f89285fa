#include "Setup.Crypto.h"

#include <sodium.h>

#include <cstring>

namespace crypto {
namespace {

static_assert(sizeof(crypto_hash_sha256_state) <= 128);
static_assert(alignof(crypto_hash_sha256_state) <= 16);

// sodium_init is idempotent and thread-safe; every entry point calls it before use.
void Initialize() {
  static const int result = sodium_init();
  if (result < 0) throw ECryptoError("libsodium cannot be initialised");
}

const unsigned char* UChars(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

crypto_hash_sha256_state* StateOf(unsigned char* storage) {
  return reinterpret_cast<crypto_hash_sha256_state*>(storage);
}

}  // namespace

TSha256::TSha256() {
  Initialize();
  crypto_hash_sha256_init(StateOf(FState));
}

void TSha256::Update(const void* Data, std::size_t Length) {
  crypto_hash_sha256_update(StateOf(FState), static_cast<const unsigned char*>(Data), Length);
}

TSha256Digest TSha256::Final() {
  TSha256Digest digest;
  crypto_hash_sha256_final(StateOf(FState), digest.data());
  return digest;
}

TSha256Digest Sha256(std::string_view Data) {
  TSha256 hash;
  hash.Update(Data);
  return hash.Final();
}

std::string Blake2b(std::string_view Data, std::size_t Length) {
  Initialize();
  if (Length < crypto_generichash_BYTES_MIN || Length > crypto_generichash_BYTES_MAX)
    throw ECryptoError("BLAKE2b output length out of range");
  std::string out(Length, '\0');
  crypto_generichash(reinterpret_cast<unsigned char*>(out.data()), Length, UChars(Data), Data.size(), nullptr, 0);
  return out;
}

TEd25519KeyPair NewEd25519KeyPair() {
  Initialize();
  TEd25519KeyPair pair;
  crypto_sign_keypair(pair.Public.data(), pair.Secret.data());
  return pair;
}

TEd25519Signature Ed25519Sign(const TEd25519SecretKey& Key, std::string_view Message) {
  Initialize();
  TEd25519Signature signature;
  crypto_sign_detached(signature.data(), nullptr, UChars(Message), Message.size(), Key.data());
  return signature;
}

bool Ed25519Verify(const TEd25519PublicKey& Key, std::string_view Message, const TEd25519Signature& Signature) {
  Initialize();
  return crypto_sign_verify_detached(Signature.data(), UChars(Message), Message.size(), Key.data()) == 0;
}

TEd25519PublicKey Ed25519PublicKeyOf(const TEd25519SecretKey& Key) {
  Initialize();
  TEd25519PublicKey key;
  crypto_sign_ed25519_sk_to_pk(key.data(), Key.data());
  return key;
}

std::string Scrypt(std::string_view Password, std::string_view Salt, std::uint64_t OpsLimit,
                   std::uint64_t MemLimit, std::size_t Length) {
  Initialize();
  if (Salt.size() != crypto_pwhash_scryptsalsa208sha256_SALTBYTES) throw ECryptoError("scrypt salt of the wrong size");
  if (OpsLimit > SIZE_MAX || MemLimit > SIZE_MAX) throw ECryptoError("scrypt limits out of range");
  std::string out(Length, '\0');
  if (crypto_pwhash_scryptsalsa208sha256(reinterpret_cast<unsigned char*>(out.data()), Length, Password.data(),
                                         Password.size(), UChars(Salt), OpsLimit, static_cast<std::size_t>(MemLimit)) != 0)
    throw ECryptoError("scrypt refused its limits or found too little memory");
  return out;
}

std::string RandomBytes(std::size_t Length) {
  Initialize();
  std::string out(Length, '\0');
  randombytes_buf(out.data(), Length);
  return out;
}

std::string Base64Encode(std::string_view Data) {
  Initialize();
  std::string out(sodium_base64_ENCODED_LEN(Data.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(out.data(), out.size(), UChars(Data), Data.size(), sodium_base64_VARIANT_ORIGINAL);
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::string Base64Decode(std::string_view Text) {
  Initialize();
  std::string out(Text.size() / 4 * 3 + 3, '\0');
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), Text.data(), Text.size(), nullptr,
                        &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != Text.data() + Text.size())
    throw ECryptoError("not base64");
  out.resize(length);
  return out;
}

std::string HexEncode(std::string_view Data) {
  Initialize();
  std::string out(Data.size() * 2 + 1, '\0');
  sodium_bin2hex(out.data(), out.size(), UChars(Data), Data.size());
  out.pop_back();
  return out;
}

std::string HexDecode(std::string_view Text) {
  Initialize();
  std::string out(Text.size() / 2, '\0');
  std::size_t length = 0;
  const char* end = nullptr;
  if (Text.size() % 2 != 0 ||
      sodium_hex2bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), Text.data(), Text.size(), nullptr,
                     &length, &end) != 0 ||
      end != Text.data() + Text.size())
    throw ECryptoError("not hexadecimal");
  out.resize(length);
  return out;
}

bool SameBytes(std::string_view A, std::string_view B) {
  Initialize();
  return A.size() == B.size() && sodium_memcmp(A.data(), B.data(), A.size()) == 0;
}

}  // namespace crypto
