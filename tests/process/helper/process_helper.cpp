// The program the process tests start. Its first argument says what to do:
//   args <file> ...          writes the argument count and each argument, a line each, to file
//   wait-write <file> <ms>   waits ms milliseconds, then writes "done" to file
//   idle <file>              writes its process id to file and idles until it is ended
//   window <title> <file>    shows a window with that title, writes its process id, idles
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstring>

#include "runtime/files.h"
#include "runtime/process.h"

namespace {

void Write(const Text& file, const Text& text) { WriteFileBytes(file, ToByteSet(text)); }

void ShowWindow(const Text& title) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) _exit(3);
  Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 50, 0, 0, 0);
  XStoreName(display, w, title.c_str());  // ASCII titles only here
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, w, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  long pid = getpid();
  XChangeProperty(display, w, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  XMapWindow(display, w);
  XSync(display, False);
}

}  // namespace

int main() {
  std::vector<Text> args = GetCommandLineArgs();
  if (args.empty()) return 2;
  if (args[0] == "args" && args.size() >= 2) {
    Text out = ToText(static_cast<int>(args.size())) + "\n";
    for (const Text& a : args) out += a + "\n";
    Write(args[1], out);
    return 0;
  }
  if (args[0] == "wait-write" && args.size() == 3) {
    usleep(static_cast<useconds_t>(ToInt(args[2])) * 1000);
    Write(args[1], "done");
    return 0;
  }
  if ((args[0] == "idle" && args.size() == 2) || (args[0] == "window" && args.size() == 3)) {
    if (args[0] == "window") ShowWindow(args[1]);
    Write(args.back(), ToText(static_cast<int>(getpid())));
    for (;;) pause();
  }
  return 2;
}
