#pragma once
// One update from its first change to its commit or rollback, driven alike by the window, the
// unattended run and (through the journal) the restore of a run that died. It owns the two roots
// and this run's backup folders, the journal, the copy, the shortcuts it made, and the commit.
//
// The protocol, and why each step is enough for "every file its original or its complete new
// version, whatever kills the process and when the power goes":
// 1. Backup folders: the first free name for the stamp ("<stamp> (2)", ...); each is made
//    exclusively when its first original goes in, and an original moves in with RENAME_NOREPLACE.
//    So a run never moves a file into a folder it did not make, nor over a file already there: an
//    earlier run's backups are never touched.
// 2. Begin: before the first change, one journal batch names the backup folders, every folder where
//    a temporary may appear, the files and folders the run adds; one fsync of the journal and one
//    of its folder. A run that dies after this point is found and rolled back by its journal; one
//    that dies before has changed nothing.
// 3. Every file is written by the one writer (platform TNewFile): a temporary named with the run's
//    id, renamed over its target when complete. A crash leaves at most temporaries, which the
//    restore finds by name in the journalled folders.
// 4. A replaced original is renamed into the backup (across file systems: copied, fsynced, then
//    deleted), so its data never depends on a sync of this run. A new package file is not synced:
//    until step 6 the journal lists it as added (the restore removes it, it may be empty after a
//    cut) or its original sits in the backup (the restore moves it back over it).
// 5. Settings files (CommonSetting.xml, Connections.xml) and a desktop entry replacing one are
//    fsynced before their rename: their old contents are kept nowhere else. New desktop entries are
//    journalled before they are made and are left to step 6.
// 6. Commit: one syncfs per file system holding a destination root or the desktop, then the
//    journal is removed. After the syncfs every new file is on the disk; if the removal itself is
//    lost in a cut, the restore moves the (synced) originals back: still each file old or new.
// Syncs of a run: 2 (journal) + 1 (shortcut batch) + the settings files + one per file system,
// whatever the size of the package.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Setup.FileUpdate.h"
#include "Setup.Host.h"
#include "Setup.Manifest.h"
#include "Setup.PackageEntries.h"

class TStringList;
class TUpdateJournal;

class TUpdateSession {
 public:
  // Picks this run's backup folders below both destination roots; changes nothing yet.
  TUpdateSession(ISetupHost& Host, const TPackageFolders& Folders, std::string SettingsFolder);
  ~TUpdateSession();
  TUpdateSession(const TUpdateSession&) = delete;
  TUpdateSession& operator=(const TUpdateSession&) = delete;

  const TPackageRoots& CommonRoots() const { return FCommon; }
  const TPackageRoots& DocumentRoots() const { return FDocuments; }

  // Step 2 for the entries of DataList, the journal in JournalFolder. EOSError when the journal
  // cannot be written: nothing changed.
  void Begin(const TStringList& DataList, const std::string& JournalFolder);
  // The verified manifest of the package (none: not verified). With one, the copy hashes what it
  // writes and raises EPackageChanged for a file not as listed; the caller then rolls back.
  void SetManifest(std::optional<TPackageManifest> Manifest);
  // The copy of every entry Begin planned (Setup.FileUpdate). False when a cancel stopped it.
  bool CopyData();
  // The entries as Begin planned them, in the order of DataList: what the later pages go by, so
  // that a refused item gets no shortcut and is no data source.
  const TUpdateEntries& Planned() const { return FEntries; }
  // Whether the item at Index of DataList is one of the package's own files or folders.
  bool Offers(std::size_t Index) const;
  int FailedCount() const;
  TFileUpdate& Copy() { return *FUpdate; }

  // The shortcuts of Items, journalled first (Setup.ShortCuts). ShortCutList names the ones made,
  // those before a failing one included.
  void CreateShortCuts(const std::vector<TPackageEntry>& Items, TStringList& ShortCutList);

  // Step 6. EOSError when the file systems cannot be synced; the journal then stays.
  void Commit();
  // Everything moved into the backups back, the files and folders the run added removed, the
  // shortcuts of ShortCutList deleted, the journal retired.
  void Rollback(const TStringList& ShortCutList);

 private:
  ISetupHost& FHost;
  TPackageFolders FFolders;
  TPackageRoots FCommon, FDocuments;
  std::string FSettingsFolder;
  std::unique_ptr<TUpdateJournal> FJournal;
  std::unique_ptr<TFileUpdate> FUpdate;
  TUpdateEntries FEntries;
  std::optional<TPackageManifest> FManifest;
  std::vector<std::string> FAddedFiles, FAddedFolders;
  bool FMadeShortcuts = false;
};
