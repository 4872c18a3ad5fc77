// The widgets the wx backend keeps behind a window's and a control's model (their backendData),
// shared by the backend's files and read by the real-window tests.
#pragma once

#include <wx/notebook.h>
#include <wx/taskbar.h>
#include <wx/treectrl.h>
#include <wx/wx.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ui/model.h"

namespace ui::wx {

// Where a tab control's display area begins in definition coordinates: definitions place a
// page's controls relative to the tab control, below its tab strip. Where the toolkit's page
// is smaller, the page's controls move up and left as far as they must to fit, never past the
// page's edge.
inline constexpr int kTabPageLeft = 4;
inline constexpr int kTabPageTop = 24;
inline constexpr int kStatusBarHeight = 22;  // when the definition gives none

class MenuStrip;

struct WindowWidgets {
  std::uint64_t serial = 0;  // tells this window's widgets from those of a later load
  wxFrame* frame = nullptr;
  wxPanel* client = nullptr;                 // below the menu bar; the window's controls live in it
  wxTaskBarIcon* tray = nullptr;             // while the window has a tray icon
  MenuStrip* menuBar = nullptr;              // nullptr for a window without one
  std::map<int, std::string> menuItems;      // menu bar command id -> item name
  std::vector<std::string> disabledWindows;  // what a modal window disabled while it is open
  wxPoint lastPosition;                      // a move that leaves it unchanged raises nothing
};

struct ControlWidgets {
  wxWindow* widget = nullptr;        // nullptr for timers, dialogs and components
  std::vector<wxWindow*> pages;      // tab control: one panel per tab
  std::vector<wxPoint> pageOrigins;  // where each page begins, in definition coordinates
  wxTimer* timer = nullptr;
  wxTreeItemId treeRoot;                // hidden root of a tree view
  std::vector<wxTreeItemId> treeItems;  // in the model's depth-first pre-order
  int listFocus = -1;                   // the focused row the list last reported
  bool listCheckPending = false;        // a focus or selection change is waiting to be read
  wxString editValue;                   // an edit box's last accepted content (for its limit)
  wxImage picture;                      // the model's picture, decoded once per change
};

inline WindowWidgets* WidgetsOf(const WindowModel& window) {
  return static_cast<WindowWidgets*>(window.backendData);
}
inline ControlWidgets* WidgetsOf(const ControlModel& control) {
  return static_cast<ControlWidgets*>(control.backendData);
}

// Names a window (or one of its controls) for a handler that runs later: it finds the model
// again and finds nothing once that window is gone or loaded anew.
struct Target {
  std::string window;
  std::uint64_t serial = 0;
  std::string control;  // "" for the window itself

  WindowModel* Window() const;
  ControlModel* Control() const;  // with its widgets still in place
};

// GBK texts of the model to and from the strings of the widgets.
wxString ToWx(const Text& text);
Text FromWx(const wxString& text);

// The font of every window: the system's face at the 12-pixel size definitions are laid out for.
wxFont DefaultFont();

// The picture in bytes of a picture file, or an invalid image when they hold none.
wxImage DecodePicture(const Bytes& bytes);

// The container panel a control of the window lives in (its page, its frame or the client).
wxWindow* ContainerOf(WindowModel& window, const ControlModel& control);
// Where a control's widget goes inside its container, from the model's bounds.
wxRect WidgetRect(WindowModel& window, const ControlModel& control);

// Builds every control's widget and binds the user's actions to the model and its events.
void CreateControls(WindowModel& window);
void DestroyControls(WindowModel& window);
// Puts the window's status bars back along the bottom edge after its size changed.
void DockStatusBars(WindowModel& window);
// Mirrors a change the core made into the widget; raises no event.
void MirrorControl(WindowModel& window, ControlModel& control, Change what, int index);

// True while the backend itself changes widgets: their notifications are no user actions.
bool Mirroring();
class MirrorScope {
 public:
  MirrorScope();
  ~MirrorScope();
  MirrorScope(const MirrorScope&) = delete;
  MirrorScope& operator=(const MirrorScope&) = delete;
};

// While a modal dialog or a pop-up menu runs its own loop, no frame is deleted: that loop's idle
// time would otherwise free a frame, and with it the widget whose menu is up, under it.
class ModalScope {
 public:
  ModalScope();
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
};
// Hides the frame and destroys it now, or once the last modal loop has ended.
void DestroyFrame(wxFrame* frame);

}  // namespace ui::wx
