#include "Setup.UpdateSession.h"

#include <set>

#include "Runtime.StringList.h"
#include "Runtime.Strings.h"
#include "Setup.BackupFolder.h"
#include "Setup.DesktopLinks.h"
#include "Setup.Journal.h"
#include "Setup.LinkNames.h"
#include "Setup.Rollback.h"
#include "Setup.ShortCuts.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/FolderHandle.h"
#include "platform/FormatSettings.h"
#include "platform/OSError.h"

namespace {
// Folders in the order first met, each once.
class TFolderSet {
 public:
  void Add(const std::string& Folder) {
    if (FSeen.insert(Folder).second) FOrdered.push_back(Folder);
  }
  std::vector<std::string> Take() { return std::move(FOrdered); }

 private:
  std::set<std::string> FSeen;
  std::vector<std::string> FOrdered;
};
}  // namespace

TUpdateSession::TUpdateSession(ISetupHost& Host, const TPackageFolders& Folders, std::string SettingsFolder)
    : FHost(Host), FFolders(Folders), FSettingsFolder(std::move(SettingsFolder)) {
  const TDateTime now = platform::Now();
  FCommon = {Folders.CommonPackage, Folders.CommonDestination,
             FreeBackupFolderOf(Folders.CommonDestination, now, platform::FormatSettings())};
  FDocuments = {Folders.DocumentPackage, Folders.DocumentDestination,
                FreeBackupFolderOf(Folders.DocumentDestination, now, platform::FormatSettings())};
  FUpdate = std::make_unique<TFileUpdate>(Host, FCommon, FDocuments);
}

TUpdateSession::~TUpdateSession() = default;

void TUpdateSession::Begin(const TStringList& DataList, const std::string& JournalFolder) {
  TJournalPlan plan;
  plan.Backups = {{FCommon.Backup, FCommon.Destination}, {FDocuments.Backup, FDocuments.Destination}};
  TFolderSet temporaries, added;
  temporaries.Add(FCommon.Destination);
  temporaries.Add(FDocuments.Destination);
  if (!FSettingsFolder.empty()) temporaries.Add(IncludeTrailingPathDelimiter(FSettingsFolder));
  try {
    temporaries.Add(IncludeTrailingPathDelimiter(DesktopFolder()));
  } catch (const EOSError&) {  // no desktop: no shortcut will be made either
  }
  FEntries = UpdateEntriesOf(DataList);
  for (TUpdateEntry& planned : FEntries) {
    const TPackageEntry& entry = planned.Entry;
    const TPackageRoots& roots = entry.Flag == TPackageEntry::CommonPackage ? FCommon : FDocuments;
    JudgeUpdateEntry(planned, roots.Package);
    // A refused item changes nothing, so nothing of it is journalled.
    if (planned.Kind == TUpdateEntry::TKind::ukMissing || planned.Kind == TUpdateEntry::TKind::ukRefused) continue;
    const std::string target = roots.Destination + entry.RelativePath;
    const auto existing = platform::GetLinkEntry(target);
    planned.Replaces = existing.has_value();
    if (planned.Kind == TUpdateEntry::TKind::ukFolder) {
      if (!existing) added.Add(IncludeTrailingPathDelimiter(target));
      temporaries.Add(IncludeTrailingPathDelimiter(target));
      continue;
    }
    temporaries.Add(ExtractFilePath(target));
    if (!existing)
      plan.AddedFiles.push_back(target);
    else  // a copy into the backup across file systems has a temporary there
      temporaries.Add(roots.Backup + ExtractFilePath(entry.RelativePath));
  }
  plan.TemporaryFolders = temporaries.Take();
  plan.AddedFolders = added.Take();
  FAddedFiles = plan.AddedFiles;
  FAddedFolders = plan.AddedFolders;
  FJournal = std::make_unique<TUpdateJournal>(JournalFolder);
  platform::SetTemporaryRunId(FJournal->RunId());
  FJournal->Begin(plan);
}

void TUpdateSession::SetManifest(std::optional<TPackageManifest> Manifest) {
  FManifest = std::move(Manifest);
  FUpdate->SetManifest(FManifest ? &*FManifest : nullptr);
}

bool TUpdateSession::CopyData() { return FUpdate->Run(FEntries); }

bool TUpdateSession::Offers(std::size_t Index) const {
  if (Index >= FEntries.size()) return false;
  const TUpdateEntry::TKind kind = FEntries[Index].Kind;
  return kind == TUpdateEntry::TKind::ukFile || kind == TUpdateEntry::TKind::ukFolder;
}

int TUpdateSession::FailedCount() const { return FUpdate->FailedCount(); }

void TUpdateSession::CreateShortCuts(const std::vector<TPackageEntry>& Items, TStringList& ShortCutList) {
  // Only the links that are new are the run's to remove again; one that replaces an entry of the
  // same name is left by the restore, whichever version it holds (both are whole).
  std::vector<std::string> newLinks;
  try {
    const std::string desktop = DesktopFolder();
    for (const TPackageEntry& item : Items) {
      const std::string link =
          DesktopLinkFile(desktop, ShortcutName(FFolders.InstalledPathOf(item), FFolders.PackagePathOf(item)));
      if (!platform::FileOrLinkExists(link)) newLinks.push_back(link);
    }
  } catch (const Exception&) {  // the same failure stops the links below, at the same item
  }
  if (FJournal) FJournal->Shortcuts(newLinks);
  FMadeShortcuts = true;
  ::CreateShortCuts(Items, FFolders, ShortCutList);
}

void TUpdateSession::Commit() {
  if (!FJournal) return;
  std::vector<std::string> roots{FCommon.Destination, FDocuments.Destination};
  if (FMadeShortcuts) roots.push_back(DesktopFolder());
  std::set<std::uint64_t> synced;
  for (const std::string& root : roots) {
    if (!platform::DirectoryExists(root)) continue;
    const platform::TFolderHandle folder = platform::OpenFolder(root);
    if (synced.insert(platform::FileSystemIdOf(folder.Fd())).second) platform::SyncFileSystem(folder.Fd(), root);
  }
  FJournal->Retire();
  FJournal.reset();
}

void TUpdateSession::Rollback(const TStringList& ShortCutList) {
  std::vector<std::pair<std::string, std::string>> backups;
  // Only a backup folder this run made holds its originals.
  if (FUpdate->OwnsBackupFolder(0)) backups.emplace_back(FCommon.Backup, FCommon.Destination);
  if (FUpdate->OwnsBackupFolder(1)) backups.emplace_back(FDocuments.Backup, FDocuments.Destination);
  RollbackBackups(FHost, backups);
  RemoveAddedItems(FAddedFiles, FAddedFolders);
  DeleteShortCuts(ShortCutList);
  if (FJournal) FJournal->Retire();
  FJournal.reset();
}
