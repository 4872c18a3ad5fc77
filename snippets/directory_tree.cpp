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
// - The table is never emptied by a failure: a load whose query fails keeps the tree as it is,
//   and until a load has filled the tree no save touches the table; a failed save is told to
//   the user once and the tree keeps its change, which the next save stores (a refresh first
//   tries that save again and keeps the tree while it fails).
// - Changes asked for while the start-up load still runs wait until it has filled the tree.
#include "snippets/directory_tree.h"

#include <atomic>
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
#include "runtime/codepage.h"
#include "snippets/entry_list.h"
#include "ui/ui.h"

namespace {

struct DirectoryRow {
  Text name;
  int parent;
  int tag;
};

constexpr const char* kSaveFailedMessage =
    "保存目录失败！！数据库文件可能被占用或不可写，目录的改动还没有存入数据库。";
constexpr const char* kNotLoadedMessage =
    "目录还没有从数据库读出，为免覆盖原有目录，改动不会保存！！请用“刷新目录”重新读取。";
constexpr const char* kLoadFailedMessage =
    "读取目录失败！！数据库文件可能被占用，目录保持不变，请稍后用“刷新目录”重试。";
constexpr const char* kUnstorableNameMessage =
    "目录名中含有无法保存的字符（如表情符号），请换一个名称!!";

std::mutex TreeTableLock;
std::condition_variable TreeTableChanged;
std::uint64_t SnapshotsTaken = 0;    // GUI thread only
std::uint64_t SnapshotsHandled = 0;  // under TreeTableLock: newest snapshot saved or skipped
bool TreeLoaded = false;             // GUI thread only: a load has filled the tree
int LoadsPending = 0;                // GUI thread only: started loads not yet ended
std::vector<Text> KnownItemTexts;    // GUI thread only: item texts after the last change
std::atomic<bool> TreeUnsaved{false};       // the tree holds a change the table lacks
std::atomic<bool> SaveFailureTold{false};   // the user heard of it since the last good save
std::atomic<bool> UnloadedTold{false};      // the user heard that changes cannot be saved yet

struct TreeSnapshot {
  bool treeReady = false;  // the main window is there and its tree was loaded
  std::uint64_t number = 0;
  std::vector<DirectoryRow> rows;
};

std::vector<DirectoryRow> ReadTree() {
  std::vector<DirectoryRow> rows;
  const int count = ui::TreeItemCount(MainWindow::DirectoryTree);
  rows.reserve(count);
  for (int i = 0; i < count; ++i) {
    rows.push_back({ui::TreeItemText(MainWindow::DirectoryTree, i),
                    ui::TreeParentItem(MainWindow::DirectoryTree, i),
                    ui::TreeItemData(MainWindow::DirectoryTree, i)});
  }
  return rows;
}

template <typename Row, typename Name>
void RememberItemTexts(const std::vector<Row>& rows, Name name) {
  KnownItemTexts.clear();
  KnownItemTexts.reserve(rows.size());
  for (const Row& row : rows) KnownItemTexts.push_back(row.*name);
}

// Tells the user once, whatever thread the save ran on.
void TellOnce(std::atomic<bool>& told, const char* message) {
  if (told.exchange(true)) return;
  ui::ShowMessageBox(message, ui::kMbIconWarning);
}

TreeSnapshot TakeTreeSnapshot() {
  TreeSnapshot snapshot;
  ui::RunOnGui([&snapshot] {
    if (!ui::IsCreated(MainWindow::Self)) return;
    snapshot.rows = ReadTree();
    RememberItemTexts(snapshot.rows, &DirectoryRow::name);
    snapshot.treeReady = TreeLoaded;
    if (snapshot.treeReady) snapshot.number = ++SnapshotsTaken;
  });
  return snapshot;
}

bool WriteTreeSnapshot(const TreeSnapshot& snapshot) {
  bool written = true;
  {
    std::lock_guard<std::mutex> lock(TreeTableLock);
    if (snapshot.number > SnapshotsHandled) {
      written = OdbcTransaction(LibraryDatabase, [&snapshot] {
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
      TreeUnsaved = !written;
    }
    TreeTableChanged.notify_all();
  }
  // Told outside the lock: the box waits for the GUI thread, which may wait for the lock.
  if (written) {
    SaveFailureTold = false;
  } else {
    TellOnce(SaveFailureTold, kSaveFailedMessage);
  }
  return written;
}

// A snapshot that may not be saved because no load has filled the tree yet: the change it
// holds stays in the tree only, and the user hears of it once.
void RefuseUnloadedSave() {
  TreeUnsaved = true;
  TellOnce(UnloadedTold, kNotLoadedMessage);
}

// The rows of `目录` in stored order, as tree items; false when the table cannot be read.
bool ReadDirectoryTable(std::vector<ui::TreeItem>& rows) {
  rows.clear();
  const int set = OdbcQuery(LibraryDatabase, "SELECT * FROM `目录`");
  if (set == 0) return false;
  rows.reserve(OdbcRowsLeft(LibraryDatabase, set));
  OdbcReadRows(LibraryDatabase, set, {"目录名", "索引", "标记"}, [&rows](std::vector<Text>& values) {
    rows.push_back({ToInt(values[1]), std::move(values[0]), ToInt(values[2])});
  });
  OdbcCloseRecordSet(LibraryDatabase, set);
  return true;
}

// The handlers' save: the snapshot is taken now, on the GUI thread, so it holds the change the
// handler just made, and a load asked for afterwards waits for this save.
void StartSave() {
  auto snapshot = std::make_shared<const TreeSnapshot>(TakeTreeSnapshot());
  if (!ui::IsCreated(MainWindow::Self)) return;
  if (!snapshot->treeReady) {
    RefuseUnloadedSave();
    return;
  }
  StartThread([snapshot](int) { WriteTreeSnapshot(*snapshot); });
}

// A change asked for while a load that will fill the tree is on its way waits for it, so the
// load does not clear the change away.
void WaitForPendingLoad() {
  while (!TreeLoaded && LoadsPending > 0 && ui::IsCreated(MainWindow::Self)) ui::DelayPumping(10);
}

// The typed name of a new directory, or false (told) when it cannot be stored.
bool AskDirectoryName(Text& name) {
  if (!ui::InputBox("请输入表名", "请输入表名", "表名", name)) {
    ui::ShowMessageBox("插入失败！！");
    return false;
  }
  if (HoldsUnstorableCharacter(name)) {
    ui::ShowMessageBox(kUnstorableNameMessage, ui::kMbIconWarning);
    return false;
  }
  return true;
}

// The DirectoryTags of the item and of every item below it.
std::vector<int> SubtreeTags(int item) {
  std::vector<int> tags{ui::TreeItemData(MainWindow::DirectoryTree, item)};
  const int count = ui::TreeItemCount(MainWindow::DirectoryTree);
  // Pre-order: the subtree is the run of items after it whose parent chain reaches it.
  for (int i = item + 1; i < count; ++i) {
    int up = ui::TreeParentItem(MainWindow::DirectoryTree, i);
    while (up > item) up = ui::TreeParentItem(MainWindow::DirectoryTree, up);
    if (up != item) break;
    tags.push_back(ui::TreeItemData(MainWindow::DirectoryTree, i));
  }
  return tags;
}

}  // namespace

void LoadDirectoryTree() {
  for (;;) {
    std::vector<ui::TreeItem> rows;
    std::uint64_t handled = 0;
    bool read = false;
    {
      std::lock_guard<std::mutex> lock(TreeTableLock);
      read = ReadDirectoryTable(rows);
      handled = SnapshotsHandled;
    }
    if (!read) {
      // The tree stays as it was, and an unloaded tree stays unsaveable.
      ui::ShowMessageBox(kLoadFailedMessage, ui::kMbIconWarning);
      return;
    }
    std::uint64_t taken = 0;
    bool applied = false;
    ui::RunOnGui([&] {
      taken = SnapshotsTaken;
      if (taken > handled || !ui::IsCreated(MainWindow::Self)) return;
      // A change whose save failed again is kept rather than replaced by the older table.
      if (TreeLoaded && TreeUnsaved) return;
      ui::TreeClear(MainWindow::DirectoryTree);
      RememberItemTexts(rows, &ui::TreeItem::text);
      // Rows come in the order the save wrote them, so each parent index names an item that
      // is there already; any other index puts the item at the top level.
      ui::TreeAddItems(MainWindow::DirectoryTree, std::move(rows));
      applied = true;
      TreeLoaded = true;
      TreeUnsaved = false;
      UnloadedTold = false;
    });
    if (applied || taken <= handled) return;
    // A save of a newer tree state is on its way: wait for it, then read again.
    std::unique_lock<std::mutex> lock(TreeTableLock);
    TreeTableChanged.wait(lock, [taken] { return SnapshotsHandled >= taken; });
  }
}

void LoadDirectoryTreeThread(int counted) {
  LoadDirectoryTree();
  if (counted != 0) {
    ui::RunOnGui([] {
      if (LoadsPending > 0) --LoadsPending;
    });
  }
}

void StartDirectoryTreeLoad() {
  ui::RunOnGui([] { ++LoadsPending; });
  if (!StartThread(LoadDirectoryTreeThread, 1)) {
    ui::RunOnGui([] { --LoadsPending; });
  }
}

void StartDirectoryTreeSave() { StartSave(); }

void ForgetLoadedTree() {
  ui::RunOnGui([] {
    TreeLoaded = false;
    LoadsPending = 0;
    KnownItemTexts.clear();
  });
  TreeUnsaved = false;
  SaveFailureTold = false;
  UnloadedTold = false;
}

int SaveDirectoryTree() {
  const TreeSnapshot snapshot = TakeTreeSnapshot();
  if (!snapshot.treeReady) {
    // Nothing loaded: the table is left as it is; a change made meanwhile was told already.
    if (TreeUnsaved) RefuseUnloadedSave();
    return 0;
  }
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

int DrawDirectoryTag() {
  const int a = RandomInt(12, 9999);
  const int b = RandomInt(51, 190);
  return static_cast<int>(a * b * 50.0);
}

int NewDirectoryTag() {
  SeedRandom();
  return DrawDirectoryTag();
}

void MainWindow_AddRootMenuItem_OnSelected() {
  Text name;
  if (!AskDirectoryName(name)) return;
  WaitForPendingLoad();
  const int tag = NewDirectoryTag();
  ui::TreeAddItem(MainWindow::DirectoryTree, -1, name, tag);
  StartSave();
}

void MainWindow_InsertChildMenuItem_OnSelected() {
  Text name;
  if (!AskDirectoryName(name)) return;
  WaitForPendingLoad();
  const int tag = NewDirectoryTag();
  const int parent = ui::TreeCurrentItem(MainWindow::DirectoryTree);
  ui::TreeAddItem(MainWindow::DirectoryTree, parent, name, tag);
  StartSave();
}

void MainWindow_DeleteDirectoryMenuItem_OnSelected() {
  WaitForPendingLoad();
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
  const std::vector<int> gone = SubtreeTags(current);
  ui::TreeDeleteItem(MainWindow::DirectoryTree, current);
  ClearListingOfDirectories(gone);
  StartSave();
}

void MainWindow_DirectoryTree_OnLabelEdited(int index) {
  const Text text = ui::TreeItemText(MainWindow::DirectoryTree, index);
  if (HoldsUnstorableCharacter(text)) {
    ui::ShowMessageBox(kUnstorableNameMessage, ui::kMbIconWarning);
    if (index >= 0 && index < static_cast<int>(KnownItemTexts.size())) {
      ui::TreeSetItemText(MainWindow::DirectoryTree, index, KnownItemTexts[index]);
    }
    return;
  }
  StartSave();
}

void MainWindow_DirectoryTree_OnRightButtonUp() { ui::PopupMenu(MainWindow::Self, "TreeMenu"); }

void MainWindow_RefreshTreeMenuItem_OnSelected() {
  // A change the table still lacks is saved first; the load then waits for that save.
  if (TreeUnsaved && TreeLoaded) StartSave();
  StartDirectoryTreeLoad();
}

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
