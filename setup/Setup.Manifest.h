#pragma once
// The list of everything an update package holds, with each file's size and SHA-256, that the
// vendor signs and the wizard checks before it touches the client.
//
// The file "QuentaSetupData.manifest" lies beside "QuentaSetupData/" and "settings.ini":
//   quenta-setup manifest 1
//   version <the package's version>
//   folder <path>
//   file <size> <sha256, lower-case hex> <path>
// Paths are relative to that folder, in UTF-8 with "/", sorted by their bytes; they name
// "settings.ini" or items below the two package folders, and never leave the package.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Runtime.Exceptions.h"
#include "Setup.Crypto.h"

struct TPackageEntry;

// A manifest that is not in the format, or names a path outside the package.
KV_DECLARE_EXCEPTION(EManifestError, Exception);

inline constexpr char ManifestFileName[] = "QuentaSetupData.manifest";
inline constexpr char ManifestSignatureFileName[] = "QuentaSetupData.manifest.minisig";

struct TManifestEntry {
  std::string Path;
  bool IsFolder = false;
  std::uint64_t Size = 0;        // files only
  crypto::TSha256Digest Sha256{};  // files only
};

class TPackageManifest {
 public:
  std::string Version;
  std::vector<TManifestEntry> Entries;  // sorted by path, each path once

  // EManifestError naming the line at fault.
  static TPackageManifest Parse(std::string_view Text);
  std::string Text() const;

  // The entry of a path relative to the package's folder, or null.
  const TManifestEntry* Find(std::string_view Path) const;
  // The entry of a DataList item (relative to its package root), or null.
  const TManifestEntry* Find(const TPackageEntry& Entry) const;
};

// Every item of the package in PackageFolder (the folder holding "QuentaSetupData"), hashed.
// EManifestError for a name the manifest cannot hold; EOSError when a file cannot be read.
TPackageManifest BuildPackageManifest(const std::string& PackageFolder, const std::string& Version);

// Where a package and its manifest part.
struct TPackageDifference {
  enum TKind { pdMissing, pdUnlisted, pdNotAFile, pdNotAFolder, pdSize, pdContent, pdUnreadable };
  TKind Kind;
  std::string Path;    // relative to the package's folder
  std::string Detail;  // the system's text for pdUnreadable
};

// The first difference: the manifest's entries in order (present, of their kind and size, and with
// CompareContents their SHA-256; "settings.ini"'s always), then items the manifest does not list. Nothing when they agree.
std::optional<TPackageDifference> FindPackageDifference(const TPackageManifest& Manifest, const std::string& PackageFolder,
                                                        bool CompareContents);

// The check that rides on a copy: every block of a package file as it is written, then whether
// those bytes are the file the manifest lists (its size and SHA-256).
class TFileHashCheck {
 public:
  explicit TFileHashCheck(const TManifestEntry& Expected) : FExpected(Expected) {}
  void Update(const void* Block, std::size_t Length) {
    FHash.Update(Block, Length);
    FSize += Length;
  }
  // Once, after the last block.
  bool Matches() { return FSize == FExpected.Size && FHash.Final() == FExpected.Sha256; }

 private:
  const TManifestEntry& FExpected;
  crypto::TSha256 FHash;
  std::uint64_t FSize = 0;
};

// The SHA-256 and size of a file, read block by block. EOSError when it cannot be read.
crypto::TSha256Digest HashFile(const std::string& Path, std::uint64_t& Size);

// The whole of a small file (a manifest, signature or key). EOSError when it cannot be read,
// EManifestError when it is larger than Limit bytes.
std::string ReadSmallFile(const std::string& Path, std::size_t Limit);
