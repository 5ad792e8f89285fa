#pragma once
// The copy of the two packages into the client's folders, each replaced file first moved into the
// run's backup folder so that a rollback can put it back.
//
// What the client had is never lost to the update:
// - a file whose backup failed is not overwritten;
// - the copy writes a temporary file beside its target and renames it over the target only when
//   complete; a failed or cancelled copy leaves the target as it was;
// - when a copy fails (but not by a cancel, whose rollback does it) after its original went into
//   the backup, the original is moved back at once;
// - a backup is a rename where possible, so the original keeps its content, mode and times;
// - no link owned by someone else leads a write out of the client's folders.

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "Setup.Host.h"
#include "Setup.PackageEntries.h"
#include "platform/FolderHandle.h"

class TStringList;
class TPackageManifest;
struct TManifestEntry;
namespace platform {
class TBlockSource;
class TBlockTarget;
}  // namespace platform

// One package: its root, where it is copied to, and the backup folder of this run.
struct TPackageRoots {
  std::string Package;
  std::string Destination;
  std::string Backup;
};

// Judges the package item of Entry inside PackageRoot (JudgePackageFile): sets its kind and verdict.
void JudgeUpdateEntry(TUpdateEntry& Entry, const std::string& PackageRoot);

// Hears each block once it is copied (a hash of the copied bytes, for example).
using TBlockObserver = std::function<void(const std::string& Source, std::uint64_t Offset, std::size_t Length)>;

class TFileUpdate {
 public:
  // Roots[0] for the common-data package (flag 0), Roots[1] for the document package (flag 1).
  // Each backup folder is this run's own: it is made when the first original goes into it, and a
  // folder of that name made by someone else is never used.
  TFileUpdate(ISetupHost& Host, TPackageRoots Common, TPackageRoots Documents);
  ~TFileUpdate();

  // Every entry in order, then the closing lines with the count. False, at once and without them,
  // when a cancel stopped the loop. An error of the access step ends it by raising.
  bool Run(const TUpdateEntries& Entries);
  bool Run(const TStringList& DataList) { return Run(UpdateEntriesOf(DataList)); }

  // The package files that could not be updated in the last Run (each has its error line).
  int FailedCount() const { return FFailed; }
  // Whether this run made the backup folder of package Flag (so what is in it is this run's).
  bool OwnsBackupFolder(int Flag) const { return FBackupClaimed[Flag]; }
  void SetBlockObserver(TBlockObserver Observer) { FBlockObserver = std::move(Observer); }
  // A verified package: every file copied is hashed from the very bytes written, and one that is
  // not as Manifest lists it (changed since the check) raises EPackageChanged before it replaces
  // anything. Null: copied as it is. Manifest must outlive the runs.
  void SetManifest(const TPackageManifest* Manifest) { FManifest = Manifest; }

  // A copy that keeps mode and times (a backup across file systems) or one that gives everyone
  // access (the update). False, after the box that says why, when it failed or was cancelled.
  enum class TCopyKind { ckBackup, ckUpdate };
  bool CopyFileByBlocks(const std::string& Source, const std::string& Dest, TCopyKind Kind);

 private:
  // The folders of one side (a destination or a backup), each opened once, relative to its parent.
  struct TSide {
    std::string Root;
    platform::TFolderHandle RootHandle;
    std::map<std::string, platform::TFolderHandle> Folders;  // by path relative to Root
  };
  struct TFolderResult {
    int Fd = -1;
    bool Created = false;
    int ErrorCode = 0;
    std::string UntrustedLink;  // the path of someone else's link on the way
  };
  TFolderResult FolderOf(TSide& Side, const std::string& Relative, bool Create);
  // The folder of Relative inside the run's backup folder of the package, made when missing.
  int BackupFolderFor(int Flag, const std::string& Relative);
  // Logs what making the folder did.
  int MadeFolder(const TFolderResult& Result, const std::string& Folder);

  // False when a cancel stops the loop.
  bool UpdateEntry(const TUpdateEntry& Planned);
  bool MoveIntoBackup(int FromFolder, int ToFolder, const std::string& Name, const std::string& From,
                      const std::string& To);
  bool CopyFile(const std::string& Source, int Folder, const std::string& Name, const std::string& Dest,
                TCopyKind Kind, const TManifestEntry* Expected = nullptr);
  bool CopyBlocks(platform::TBlockSource& Source, platform::TBlockTarget& Target, const TManifestEntry* Expected);
  void EndEntry();
  void MoveBackOriginal(const std::string& Rel, const std::string& Backup, const std::string& Target);

  void Failed(const std::string& Rel);

  ISetupHost& FHost;
  TPackageRoots FRoots[2];
  TSide FDestinations[2];
  TSide FBackups[2];
  bool FBackupClaimed[2] = {false, false};
  TBlockObserver FBlockObserver;
  const TPackageManifest* FManifest = nullptr;
  int FFailed = 0;
};
