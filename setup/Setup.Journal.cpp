#include "Setup.Journal.h"

#include <algorithm>
#include <utility>

#include "Runtime.Strings.h"
#include "Setup.Rollback.h"
#include "platform/AppendFile.h"
#include "platform/AtomicFile.h"
#include "platform/FolderHandle.h"
#include "platform/Environment.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/KnownFolders.h"
#include "platform/OSError.h"
#include "platform/Random.h"


namespace {

const char JournalExtension[] = ".journal";
const char KindBackup[] = "backup";
const char KindMoved[] = "moved";
const char KindTemporary[] = "temporary";
const char KindShortcut[] = "shortcut";
const char KindTemporaryFolder[] = "temporaries";
const char KindAddedFile[] = "added";
const char KindAddedFolder[] = "added-folder";
const char JournalPrefix[] = "update-";

const char RestoringLine[] = "Восстановление файлов после прерванного обновления.";
std::string TemporaryRemovedLine(const std::string& path) { return "Удален временный файл \"" + path + "\"."; }
std::string ShortcutRemovedLine(const std::string& path) { return "Удален ярлык \"" + path + "\"."; }
const char RestoredLine[] = "Файлы из резервной копии возвращены на место.";

// Paths may hold any byte but NUL; tabs and line breaks would end a field or a record.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

std::string Unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
  }
  return out;
}

struct TRecord {
  std::string Kind, First, Second;
};

// A record cut short by the end of its run has no line break yet and is left out: the step it
// would have guarded was never taken.
std::vector<TRecord> ReadRecords(const std::string& path) {
  TMemoryStream stream;
  LoadStreamFromFile(stream, path);
  const std::string_view text(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.GetSize()));
  std::vector<TRecord> records;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
    const std::string_view line = text.substr(start, end - start);
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t tab; (tab = line.find('\t', from)) != std::string_view::npos; from = tab + 1)
      fields.push_back(Unescaped(line.substr(from, tab - from)));
    fields.push_back(Unescaped(line.substr(from)));
    fields.resize(std::max<std::size_t>(fields.size(), 3));
    records.push_back({fields[0], fields[1], fields[2]});
  }
  return records;
}

// "update-<run id>.journal".
std::string RunIdOf(const std::string& journal) {
  std::string name = ExtractFileName(journal);
  if (!name.starts_with(JournalPrefix) || !name.ends_with(JournalExtension)) return {};
  return name.substr(sizeof JournalPrefix - 1, name.size() - (sizeof JournalPrefix - 1) - (sizeof JournalExtension - 1));
}

std::string NewJournalName() {
  unsigned char random[6];
  if (!platform::FillRandomBytes(random, sizeof random)) platform::RaiseLastOSError();
  std::string name = JournalPrefix;
  for (unsigned char b : random) name += IntToHex(b, 2);
  return name + JournalExtension;
}

}  // namespace

std::string SetupStateFolder() {
  return IncludeTrailingPathDelimiter(platform::GetSpecialFolderPath(platform::CSIDL_LOCAL_APPDATA)) +
         "orvel/quenta-setup/";
}

TUpdateJournal::TUpdateJournal(const std::string& Folder) {
  platform::ForceDirectories(Folder);
  FFile = std::make_unique<platform::TAppendFile>(IncludeTrailingPathDelimiter(Folder) + NewJournalName());
}

std::string TUpdateJournal::RunId() const { return RunIdOf(FFile->Path()); }

void TUpdateJournal::Begin(const TJournalPlan& Plan) {
  std::string records;
  auto add = [&](const char* kind, const std::string& first, const std::string& second = {}) {
    records += std::string(kind) + "\t" + Escaped(first) + "\t" + Escaped(second) + "\n";
  };
  for (const auto& [backup, root] : Plan.Backups) add(KindBackup, backup, root);
  for (const std::string& folder : Plan.TemporaryFolders) add(KindTemporaryFolder, folder);
  for (const std::string& file : Plan.AddedFiles) add(KindAddedFile, file);
  for (const std::string& folder : Plan.AddedFolders) add(KindAddedFolder, folder);
  Write(records);
  // The journal is found by its name: that must be on the disk as well as its records.
  platform::SyncFolder(ExtractFilePath(FFile->Path()));
}

void TUpdateJournal::Shortcuts(const std::vector<std::string>& Paths) {
  std::string records;
  for (const std::string& path : Paths) records += std::string(KindShortcut) + "\t" + Escaped(path) + "\t\n";
  if (!records.empty()) Write(records);
}

void TUpdateJournal::Write(const std::string& Records) {
  if (FFile) FFile->Append(Records, true);
}

TUpdateJournal::~TUpdateJournal() = default;

const std::string& TUpdateJournal::Path() const { return FFile->Path(); }

void TUpdateJournal::Record(const std::string& Kind, const std::string& First, const std::string& Second) {
  if (!FFile) return;
  Write(Kind + "\t" + Escaped(First) + "\t" + Escaped(Second) + "\n");
}

void TUpdateJournal::BackupFolder(const std::string& Backup, const std::string& DestinationRoot) {
  Record(KindBackup, Backup, DestinationRoot);
}
void TUpdateJournal::Moved(const std::string& Original, const std::string& Backup) { Record(KindMoved, Original, Backup); }
void TUpdateJournal::Temporary(const std::string& Path) { Record(KindTemporary, Path); }
void TUpdateJournal::Shortcut(const std::string& Path) { Record(KindShortcut, Path); }

void TUpdateJournal::Retire() {
  if (!FFile) return;
  platform::DeleteFile(FFile->Path());
  FFile.reset();
}

std::vector<std::string> FindInterruptedJournals(const std::string& Folder) {
  std::vector<std::string> found;
  if (!platform::DirectoryExists(Folder)) return found;
  for (const platform::TFileEntry& entry : platform::ListDirectory(Folder, false)) {
    if (entry.IsDirectory || entry.IsSymbolicLink || !EndsStr(JournalExtension, entry.Name)) continue;
    const std::string path = IncludeTrailingPathDelimiter(Folder) + entry.Name;
    if (!platform::IsWriterAlive(path)) found.push_back(path);
  }
  std::sort(found.begin(), found.end());
  return found;
}

void RemoveAddedItems(const std::vector<std::string>& Files, const std::vector<std::string>& Folders) {
  // An added file's contents may never have reached the disk: an empty or partial file must not stay.
  for (const std::string& file : Files)
    if (auto entry = platform::GetLinkEntry(file); entry && (!entry->IsDirectory || entry->IsSymbolicLink))
      platform::DeleteFile(file);
  // Deepest first, and only when empty: nothing someone else put there goes.
  for (auto it = Folders.rbegin(); it != Folders.rend(); ++it) platform::RemoveDir(ExcludeTrailingPathDelimiter(*it));
}

void RestoreFromJournal(ISetupHost& Host, const std::string& JournalPath) {
  Host.Log(RestoringLine);
  const std::string runId = RunIdOf(JournalPath);
  std::vector<std::pair<std::string, std::string>> backups;
  std::vector<std::string> shortcuts, addedFiles, addedFolders;
  auto removeTemporary = [&](const std::string& path) {
    if (platform::FileOrLinkExists(path) && platform::DeleteFile(path)) Host.Log(TemporaryRemovedLine(path));
  };
  for (const TRecord& record : ReadRecords(JournalPath)) {
    // A temporary left in a backup folder must not be moved into the client's folders with the rest.
    if (record.Kind == KindTemporary) {
      removeTemporary(record.First);
    } else if (record.Kind == KindTemporaryFolder && !runId.empty() && platform::DirectoryExists(record.First)) {
      for (const platform::TFileEntry& entry : platform::ListDirectory(record.First, false))
        if (!entry.IsDirectory && platform::IsTemporaryOfRun(entry.Name, runId))
          removeTemporary(IncludeTrailingPathDelimiter(record.First) + entry.Name);
    } else if (record.Kind == KindAddedFile) {
      addedFiles.push_back(record.First);
    } else if (record.Kind == KindAddedFolder) {
      addedFolders.push_back(record.First);
    } else if (record.Kind == KindBackup) {
      backups.emplace_back(record.First, record.Second);
    } else if (record.Kind == KindShortcut) {
      shortcuts.push_back(record.First);
    }
  }
  RollbackBackups(Host, backups);
  RemoveAddedItems(addedFiles, addedFolders);
  for (const std::string& link : shortcuts)
    if (platform::FileOrLinkExists(link) && platform::DeleteFile(link)) Host.Log(ShortcutRemovedLine(link));
  Host.Log(RestoredLine);
  RetireJournal(JournalPath);
}

void RetireJournal(const std::string& JournalPath) { platform::DeleteFile(JournalPath); }
