// The update check: the version the update-information page announces against the program's
// own, the outcome in the status bar, and the hand-over to the updater.
#pragma once

#include "web/share_link.h"

// -1.0 when the page has no field, 0.0 when its version is not newer than current (compared as
// single-precision numbers), else the announced version read as a double.
double GetLatestVersion(const ShareLink& link, float current);
void CheckForUpdate();
void CheckForUpdateThread(int unused);

// The line that starts the updater beside the program with the link as its one argument; ""
// when the folder or the link holds a double quote, which no such line could carry.
Text UpdaterCommandLine(const Text& programFolder, const ShareLink& link);
