#include "Setup.Manifest.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <set>

#include "Runtime.Strings.h"
#include "Setup.PackageEntries.h"
#include "Setup.PackageScan.h"
#include "platform/FileBlocks.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

namespace {

constexpr char FormatLine[] = "quenta-setup manifest 1";
constexpr char VersionPrefix[] = "version ";
constexpr char FolderPrefix[] = "folder ";
constexpr char FilePrefix[] = "file ";

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : (c >> 4) == 14 ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > s.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    const auto second = static_cast<unsigned char>(length > 1 ? s[i + 1] : 0);
    if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second >= 0xA0) || (c == 0xF0 && second < 0x90) ||
        (c == 0xF4 && second >= 0x90))
      return false;
    i += length;
  }
  return true;
}

// Why a path may not stand in a manifest, or nothing. Only "settings.ini" and items below the two
// package folders; no empty, "." or ".." part, no leading "/", no "\" (a separator on Windows).
std::optional<std::string> PathFault(std::string_view path) {
  if (path.empty()) return "empty path";
  if (path.starts_with('/')) return "absolute path";
  if (path.find('\\') != std::string_view::npos) return "\"\\\" in a path";
  if (std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    return "control character in a path";
  if (!IsValidUtf8(path)) return "path not in UTF-8";
  std::string_view rest = path;
  while (true) {
    const std::size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    if (part.empty() || part == "." || part == "..") return "path leaves the package";
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  if (path == SettingsFileName) return std::nullopt;
  if (path.starts_with(CommonPackageFolder) || path.starts_with(DocumentPackageFolder)) return std::nullopt;
  return "path outside the package folders";
}

std::string DigestText(const crypto::TSha256Digest& digest) { return crypto::HexEncode(crypto::BytesOf(digest)); }

std::optional<std::uint64_t> NumberOf(std::string_view text) {
  std::uint64_t value = 0;
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Calls Visit for every item below folder (relative path prefix rel, ending with "/"): files, links
// to files as their files, folders; links to folders are no package items, as for the scan.
void WalkFolder(const std::string& folder, const std::string& rel,
                const std::function<void(const std::string& rel, const platform::TFileEntry& entry)>& visit) {
  for (const platform::TFileEntry& item : platform::ListDirectory(folder, false)) {
    platform::TFileEntry entry = item;
    if (item.IsSymbolicLink) {
      const std::optional<platform::TFileEntry> target = platform::GetFileEntry(folder + item.Name);
      if (!target || target->IsDirectory) continue;
      entry = *target;
      entry.Name = item.Name;
    }
    visit(rel + entry.Name, entry);
    if (entry.IsDirectory) WalkFolder(folder + entry.Name + "/", rel + entry.Name + "/", visit);
  }
}

// Every item of the package, by path relative to its folder.
void WalkPackage(const std::string& packageFolder,
                 const std::function<void(const std::string& rel, const platform::TFileEntry& entry)>& visit) {
  const std::string base = IncludeTrailingPathDelimiter(packageFolder);
  if (const auto settings = platform::GetFileEntry(base + SettingsFileName)) visit(SettingsFileName, *settings);
  for (const char* root : {CommonPackageFolder, DocumentPackageFolder})
    if (platform::DirectoryExists(base + root)) WalkFolder(base + root, root, visit);
}

}  // namespace

crypto::TSha256Digest HashFile(const std::string& Path, std::uint64_t& Size) {
  TFileStream file(Path, fmOpenRead | fmShareDenyNone);
  crypto::TSha256 hash;
  std::string block(platform::FileBlockSize, '\0');
  Size = 0;
  for (std::int32_t n; (n = file.Read(block.data(), static_cast<std::int32_t>(block.size()))) > 0;) {
    hash.Update(block.data(), static_cast<std::size_t>(n));
    Size += static_cast<std::uint64_t>(n);
  }
  return hash.Final();
}

TPackageManifest TPackageManifest::Parse(std::string_view Text) {
  TPackageManifest manifest;
  std::size_t lineNumber = 0;
  std::set<std::string_view> paths;
  auto fail = [&lineNumber](const std::string& why) -> EManifestError {
    return EManifestError("manifest line " + std::to_string(lineNumber) + ": " + why);
  };
  while (!Text.empty()) {
    ++lineNumber;
    const std::size_t end = Text.find('\n');
    if (end == std::string_view::npos) throw fail("no line end");
    const std::string_view line = Text.substr(0, end);
    Text.remove_prefix(end + 1);
    if (lineNumber == 1) {
      if (line != FormatLine) throw fail("not a package manifest of a known format");
      continue;
    }
    if (lineNumber == 2) {
      if (!line.starts_with(VersionPrefix)) throw fail("no version");
      manifest.Version = std::string(line.substr(std::strlen(VersionPrefix)));
      continue;
    }
    TManifestEntry entry;
    std::string_view path;
    if (line.starts_with(FolderPrefix)) {
      entry.IsFolder = true;
      path = line.substr(std::strlen(FolderPrefix));
    } else if (line.starts_with(FilePrefix)) {
      std::string_view rest = line.substr(std::strlen(FilePrefix));
      const std::size_t sizeEnd = rest.find(' ');
      const std::optional<std::uint64_t> size = NumberOf(rest.substr(0, sizeEnd));
      if (sizeEnd == std::string_view::npos || !size) throw fail("no size");
      entry.Size = *size;
      rest.remove_prefix(sizeEnd + 1);
      if (rest.size() < 65 || rest[64] != ' ') throw fail("no SHA-256");
      std::string digest;
      try {
        digest = crypto::HexDecode(rest.substr(0, 64));
      } catch (const ECryptoError&) {
        throw fail("no SHA-256");
      }
      std::copy(digest.begin(), digest.end(), reinterpret_cast<char*>(entry.Sha256.data()));
      path = rest.substr(65);
    } else {
      throw fail("neither a file nor a folder");
    }
    if (const std::optional<std::string> fault = PathFault(path)) throw fail(*fault + ": \"" + std::string(path) + "\"");
    if (!paths.insert(path).second) throw fail("listed twice: \"" + std::string(path) + "\"");
    entry.Path = std::string(path);
    manifest.Entries.push_back(std::move(entry));
  }
  if (lineNumber < 2) throw EManifestError("not a package manifest: it is incomplete");
  std::sort(manifest.Entries.begin(), manifest.Entries.end(),
            [](const TManifestEntry& a, const TManifestEntry& b) { return a.Path < b.Path; });
  return manifest;
}

std::string TPackageManifest::Text() const {
  if (Version.find_first_of("\r\n") != std::string::npos) throw EManifestError("the version is one line");
  std::string text = std::string(FormatLine) + "\n" + VersionPrefix + Version + "\n";
  for (const TManifestEntry& entry : Entries) {
    if (entry.IsFolder)
      text += FolderPrefix + entry.Path + "\n";
    else
      text += FilePrefix + std::to_string(entry.Size) + " " + DigestText(entry.Sha256) + " " + entry.Path + "\n";
  }
  return text;
}

const TManifestEntry* TPackageManifest::Find(std::string_view Path) const {
  const auto it = std::lower_bound(Entries.begin(), Entries.end(), Path,
                                   [](const TManifestEntry& e, std::string_view p) { return e.Path < p; });
  return it != Entries.end() && it->Path == Path ? &*it : nullptr;
}

const TManifestEntry* TPackageManifest::Find(const TPackageEntry& Entry) const {
  const char* root = Entry.Flag == TPackageEntry::CommonPackage ? CommonPackageFolder : DocumentPackageFolder;
  return Find(root + Entry.RelativePath);
}

TPackageManifest BuildPackageManifest(const std::string& PackageFolder, const std::string& Version) {
  TPackageManifest manifest;
  manifest.Version = Version;
  const std::string base = IncludeTrailingPathDelimiter(PackageFolder);
  WalkPackage(PackageFolder, [&](const std::string& rel, const platform::TFileEntry& item) {
    if (const std::optional<std::string> fault = PathFault(rel))
      throw EManifestError(*fault + ": \"" + rel + "\" cannot be listed in a manifest");
    TManifestEntry entry;
    entry.Path = rel;
    entry.IsFolder = item.IsDirectory;
    if (!entry.IsFolder) entry.Sha256 = HashFile(base + rel, entry.Size);
    manifest.Entries.push_back(std::move(entry));
  });
  std::sort(manifest.Entries.begin(), manifest.Entries.end(),
            [](const TManifestEntry& a, const TManifestEntry& b) { return a.Path < b.Path; });
  return manifest;
}

std::optional<TPackageDifference> FindPackageDifference(const TPackageManifest& Manifest, const std::string& PackageFolder,
                                                        bool CompareContents) {
  const std::string base = IncludeTrailingPathDelimiter(PackageFolder);
  for (const TManifestEntry& entry : Manifest.Entries) {
    const std::optional<platform::TFileEntry> item = platform::GetFileEntry(base + entry.Path);
    if (!item) return TPackageDifference{TPackageDifference::pdMissing, entry.Path, ""};
    if (entry.IsFolder != item->IsDirectory)
      return TPackageDifference{entry.IsFolder ? TPackageDifference::pdNotAFolder : TPackageDifference::pdNotAFile,
                                entry.Path, ""};
    if (entry.IsFolder) continue;
    if (static_cast<std::uint64_t>(item->Size) != entry.Size)
      return TPackageDifference{TPackageDifference::pdSize, entry.Path, ""};
    // "settings.ini" is read by the wizard, never copied: no copy can hash it, so it is hashed here.
    if (!CompareContents && entry.Path != SettingsFileName) continue;
    std::uint64_t size = 0;
    crypto::TSha256Digest digest;
    try {
      digest = HashFile(base + entry.Path, size);
    } catch (const Exception& e) {
      return TPackageDifference{TPackageDifference::pdUnreadable, entry.Path, e.Message()};
    }
    if (size != entry.Size) return TPackageDifference{TPackageDifference::pdSize, entry.Path, ""};
    if (digest != entry.Sha256) return TPackageDifference{TPackageDifference::pdContent, entry.Path, ""};
  }
  std::optional<TPackageDifference> unlisted;
  WalkPackage(PackageFolder, [&](const std::string& rel, const platform::TFileEntry&) {
    if (!unlisted && !Manifest.Find(rel)) unlisted = TPackageDifference{TPackageDifference::pdUnlisted, rel, ""};
  });
  return unlisted;
}

std::string ReadSmallFile(const std::string& Path, std::size_t Limit) {
  TFileStream file(Path, fmOpenRead | fmShareDenyNone);
  std::string text;
  std::string block(platform::FileBlockSize, '\0');
  for (std::int32_t n; (n = file.Read(block.data(), static_cast<std::int32_t>(block.size()))) > 0;) {
    text.append(block.data(), static_cast<std::size_t>(n));
    if (text.size() > Limit) throw EManifestError("\"" + Path + "\" is too large");
  }
  return text;
}
