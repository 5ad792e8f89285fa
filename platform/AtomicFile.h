#pragma once
// The one way the update writes a file: the new contents go to a temporary file in the target's
// folder, which is renamed over the target only once it is complete, so a file is never seen, nor
// left, half-written. A failure or a cancel removes the temporary.
//
// Temporaries are named ".quenta-<run>-<serial>.tmp", <run> being the id of this process's run, so
// that the restore of a run that died finds all of its temporaries by name in the folders its
// journal names, without a record for each one.
//
// Durability, one rule: new contents are on the disk before anything can depend on them. Where the
// rename drops the only copy of the old contents (a settings file, a desktop entry), that is before
// the rename (TDurability::dSyncNow). Where the old contents are kept in the run's backup or there
// were none (the package's files), the run syncs the whole file system once before its journal is
// retired (dSyncedByRun), and until then the journal's restore can undo the rename.

#include <string>
#include <string_view>

namespace platform {

// This process's run id (12 hex digits, drawn once unless set), and setting it to a journal's.
const std::string& TemporaryRunId();
void SetTemporaryRunId(const std::string& RunId);
// A temporary of any run, and one of the run RunId.
bool IsTemporaryName(std::string_view Name);
bool IsTemporaryOfRun(std::string_view Name, std::string_view RunId);

enum class TDurability { dSyncNow, dSyncedByRun };

class TNewFile {
 public:
  // Creates the temporary for Target, a name inside the folder descriptor Folder, or a path when
  // Folder is AtFolderOfPath. Mode less the umask. EOSError naming ErrorName.
  static constexpr int AtFolderOfPath = -100;  // AT_FDCWD
  TNewFile(int Folder, std::string Target, unsigned Mode, std::string ErrorName);
  ~TNewFile();
  TNewFile(const TNewFile&) = delete;
  TNewFile& operator=(const TNewFile&) = delete;

  int Handle() const { return FHandle; }
  const std::string& TemporaryName() const { return FTemporary; }
  // Appends Bytes whole. EOSError.
  void Write(std::string_view Bytes);
  // Closes the file (a late write error shows there), flushes it when asked, then renames it over
  // Target; with NoReplace only where nothing is at Target (EEXIST otherwise). EOSError naming
  // ErrorName, and the temporary is removed.
  void Commit(TDurability Durability, bool NoReplace = false);
  // Removes the temporary now.
  void Abandon();

 private:
  int FFolder;
  std::string FTarget;
  std::string FTemporary;
  std::string FErrorName;
  int FHandle = -1;
};

// Writes contents to path through TNewFile with dSyncNow. The file gets the old file's permission
// bits (a new one 0666 less the umask). On any failure path keeps its old contents, and EOSError
// names path. A symbolic link at path is replaced by the file, not followed.
void WriteFileAtomically(const std::string& path, std::string_view contents);

// The same, for a file whose permissions the caller decides (a desktop entry must be executable):
// the file gets permissions less the umask, whatever the old file had.
// With dSyncedByRun a new file is left to the run's sync; one that replaces a file is synced
// before the rename all the same.
void WriteFileAtomically(const std::string& path, std::string_view contents, unsigned permissions,
                         TDurability Durability = TDurability::dSyncNow);

}  // namespace platform
