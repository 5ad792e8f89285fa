#include "platform/FileMove.h"

#include <algorithm>
#include <cerrno>

#include "Runtime.Strings.h"
#include "platform/FileBlocks.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"

namespace platform {

namespace {
void CopyKeepingAttributes(const std::string& from, const std::string& to) {
  TBlockSource source(from);
  TBlockTarget target(to);
  for (std::uint64_t offset = 0; offset < source.Size(); offset += FileBlockSize) {
    std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(FileBlockSize, source.Size() - offset));
    if (TBlockResult r = target.CopyBlock(source, offset, length); !r) throw EOSError(r.ErrorCode, from);
  }
  target.KeepModeAndTimesOf(source);
  // The source goes right after: its copy must be on the disk first.
  target.Commit(TDurability::dSyncNow);
}

void MoveInto(const std::string& from, const std::string& to, const std::string& relative,
              std::vector<TMoveFailure>& failures) {
  std::vector<TFileEntry> entries;
  try {
    entries = ListDirectory(from, false);
  } catch (const EOSError& e) {
    failures.push_back({relative, e.ErrorCode()});
    return;
  }
  for (const TFileEntry& entry : entries) {
    const std::string source = from + "/" + entry.Name;
    const std::string dest = to + "/" + entry.Name;
    if (!entry.IsDirectory || entry.IsSymbolicLink) {
      if (!MoveFileKeepingAttributes(source, dest)) failures.push_back({relative + entry.Name, LastErrorCode()});
      continue;
    }
    const std::string folder = relative + entry.Name + "/";
    auto existing = GetLinkEntry(dest);
    if (!existing) {
      if (RenameFile(source, dest)) continue;
      if (!IsCrossDeviceError(LastErrorCode()) || !CreateDir(dest)) {
        failures.push_back({folder, LastErrorCode()});
        continue;
      }
    } else if (existing->IsSymbolicLink) {
      auto target = GetFileEntry(dest);
      if (FindUntrustedLink(to, entry.Name) || !target || !target->IsDirectory) {
        failures.push_back({folder, ENOTDIR});
        continue;
      }
    } else if (!existing->IsDirectory) {
      failures.push_back({folder, ENOTDIR});
      continue;
    }
    MoveInto(source, dest, folder, failures);
    RemoveDir(source);  // stays when something in it could not move
  }
}
}  // namespace

bool MoveFileKeepingAttributes(const std::string& From, const std::string& To) {
  if (RenameFile(From, To)) return true;
  if (!IsCrossDeviceError(LastErrorCode())) return false;
  try {
    auto entry = GetLinkEntry(From);
    if (entry && entry->IsSymbolicLink) {
      if (FileOrLinkExists(To)) DeleteFile(To);
      CopySymbolicLink(From, To);
    } else {
      CopyKeepingAttributes(From, To);
    }
  } catch (const EOSError& e) {
    SetLastErrorCode(e.ErrorCode());
    return false;
  }
  return DeleteFile(From);
}

std::vector<TMoveFailure> MoveFolderContents(const std::string& From, const std::string& To) {
  std::vector<TMoveFailure> failures;
  MoveInto(ExcludeTrailingPathDelimiter(From), ExcludeTrailingPathDelimiter(To), "", failures);
  return failures;
}

}  // namespace platform
