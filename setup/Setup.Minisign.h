#pragma once
// Keys and signatures in the file formats of the minisign tool, so that vendors and administrators
// can check a package with the tool they already know (minisign -V) and sign with keys it made.
//
// Public key file:  "untrusted comment: ..." and base64 of "Ed", key id (8), Ed25519 key (32).
// Secret key file:  a comment and base64 of "Ed", the key derivation ("Sc" scrypt or two zero bytes
//                   for none), "B2", salt (32), ops and memory limits (8 each, little-endian), then
//                   key id, secret key (64) and a BLAKE2b-256 checksum (32), the last three XOR-ed
//                   with the scrypt output when the key is protected by a password.
// Signature file:   a comment; base64 of "ED" (the file's BLAKE2b-512 signed; "Ed": the file
//                   itself), key id, signature (64); "trusted comment: ..."; base64 of the signature
//                   of the signature and the trusted comment together.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Runtime.Exceptions.h"
#include "Setup.Crypto.h"

// A key or signature file that is not in the format, or a password that does not open the key.
KV_DECLARE_EXCEPTION(EMinisignError, Exception);

using TMinisignKeyId = std::array<std::uint8_t, 8>;

// The key id as minisign prints it: the 8 bytes as one little-endian number, upper-case hex.
std::string KeyIdText(const TMinisignKeyId& Id);

struct TMinisignPublicKey {
  TMinisignKeyId Id{};
  crypto::TEd25519PublicKey Key{};
};

struct TMinisignSecretKey {
  TMinisignKeyId Id{};
  crypto::TEd25519SecretKey Key{};
};

struct TMinisignKeyPair {
  TMinisignPublicKey Public;
  TMinisignSecretKey Secret;
};

TMinisignKeyPair NewMinisignKeyPair();

TMinisignPublicKey ReadMinisignPublicKey(std::string_view FileText);
std::string MinisignPublicKeyText(const TMinisignPublicKey& Key);

// Whether the secret key file asks for a password.
bool IsMinisignSecretKeyProtected(std::string_view FileText);
// Password is called only for a protected key. EMinisignError when the checksum does not match
// (a wrong password, or a damaged file).
TMinisignSecretKey ReadMinisignSecretKey(std::string_view FileText, const std::function<std::string()>& Password);
// Unprotected, as "minisign -G -W" writes it.
std::string MinisignSecretKeyText(const TMinisignSecretKey& Key);

struct TMinisignSignature {
  bool Prehashed = true;  // the message's BLAKE2b-512 was signed, not the message
  TMinisignKeyId KeyId{};
  crypto::TEd25519Signature Signature{};
  std::string TrustedComment;
  crypto::TEd25519Signature GlobalSignature{};
};

TMinisignSignature ReadMinisignSignature(std::string_view FileText);
// A prehashed signature of Message with TrustedComment (one line).
std::string MinisignSignatureText(const TMinisignSecretKey& Key, std::string_view Message, std::string_view TrustedComment);

// The signature is by Key (same id) over Message, and its trusted comment is intact.
bool VerifyMinisignSignature(const TMinisignPublicKey& Key, const TMinisignSignature& Signature, std::string_view Message);
