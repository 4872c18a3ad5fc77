// The real window backend: native widgets through wxWidgets. A program's entry installs it
// before it loads its first window.
#pragma once

// Starts wxWidgets on the calling thread, which becomes the GUI thread, and installs the
// backend with the window run-time. False when no display can be opened.
bool InstallWxBackend(int& argc, char** argv);
