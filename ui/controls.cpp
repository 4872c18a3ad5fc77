// Control state, tree and list items, status bar parts, dialogs, boxes, pop-up menus and the
// tray icon. Each operation runs on the GUI thread, changes the model and lets the backend
// mirror the change.
#include <algorithm>

#include "ui/core_state.h"

namespace ui {
namespace {

using core::FindControl;
using core::Mirror;
using core::OnGui;

// Reads a field of a control; fallback when the control is not loaded.
template <typename T, typename Get>
T Read(ControlRef ref, T fallback, Get get) {
  return OnGui([&]() -> T {
    ControlModel* control = FindControl(ref);
    return control ? get(*control) : fallback;
  });
}

// Changes a control and mirrors the change.
template <typename Set>
void Write(ControlRef ref, Change what, Set set) {
  OnGui([&] {
    WindowModel* window = core::FindWindow(ref.window);
    ControlModel* control = window ? window->Find(ref.name) : nullptr;
    if (control == nullptr) return;
    const int index = set(*control);
    Mirror(*window, *control, what, index);
  });
}

bool ValidTreeIndex(const TreeModel& tree, int index) {
  return index >= 0 && index < static_cast<int>(tree.nodes.size());
}

// One past the last node of index's subtree.
int SubtreeEnd(const TreeModel& tree, int index) {
  int end = index + 1;
  while (end < static_cast<int>(tree.nodes.size()) && tree.nodes[end].depth > tree.nodes[index].depth) {
    ++end;
  }
  return end;
}

std::uint64_t nextTreeNodeId = 1;

// Where a new last child of parent goes: after its subtree, or at the end for a top-level item.
int TreePlaceOf(const TreeModel& tree, int parent) {
  return ValidTreeIndex(tree, parent) ? SubtreeEnd(tree, parent) : static_cast<int>(tree.nodes.size());
}

int InsertTreeNode(TreeModel& tree, int parent, int at, Text text, int data) {
  TreeNode node{nextTreeNodeId++, 0, 0, std::move(text), data};
  if (ValidTreeIndex(tree, parent)) {
    node.parent = tree.nodes[parent].id;
    node.depth = tree.nodes[parent].depth + 1;
  }
  tree.nodes.insert(tree.nodes.begin() + at, std::move(node));
  if (tree.current >= at) ++tree.current;
  return at;
}

// The indices of the last node and its ancestors, by depth.
std::vector<int> LastNodePath(const TreeModel& tree) {
  std::vector<int> path;
  int last = static_cast<int>(tree.nodes.size()) - 1;
  if (last < 0) return path;
  int depth = tree.nodes[last].depth;
  path.resize(depth + 1);
  path[depth] = last;
  for (int i = last - 1; i >= 0 && depth > 0; --i) {
    if (tree.nodes[i].depth < depth) {
      depth = tree.nodes[i].depth;
      path[depth] = i;
    }
  }
  return path;
}

bool ValidRow(const ListModel& list, int row) {
  return row >= 0 && row < static_cast<int>(list.rows.size());
}

const MenuItemDef* FindMenu(const std::vector<MenuItemDef>& menus, const char* name) {
  for (const MenuItemDef& menu : menus) {
    if (std::string(menu.name) == name) return &menu;
  }
  return nullptr;
}

}  // namespace

// --- control state ---

Text GetText(ControlRef ref) {
  return Read<Text>(ref, Text(), [](ControlModel& c) { return c.text; });
}
void SetText(ControlRef ref, const Text& text) {
  Write(ref, Change::Text, [&](ControlModel& c) { c.text = text; return 0; });
}
bool GetVisible(ControlRef ref) {
  return Read(ref, false, [](ControlModel& c) { return c.visible; });
}
void SetVisible(ControlRef ref, bool visible) {
  Write(ref, Change::Visible, [&](ControlModel& c) { c.visible = visible; return 0; });
}
bool GetEnabled(ControlRef ref) {
  return Read(ref, false, [](ControlModel& c) { return c.enabled; });
}
void SetEnabled(ControlRef ref, bool enabled) {
  Write(ref, Change::Enabled, [&](ControlModel& c) { c.enabled = enabled; return 0; });
}
bool GetChecked(ControlRef ref) {
  return Read(ref, false, [](ControlModel& c) { return c.checked; });
}
void SetChecked(ControlRef ref, bool checked) {
  Write(ref, Change::Checked, [&](ControlModel& c) { c.checked = checked; return 0; });
}
int GetLeft(ControlRef ref) { return Read(ref, 0, [](ControlModel& c) { return c.left; }); }
int GetTop(ControlRef ref) { return Read(ref, 0, [](ControlModel& c) { return c.top; }); }
int GetWidth(ControlRef ref) { return Read(ref, 0, [](ControlModel& c) { return c.width; }); }
int GetHeight(ControlRef ref) { return Read(ref, 0, [](ControlModel& c) { return c.height; }); }
void SetLeft(ControlRef ref, int left) {
  Write(ref, Change::Bounds, [&](ControlModel& c) { c.left = left; return 0; });
}
void SetTop(ControlRef ref, int top) {
  Write(ref, Change::Bounds, [&](ControlModel& c) { c.top = top; return 0; });
}
void SetWidth(ControlRef ref, int width) {
  Write(ref, Change::Bounds, [&](ControlModel& c) { c.width = std::max(0, width); return 0; });
}
void SetHeight(ControlRef ref, int height) {
  Write(ref, Change::Bounds, [&](ControlModel& c) { c.height = std::max(0, height); return 0; });
}
Bytes GetPicture(ControlRef ref) {
  return Read<Bytes>(ref, Bytes(), [](ControlModel& c) { return c.picture; });
}
void SetPicture(ControlRef ref, const Bytes& picture) {
  Write(ref, Change::Picture, [&](ControlModel& c) { c.picture = picture; return 0; });
}
int GetProgress(ControlRef ref) { return Read(ref, 0, [](ControlModel& c) { return c.progress; }); }
void SetProgress(ControlRef ref, int position) {
  Write(ref, Change::Progress, [&](ControlModel& c) {
    c.progress = std::clamp(position, 0, 100);
    return 0;
  });
}
int GetScrollPosition(ControlRef ref) {
  return Read(ref, 0, [](ControlModel& c) { return c.scrollPosition; });
}
void SetScrollPosition(ControlRef ref, int position) {
  Write(ref, Change::Scroll, [&](ControlModel& c) {
    c.scrollPosition = std::clamp(position, 0, c.scrollMaximum);
    return 0;
  });
}
int GetScrollMaximum(ControlRef ref) {
  return Read(ref, 0, [](ControlModel& c) { return c.scrollMaximum; });
}
void SetScrollMaximum(ControlRef ref, int maximum) {
  Write(ref, Change::Scroll, [&](ControlModel& c) {
    c.scrollMaximum = std::max(0, maximum);
    c.scrollPosition = std::min(c.scrollPosition, c.scrollMaximum);
    return 0;
  });
}
int GetTimerPeriod(ControlRef ref) { return Read(ref, 0, [](ControlModel& c) { return c.period; }); }
void SetTimerPeriod(ControlRef ref, int ms) {
  Write(ref, Change::TimerPeriod, [&](ControlModel& c) { c.period = std::max(0, ms); return 0; });
}

// --- file dialogs ---

Text GetDialogFileName(ControlRef ref) {
  return Read<Text>(ref, Text(), [](ControlModel& c) { return c.dialogFileName; });
}
void SetDialogFileName(ControlRef ref, const Text& fileName) {
  Write(ref, Change::DialogFileName, [&](ControlModel& c) { c.dialogFileName = fileName; return 0; });
}
Text GetDialogTag(ControlRef ref) {
  return Read<Text>(ref, Text(), [](ControlModel& c) { return c.dialogTag; });
}
void SetDialogTag(ControlRef ref, const Text& tag) {
  OnGui([&] {
    if (ControlModel* control = FindControl(ref)) control->dialogTag = tag;
  });
}

bool ShowCommonDialog(ControlRef ref) {
  return OnGui([&] {
    WindowModel* window = core::FindWindow(ref.window);
    ControlModel* dialog = window ? window->Find(ref.name) : nullptr;
    Backend* backend = CurrentBackend();
    if (dialog == nullptr || backend == nullptr) return false;
    Text chosen;
    if (!backend->FileDialog(*window, *dialog, chosen)) return false;
    // The box may have been destroyed while the dialog was up.
    dialog = FindControl(ref);
    if (dialog == nullptr) return false;
    dialog->dialogFileName = chosen;
    return true;
  });
}

// --- tree ---

int TreeItemCount(ControlRef ref) {
  return Read(ref, 0, [](ControlModel& c) { return static_cast<int>(c.tree.nodes.size()); });
}
Text TreeItemText(ControlRef ref, int index) {
  return Read<Text>(ref, Text(), [&](ControlModel& c) {
    return ValidTreeIndex(c.tree, index) ? c.tree.nodes[index].text : Text();
  });
}
int TreeItemData(ControlRef ref, int index) {
  return Read(ref, 0, [&](ControlModel& c) {
    return ValidTreeIndex(c.tree, index) ? c.tree.nodes[index].data : 0;
  });
}
int TreeParentItem(ControlRef ref, int index) {
  return Read(ref, -1, [&](ControlModel& c) {
    if (!ValidTreeIndex(c.tree, index)) return -1;
    const int depth = c.tree.nodes[index].depth;
    for (int i = index - 1; i >= 0; --i) {
      if (c.tree.nodes[i].depth < depth) return i;
    }
    return -1;
  });
}

int TreeAddItem(ControlRef ref, int parent, const Text& text, int data) {
  int added = -1;
  Write(ref, Change::TreeAdded, [&](ControlModel& c) {
    added = InsertTreeNode(c.tree, parent, TreePlaceOf(c.tree, parent), text, data);
    return added;
  });
  return added;
}

void TreeAddItems(ControlRef ref, std::vector<TreeItem> items) {
  OnGui([&] {
    WindowModel* window = core::FindWindow(ref.window);
    ControlModel* control = window ? window->Find(ref.name) : nullptr;
    if (control == nullptr) return;
    TreeModel& tree = control->tree;
    tree.nodes.reserve(tree.nodes.size() + items.size());
    // Items of a saved tree come in pre-order: each one's parent is on the last node's path
    // and the item goes to the end; those the backend gets in one run.
    std::vector<int> lastPath = LastNodePath(tree);
    int unmirrored = static_cast<int>(tree.nodes.size());
    const auto mirrorAppended = [&] {
      if (unmirrored < static_cast<int>(tree.nodes.size())) {
        Mirror(*window, *control, Change::TreeAppended, unmirrored);
      }
      unmirrored = static_cast<int>(tree.nodes.size());
    };
    for (TreeItem& item : items) {
      const int end = static_cast<int>(tree.nodes.size());
      const bool child = ValidTreeIndex(tree, item.parent);
      const int depth = child ? tree.nodes[item.parent].depth : -1;
      if (!child || (depth < static_cast<int>(lastPath.size()) && lastPath[depth] == item.parent)) {
        InsertTreeNode(tree, item.parent, end, std::move(item.text), item.data);
        lastPath.resize(depth + 1);
        lastPath.push_back(end);
      } else {
        mirrorAppended();
        const int at =
            InsertTreeNode(tree, item.parent, SubtreeEnd(tree, item.parent), std::move(item.text), item.data);
        Mirror(*window, *control, Change::TreeAdded, at);
        lastPath = LastNodePath(tree);
        unmirrored = static_cast<int>(tree.nodes.size());
      }
    }
    mirrorAppended();
  });
}

bool TreeDeleteItem(ControlRef ref, int index) {
  return OnGui([&] {
    WindowModel* window = core::FindWindow(ref.window);
    ControlModel* control = window ? window->Find(ref.name) : nullptr;
    if (control == nullptr || !ValidTreeIndex(control->tree, index)) return false;
    Mirror(*window, *control, Change::TreeDeleting, index);
    TreeModel& tree = control->tree;
    const int end = SubtreeEnd(tree, index);
    tree.nodes.erase(tree.nodes.begin() + index, tree.nodes.begin() + end);
    if (tree.current >= index && tree.current < end) {
      tree.current = -1;
    } else if (tree.current >= end) {
      tree.current -= end - index;
    }
    return true;
  });
}

void TreeSetItemText(ControlRef ref, int index, const Text& text) {
  Write(ref, Change::TreeItemText, [&](ControlModel& c) {
    if (!ValidTreeIndex(c.tree, index)) return -1;
    c.tree.nodes[index].text = text;
    return index;
  });
}

void TreeClear(ControlRef ref) {
  Write(ref, Change::TreeCleared, [](ControlModel& c) {
    c.tree.nodes.clear();
    c.tree.current = -1;
    return 0;
  });
}

int TreeCurrentItem(ControlRef ref) { return Read(ref, -1, [](ControlModel& c) { return c.tree.current; }); }

void SetTreeCurrentItem(ControlRef ref, int index) {
  Write(ref, Change::TreeCurrent, [&](ControlModel& c) {
    c.tree.current = ValidTreeIndex(c.tree, index) ? index : -1;
    return c.tree.current;
  });
}

// --- report list ---

void ListClear(ControlRef ref) {
  Write(ref, Change::ListCleared, [](ControlModel& c) {
    c.list.rows.clear();
    c.list.current = -1;
    return 0;
  });
}

int ListAppendRow(ControlRef ref, int itemValue) {
  int row = -1;
  Write(ref, Change::ListAppended, [&](ControlModel& c) {
    ListRow added;
    added.value = itemValue;
    added.cells.resize(std::max<std::size_t>(1, c.def->items.size()));
    c.list.rows.push_back(std::move(added));
    row = static_cast<int>(c.list.rows.size()) - 1;
    return row;
  });
  return row;
}

void ListSetCell(ControlRef ref, int row, int column, const Text& text) {
  OnGui([&] {
    WindowModel* window = core::FindWindow(ref.window);
    ControlModel* control = window ? window->Find(ref.name) : nullptr;
    if (control == nullptr || !ValidRow(control->list, row) || column < 0) return;
    std::vector<Text>& cells = control->list.rows[row].cells;
    if (column >= static_cast<int>(cells.size())) cells.resize(column + 1);
    cells[column] = text;
    Mirror(*window, *control, Change::ListCell, row);
  });
}

Text ListCell(ControlRef ref, int row, int column) {
  return Read<Text>(ref, Text(), [&](ControlModel& c) {
    if (!ValidRow(c.list, row) || column < 0) return Text();
    const std::vector<Text>& cells = c.list.rows[row].cells;
    return column < static_cast<int>(cells.size()) ? cells[column] : Text();
  });
}

int ListRowCount(ControlRef ref) {
  return Read(ref, 0, [](ControlModel& c) { return static_cast<int>(c.list.rows.size()); });
}

int ListItemData(ControlRef ref, int row) {
  return Read(ref, 0, [&](ControlModel& c) { return ValidRow(c.list, row) ? c.list.rows[row].value : 0; });
}

int ListCurrentRow(ControlRef ref) { return Read(ref, -1, [](ControlModel& c) { return c.list.current; }); }

void ListRemoveRow(ControlRef ref, int row) {
  OnGui([&] {
    WindowModel* window = core::FindWindow(ref.window);
    ControlModel* control = window ? window->Find(ref.name) : nullptr;
    if (control == nullptr || !ValidRow(control->list, row)) return;
    ListModel& list = control->list;
    list.rows.erase(list.rows.begin() + row);
    bool focusMoved = false;
    if (list.current == row) {
      // As in a native list, the focus passes to the row that takes its place (or the new last
      // row), and that row newly becoming focused is reported like any other.
      list.current = std::min(row, static_cast<int>(list.rows.size()) - 1);
      focusMoved = list.current >= 0;
    } else if (list.current > row) {
      --list.current;
    }
    Mirror(*window, *control, Change::ListRemoved, row);
    if (focusMoved) {
      core::Dispatch(window->def->name, ref.name, EventKind::SelectionChanged, list.current);
    }
  });
}

// --- status bar ---

void StatusBarSetText(ControlRef ref, int part, const Text& text) {
  if (part < 0) return;
  Write(ref, Change::StatusText, [&](ControlModel& c) {
    if (part >= static_cast<int>(c.partTexts.size())) c.partTexts.resize(part + 1);
    c.partTexts[part] = text;
    return part;
  });
}

void StatusBarSetTip(ControlRef ref, int part, const Text& tip) {
  if (part < 0) return;
  Write(ref, Change::StatusTip, [&](ControlModel& c) {
    if (part >= static_cast<int>(c.partTips.size())) c.partTips.resize(part + 1);
    c.partTips[part] = tip;
    return part;
  });
}

Text StatusBarText(ControlRef ref, int part) {
  return Read<Text>(ref, Text(), [&](ControlModel& c) {
    return part >= 0 && part < static_cast<int>(c.partTexts.size()) ? c.partTexts[part] : Text();
  });
}

Text StatusBarTip(ControlRef ref, int part) {
  return Read<Text>(ref, Text(), [&](ControlModel& c) {
    return part >= 0 && part < static_cast<int>(c.partTips.size()) ? c.partTips[part] : Text();
  });
}

// --- boxes, menus, tray, shell ---

int ShowMessageBox(const Text& text, int flags, const Text& title) {
  return OnGui([&] {
    Backend* backend = CurrentBackend();
    if (backend == nullptr) return (flags & 0xF) == kMbYesNo ? static_cast<int>(kIdNo) : static_cast<int>(kIdOk);
    return backend->MessageBox(text, flags, title);
  });
}

bool InputBox(const Text& prompt, const Text& title, const Text& initial, Text& result) {
  return OnGui([&] {
    Backend* backend = CurrentBackend();
    if (backend == nullptr) return false;
    Text typed;
    if (!backend->InputBox(prompt, title, initial, typed)) return false;
    result = typed;
    return true;
  });
}

void PopupMenu(WindowRef ref, const char* menu) {
  OnGui([&] {
    WindowModel* window = core::FindWindow(ref);
    Backend* backend = CurrentBackend();
    if (window == nullptr || backend == nullptr || menu == nullptr) return;
    const MenuItemDef* def = FindMenu(window->def->popupMenus, menu);
    if (def == nullptr) return;
    // The menu's loop runs posted tasks: the window may be gone when it returns.
    const std::string name = window->def->name;
    const std::string chosen = backend->PopupMenu(*window, *def);
    if (chosen.empty()) return;
    // The choice arrives as a command after the running handler, as a menu's command would.
    backend->Post([name, chosen] {
      if (WindowModel* still = core::FindWindow(WindowRef{name.c_str()})) {
        UserChoseMenuItem(*still, chosen.c_str());
      }
    });
  });
}

void SetTrayIcon(WindowRef ref, const Bytes& icon, const Text& tip) {
  OnGui([&] {
    WindowModel* window = core::FindWindow(ref);
    if (window == nullptr) return;
    // Cut to 62 bytes without splitting a double-byte character.
    std::size_t length = 0;
    while (length < tip.size()) {
      const std::size_t step = static_cast<unsigned char>(tip[length]) >= 0x80 ? 2 : 1;
      if (length + step > 62) break;
      length += step;
    }
    window->trayIcon = icon;
    window->trayTip = icon.empty() ? Text() : tip.substr(0, std::min(length, tip.size()));
    core::MirrorWindow(*window, WindowChange::TrayIcon);
  });
}

void ShellOpen(const Text& path) {
  OnGui([&] {
    if (Backend* backend = CurrentBackend()) backend->ShellOpen(path);
  });
}

}  // namespace ui
