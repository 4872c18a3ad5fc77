/* x_window close TITLE: asks every window titled TITLE (UTF-8, exact) to close, the way a
 * window manager's close button does: a WM_DELETE_WINDOW client message.
 * x_window focus TITLE: gives the keyboard focus to the (last found) window titled TITLE, the way
 * a click on it would, so that keys typed next (xdotool key) go to it.
 * Needs no window manager (Xvfb runs none). Exit code 0 when a window had the title, 1 when none
 * has it, 2 without a display or with other arguments. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static Atom netWmName, utf8String, wmProtocols, wmDeleteWindow;

/* Windows come and go while the tree is walked: one destroyed between the query that listed it
 * and the next request about it gives an error, which must not end the helper (Xlib's default
 * handler exits) after it may already have asked a box to close, nor count as no window. The
 * request that failed just reports failure. */
static int lastError = 0;
static int NoteError(Display* display, XErrorEvent* error) {
  (void)display;
  lastError = error->error_code;
  return 0;
}

static int Viewable(Display* display, Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

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

static void AskToClose(Display* display, Window window) {
  XEvent event;
  memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = wmProtocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)wmDeleteWindow;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
}

/* Walks the window tree below window; returns how many windows of that title take a close
 * request (toplevels, not the toolkit's inner windows), the last in *found. */
static int FindBelow(Display* display, Window window, const char* title, int close, Window* found) {
  int count = 0;
  char* own = TitleOf(display, window);
  if (own != NULL) {
    /* Only a shown window can take the focus. */
    if (strcmp(own, title) == 0 && TakesDelete(display, window) && (close || Viewable(display, window))) {
      if (close) AskToClose(display, window);
      *found = window;
      ++count;
    }
    XFree(own);
  }
  Window root, parent, *children = NULL;
  unsigned int children_count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &children_count)) {
    for (unsigned int i = 0; i < children_count; ++i) {
      count += FindBelow(display, children[i], title, close, found);
    }
    if (children != NULL) XFree(children);
  }
  return count;
}

int main(int argc, char** argv) {
  const int close = argc == 3 && strcmp(argv[1], "close") == 0;
  const int focus = argc == 3 && strcmp(argv[1], "focus") == 0;
  if (!close && !focus) {
    fprintf(stderr, "usage: x_window close|focus TITLE\n");
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) return 2;
  XSetErrorHandler(NoteError);
  netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  utf8String = XInternAtom(display, "UTF8_STRING", False);
  wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
  wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  Window found = None;
  int count = FindBelow(display, DefaultRootWindow(display), argv[2], close, &found);
  XSync(display, False);
  if (focus && count > 0) {
    lastError = 0;
    XRaiseWindow(display, found);
    XSetInputFocus(display, found, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
    if (lastError != 0) count = 0; /* gone meanwhile: keys typed next would reach no box */
  }
  XCloseDisplay(display);
  return count > 0 ? 0 : 1;
}
