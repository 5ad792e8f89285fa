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
#include <string>

#include "Setup.Host.h"

class TStringList;
class TUpdateJournal;
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

class TFileUpdate {
 public:
  // Roots[0] for the common-data package (flag 0), Roots[1] for the document package (flag 1).
  TFileUpdate(ISetupHost& Host, TPackageRoots Common, TPackageRoots Documents);

  // Every entry of DataList in order, then the closing lines with the count. False, at once and
  // without them, when a cancel stopped the loop. An error of the access step ends it by raising.
  bool Run(const TStringList& DataList);

  // Names the backup folders, each move into them and each temporary file in Journal before the
  // step is taken; none by default.
  void SetJournal(TUpdateJournal* Journal) { FJournal = Journal; }
  // The package files that could not be updated in the last Run (each has its error line).
  int FailedCount() const { return FFailed; }

  // A copy that keeps mode and times (a backup across file systems) or one that gives everyone
  // access (the update). False, after the box that says why, when it failed or was cancelled.
  enum class TCopyKind { ckBackup, ckUpdate };
  bool CopyFileByBlocks(const std::string& Source, const std::string& Dest, TCopyKind Kind);
  // A rename, or a copy that keeps mode and times and then the source deleted.
  bool MoveFileByBlocks(const std::string& Source, const std::string& Dest);

 private:
  // False when a cancel stops the loop.
  bool UpdateEntry(const std::string& Rel, int Flag);
  bool CopyBlocks(platform::TBlockSource& Source, platform::TBlockTarget& Target);
  void EndEntry();
  // Creates a missing folder with its parents, and logs it.
  void MakeFolder(const std::string& Folder);
  void MoveBackOriginal(const std::string& Rel, const std::string& Backup, const std::string& Target);

  void Failed(const std::string& Rel);

  ISetupHost& FHost;
  TPackageRoots FRoots[2];
  TUpdateJournal* FJournal = nullptr;
  int FFailed = 0;
};
