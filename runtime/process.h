// Programs: this program's own arguments, starting another program (and waiting for it), and
// ending a running one. Command lines are GBK texts in the form both programs build them:
// "<folder>\update.exe <link>", unquoted; paths in them are mapped like every other path.
#pragma once

#include <vector>

#include "runtime/text.h"

// The arguments after the program's own name, in order. The process's own unless set below.
std::vector<Text> GetCommandLineArgs();
// Replaces what GetCommandLineArgs returns (a program run inside a test's process).
void SetCommandLineArgs(const std::vector<Text>& args);
// The arguments part of a command line split at blanks (spaces and tabs); double quotes group
// blanks into an argument and are dropped, "" gives an empty argument.
std::vector<Text> SplitCommandLine(const Text& line);

// Starts the command line as a new process with this process's current directory. A line that
// begins with a double quote names the program up to the closing quote; otherwise the beginnings
// of the line up to each blank are tried in turn, shortest first, so an unquoted folder holding a
// blank is still found; a name without a separator is looked for in the current folder and then
// along PATH. The rest of the line becomes the program's arguments (SplitCommandLine).
// wait true: returns when the program has ended. wait false: returns once the program runs (or
// could not be run), at most after a second; nothing is left to reap. True when it was started.
// showMode is the window state the program is asked to open in; only the normal one exists here.
bool RunProgram(const Text& commandLine, bool wait = false, int showMode = 1);

// Lets a downloaded program file be started (here: the executable permission bits); true when
// it can be. Where every program file can be started this changes nothing.
bool MarkRunnable(const Text& path);

// Ends one running program: the one owning a top-level window whose title is exactly name, or
// else the first process whose executable file name equals name without regard to ASCII case
// (double-byte aware). It is ended at once, as by a kill. True when one was ended.
bool KillProcess(const Text& name);
