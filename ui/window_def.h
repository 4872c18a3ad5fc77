// Window definitions as data: every window, control, menu and timer of both programs, with
// fixed identities. The window run-time builds live windows from these; backends realize them.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/text.h"

namespace ui {

enum class ControlKind {
  Label,
  EditBox,
  Button,
  PictureButton,  // a button that shows a picture (ControlDef::picture) instead of a caption
  CheckBox,
  PictureBox,     // shows picture bytes at the picture's own pixel size
  TreeView,
  ListView,       // report list; columns from ControlDef::items / widths
  TabControl,     // tab captions from ControlDef::items
  Frame,          // a plain container (a shape)
  StatusBar,      // parts from ControlDef::items (initial texts) / widths
  ProgressBar,    // range 0..100
  HScrollBar,
  VScrollBar,
  Timer,          // not shown; ControlDef::period in ms, 0 = stopped
  OpenDialog,     // not shown; ControlDef::filter
  SaveDialog,     // not shown; ControlDef::filter
  Component,      // not shown: zip component, database unit, data provider
};

// Style bits of ControlDef::style.
enum : std::uint32_t {
  kStyleReadOnly = 1u << 0,
  kStyleMultiLine = 1u << 1,
  kStyleVScroll = 1u << 2,
  kStyleHScroll = 1u << 3,
  kStyleHidden = 1u << 4,     // created invisible
  kStyleDisabled = 1u << 5,   // created disabled
  kStyleLabelEdit = 1u << 6,  // tree: in-place label editing
  kStyleBorder = 1u << 7,     // picture box: a border that shows also when it is empty
};

struct ControlDef {
  const char* name;          // identity inside its window; "" for an anonymous label
  ControlKind kind;
  Text caption;              // caption, or initial content of an edit box
  int left = 0, top = 0, width = 0, height = 0;
  const char* container = "";  // name of the enclosing control (TabControl or Frame); "" = window
  int tabPage = -1;            // with a TabControl container: the page index
  std::uint32_t style = 0;
  int maxLength = 0;           // edit box input limit in bytes; 0 = none
  Text filter;                 // dialogs: "description|pattern|..."
  int period = 0;              // timers
  std::vector<Text> items;     // tab captions, list column captions, status bar part texts
  std::vector<int> widths;     // list column widths, status bar part widths (-1 = the rest)
  Text fontName;               // empty = the system font
  int fontHeight = 0;          // pixels
  Bytes picture;               // picture button / picture box initial picture
};

struct MenuItemDef {
  const char* name;            // identity; "" for a separator
  Text caption;
  std::vector<MenuItemDef> items;  // a sub-menu when not empty
  bool separator = false;
};

struct WindowDef {
  const char* name;
  Text title;
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<ControlDef> controls;
  std::vector<MenuItemDef> menuBar;     // top-level menus
  std::vector<MenuItemDef> popupMenus;  // each with a name and its items
  Bytes icon;                           // the window's own icon; empty = none
};

// Registers a definition; LoadWindow finds it by name. Registering a name again replaces it.
void RegisterWindowDefinition(const WindowDef& def);
const WindowDef* FindWindowDefinition(const char* name);
std::vector<const WindowDef*> AllWindowDefinitions();

}  // namespace ui
