#pragma once
// Puts back what an update moved into its backup folders: everything in each backup folder moves
// into its destination root (files replace, folders merge), then the emptied backup folder goes;
// "QuentaBackup" itself stays. Files the update added stay too.
//
// Nothing is asked and a failure stops no other move. What could not be put back stays in the
// backup folder and is listed in one error box after all the moves.

#include <string>
#include <utility>
#include <vector>

#include "Setup.Host.h"

// Pairs of backup folder and destination root; an empty or missing backup folder is skipped.
void RollbackBackups(ISetupHost& Host, const std::vector<std::pair<std::string, std::string>>& Folders);
