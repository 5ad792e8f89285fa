#pragma once
// Files and folders: existence, creation, removal, renaming, copying and listing.
// Operations that answer with a Boolean never raise; the others raise EOSError.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct TFileEntry {
  std::string Name;  // the name inside its folder
  bool IsDirectory = false;
  bool IsExecutable = false;  // any execute bit of a file
  std::int64_t Size = 0;
  std::int64_t ModifiedTime = 0;  // seconds since the Unix epoch (UTC)
  bool IsSymbolicLink = false;  // only where the link itself was asked for
  std::uint32_t OwnerId = 0;    // the user who owns it
};

bool FileExists(const std::string& path);       // a file (not a folder) is there
bool DirectoryExists(const std::string& path);  // a folder is there
// The entry for a path (following symbolic links), or nothing when it does not exist.
std::optional<TFileEntry> GetFileEntry(const std::string& path);
// The same without following a symbolic link at the path: the link itself.
std::optional<TFileEntry> GetLinkEntry(const std::string& path);
// A file, or a symbolic link (to anything or nothing), is at the path.
bool FileOrLinkExists(const std::string& path);

// Creates the folder and every missing parent; EOSError naming the path when that fails.
void ForceDirectories(const std::string& path);
bool CreateDir(const std::string& path);
bool DeleteFile(const std::string& path);
bool RemoveDir(const std::string& path);  // an empty folder only
bool RenameFile(const std::string& from, const std::string& to);  // same file system only

// Copies a file's contents and permission bits; with failIfExists an existing target is an error.
void CopyFile(const std::string& from, const std::string& to, bool failIfExists);

// The entries of a folder except "." and "..", in the order of the Windows file system
// (FileSystemOrderKey of NameFolding.h; equal keys by their bytes), not the hash order of a Linux
// file system. Following
// links, a dangling one is left out; otherwise links are listed as themselves.
std::vector<TFileEntry> ListDirectory(const std::string& path, bool followLinks = true);
// Puts entries listed by a file system of another order into that order.
void SortInFileSystemOrder(std::vector<TFileEntry>& entries);

// A link may lead a write elsewhere only when its owner could have written there anyway: root or
// the user running this program (the kernel's protected-symlinks rule). The first folder on the way
// from root down relativeFolder that is a symbolic link of anyone else, or nothing. Folders that do
// not exist yet end the walk; root itself is trusted.
std::optional<std::string> FindUntrustedLink(const std::string& root, std::string_view relativeFolder);
// Recreates the symbolic link at from as a new link at to; EOSError when that fails.
void CopySymbolicLink(const std::string& from, const std::string& to);
std::uint32_t CurrentUserId();

// A file-name mask with "*" and "?", ignoring the letter case of A to Z; "*.*" and "*" match every
// name, also one without a dot.
bool MatchesMask(std::string_view name, std::string_view mask);

}  // namespace platform
