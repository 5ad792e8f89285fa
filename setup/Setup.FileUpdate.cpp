#include "Setup.FileUpdate.h"

#include <any>
#include <cerrno>
#include <optional>

#include "Runtime.StringList.h"
#include "Runtime.Strings.h"
#include "Setup.Journal.h"
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

// The folder part of a path relative to root, for the link check; nothing when it is not below it.
std::optional<std::string> Below(const std::string& root, const std::string& path) {
  if (!path.starts_with(root)) return std::nullopt;
  return ExtractFilePath(path.substr(root.size()));
}

}  // namespace

TFileUpdate::TFileUpdate(ISetupHost& Host, TPackageRoots Common, TPackageRoots Documents)
    : FHost(Host), FRoots{std::move(Common), std::move(Documents)} {}

bool TFileUpdate::Run(const TStringList& DataList) {
  FFailed = 0;
  if (FJournal)
    for (const TPackageRoots& roots : FRoots) FJournal->BackupFolder(roots.Backup, roots.Destination);
  for (std::size_t i = 0; i < DataList.Count(); ++i) {
    if (FHost.CancelRequested()) return false;
    if (!UpdateEntry(DataList[i], std::any_cast<int>(DataList.Objects(i)))) return false;
  }
  FHost.Log(AllUpdatedLine);
  FHost.Log(CountLine + std::to_string(DataList.Count()));
  FHost.Log("");
  FHost.Log(ContinueLine);
  return true;
}

bool TFileUpdate::UpdateEntry(const std::string& Rel, int Flag) {
  const TPackageRoots& roots = FRoots[Flag == 0 ? 0 : 1];
  const std::string source = roots.Package + Rel;
  if (!platform::FileExists(source)) {
    EndEntry();
    return true;
  }
  FHost.SetStatus(source);
  const std::string target = roots.Destination + Rel;
  const std::string backup = roots.Backup + Rel;

  // Someone else's link on the way would redirect the write, or the backup, out of the folders.
  std::optional<std::string> untrusted = platform::FindUntrustedLink(roots.Destination, ExtractFilePath(Rel));
  if (auto backupFolder = Below(roots.Destination, backup); !untrusted && backupFolder)
    untrusted = platform::FindUntrustedLink(roots.Destination, *backupFolder);
  if (untrusted) {
    FHost.Log(UntrustedLinkLine(*untrusted));
    Failed(Rel);
    EndEntry();
    return true;
  }

  bool replaced = false;
  if (platform::FileOrLinkExists(target)) {
    if (FHost.CancelRequested()) return false;
    MakeFolder(ExtractFilePath(backup));
    if (FHost.CancelRequested()) return false;
    if (FJournal) FJournal->Moved(target, backup);
    const bool saved = MoveFileByBlocks(target, backup);
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
  MakeFolder(ExtractFilePath(target));
  if (FHost.CancelRequested()) return false;
  bool copied = false;
  try {
    copied = CopyFileByBlocks(source, target, TCopyKind::ckUpdate);
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
  const bool restored = platform::MoveFileKeepingAttributes(Backup, Target) == 0;
  FHost.Log(restored ? RestoredLine(Rel) : NotRestoredLine(Rel));
}

void TFileUpdate::EndEntry() {
  FHost.StepOverall();
  FHost.ProcessMessages();
}

void TFileUpdate::MakeFolder(const std::string& Folder) {
  if (platform::DirectoryExists(Folder)) return;
  try {
    platform::ForceDirectories(Folder);
    FHost.Log(FolderCreatedLine(Folder));
  } catch (const EOSError& e) {
    FHost.Log(FolderFailedLine(Folder, e.ErrorCode()));
  }
  FHost.ProcessMessages();
}

bool TFileUpdate::MoveFileByBlocks(const std::string& Source, const std::string& Dest) {
  if (platform::RenameFile(Source, Dest)) return true;
  if (platform::LastErrorCode() != EXDEV) return false;
  auto entry = platform::GetLinkEntry(Source);
  if (entry && entry->IsSymbolicLink) return platform::MoveFileKeepingAttributes(Source, Dest) == 0;
  try {
    if (!CopyFileByBlocks(Source, Dest, TCopyKind::ckBackup)) return false;
  } catch (const EOSError&) {  // the copy could not keep the original's mode or times
    return false;
  }
  if (platform::DeleteFile(Source)) return true;
  // The original stays where it was; a second copy in the backup would only be moved back over it.
  platform::DeleteFile(Dest);
  return false;
}

bool TFileUpdate::CopyFileByBlocks(const std::string& Source, const std::string& Dest, TCopyKind Kind) {
  std::optional<platform::TBlockSource> source;
  try {
    source.emplace(Source);
  } catch (const EOSError& e) {
    FHost.ShowMessage("Step: 1 - " + platform::SystemErrorText(e.ErrorCode()));
    return false;
  }
  std::optional<platform::TBlockTarget> target;
  try {
    if (FJournal)
      target.emplace(Dest, [this](const std::string& temporary) { FJournal->Temporary(temporary); });
    else
      target.emplace(Dest);
  } catch (const EOSError& e) {
    FHost.ShowMessage("Step: 2 - " + platform::SystemErrorText(e.ErrorCode()));
    return false;
  }
  const bool copied = CopyBlocks(*source, *target);
  if (FHost.CancelRequested() || !copied) return false;  // the temporary goes with the target object
  if (Kind == TCopyKind::ckUpdate)
    target->GrantEveryoneAccess(source->IsExecutable());
  else
    target->KeepModeAndTimesOf(*source);
  try {
    target->Commit();
  } catch (const EOSError& e) {
    FHost.ShowMessage("Step: 2 - " + platform::SystemErrorText(e.ErrorCode()));
    return false;
  }
  return true;
}

bool TFileUpdate::CopyBlocks(platform::TBlockSource& Source, platform::TBlockTarget& Target) {
  const std::uint64_t size = Source.Size();
  std::uint64_t offset = 0;
  int shown = 0;
  while (offset < size) {
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(platform::FileBlockSize, size - offset));
    if (FHost.CancelRequested()) return false;
    if (platform::TBlockResult r = Target.CopyBlock(Source, offset, length); !r) {
      const std::string text = platform::SystemErrorText(r.ErrorCode) + BlockDetails(offset, length, size);
      FHost.ShowMessage(r.Failure == platform::bfWrite ? "Ошибка при записи:\r\n" + text : text);
      return false;
    }
    offset += length;
    FHost.ProcessMessages();
    if (int percent = Percentage(offset, size); percent > shown) {
      shown = percent;
      FHost.SetFileProgress(percent);
    }
  }
  return true;
}
