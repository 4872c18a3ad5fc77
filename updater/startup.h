// Start-up of the updater: the program entry and the window's created handler, which reads
// the update page, clears a leftover file and starts the download.
#pragma once

// Run-time set-up, globals, exit routine, start-up routine, UpdaterWindow loaded (its created
// handler runs during the load). False when the window could not be loaded.
bool StartUpdaterProgram();
// StartUpdaterProgram, then the message loop until no window is left; 0.
int UpdaterProgramEntry();
void UpdaterWindow_OnCreated();
void BindUpdaterHandlers();

// The local file names of the two kinds of update.
inline constexpr const char* kZipUpdateFileName = "zip file updated.zip";
inline constexpr const char* kProgramUpdateFileName = "exe program updates.exe";
