// The snipdock program: the snippet library with real windows.
#include <cstdio>
#include <cstdlib>

#include "snippets/startup.h"
#include "ui/wx/wx_backend.h"

int main(int argc, char** argv) {
  if (!InstallWxBackend(argc, argv)) return 1;
  const int code = ProgramEntry();
  // The exit routine has run; workers may still be about, so no static destructor may run.
  std::fflush(nullptr);
  std::_Exit(code);
}
