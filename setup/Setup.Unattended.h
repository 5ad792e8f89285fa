#pragma once
// The update without a window or a person: the same work in the same order as a person pressing
// "Далее >" on every page. Nobody can be asked, so an update that an error stops is rolled back
// rather than left half-done, and an update interrupted earlier is restored before this one runs.

#include <string>

#include "Setup.Host.h"

// The process's exit code; an administrator's script branches on it.
enum class TUnattendedResult {
  urDone = 0,            // everything updated
  urSomeFilesFailed = 1, // done, but some files could not be updated (their error lines say which)
  urClientRunning = 2,   // the client is running: nothing touched
  urNotInstalled = 3,    // no installed client: nothing touched
  urRolledBack = 4,      // an error ended the work and the update was rolled back
  urNoSpace = 5,         // not enough disk space: nothing touched
  urNotTrusted = 6,      // the package is damaged or not signed by a trusted key: nothing touched, or
                         // (a file changed after the check) the update rolled back
};

// Runs the update of the package in BaseFolder (with or without trailing separator). Lines of the
// log go to Host.Log, what a box would say to Host.ShowMessage or Host.ShowError; nothing is asked.
// Journals go to JournalFolder.
TUnattendedResult RunUnattendedUpdate(ISetupHost& Host, const std::string& BaseFolder, const std::string& JournalFolder);

// Restores every interrupted update whose journal is in JournalFolder; the count of them.
int RestoreInterruptedUpdates(ISetupHost& Host, const std::string& JournalFolder);
