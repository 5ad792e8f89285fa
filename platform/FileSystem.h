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
};

bool FileExists(const std::string& path);       // a file (not a folder) is there
bool DirectoryExists(const std::string& path);  // a folder is there
// The entry for a path (following symbolic links), or nothing when it does not exist.
std::optional<TFileEntry> GetFileEntry(const std::string& path);

// Creates the folder and every missing parent; EOSError naming the path when that fails.
void ForceDirectories(const std::string& path);
bool CreateDir(const std::string& path);
bool DeleteFile(const std::string& path);
bool RemoveDir(const std::string& path);  // an empty folder only
bool RenameFile(const std::string& from, const std::string& to);  // same file system only

// Copies a file's contents and permission bits; with failIfExists an existing target is an error.
void CopyFile(const std::string& from, const std::string& to, bool failIfExists);

// The entries of a folder except "." and "..", in the order the file system gives them.
std::vector<TFileEntry> ListDirectory(const std::string& path);

// A file-name mask with "*" and "?", ignoring the letter case of A to Z; "*.*" and "*" match every
// name, also one without a dot.
bool MatchesMask(std::string_view name, std::string_view mask);

}  // namespace platform
