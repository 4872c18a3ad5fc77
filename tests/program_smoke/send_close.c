/* send_close TITLE: asks every window titled TITLE (UTF-8, exact) to close, the way a window
 * manager's close button does: a WM_DELETE_WINDOW client message. Needs no window manager.
 * Exit code 0 when at least one window was asked, 1 when none has that title, 2 without a
 * display. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static Atom netWmName, utf8String, wmProtocols, wmDeleteWindow;

/* The window's title: _NET_WM_NAME when set, else WM_NAME. The caller frees it. */
static char* TitleOf(Display* display, Window window) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* value = NULL;
  if (XGetWindowProperty(display, window, netWmName, 0, 4096, False, utf8String, &type, &format,
                         &count, &after, &value) == Success && value != NULL) {
    if (type == utf8String) return (char*)value;
    XFree(value);
  }
  char* name = NULL;
  if (XFetchName(display, window, &name) && name != NULL) return name;
  return NULL;
}

static int TakesDelete(Display* display, Window window) {
  Atom* protocols = NULL;
  int count = 0, found = 0;
  if (XGetWMProtocols(display, window, &protocols, &count)) {
    for (int i = 0; i < count; ++i) found |= protocols[i] == wmDeleteWindow;
    XFree(protocols);
  }
  return found;
}

/* Walks the window tree below window; returns how many windows were asked to close. */
static int AskBelow(Display* display, Window window, const char* title) {
  int asked = 0;
  char* own = TitleOf(display, window);
  if (own != NULL) {
    if (strcmp(own, title) == 0 && TakesDelete(display, window)) {
      XEvent event;
      memset(&event, 0, sizeof event);
      event.xclient.type = ClientMessage;
      event.xclient.window = window;
      event.xclient.message_type = wmProtocols;
      event.xclient.format = 32;
      event.xclient.data.l[0] = (long)wmDeleteWindow;
      event.xclient.data.l[1] = CurrentTime;
      XSendEvent(display, window, False, NoEventMask, &event);
      ++asked;
    }
    XFree(own);
  }
  Window root, parent, *children = NULL;
  unsigned int count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; ++i) asked += AskBelow(display, children[i], title);
    if (children != NULL) XFree(children);
  }
  return asked;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: send_close TITLE\n");
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) return 2;
  netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  utf8String = XInternAtom(display, "UTF8_STRING", False);
  wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
  wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  const int asked = AskBelow(display, DefaultRootWindow(display), argv[1]);
  XSync(display, False);
  XCloseDisplay(display);
  return asked > 0 ? 0 : 1;
}
