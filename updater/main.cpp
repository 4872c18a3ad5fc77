// The update.exe program: the updater with real windows.
#include <cstdio>
#include <cstdlib>

#include "ui/wx/wx_backend.h"
#include "updater/startup.h"

int main(int argc, char** argv) {
  if (!InstallWxBackend(argc, argv)) return 1;
  const int code = UpdaterProgramEntry();
  // The exit routine has run; the download's thread may still be about, so no static
  // destructor may run.
  std::fflush(nullptr);
  std::_Exit(code);
}
