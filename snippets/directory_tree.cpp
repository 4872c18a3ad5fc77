// The directory tree and table `目录`.
//
// Loads and saves may overlap (each runs on a worker of its own, and the exit saves on the GUI
// thread). They are kept apart like this:
// - The tree is read or written in one visit to the GUI thread, and never while the database
//   lock below is held: a worker's ui call waits for the GUI thread, which may itself be
//   waiting for the database.
// - Every save snapshot gets the next number, taken on the GUI thread, so numbers follow the
//   tree's states; the handlers take theirs when they start the save. The database part of a
//   save runs under TreeTableLock in one transaction and is skipped when a newer snapshot has
//   been handled already: the table always ends with the newest state and is never empty or
//   half written.
// - A load reads the table under the same lock and applies the rows only when no snapshot
//   newer than the handled ones was taken meanwhile; otherwise that save is waited for and
//   the table read again, so a load never brings back a state older than a pending save.
#include "snippets/directory_tree.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/random.h"
#include "runtime/threads.h"
#include "snippets/globals.h"
#include "ui/backend.h"

namespace {

struct DirectoryRow {
  Text name;
  int parent;
  int tag;
};

std::mutex TreeTableLock;
std::condition_variable TreeTableChanged;
std::uint64_t SnapshotsTaken = 0;    // GUI thread only
std::uint64_t SnapshotsHandled = 0;  // under TreeTableLock: newest snapshot saved or skipped
bool TreeLoaded = false;             // GUI thread only: a load has filled the tree

struct TreeSnapshot {
  bool treeReady = false;  // the main window is there and its tree was loaded
  std::uint64_t number = 0;
  std::vector<DirectoryRow> rows;
};

TreeSnapshot TakeTreeSnapshot() {
  TreeSnapshot snapshot;
  ui::RunOnGui([&snapshot] {
    snapshot.treeReady = ui::IsCreated(MainWindow::Self) && TreeLoaded;
    if (!snapshot.treeReady) return;
    snapshot.number = ++SnapshotsTaken;
    const int count = ui::TreeItemCount(MainWindow::DirectoryTree);
    snapshot.rows.reserve(count);
    for (int i = 0; i < count; ++i) {
      snapshot.rows.push_back({ui::TreeItemText(MainWindow::DirectoryTree, i),
                               ui::TreeParentItem(MainWindow::DirectoryTree, i),
                               ui::TreeItemData(MainWindow::DirectoryTree, i)});
    }
  });
  return snapshot;
}

void WriteTreeSnapshot(const TreeSnapshot& snapshot) {
  std::lock_guard<std::mutex> lock(TreeTableLock);
  if (snapshot.number > SnapshotsHandled) {
    OdbcTransaction(LibraryDatabase, [&snapshot] {
      if (!OdbcExecute(LibraryDatabase, "delete from `目录`;")) return false;
      for (const DirectoryRow& row : snapshot.rows) {
        const Text sql = "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('" +
                         SqlEscape(row.name) + "','" + SqlEscape(ToText(row.parent)) + "','" +
                         SqlEscape(ToText(row.tag)) + "');";
        if (!OdbcExecute(LibraryDatabase, sql)) return false;
      }
      return true;
    });
    SnapshotsHandled = snapshot.number;
  }
  TreeTableChanged.notify_all();
}

// The rows of `目录` in stored order; none when the table cannot be read.
std::vector<DirectoryRow> ReadDirectoryTable() {
  std::vector<DirectoryRow> rows;
  const int set = OdbcQuery(LibraryDatabase, "SELECT * FROM `目录`");
  while (!OdbcIsEof(LibraryDatabase, set)) {
    rows.push_back({OdbcReadField(LibraryDatabase, set, "目录名"),
                    ToInt(OdbcReadField(LibraryDatabase, set, "索引")),
                    ToInt(OdbcReadField(LibraryDatabase, set, "标记"))});
    OdbcMoveNext(LibraryDatabase, set);
  }
  if (set != 0) OdbcCloseRecordSet(LibraryDatabase, set);
  return rows;
}

// The handlers' save: the snapshot is taken now, on the GUI thread, so it holds the change the
// handler just made, and a load asked for afterwards waits for this save.
void StartSave() {
  auto snapshot = std::make_shared<const TreeSnapshot>(TakeTreeSnapshot());
  if (!snapshot->treeReady) return;
  StartThread([snapshot](int) { WriteTreeSnapshot(*snapshot); });
}

}  // namespace

void LoadDirectoryTree() {
  for (;;) {
    std::vector<DirectoryRow> rows;
    std::uint64_t handled = 0;
    {
      std::lock_guard<std::mutex> lock(TreeTableLock);
      rows = ReadDirectoryTable();
      handled = SnapshotsHandled;
    }
    std::uint64_t taken = 0;
    bool applied = false;
    ui::RunOnGui([&] {
      taken = SnapshotsTaken;
      if (taken > handled || !ui::IsCreated(MainWindow::Self)) return;
      ui::TreeClear(MainWindow::DirectoryTree);
      // Rows come in the order the save wrote them, so each parent index names an item that
      // is there already; any other index puts the item at the top level.
      for (const DirectoryRow& row : rows) {
        ui::TreeAddItem(MainWindow::DirectoryTree, row.parent, row.name, row.tag);
      }
      applied = true;
      TreeLoaded = true;
    });
    if (applied || taken <= handled) return;
    // A save of a newer tree state is on its way: wait for it, then read again.
    std::unique_lock<std::mutex> lock(TreeTableLock);
    TreeTableChanged.wait(lock, [taken] { return SnapshotsHandled >= taken; });
  }
}

void LoadDirectoryTreeThread(int) { LoadDirectoryTree(); }

void ForgetLoadedTree() {
  ui::RunOnGui([] { TreeLoaded = false; });
}

int SaveDirectoryTree() {
  const TreeSnapshot snapshot = TakeTreeSnapshot();
  if (!snapshot.treeReady) return 0;  // no loaded tree: the table is left as it is
  WriteTreeSnapshot(snapshot);
  return static_cast<int>(snapshot.rows.size());
}

void SaveDirectoryTreeThread(int) { SaveDirectoryTree(); }

Text GetTreeItemPath(ui::ControlRef tree, int index) {
  if (ui::TreeCurrentItem(tree) == -1) return "";
  const int parent = ui::TreeParentItem(tree, index);
  if (parent == -1) return "/" + ui::TreeItemText(tree, index);
  return "/" + ui::TreeItemText(tree, parent) + "/" + ui::TreeItemText(tree, index);
}

int NewDirectoryTag() {
  SeedRandom();
  const int a = RandomInt(12, 9999);
  const int b = RandomInt(51, 190);
  return static_cast<int>(a * b * 50.0);
}

void MainWindow_AddRootMenuItem_OnSelected() {
  Text name;
  if (!ui::InputBox("请输入表名", "请输入表名", "表名", name)) {
    ui::ShowMessageBox("插入失败！！");
    return;
  }
  const int tag = NewDirectoryTag();
  ui::TreeAddItem(MainWindow::DirectoryTree, -1, name, tag);
  StartSave();
}

void MainWindow_InsertChildMenuItem_OnSelected() {
  Text name;
  if (!ui::InputBox("请输入表名", "请输入表名", "表名", name)) {
    ui::ShowMessageBox("插入失败！！");
    return;
  }
  const int tag = NewDirectoryTag();
  const int parent = ui::TreeCurrentItem(MainWindow::DirectoryTree);
  ui::TreeAddItem(MainWindow::DirectoryTree, parent, name, tag);
  StartSave();
}

void MainWindow_DeleteDirectoryMenuItem_OnSelected() {
  const int current = ui::TreeCurrentItem(MainWindow::DirectoryTree);
  if (current == -1) return;  // nothing chosen: nothing to delete
  const Text path = GetTreeItemPath(MainWindow::DirectoryTree, current);
  const Text tag = ToText(ui::TreeItemData(MainWindow::DirectoryTree, current));
  const Text sql = "DELETE FROM `内含信息` WHERE `路径` = '" + SqlEscape(path) + "' AND `标记`='" +
                   SqlEscape(tag) + "'";
  if (!OdbcExecute(LibraryDatabase, sql)) {
    ui::ShowMessageBox("未知原因删除失败！！");
    return;
  }
  ui::TreeDeleteItem(MainWindow::DirectoryTree, current);
  StartSave();
}

void MainWindow_DirectoryTree_OnLabelEdited(int) { StartSave(); }

void MainWindow_DirectoryTree_OnRightButtonUp() { ui::PopupMenu(MainWindow::Self, "TreeMenu"); }

void MainWindow_RefreshTreeMenuItem_OnSelected() { StartThread(LoadDirectoryTreeThread); }

void MainWindow_SaveTreeMenuItem_OnSelected() { StartSave(); }

void BindDirectoryTreeHandlers() {
  using ui::EventKind;
  const auto menu = [](const char* item, void (*handler)()) {
    ui::Bind(MainWindow::Self, item, EventKind::MenuSelected, [handler](int) { handler(); });
  };
  menu(MainWindow::AddRootMenuItem.name, MainWindow_AddRootMenuItem_OnSelected);
  menu(MainWindow::InsertChildMenuItem.name, MainWindow_InsertChildMenuItem_OnSelected);
  menu(MainWindow::DeleteDirectoryMenuItem.name, MainWindow_DeleteDirectoryMenuItem_OnSelected);
  menu(MainWindow::RefreshTreeMenuItem.name, MainWindow_RefreshTreeMenuItem_OnSelected);
  menu(MainWindow::SaveTreeMenuItem.name, MainWindow_SaveTreeMenuItem_OnSelected);
  ui::Bind(MainWindow::Self, MainWindow::DirectoryTree.name, EventKind::LabelEdited,
           [](int index) { MainWindow_DirectoryTree_OnLabelEdited(index); });
  ui::Bind(MainWindow::Self, MainWindow::DirectoryTree.name, EventKind::RightButtonUp,
           [](int) { MainWindow_DirectoryTree_OnRightButtonUp(); });
}
