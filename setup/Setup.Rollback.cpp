#include "Setup.Rollback.h"

#include "Runtime.Strings.h"
#include "platform/FileMove.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"

namespace {
const char NotRestoredHeader[] = "Не удалось вернуть на место из резервной копии:";
const char NotRestoredFooter[] = "Эти файлы остались в папке резервной копии, их можно вернуть вручную.";
}  // namespace

void RollbackBackups(ISetupHost& Host, const std::vector<std::pair<std::string, std::string>>& Folders) {
  std::string failed;
  for (const auto& [backup, destination] : Folders) {
    if (backup.empty() || !platform::DirectoryExists(backup)) continue;
    for (const platform::TMoveFailure& failure : platform::MoveFolderContents(backup, destination))
      failed += "\r\n" + IncludeTrailingPathDelimiter(backup) + failure.Path + " (" +
                platform::SystemErrorText(failure.ErrorCode) + ")";
    platform::RemoveDir(ExcludeTrailingPathDelimiter(backup));  // only when everything went back
  }
  if (!failed.empty()) Host.ShowError(NotRestoredHeader + failed + "\r\n" + NotRestoredFooter);
}
