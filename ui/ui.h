// The window run-time as handlers see it. Every operation may be called from any thread: a call
// from a worker runs on the GUI thread and returns its result to the worker, so no widget is
// touched off the GUI thread. Handlers never know which backend runs them.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

#include "runtime/text.h"

namespace ui {

struct WindowRef {
  const char* name;
};
struct ControlRef {
  WindowRef window;
  const char* name;
};

enum class EventKind {
  Created,           // during LoadWindow
  CanClose,          // the user asks to close; a handler returning false keeps the window
  Closed,            // the window is gone (any way it went)
  Destroying,        // the window will be destroyed
  Click,             // button, picture button, check box
  MenuSelected,      // control = the menu item's name (menu bar or pop-up)
  Timer,             // control = the timer
  SelectionChanged,  // tree: current item changed; list: a row newly became the focused row
  RightButtonUp,     // tree: right button released over it
  RightClick,        // list: right-click notification anywhere in it
  LabelEdited,       // tree: an in-place edit ended (also cancelled); arg = item index
  TrayEvent,         // arg: a TrayAction
  Moved,             // the window moved or changed its state (also on minimizing)
  ScrollChanged,     // a scroll bar got a new position from the user
  Progress,          // component control: a step of its work done; arg = percent
};

enum class WindowState { Normal, Minimized, Maximized };

// --- calls carried to the GUI thread ---
bool OnGuiThread();
// Runs task on the GUI thread and waits for it (directly when already there). Several control
// operations in one task see and leave the controls in one consistent state.
void RunOnGui(const std::function<void()>& task);
// The same for a task with a result, which it returns.
template <typename Task>
  requires(!std::is_void_v<std::invoke_result_t<Task&>>)
auto RunOnGui(Task&& task) -> std::decay_t<std::invoke_result_t<Task&>> {
  std::optional<std::decay_t<std::invoke_result_t<Task&>>> result;
  RunOnGui(std::function<void()>([&] { result.emplace(task()); }));
  return std::move(*result);
}

// Tray icon actions (the argument of TrayEvent).
enum TrayAction : int { kTrayLeftUp = 1, kTrayDoubleClick = 2, kTrayRightUp = 3 };

// Handlers. arg is the event's argument (0 when it has none). Only CanClose uses the result.
using Handler = std::function<void(int arg)>;
using CloseHandler = std::function<bool()>;
void Bind(WindowRef window, const char* control, EventKind kind, Handler handler);
void BindWindow(WindowRef window, EventKind kind, Handler handler);
void BindCanClose(WindowRef window, CloseHandler handler);
void ClearBindings();

// A component control (zip, download) reports progress: raises its Progress event on the GUI
// thread and returns once the handler has returned. Nothing happens when its window is gone.
void RaiseComponentProgress(ControlRef component, int percent);

// --- windows ---
// Creates the window from its definition and raises Created during the load. A window that is
// open already comes to the front (restored when minimized), keeps its contents and raises no
// Created. False when there is no such definition.
bool LoadWindow(WindowRef window, const WindowRef* parent = nullptr, bool modal = false);
bool IsCreated(WindowRef window);
// The window is destroyed once the running handler has returned; no CanClose is raised.
void DestroyProgramWindow(WindowRef window);
// Raises CanClose and closes the window when no handler refuses (what the close box does).
void RequestClose(WindowRef window);
Text GetTitle(WindowRef window);
void SetTitle(WindowRef window, const Text& title);
bool GetVisible(WindowRef window);
void SetVisible(WindowRef window, bool visible);
WindowState GetWindowState(WindowRef window);
void SetWindowState(WindowRef window, WindowState state);

// --- message loop and program end ---
// Runs until no window of the program is left.
void RunMessageLoop();
// Returns after ms milliseconds, handling the calling thread's window events meanwhile (on a
// worker: just waits, on the backend's clock).
void DelayPumping(int ms);
// Handles the window events that are waiting.
void ProcessEvents();
// Registered once; runs once when the program ends, however it ends.
void SetExitRoutine(std::function<void()> routine);
// Destroys the windows, runs the exit routine, ends the process. Does not return.
[[noreturn]] void EndProgram(int code);

// --- control state (text is an edit box's content or any other control's caption) ---
Text GetText(ControlRef control);
void SetText(ControlRef control, const Text& text);
bool GetVisible(ControlRef control);
void SetVisible(ControlRef control, bool visible);
bool GetEnabled(ControlRef control);
void SetEnabled(ControlRef control, bool enabled);
bool GetChecked(ControlRef control);
void SetChecked(ControlRef control, bool checked);
int GetLeft(ControlRef control);
int GetTop(ControlRef control);
int GetWidth(ControlRef control);
int GetHeight(ControlRef control);
void SetLeft(ControlRef control, int left);
void SetTop(ControlRef control, int top);
void SetWidth(ControlRef control, int width);
void SetHeight(ControlRef control, int height);
// Picture box / picture button: the bytes of a picture file; empty = no picture.
Bytes GetPicture(ControlRef control);
void SetPicture(ControlRef control, const Bytes& picture);
int GetProgress(ControlRef control);   // progress bar 0..100
void SetProgress(ControlRef control, int position);
int GetScrollPosition(ControlRef control);
void SetScrollPosition(ControlRef control, int position);
int GetScrollMaximum(ControlRef control);  // positions run 0..maximum
void SetScrollMaximum(ControlRef control, int maximum);
int GetTimerPeriod(ControlRef timer);  // 0 = stopped
void SetTimerPeriod(ControlRef timer, int ms);

// --- file dialogs ---
Text GetDialogFileName(ControlRef dialog);
void SetDialogFileName(ControlRef dialog, const Text& fileName);
Text GetDialogTag(ControlRef dialog);
void SetDialogTag(ControlRef dialog, const Text& tag);
// True when the user confirmed a file; the dialog's file name is then the chosen path.
bool ShowCommonDialog(ControlRef dialog);

// --- tree (items addressed by depth-first pre-order index; -1 or out of range = no item) ---
int TreeItemCount(ControlRef tree);
Text TreeItemText(ControlRef tree, int index);   // "" for no item
int TreeItemData(ControlRef tree, int index);    // 0 for no item
int TreeParentItem(ControlRef tree, int index);  // -1 for a top-level item or no item
// Appends as the last child of parent, or as the last top-level item when parent names no
// item. Returns the new item's index.
int TreeAddItem(ControlRef tree, int parent, const Text& text, int data);
// One item of TreeAddItems; parent as TreeAddItem takes it.
struct TreeItem {
  int parent;
  Text text;
  int data;
};
// Adds the items as TreeAddItem would, one after the other, but in one step: a whole tree
// costs about what its items do, not what finding their places in a large tree does.
void TreeAddItems(ControlRef tree, std::vector<TreeItem> items);
bool TreeDeleteItem(ControlRef tree, int index);  // with its whole subtree
void TreeSetItemText(ControlRef tree, int index, const Text& text);
void TreeClear(ControlRef tree);
int TreeCurrentItem(ControlRef tree);  // -1 for none
void SetTreeCurrentItem(ControlRef tree, int index);

// --- report list (rows 0-based) ---
void ListClear(ControlRef list);
int ListAppendRow(ControlRef list, int itemValue);  // at the end, captions empty; its index
void ListSetCell(ControlRef list, int row, int column, const Text& text);
Text ListCell(ControlRef list, int row, int column);
int ListRowCount(ControlRef list);
int ListItemData(ControlRef list, int row);  // 0 for no row
int ListCurrentRow(ControlRef list);         // the first selected row; -1 for none
void ListRemoveRow(ControlRef list, int row);

// --- status bar ---
void StatusBarSetText(ControlRef bar, int part, const Text& text);
void StatusBarSetTip(ControlRef bar, int part, const Text& tip);
Text StatusBarText(ControlRef bar, int part);
Text StatusBarTip(ControlRef bar, int part);

// --- boxes, menus, shell ---
enum : int {
  kMbOk = 0,
  kMbYesNo = 4,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
  kIdOk = 1,
  kIdYes = 5,  // the programs' run-time answers Yes with 5 and No with 6
  kIdNo = 6,
};
// Task-modal, no owner. Returns the button pressed (kIdOk, kIdYes, kIdNo). A box asked from a
// worker blocks that worker until it is answered.
int ShowMessageBox(const Text& text, int flags = kMbOk, const Text& title = "信息：");
// True when confirmed with OK; the typed text is stored into result.
bool InputBox(const Text& prompt, const Text& title, const Text& initial, Text& result);
// Shows a pop-up menu of the window at the cursor moved 3 pixels right and down; a chosen item
// raises MenuSelected with its name.
void PopupMenu(WindowRef window, const char* menu);
// Adds the window's notification-area icon, changes it, or removes it when icon is empty. The
// tip is cut to 62 bytes.
void SetTrayIcon(WindowRef window, const Bytes& icon, const Text& tip);
// Opens a file with its type's default program; does not wait.
void ShellOpen(const Text& path);

}  // namespace ui
