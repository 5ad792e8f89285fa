#pragma once
// Whether an update package may be installed: when the machine trusts at least one vendor key, the
// package's manifest must be signed by one of them and the package must hold exactly what the
// manifest lists. The window's copy page and the unattended run both ask this, before they touch
// anything.

#include <optional>
#include <string>
#include <vector>

#include "Setup.Host.h"
#include "Setup.Manifest.h"
#include "Setup.Minisign.h"

// A folder whose every "*.pub" (a minisign public key file) is trusted; only root should be able
// to write it.
inline constexpr char TrustedKeysFolderVariable[] = "ORVEL_TRUSTED_KEYS_DIR";
inline constexpr char DefaultTrustedKeysFolder[] = "/etc/orvel/quenta-setup/trusted-keys";

struct TTrustedKey {
  std::string Source;  // the key file, or "built in"
  std::optional<TMinisignPublicKey> Key;  // none when the file cannot be read as a key
  std::string Fault;
};

// The key built into the program (if any) and every "*.pub" of the trusted keys folder. A file that
// is no key still counts: trust was meant, so an unsigned package must not pass for want of a key.
std::vector<TTrustedKey> TrustedKeys();

struct TPackageCheck {
  enum TOutcome { pcNotVerified, pcVerified, pcRefused };
  TOutcome Outcome = pcNotVerified;
  std::string Refusal;                       // pcRefused: the text shown, naming the first fault
  std::optional<TPackageManifest> Manifest;  // pcVerified: what each package file must be
  std::string SignerKeyId;                   // pcVerified: the trusted key's id, as minisign prints it
  bool Refused() const { return Outcome == pcRefused; }
};

// Checks the package in BaseFolder (the folder of "settings.ini" and "QuentaSetupData") against
// TrustedKeys(). Logs one line when the package was verified or could not be (no trusted key); a
// refusal goes to Host.ShowError. With CompareContents every file is read and hashed here; without
// it only presence and sizes (and "settings.ini", which is read, not copied), for a copy that hashes
// what it writes.
TPackageCheck CheckPackage(ISetupHost& Host, const std::string& BaseFolder, bool CompareContents);

// A package file that is not what the verified manifest lists when the copy reads it (changed
// after the check): the update stops and is rolled back. The message is the refusal's text.
KV_DECLARE_EXCEPTION(EPackageChanged, Exception);
// The refusal's text for a difference found by the check or by the copy.
std::string PackageRefusalText(const TPackageDifference& Difference);

// The same against the given keys; nothing shown or logged.
TPackageCheck CheckPackageWith(const std::vector<TTrustedKey>& Keys, const std::string& BaseFolder, bool CompareContents);
