// Start-up of the snippet program: the program entry, the main window's created handler and
// the binding of every handler.
#pragma once

// Run-time set-up, globals, exit routine, start-up routine, main window loaded (its created
// handler runs during the load). False when the main window could not be loaded.
bool StartSnippetProgram();
// StartSnippetProgram, then the message loop until no window is left; 0.
int ProgramEntry();
int RunStartupRoutine();
void MainWindow_OnCreated();
// Binds the handlers of every window of the program.
void BindSnippetHandlers();
