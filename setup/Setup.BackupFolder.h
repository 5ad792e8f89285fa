#pragma once
// Where the files an update replaces are kept: "QuentaBackup/<stamp>/" inside the destination
// root, mirroring the destination's layout. The stamp is the local date and time in the user's
// regional format with every character that separates folders, and ":", made "-", so that a
// date like "12/9/2015" never nests one backup folder in another.

#include <string>

#include "Runtime.DateTime.h"

struct TFormatSettings;

inline constexpr char BackupFolderName[] = "QuentaBackup";

std::string BackupStamp(TDateTime Now, const TFormatSettings& Settings);
// DestinationRoot + "QuentaBackup/" + stamp + "/".
std::string BackupFolderOf(const std::string& DestinationRoot, TDateTime Now, const TFormatSettings& Settings);
// The same, or where that name is taken (a run a moment before had the same stamp) the first free
// one of "<stamp> (2)", "<stamp> (3)", ...: a run never shares a backup folder with another.
std::string FreeBackupFolderOf(const std::string& DestinationRoot, TDateTime Now, const TFormatSettings& Settings);
