#include "Setup.BackupFolder.h"

#include "Runtime.FormatSettings.h"
#include "Runtime.Strings.h"
#include "platform/FileSystem.h"

std::string BackupStamp(TDateTime Now, const TFormatSettings& Settings) {
  std::string stamp = DateTimeToStr(Now, Settings);
  for (char& c : stamp)
    if (c == ':' || c == '/' || c == '\\') c = '-';
  return stamp;
}

std::string BackupFolderOf(const std::string& DestinationRoot, TDateTime Now, const TFormatSettings& Settings) {
  return IncludeTrailingPathDelimiter(DestinationRoot) + BackupFolderName + "/" + BackupStamp(Now, Settings) + "/";
}

std::string FreeBackupFolderOf(const std::string& DestinationRoot, TDateTime Now, const TFormatSettings& Settings) {
  const std::string first = BackupFolderOf(DestinationRoot, Now, Settings);
  std::string folder = first;
  for (int n = 2; platform::GetLinkEntry(ExcludeTrailingPathDelimiter(folder)); ++n)
    folder = ExcludeTrailingPathDelimiter(first) + " (" + std::to_string(n) + ")/";
  return folder;
}
