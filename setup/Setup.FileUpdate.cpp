#include "Setup.FileUpdate.h"

#include <cerrno>
#include <optional>

#include "Runtime.StringList.h"
#include "Runtime.Strings.h"
#include "Setup.PackageScan.h"
#include "Setup.Manifest.h"
#include "Setup.PackageTrust.h"
#include "platform/AtomicFile.h"
#include "platform/FileBlocks.h"
#include "platform/FileMove.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"

namespace {

const char AllUpdatedLine[] = "Все файлы обновлены.";
const char CountLine[] = "Количество обновленных файлов: ";
const char ContinueLine[] = "Для продолжения нажмите \"Далее>\"";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
std::string FolderCreatedLine(const std::string& folder) { return "Создана директория " + Quoted(folder); }
std::string FolderFailedLine(const std::string& folder, int error) {
  return "Не удалось создать директорию " + Quoted(folder) + ": " + platform::SystemErrorText(error);
}
std::string BackedUpLine(const std::string& rel) { return "Файл " + Quoted(rel) + " сохранен в бэкапе."; }
std::string BackupFailedLine(const std::string& rel) { return "Ошибка создания резервной копии " + Quoted(rel); }
std::string UpdatedLine(const std::string& rel) { return "Файл " + Quoted(rel) + " обновлен."; }
std::string AddedLine(const std::string& rel) { return "Файл " + Quoted(rel) + " добавлен."; }
std::string UpdateFailedLine(const std::string& rel) { return "Ошибка обновления файла: " + Quoted(rel); }
std::string RestoredLine(const std::string& rel) { return "Файл " + Quoted(rel) + " возвращен из бэкапа."; }
std::string NotRestoredLine(const std::string& rel) {
  return "Не удалось вернуть файл " + Quoted(rel) + " из бэкапа, он остался в резервной копии.";
}
std::string UntrustedLinkLine(const std::string& link) {
  return "Путь проходит через чужую символическую ссылку " + Quoted(link) + ", файл не обновлен.";
}

std::string BlockDetails(std::uint64_t offset, std::size_t length, std::uint64_t size) {
  return "\r\nТекущая позиция = " + std::to_string(offset) + "\r\nразмер текущего блока = " + std::to_string(length) +
         "\r\nОбщий размер блока = " + std::to_string(platform::FileBlockSize) +
         "\r\nРазмер файла = " + std::to_string(size);
}

// Offset / Size as a whole percentage, halves to the even number. Exact for files below 2^57 bytes.
int Percentage(std::uint64_t offset, std::uint64_t size) {
  const std::uint64_t scaled = offset * 100;
  std::uint64_t quotient = scaled / size;
  const std::uint64_t twice = (scaled % size) * 2;
  if (twice > size || (twice == size && quotient % 2 == 1)) ++quotient;
  return static_cast<int>(quotient);
}

// Folders at a time the update keeps open; past it they are closed and opened again when needed.
constexpr std::size_t MaxOpenFolders = 256;

}  // namespace

void JudgeUpdateEntry(TUpdateEntry& Entry, const std::string& PackageRoot) {
  using enum platform::TFileKind;
  Entry.Verdict = JudgePackageFile(PackageRoot, Entry.Entry.RelativePath);
  switch (Entry.Verdict.Kind) {
    case fkMissing: Entry.Kind = TUpdateEntry::TKind::ukMissing; break;
    case fkFolder: Entry.Kind = TUpdateEntry::TKind::ukFolder; break;
    case fkRegular: Entry.Kind = TUpdateEntry::TKind::ukFile; break;
    default: Entry.Kind = TUpdateEntry::TKind::ukRefused; break;
  }
}

TFileUpdate::TFileUpdate(ISetupHost& Host, TPackageRoots Common, TPackageRoots Documents)
    : FHost(Host), FRoots{std::move(Common), std::move(Documents)} {
  for (int i = 0; i < 2; ++i) {
    FDestinations[i].Root = FRoots[i].Destination;
    FBackups[i].Root = FRoots[i].Backup;
  }
}

TFileUpdate::~TFileUpdate() = default;

bool TFileUpdate::Run(const TUpdateEntries& Entries) {
  FFailed = 0;
  for (const TUpdateEntry& entry : Entries) {
    if (FHost.CancelRequested()) return false;
    if (!UpdateEntry(entry)) return false;
  }
  FHost.Log(AllUpdatedLine);
  FHost.Log(CountLine + std::to_string(Entries.size()));
  FHost.Log("");
  FHost.Log(ContinueLine);
  return true;
}

// Relative is "" for the root or a folder path ending with "/". Each folder is entered by its
// parent's descriptor, so the path is walked once and a link put on it later leads nowhere.
TFileUpdate::TFolderResult TFileUpdate::FolderOf(TSide& Side, const std::string& Relative, bool Create) {
  TFolderResult result;
  if (Relative.empty()) {
    if (!Side.RootHandle) {
      try {
        if (Create && !platform::DirectoryExists(Side.Root)) {
          platform::ForceDirectories(Side.Root);
          result.Created = true;
        }
        Side.RootHandle = platform::OpenFolder(Side.Root);
      } catch (const EOSError& e) {
        result.ErrorCode = e.ErrorCode();
        return result;
      }
    }
    result.Fd = Side.RootHandle.Fd();
    return result;
  }
  if (auto it = Side.Folders.find(Relative); it != Side.Folders.end()) {
    result.Fd = it->second.Fd();
    return result;
  }
  if (Side.Folders.size() >= MaxOpenFolders) Side.Folders.clear();
  const std::string inner = ExcludeTrailingPathDelimiter(Relative);
  const std::string parentRelative = ExtractFilePath(inner);
  TFolderResult parent = FolderOf(Side, parentRelative, Create);
  if (parent.Fd < 0) return parent;
  platform::TChildFolder child = platform::OpenChildFolder(parent.Fd, ExtractFileName(inner), Create);
  if (child.UntrustedLink) {
    result.UntrustedLink = Side.Root + inner;
    return result;
  }
  if (!child.Handle) {
    result.ErrorCode = child.ErrorCode;
    return result;
  }
  result.Created = parent.Created || child.Created;
  result.Fd = child.Handle.Fd();
  Side.Folders.emplace(Relative, std::move(child.Handle));
  return result;
}

int TFileUpdate::MadeFolder(const TFolderResult& Result, const std::string& Folder) {
  if (Result.Fd < 0)
    FHost.Log(FolderFailedLine(Folder, Result.UntrustedLink.empty() ? Result.ErrorCode : ELOOP));
  else if (Result.Created)
    FHost.Log(FolderCreatedLine(Folder));
  if (Result.Fd < 0 || Result.Created) FHost.ProcessMessages();
  return Result.Fd;
}

// The run's backup folder is made by the run itself, exclusively: a folder of its name made by
// anyone else (a run a moment before, with the same stamp) is refused, never merged into.
int TFileUpdate::BackupFolderFor(int Flag, const std::string& Relative) {
  TSide& side = FBackups[Flag];
  const std::string folder = side.Root + Relative;
  bool created = false;
  if (!FBackupClaimed[Flag]) {
    const std::string root = ExcludeTrailingPathDelimiter(side.Root);
    const std::string& destination = FRoots[Flag].Destination;
    TFolderResult parent;
    platform::TFolderHandle outside;
    if (root.starts_with(destination)) {
      parent = FolderOf(FDestinations[Flag], ExtractFilePath(root.substr(destination.size())), true);
    } else {
      try {
        platform::ForceDirectories(ExtractFilePath(root));
        outside = platform::OpenFolder(ExtractFilePath(root));
        parent.Fd = outside.Fd();
      } catch (const EOSError& e) {
        parent.ErrorCode = e.ErrorCode();
      }
    }
    if (parent.Fd < 0) return MadeFolder(parent, folder);
    if (!platform::MakeFolderAt(parent.Fd, ExtractFileName(root))) {
      TFolderResult refused;
      refused.ErrorCode = platform::LastErrorCode();
      return MadeFolder(refused, folder);
    }
    FBackupClaimed[Flag] = true;
    created = true;
    try {
      side.RootHandle = platform::OpenFolder(side.Root);
    } catch (const EOSError& e) {
      TFolderResult failed;
      failed.ErrorCode = e.ErrorCode();
      return MadeFolder(failed, folder);
    }
  }
  TFolderResult result = FolderOf(side, Relative, true);
  result.Created = result.Created || created;
  return MadeFolder(result, folder);
}

bool TFileUpdate::UpdateEntry(const TUpdateEntry& Planned) {
  const std::string& Rel = Planned.Entry.RelativePath;
  const int side = Planned.Entry.Flag == TPackageEntry::CommonPackage ? 0 : 1;
  const TPackageRoots& roots = FRoots[side];
  std::optional<TUpdateEntry> judged;
  if (Planned.Kind == TUpdateEntry::TKind::ukUnknown) JudgeUpdateEntry(judged.emplace(Planned), roots.Package);
  const TUpdateEntry& Entry = judged ? *judged : Planned;
  if (Entry.Kind == TUpdateEntry::TKind::ukRefused) {
    // Nothing of it is touched: no backup, no box, only the line that says why.
    FHost.Log(RefusedPackageFileLine(Rel, Entry.Verdict));
    ++FFailed;
    EndEntry();
    return true;
  }
  if (Entry.Kind != TUpdateEntry::TKind::ukFile) {
    EndEntry();
    return true;
  }
  // A link inside the package is copied from where it resolves, so the copy never opens a link.
  const std::string& source = Entry.Verdict.OpenPath;
  FHost.SetStatus(roots.Package + Rel);
  const std::string target = roots.Destination + Rel;
  const std::string backup = roots.Backup + Rel;
  const std::string folder = ExtractFilePath(Rel);
  const std::string name = ExtractFileName(Rel);

  const TManifestEntry* expected = FManifest ? FManifest->Find(Entry.Entry) : nullptr;
  if (FManifest && !expected)  // appeared after the check
    throw EPackageChanged(PackageRefusalText({TPackageDifference::pdUnlisted, Rel, {}}));

  // Someone else's link on the way would redirect the write, or the backup, out of the folders.
  TFolderResult destination = FolderOf(FDestinations[side], folder, false);
  if (!destination.UntrustedLink.empty()) {
    FHost.Log(UntrustedLinkLine(destination.UntrustedLink));
    Failed(Rel);
    EndEntry();
    return true;
  }

  bool replaced = false;
  const platform::TEntryKind existing =
      destination.Fd < 0 ? platform::TEntryKind::ekNone : platform::EntryKindAt(destination.Fd, name);
  if (existing == platform::TEntryKind::ekFile || existing == platform::TEntryKind::ekLink) {
    if (FHost.CancelRequested()) return false;
    const int backupFolder = BackupFolderFor(side, folder);
    if (FHost.CancelRequested()) return false;
    const bool saved = backupFolder >= 0 && MoveIntoBackup(destination.Fd, backupFolder, name, target, backup);
    FHost.Log(saved ? BackedUpLine(Rel) : BackupFailedLine(Rel));
    FHost.ProcessMessages();
    if (!saved) {
      Failed(Rel);
      EndEntry();
      return true;
    }
    replaced = true;
  }

  if (FHost.CancelRequested()) return false;
  if (destination.Fd < 0) {
    destination = FolderOf(FDestinations[side], folder, true);
    if (!destination.UntrustedLink.empty()) {
      FHost.Log(UntrustedLinkLine(destination.UntrustedLink));
      Failed(Rel);
      EndEntry();
      return true;
    }
    MadeFolder(destination, roots.Destination + folder);
  }
  if (FHost.CancelRequested()) return false;
  bool copied = false;
  try {
    copied = CopyFile(source, destination.Fd, name, target, TCopyKind::ckUpdate, expected);
  } catch (...) {
    if (replaced) MoveBackOriginal(Rel, backup, target);
    throw;
  }
  if (copied) {
    FHost.Log(replaced ? UpdatedLine(Rel) : AddedLine(Rel));
  } else {
    Failed(Rel);
    // After a cancel the rollback puts the original back with the rest.
    if (replaced && !FHost.CancelRequested()) MoveBackOriginal(Rel, backup, target);
  }
  EndEntry();
  return true;
}

void TFileUpdate::Failed(const std::string& Rel) {
  FHost.Log(UpdateFailedLine(Rel));
  ++FFailed;
}

void TFileUpdate::MoveBackOriginal(const std::string& Rel, const std::string& Backup, const std::string& Target) {
  const bool restored = platform::MoveFileKeepingAttributes(Backup, Target);
  FHost.Log(restored ? RestoredLine(Rel) : NotRestoredLine(Rel));
}

void TFileUpdate::EndEntry() {
  FHost.StepOverall();
  FHost.ProcessMessages();
}

// A rename where the file system allows, never over a file already in the backup; across file
// systems a copy that keeps mode and times, on the disk before the original goes.
bool TFileUpdate::MoveIntoBackup(int FromFolder, int ToFolder, const std::string& Name, const std::string& From,
                                 const std::string& To) {
  if (platform::RenameNoReplace(FromFolder, Name, ToFolder, Name)) return true;
  if (!platform::IsCrossDeviceError(platform::LastErrorCode())) return false;
  if (platform::EntryKindAt(FromFolder, Name) == platform::TEntryKind::ekLink) {
    if (platform::FileOrLinkExists(To)) return false;
    return platform::MoveFileKeepingAttributes(From, To);
  }
  try {
    if (!CopyFile(From, ToFolder, Name, To, TCopyKind::ckBackup)) return false;
  } catch (const EOSError&) {  // the copy could not keep the original's mode or times
    return false;
  }
  if (platform::RemoveFileAt(FromFolder, Name)) return true;
  // The original stays where it was; a second copy in the backup would only be moved back over it.
  platform::RemoveFileAt(ToFolder, Name);
  return false;
}

bool TFileUpdate::CopyFileByBlocks(const std::string& Source, const std::string& Dest, TCopyKind Kind) {
  return CopyFile(Source, platform::TNewFile::AtFolderOfPath, Dest, Dest, Kind);
}

bool TFileUpdate::CopyFile(const std::string& Source, int Folder, const std::string& Name, const std::string& Dest,
                           TCopyKind Kind, const TManifestEntry* Expected) {
  std::optional<platform::TBlockSource> source;
  try {
    source.emplace(Source);
  } catch (const EOSError& e) {
    FHost.ShowMessage("Step: 1 - " + platform::SystemErrorText(e.ErrorCode()));
    return false;
  }
  if (Expected && source->Size() != Expected->Size)
    throw EPackageChanged(PackageRefusalText({TPackageDifference::pdSize, Expected->Path, {}}));
  std::optional<platform::TBlockTarget> target;
  try {
    target.emplace(Folder, Name, Dest);
  } catch (const EOSError& e) {
    FHost.ShowMessage("Step: 2 - " + platform::SystemErrorText(e.ErrorCode()));
    return false;
  }
  const bool copied = CopyBlocks(*source, *target, Expected);
  if (FHost.CancelRequested() || !copied) return false;  // the temporary goes with the target object
  if (Kind == TCopyKind::ckUpdate)
    target->GrantEveryoneAccess(source->IsExecutable());
  else
    target->KeepModeAndTimesOf(*source);
  try {
    // A backup's copy is the only copy of the original once the original is deleted: it goes to
    // the disk first, and never replaces anything already in the backup.
    if (Kind == TCopyKind::ckBackup)
      target->Commit(platform::TDurability::dSyncNow, true);
    else
      target->Commit(platform::TDurability::dSyncedByRun);
  } catch (const EOSError& e) {
    FHost.ShowMessage("Step: 2 - " + platform::SystemErrorText(e.ErrorCode()));
    return false;
  }
  return true;
}

bool TFileUpdate::CopyBlocks(platform::TBlockSource& Source, platform::TBlockTarget& Target,
                             const TManifestEntry* Expected) {
  std::optional<TFileHashCheck> check;
  platform::TBlockTarget::TWrittenBytes hash;
  if (Expected) {
    check.emplace(*Expected);
    hash = [&check](const void* data, std::size_t length) { check->Update(data, length); };
  }
  const std::uint64_t size = Source.Size();
  std::uint64_t offset = 0;
  int shown = 0;
  while (offset < size) {
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(platform::FileBlockSize, size - offset));
    if (FHost.CancelRequested()) return false;
    if (platform::TBlockResult r = Target.CopyBlock(Source, offset, length, check ? &hash : nullptr); !r) {
      const std::string text = platform::SystemErrorText(r.ErrorCode) + BlockDetails(offset, length, size);
      FHost.ShowMessage(r.Failure == platform::bfWrite ? "Ошибка при записи:\r\n" + text : text);
      return false;
    }
    if (FBlockObserver) FBlockObserver(Source.Path(), offset, length);
    offset += length;
    FHost.ProcessMessages();
    if (int percent = Percentage(offset, size); percent > shown) {
      shown = percent;
      FHost.SetFileProgress(percent);
    }
  }
  // The temporary goes with the target: the changed bytes never replace anything.
  if (check && !check->Matches())
    throw EPackageChanged(PackageRefusalText({TPackageDifference::pdContent, Expected->Path, {}}));
  return true;
}
