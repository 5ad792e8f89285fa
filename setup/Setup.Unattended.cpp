#include "Setup.Unattended.h"

#include <optional>

#include "Ox.Types.h"
#include "Runtime.Exceptions.h"
#include "Runtime.StringList.h"
#include "Runtime.Strings.h"
#include "Setup.Connections.h"
#include "Setup.ExternalFileExts.h"
#include "Setup.Journal.h"
#include "Setup.PackageEntries.h"
#include "Setup.PackageScan.h"
#include "Setup.PackageSettings.h"
#include "Setup.PackageTrust.h"
#include "Setup.ShortCuts.h"
#include "Setup.SpaceCheck.h"
#include "Setup.Texts.h"
#include "Setup.UpdateSession.h"
#include "SysInfo.Core.Kvelo7.h"
#include "platform/FileSystem.h"
#include "platform/NamedMutex.h"

namespace {

const char RolledBackText[] = "Квента установка прервана из-за ошибки, изменения отменены: ";
const char DoneLine[] = "Квента установка завершена.";

// The items a person would find ticked on the shortcut and connection pages: the document
// package's entries that "links" and "connections" name.
struct TPreTicked {
  std::vector<TPackageEntry> Links;
  std::vector<TPackageEntry> Folders;
};

// Only the package's own files and folders, as the copy judged them.
TPreTicked PreTickedOf(const TUpdateEntries& planned, const TPackageSettings& settings) {
  TPreTicked ticked;
  for (const TUpdateEntry& item : planned) {
    const TPackageEntry& entry = item.Entry;
    if (entry.Flag != TPackageEntry::DocumentPackage) continue;
    if (item.Kind != TUpdateEntry::TKind::ukFile && item.Kind != TUpdateEntry::TKind::ukFolder) continue;
    const bool isFolder = item.Kind == TUpdateEntry::TKind::ukFolder;
    const std::string path = isFolder ? IncludeTrailingPathDelimiter(entry.RelativePath) : entry.RelativePath;
    if (settings.IsAutoLink(path)) ticked.Links.push_back(entry);
    if (isFolder && settings.IsAutoConnection(path)) ticked.Folders.push_back(entry);
  }
  return ticked;
}

}  // namespace

int RestoreInterruptedUpdates(ISetupHost& Host, const std::string& JournalFolder) {
  const std::vector<std::string> journals = FindInterruptedJournals(JournalFolder);
  for (const std::string& journal : journals) RestoreFromJournal(Host, journal);
  return static_cast<int>(journals.size());
}

TUnattendedResult RunUnattendedUpdate(ISetupHost& Host, const std::string& BaseFolder, const std::string& JournalFolder) {
  if (platform::NamedMutexExists(ClientMutexName)) {
    Host.ShowMessage(ClientRunningText);
    return TUnattendedResult::urClientRunning;
  }
  RestoreInterruptedUpdates(Host, JournalFolder);
  if (!TKvelo7Information::IsApplicationInstalled()) {
    Host.ShowMessage(NotInstalledText);
    return TUnattendedResult::urNotInstalled;
  }
  // The contents are hashed by the copy itself, from the bytes it writes.
  TPackageCheck check = CheckPackage(Host, BaseFolder, false);
  if (check.Refused()) return TUnattendedResult::urNotTrusted;
  const std::string base = BaseFolder.empty() ? std::string() : IncludeTrailingPathDelimiter(BaseFolder);
  const TPackageFolders folders{base + CommonPackageFolder, base + DocumentPackageFolder,
                                TKvelo7Information::CommonDataFolder(), TKvelo7Information::MyFolderRoot()};
  TUpdateSession session(Host, folders, TKvelo7Information::CommonSettingFolder());
  session.SetManifest(std::move(check.Manifest));
  const TPackageRoots& common = session.CommonRoots();
  const TPackageRoots& documents = session.DocumentRoots();

  TStringList dataList;
  ScanFolder(common.Package, "", common.Package, nullptr, 0, dataList, nullptr);
  ScanFolder(documents.Package, "", documents.Package, nullptr, 1, dataList, nullptr);
  Host.SetOverallMaximum(static_cast<int>(dataList.Count()));
  if (const std::optional<TSpaceShortage> shortage = FindSpaceShortage(dataList, common, documents)) {
    Host.ShowError(SpaceShortageText(*shortage));
    return TUnattendedResult::urNoSpace;
  }

  const TPackageSettings settings = ReadPackageSettings(base);
  TStringList shortCutList;
  try {
    session.Begin(dataList, JournalFolder);
    MergeExternalFileExts(TKvelo7Information::CommonSettingFolder(), settings.ExternalFileExts);
    session.CopyData();
    const TPreTicked ticked = PreTickedOf(session.Planned(), settings);
    session.CreateShortCuts(ticked.Links, shortCutList);
    RegisterConnections(ticked.Folders, settings.IsAutoConnection(std::string(WebServiceHost)), folders);
    session.Commit();
  } catch (const EPackageChanged& e) {
    // Changed since the check: the same verdict as a package refused before the copy.
    Host.ShowError(e.Message());
    Host.Log(RestoreLine);
    session.Rollback(shortCutList);
    return TUnattendedResult::urNotTrusted;
  } catch (const std::exception& e) {
    const std::string text = ExceptionText(e);
    Host.ShowError(RolledBackText + text);
    Host.Log(RestoreLine);
    session.Rollback(shortCutList);
    return TUnattendedResult::urRolledBack;
  }
  Host.Log(DoneLine);
  return session.FailedCount() > 0 ? TUnattendedResult::urSomeFilesFailed : TUnattendedResult::urDone;
}
