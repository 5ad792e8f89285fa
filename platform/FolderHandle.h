#pragma once
// Folders held open by descriptor, so that every step of the update inside them (create, rename,
// move into a backup, remove) is taken relative to the folder it was checked in: a link put on the
// way after the check cannot redirect it, and a path is walked once per folder, not once per file.
//
// A folder is entered with O_NOFOLLOW. A symbolic link on the way is followed only when it is the
// user's own or the system's (root's), the rule FindUntrustedLink applies to paths.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

class TFolderHandle {
 public:
  TFolderHandle() = default;
  explicit TFolderHandle(int Fd) : FFd(Fd) {}
  ~TFolderHandle();
  TFolderHandle(TFolderHandle&& Other) noexcept : FFd(Other.FFd) { Other.FFd = -1; }
  TFolderHandle& operator=(TFolderHandle&& Other) noexcept;

  int Fd() const { return FFd; }
  explicit operator bool() const { return FFd >= 0; }

 private:
  int FFd = -1;
};

enum class TEntryKind { ekNone, ekFile, ekFolder, ekLink };

// What is at Name inside Folder, the link itself where there is one; ekNone when nothing (or the
// system will not tell).
TEntryKind EntryKindAt(int Folder, const std::string& Name);

// The folder at an absolute path, following links. EOSError.
TFolderHandle OpenFolder(const std::string& Path);

struct TChildFolder {
  TFolderHandle Handle;
  bool Created = false;
  int ErrorCode = 0;         // when there is no handle
  bool UntrustedLink = false;  // the error is someone else's link at the name
};
// Enters (and with Create makes, mode 0777 less the umask) the folder Name inside Parent.
TChildFolder OpenChildFolder(int Parent, const std::string& Name, bool Create);

// Makes Name inside Folder exclusively: false with LastErrorCode() EEXIST when something is there.
bool MakeFolderAt(int Folder, const std::string& Name);
// Renames From (inside FromFolder) to To (inside ToFolder), never over an existing entry: false,
// its code left for LastErrorCode() (EEXIST when something is at To), when the system refuses.
bool RenameNoReplace(int FromFolder, const std::string& From, int ToFolder, const std::string& To);
// Renames over whatever is at To. False, its code left for LastErrorCode().
bool RenameReplacing(int FromFolder, const std::string& From, int ToFolder, const std::string& To);
bool RemoveFileAt(int Folder, const std::string& Name);
bool RemoveFolderAt(int Folder, const std::string& Name);  // only an empty one

// The file system holding the open folder; for telling roots that share one apart.
std::uint64_t FileSystemIdOf(int Fd);
// Writes everything cached of the file system holding Fd to the disk. EOSError naming Path.
void SyncFileSystem(int Fd, const std::string& Path);
// Flushes a folder's own entries (names created, renamed or removed in it). EOSError naming Path.
void SyncFolder(const std::string& Path);

}  // namespace platform
