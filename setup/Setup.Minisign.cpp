#include "Setup.Minisign.h"

#include <cstring>
#include <vector>

namespace {

constexpr char UntrustedPrefix[] = "untrusted comment: ";
constexpr char TrustedPrefix[] = "trusted comment: ";
constexpr std::size_t SaltSize = 32;
constexpr std::size_t ChecksumSize = 32;
// Key id, secret key and checksum: the part that a password protects.
constexpr std::size_t KeyNumSize = 8 + 64 + ChecksumSize;
constexpr std::size_t SecretFileSize = 2 + 2 + 2 + SaltSize + 8 + 8 + KeyNumSize;

// The lines of a file, without line ends ("\r\n" as well as "\n"); a last empty line dropped.
std::vector<std::string_view> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The base64 line that follows the untrusted comment, decoded, of exactly Size bytes.
std::string PayloadOf(std::string_view fileText, std::size_t size, const char* what) {
  const std::vector<std::string_view> lines = LinesOf(fileText);
  if (lines.size() < 2 || !lines[0].starts_with(UntrustedPrefix))
    throw EMinisignError(std::string("not a minisign ") + what + " file: no untrusted comment line");
  std::string bytes;
  try {
    bytes = crypto::Base64Decode(lines[1]);
  } catch (const ECryptoError&) {
    throw EMinisignError(std::string("not a minisign ") + what + " file: the second line is not base64");
  }
  if (bytes.size() != size) throw EMinisignError(std::string("not a minisign ") + what + " file: wrong length");
  return bytes;
}

template <std::size_t N>
std::array<std::uint8_t, N> Take(std::string_view& bytes) {
  std::array<std::uint8_t, N> out;
  std::memcpy(out.data(), bytes.data(), N);
  bytes.remove_prefix(N);
  return out;
}

std::uint64_t TakeLittleEndian(std::string_view& bytes) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(i)]);
  bytes.remove_prefix(8);
  return value;
}

std::string Checksum(const TMinisignSecretKey& key) {
  return crypto::Blake2b(std::string("Ed") + std::string(crypto::BytesOf(key.Id)) + std::string(crypto::BytesOf(key.Key)),
                         ChecksumSize);
}

std::string SignedPart(const TMinisignSignature& signature) {
  return std::string(crypto::BytesOf(signature.Signature)) + signature.TrustedComment;
}

}  // namespace

std::string KeyIdText(const TMinisignKeyId& Id) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 7; i >= 0; --i) {
    text += digits[Id[static_cast<std::size_t>(i)] >> 4];
    text += digits[Id[static_cast<std::size_t>(i)] & 15];
  }
  return text;
}

TMinisignKeyPair NewMinisignKeyPair() {
  const crypto::TEd25519KeyPair pair = crypto::NewEd25519KeyPair();
  TMinisignKeyPair keys;
  const std::string id = crypto::RandomBytes(8);
  std::memcpy(keys.Public.Id.data(), id.data(), 8);
  keys.Secret.Id = keys.Public.Id;
  keys.Public.Key = pair.Public;
  keys.Secret.Key = pair.Secret;
  return keys;
}

TMinisignPublicKey ReadMinisignPublicKey(std::string_view FileText) {
  const std::string bytes = PayloadOf(FileText, 2 + 8 + 32, "public key");
  std::string_view rest = bytes;
  if (!rest.starts_with("Ed")) throw EMinisignError("not an Ed25519 minisign public key");
  rest.remove_prefix(2);
  TMinisignPublicKey key;
  key.Id = Take<8>(rest);
  key.Key = Take<32>(rest);
  return key;
}

std::string MinisignPublicKeyText(const TMinisignPublicKey& Key) {
  return std::string(UntrustedPrefix) + "minisign public key " + KeyIdText(Key.Id) + "\n" +
         crypto::Base64Encode("Ed" + std::string(crypto::BytesOf(Key.Id)) + std::string(crypto::BytesOf(Key.Key))) + "\n";
}

bool IsMinisignSecretKeyProtected(std::string_view FileText) {
  const std::string bytes = PayloadOf(FileText, SecretFileSize, "secret key");
  return bytes.compare(2, 2, std::string(2, '\0')) != 0;
}

TMinisignSecretKey ReadMinisignSecretKey(std::string_view FileText, const std::function<std::string()>& Password) {
  const std::string bytes = PayloadOf(FileText, SecretFileSize, "secret key");
  std::string_view rest = bytes;
  if (!rest.starts_with("Ed")) throw EMinisignError("not an Ed25519 minisign secret key");
  const std::string_view kdf = rest.substr(2, 2);
  if (rest.substr(4, 2) != "B2") throw EMinisignError("unknown checksum kind in the minisign secret key");
  rest.remove_prefix(6);
  const std::string_view salt = rest.substr(0, SaltSize);
  rest.remove_prefix(SaltSize);
  const std::uint64_t opsLimit = TakeLittleEndian(rest);
  const std::uint64_t memLimit = TakeLittleEndian(rest);
  std::string keyNum(rest);
  if (kdf == "Sc") {
    const std::string stream = crypto::Scrypt(Password(), salt, opsLimit, memLimit, KeyNumSize);
    for (std::size_t i = 0; i < KeyNumSize; ++i) keyNum[i] = static_cast<char>(keyNum[i] ^ stream[i]);
  } else if (kdf != std::string_view("\0\0", 2)) {
    throw EMinisignError("unknown key derivation in the minisign secret key");
  }
  std::string_view keyBytes = keyNum;
  TMinisignSecretKey key;
  key.Id = Take<8>(keyBytes);
  key.Key = Take<64>(keyBytes);
  // "minisign -W" leaves the checksum of an unprotected key zero.
  const bool unchecked = kdf != "Sc" && keyBytes == std::string_view(std::string(ChecksumSize, '\0'));
  if (!unchecked && !crypto::SameBytes(keyBytes, Checksum(key)))
    throw EMinisignError(kdf == "Sc" ? "wrong password for the minisign secret key" : "damaged minisign secret key");
  return key;
}

std::string MinisignSecretKeyText(const TMinisignSecretKey& Key) {
  std::string bytes = "Ed";
  bytes.append(2, '\0');  // no key derivation: not protected by a password
  bytes += "B2";
  bytes.append(SaltSize + 8 + 8, '\0');
  bytes += crypto::BytesOf(Key.Id);
  bytes += crypto::BytesOf(Key.Key);
  bytes += Checksum(Key);
  return std::string(UntrustedPrefix) + "minisign encrypted secret key\n" + crypto::Base64Encode(bytes) + "\n";
}

TMinisignSignature ReadMinisignSignature(std::string_view FileText) {
  const std::vector<std::string_view> lines = LinesOf(FileText);
  if (lines.size() < 4 || !lines[2].starts_with(TrustedPrefix))
    throw EMinisignError("not a minisign signature file: no trusted comment line");
  const std::string bytes = PayloadOf(FileText, 2 + 8 + 64, "signature");
  std::string_view rest = bytes;
  TMinisignSignature signature;
  if (rest.starts_with("ED"))
    signature.Prehashed = true;
  else if (rest.starts_with("Ed"))
    signature.Prehashed = false;
  else
    throw EMinisignError("unknown signature algorithm in the minisign signature");
  rest.remove_prefix(2);
  signature.KeyId = Take<8>(rest);
  signature.Signature = Take<64>(rest);
  signature.TrustedComment = std::string(lines[2].substr(std::strlen(TrustedPrefix)));
  std::string global;
  try {
    global = crypto::Base64Decode(lines[3]);
  } catch (const ECryptoError&) {
    throw EMinisignError("not a minisign signature file: the global signature is not base64");
  }
  if (global.size() != 64) throw EMinisignError("not a minisign signature file: wrong global signature length");
  std::string_view globalBytes = global;
  signature.GlobalSignature = Take<64>(globalBytes);
  return signature;
}

std::string MinisignSignatureText(const TMinisignSecretKey& Key, std::string_view Message, std::string_view TrustedComment) {
  if (TrustedComment.find_first_of("\r\n") != std::string_view::npos)
    throw EMinisignError("a trusted comment is one line");
  TMinisignSignature signature;
  signature.KeyId = Key.Id;
  signature.Signature = crypto::Ed25519Sign(Key.Key, crypto::Blake2b(Message, 64));
  signature.TrustedComment = std::string(TrustedComment);
  signature.GlobalSignature = crypto::Ed25519Sign(Key.Key, SignedPart(signature));
  return std::string(UntrustedPrefix) + "signature from quenta-pack secret key\n" +
         crypto::Base64Encode("ED" + std::string(crypto::BytesOf(Key.Id)) + std::string(crypto::BytesOf(signature.Signature))) +
         "\n" + TrustedPrefix + signature.TrustedComment + "\n" +
         crypto::Base64Encode(crypto::BytesOf(signature.GlobalSignature)) + "\n";
}

bool VerifyMinisignSignature(const TMinisignPublicKey& Key, const TMinisignSignature& Signature, std::string_view Message) {
  if (Signature.KeyId != Key.Id) return false;
  const std::string hashed = Signature.Prehashed ? crypto::Blake2b(Message, 64) : std::string(Message);
  return crypto::Ed25519Verify(Key.Key, hashed, Signature.Signature) &&
         crypto::Ed25519Verify(Key.Key, SignedPart(Signature), Signature.GlobalSignature);
}
