#include "Setup.BackupFolder.h"

#include "Runtime.FormatSettings.h"
#include "Runtime.Strings.h"

std::string BackupStamp(TDateTime Now, const TFormatSettings& Settings) {
  std::string stamp = DateTimeToStr(Now, Settings);
  for (char& c : stamp)
    if (c == ':' || c == '/' || c == '\\') c = '-';
  return stamp;
}

std::string BackupFolderOf(const std::string& DestinationRoot, TDateTime Now, const TFormatSettings& Settings) {
  return IncludeTrailingPathDelimiter(DestinationRoot) + BackupFolderName + "/" + BackupStamp(Now, Settings) + "/";
}
