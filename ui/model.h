// The live state of loaded windows and their controls. The core owns it and changes it only on
// the GUI thread; a backend mirrors it into widgets and writes the user's changes back into it
// (also on the GUI thread) before it raises the matching event.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/ui.h"
#include "ui/window_def.h"

namespace ui {

struct TreeNode {
  std::uint64_t id;      // stable for the node's life, never reused
  std::uint64_t parent;  // 0 for a top-level item
  int depth;             // 0 for a top-level item
  Text text;
  int data;
};

// Nodes in depth-first pre-order, so a node's index is its position here.
struct TreeModel {
  std::vector<TreeNode> nodes;
  int current = -1;
};

struct ListRow {
  int value = 0;
  std::vector<Text> cells;
};

struct ListModel {
  std::vector<ListRow> rows;
  int current = -1;  // the focused / first selected row
};

struct ControlModel {
  const ControlDef* def = nullptr;
  Text text;
  bool visible = true;
  bool enabled = true;
  bool checked = false;
  int left = 0, top = 0, width = 0, height = 0;
  Bytes picture;
  int progress = 0;
  int scrollPosition = 0;
  int scrollMaximum = 0;
  int period = 0;
  Text dialogFileName;
  Text dialogTag;
  TreeModel tree;
  ListModel list;
  std::vector<Text> partTexts;
  std::vector<Text> partTips;
  void* backendData = nullptr;  // the backend's widget
};

struct WindowModel {
  const WindowDef* def = nullptr;
  Text title;
  bool visible = true;
  WindowState state = WindowState::Normal;
  std::string parent;  // name of the parent window, "" for none
  bool modal = false;
  bool destroyPending = false;
  Bytes trayIcon;      // empty = no tray icon
  Text trayTip;
  std::vector<std::unique_ptr<ControlModel>> controls;  // in definition order
  void* backendData = nullptr;

  ControlModel* Find(const char* name);
};

// What changed, for the backend to mirror. index: a tree/list index or a status bar part.
enum class Change {
  Text,
  Visible,
  Enabled,
  Checked,
  Bounds,
  Picture,
  Progress,
  Scroll,         // position or maximum
  TimerPeriod,
  TreeAdded,      // index = the new node's index
  TreeAppended,   // index = the first of the new nodes, which run to the end
  TreeDeleting,   // index = the node about to go (with its subtree)
  TreeCleared,
  TreeCurrent,
  TreeItemText,   // index = the node whose text changed
  ListCleared,
  ListAppended,   // index = the new row
  ListCell,       // index = row; the column is in ControlModel's row cells
  ListRemoved,    // index = the removed row
  ListCurrent,
  StatusText,     // index = part
  StatusTip,      // index = part
  DialogFileName,
};

enum class WindowChange { Title, Visible, State, TrayIcon };

// The loaded window of that name, or nullptr. GUI thread only.
WindowModel* FindWindow(const char* name);
std::vector<WindowModel*> LoadedWindows();
// The loaded window whose handler runs now (the innermost one): the window a box it asks for
// belongs to. nullptr when no handler runs, or a worker's call carried to the GUI thread does.
// GUI thread only.
WindowModel* HandlingWindow();

// Raises an event as the user caused it. GUI thread only. Returns the CanClose result (true
// for every other kind). Backends call this after they wrote the user's change into the model.
bool RaiseEvent(WindowModel& window, const char* control, EventKind kind, int arg = 0);
// The user asked to close the window (close box): CanClose, then the close when allowed.
void UserRequestClose(WindowModel& window);
// The user chose a pop-up or menu bar item.
void UserChoseMenuItem(WindowModel& window, const char* item);

}  // namespace ui
