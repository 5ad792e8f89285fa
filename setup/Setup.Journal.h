#pragma once
// The journal of an update: while the copy runs and until the update can no longer be cancelled,
// it names the run (its id, which its temporaries' names hold), its backup folders, the folders
// where its temporaries may lie, the files and folders it will add and the shortcuts it will make,
// each batch on the disk before the first step it names. When the run dies (a crash, a kill, a
// power cut), the journal is what is left of it, and it is enough to put the client's files back as
// they were (the protocol is in Setup.UpdateSession.h).
//
// A journal belongs to its run while the run's process lives (it holds the journal's lock); one
// whose process is gone is an interrupted update. Its restore removes the temporaries and the files
// the run added, moves the backup folders back, removes the added folders that are empty and the
// shortcuts, then the journal itself.

#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "Setup.Host.h"

namespace platform {
class TAppendFile;
}

// The wizard's own state folder: $XDG_STATE_HOME (default ~/.local/state) + "/orvel/quenta-setup/".
// EOSError ENOENT when there is no home folder.
std::string SetupStateFolder();

// What a run names in its journal before its first change.
struct TJournalPlan {
  std::vector<std::pair<std::string, std::string>> Backups;  // backup folder, its destination root
  std::vector<std::string> TemporaryFolders;  // every folder where the run may write a temporary
  std::vector<std::string> AddedFiles;        // files the run will add (nothing is there now)
  std::vector<std::string> AddedFolders;      // folders the run may make, parents first
};

class TUpdateJournal {
 public:
  // A new journal of this run in Folder (created when missing). EOSError.
  explicit TUpdateJournal(const std::string& Folder);
  ~TUpdateJournal();
  TUpdateJournal(const TUpdateJournal&) = delete;
  TUpdateJournal& operator=(const TUpdateJournal&) = delete;

  const std::string& Path() const;
  // The run's id, in the journal's name; the names of the run's temporaries hold it.
  std::string RunId() const;

  // Everything the run will do before its first change: returns once it is on the disk, the
  // journal's own name included. EOSError, and the run must then not start.
  void Begin(const TJournalPlan& Plan);
  // The shortcuts the run is about to make that did not exist before (a restore removes them).
  void Shortcuts(const std::vector<std::string>& Paths);

  // Each returns once its record is on the disk; EOSError when it cannot be written, and the step
  // it guards must then not be taken.
  void BackupFolder(const std::string& Backup, const std::string& DestinationRoot);
  void Moved(const std::string& Original, const std::string& Backup);
  void Temporary(const std::string& Path);
  void Shortcut(const std::string& Path);

  // The run is over (completed, rolled back or closed): the journal goes, and later records are
  // not written.
  void Retire();

 private:
  void Record(const std::string& Kind, const std::string& First, const std::string& Second = {});
  void Write(const std::string& Records);

  std::unique_ptr<platform::TAppendFile> FFile;
};

// The journals in Folder whose run is gone, oldest first; none when the folder is missing.
std::vector<std::string> FindInterruptedJournals(const std::string& Folder);

// Rolls the journal's run back (see above) and removes the journal. Logs what it does through
// Host; what could not be moved back stays in the backup folder and is listed in an error box.
void RestoreFromJournal(ISetupHost& Host, const std::string& JournalPath);

// Keeps everything as it is and removes the journal.
void RetireJournal(const std::string& JournalPath);
// What a run added and a rollback takes away: the files, then the folders (listed parents first)
// that are empty.
void RemoveAddedItems(const std::vector<std::string>& Files, const std::vector<std::string>& Folders);
