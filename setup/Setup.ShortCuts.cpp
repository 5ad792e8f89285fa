#include "Setup.ShortCuts.h"

#include "Runtime.StringList.h"
#include "Setup.DesktopLinks.h"
#include "Setup.LinkNames.h"
#include "platform/FileSystem.h"

void CreateLink(const std::string& Target, const std::string& Name, TStringList& ShortCutList) {
  ShortCutList.Add(CreateDesktopLink(Target, Name));
}

void CreateShortCuts(const std::vector<TPackageEntry>& Items, const TPackageFolders& Folders, TStringList& ShortCutList) {
  for (const TPackageEntry& item : Items) {
    const std::string target = Folders.InstalledPathOf(item);
    CreateLink(target, ShortcutName(target, Folders.PackagePathOf(item)), ShortCutList);
  }
}

void DeleteShortCuts(const TStringList& ShortCutList) {
  for (const std::string& link : ShortCutList) platform::DeleteFile(link);
}
