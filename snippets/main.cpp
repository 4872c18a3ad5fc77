// The snipdock program: the snippet library with real windows.
#include "snippets/startup.h"
#include "ui/wx/wx_backend.h"

int main(int argc, char** argv) {
  if (!InstallWxBackend(argc, argv)) return 1;
  return ProgramEntry();
}
