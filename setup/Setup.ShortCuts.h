#pragma once
// Desktop shortcuts to the installed copies of chosen package items, recorded so that a rollback
// can delete them again.
//
// Entry points for whoever runs the update, with or without the window: CreateShortCuts with the
// chosen items, and DeleteShortCuts as the rollback's last step.

#include <string>
#include <vector>

#include "Setup.PackageEntries.h"

class TStringList;

// Writes the desktop shortcut of Target named Name (Setup.DesktopLinks) and appends its full file
// name to ShortCutList. EShortcutNameError or EOSError when it cannot be written; the list is then
// unchanged.
void CreateLink(const std::string& Target, const std::string& Name, TStringList& ShortCutList);

// One shortcut per item, in the order given, to the item's installed copy, named by ShortcutName
// (a folder's "linkname.txt" in the package, else the item's own name). Two items of the same name
// share one shortcut file: the later replaces the earlier and the list names it twice. The first
// shortcut that cannot be written raises; those written before it stay and are listed.
void CreateShortCuts(const std::vector<TPackageEntry>& Items, const TPackageFolders& Folders, TStringList& ShortCutList);

// Deletes the files of ShortCutList, first to last. One that is gone already, or cannot be
// deleted, is skipped: the rollback goes on. The list is kept.
void DeleteShortCuts(const TStringList& ShortCutList);
