// The directory tree under faults: a library locked by another connection, a save that fails,
// names the library cannot store, changes made while the first load runs, and the exact
// statements the tree sends.
#include <sqlite3.h>

#include <mutex>
#include <vector>

#include "runtime/codepage.h"
#include "runtime/database_test_hooks.h"
#include "snippets/directory_tree.h"
#include "snippets/library.h"
#include "tests/support/statement_log.h"
#include "tree_helpers.h"

namespace {

using namespace tree_test;
namespace headless = ui::headless;
const ui::ControlRef Tree = MainWindow::DirectoryTree;

// A connection of its own on the library that holds the write lock while it lives, as another
// program would.
class ForeignLock {
 public:
  explicit ForeignLock(const Text& file) {
    sqlite3_open_v2(NativePath(file).c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    locked_ = sqlite3_exec(db_, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~ForeignLock() { Release(); }
  bool locked() const { return locked_; }
  void Release() {
    if (db_ == nullptr) return;
    sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
  bool locked_ = false;
};

class TreeFaultsTest : public LibraryProgramTest {
 protected:
  void SetUp() override {
    LibraryProgramTest::SetUp();
    // A held lock fails a statement after this, not after the real five seconds.
    SetDatabaseBusyTimeout(100);
  }
  void TearDown() override {
    LibraryProgramTest::TearDown();
    SetDatabaseBusyTimeout(5000);
  }
  int MessagesContaining(const char* part) {
    int count = 0;
    for (const auto& shown : headless::MessagesShown()) count += shown.text.find(part) != Text::npos;
    return count;
  }
  void AddRoot(const Text& name) {
    headless::AnswerInputBox(name);
    headless::ChooseMenuItem(MainWindow::Self, "AddRootMenuItem");
    headless::WaitIdle();
  }
};

const std::vector<Text> kThree = {DirectoryInsert("A", "-1", "50"), DirectoryInsert("B", "0", "100"),
                                  DirectoryInsert("C", "-1", "150")};
const Rows kThreeRows = {{"A", "-1", "50"}, {"B", "0", "100"}, {"C", "-1", "150"}};

TEST_F(TreeFaultsTest, RefreshWhileAnotherConnectionHoldsTheLockKeepsTheTree) {
  StartWith(kThree);
  {
    ForeignLock lock(InProgram("\\DATA.mdb"));
    ASSERT_TRUE(lock.locked());
    headless::ChooseMenuItem(MainWindow::Self, "RefreshTreeMenuItem");
    headless::WaitIdle();
    EXPECT_EQ(ui::TreeItemCount(Tree), 3);
    EXPECT_EQ(MessagesContaining("读取目录失败"), 1);
  }
  // The close's save writes the tree it kept, not an empty one.
  EXPECT_EQ(SaveDirectoryTree(), 3);
  EXPECT_EQ(DirectoryRows(), kThreeRows);
}

TEST_F(TreeFaultsTest, FailedSavesAreToldOnceAndTheChangeIsStoredLater) {
  StartWith(kThree);
  {
    ForeignLock lock(InProgram("\\DATA.mdb"));
    AddRoot("D");
    AddRoot("E");
    EXPECT_EQ(MessagesContaining("保存目录失败"), 1);
    EXPECT_EQ(ui::TreeItemCount(Tree), 5);
    // A refresh while the save still fails keeps the unsaved change in the tree.
    headless::ChooseMenuItem(MainWindow::Self, "RefreshTreeMenuItem");
    headless::WaitIdle();
    EXPECT_EQ(ui::TreeItemCount(Tree), 5);
  }
  headless::ClearRecords();
  headless::ChooseMenuItem(MainWindow::Self, "SaveTreeMenuItem");
  headless::WaitIdle();
  EXPECT_TRUE(headless::MessagesShown().empty());
  ASSERT_EQ(DirectoryRows().size(), 5u);
  EXPECT_EQ(DirectoryRows()[4][0], "E");

  // After a good save a new failure is told again.
  ForeignLock lock(InProgram("\\DATA.mdb"));
  AddRoot("F");
  EXPECT_EQ(MessagesContaining("保存目录失败"), 1);
}

// The close's save meets a lock: the user is told before the program ends, and the table keeps
// its former rows instead of a half-written tree.
TEST_F(TreeFaultsTest, CloseWhileTheLibraryIsLockedTellsAndKeepsTheTable) {
  StartWith(kThree);
  ui::TreeAddItem(Tree, -1, "D", 200);
  {
    ForeignLock lock(InProgram("\\DATA.mdb"));
    ASSERT_TRUE(lock.locked());
    headless::AskToClose(MainWindow::Self);
    EXPECT_EQ(MessagesContaining("保存目录失败"), 1);
    EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  }
  EXPECT_EQ(DirectoryRows(), kThreeRows);
}

TEST_F(TreeFaultsTest, SaveOfATreeThatNeverLoadedLeavesTheTable) {
  StartWith(kThree);
  ui::TreeClear(Tree);
  ForgetLoadedTree();
  {
    ForeignLock lock(InProgram("\\DATA.mdb"));
    StartDirectoryTreeLoad();
    headless::WaitIdle();
  }
  EXPECT_EQ(MessagesContaining("读取目录失败"), 1);
  AddRoot("new");
  EXPECT_EQ(MessagesContaining("不会保存"), 1);
  EXPECT_EQ(SaveDirectoryTree(), 0);
  EXPECT_EQ(DirectoryRows(), kThreeRows);
}

// The first load has read the table but not yet filled the tree when the user adds a
// directory: the add waits for the load instead of being cleared away by it.
TEST_F(TreeFaultsTest, DirectoryAddedWhileTheFirstLoadRunsIsKept) {
  StartWith(kThree);
  ui::TreeClear(Tree);
  ForgetLoadedTree();
  StartDirectoryTreeLoad();  // its worker now waits for this (the GUI) thread
  AddRoot("D");
  EXPECT_EQ(TreeItems().size(), 4u);
  EXPECT_EQ(TreeItems().back().text, "D");
  ASSERT_EQ(DirectoryRows().size(), 4u);
  EXPECT_EQ(DirectoryRows()[3][0], "D");
}

TEST_F(TreeFaultsTest, NamesTheLibraryCannotStoreAreRefused) {
  StartWith(kThree);
  const Text emoji = ConvertTypedUtf8ToGbk("\xE6\x96\xB0\xF0\x9F\x98\x80");  // 新 and an emoji, UTF-8
  ASSERT_TRUE(HoldsUnstorableCharacter(emoji));
  for (const char* item : {"AddRootMenuItem", "InsertChildMenuItem"}) {
    SCOPED_TRACE(item);
    headless::ClearRecords();
    ui::SetTreeCurrentItem(Tree, 0);
    headless::AnswerInputBox(emoji);
    headless::ChooseMenuItem(MainWindow::Self, item);
    headless::WaitIdle();
    EXPECT_EQ(ui::TreeItemCount(Tree), 3);
    EXPECT_EQ(MessagesContaining("目录名中含有无法保存的字符"), 1);
  }
  // An in-place edit to such a name goes back to the former text and saves nothing.
  headless::ClearRecords();
  headless::EditTreeLabel(Tree, 1, ConvertTypedUtf8ToGbk("\xF0\xA0\x80\x80"));
  headless::WaitIdle();
  EXPECT_EQ(ui::TreeItemText(Tree, 1), "B");
  EXPECT_EQ(MessagesContaining("目录名中含有无法保存的字符"), 1);
  EXPECT_EQ(DirectoryRows(), kThreeRows);
}

TEST_F(TreeFaultsTest, DeletingTheListedDirectoryClearsTheList) {
  StartWith(kThree);
  ASSERT_TRUE(OdbcExecute(LibraryDatabase, EntryInsert("/A/B", "entry of B", "100")));
  ASSERT_TRUE(OdbcExecute(LibraryDatabase, EntryInsert("/C", "entry of C", "150")));
  const struct {
    const char* what;
    int listed;   // the directory whose entries are shown
    int deleted;  // the directory deleted then
    bool cleared;
  } cases[] = {
      {"the listed directory itself", 1, 1, true},
      {"a parent of the listed directory", 1, 0, true},
      {"another directory", 2, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ui::TreeClear(Tree);
    LoadDirectoryTree();
    headless::SelectTreeItem(Tree, c.listed);
    headless::WaitIdle();
    ASSERT_EQ(ui::ListRowCount(MainWindow::EntryListView), 1);
    // A previewed entry of the list.
    ui::SetText(MainWindow::UsageTextBox, "用法");
    ui::SetPicture(MainWindow::PreviewPicture, Bytes{'G', 'I', 'F'});
    ui::SetWidth(MainWindow::PreviewPicture, 600);
    ui::SetScrollMaximum(MainWindow::PreviewHScrollBar, 121);
    ui::SetTreeCurrentItem(Tree, c.deleted);
    headless::ChooseMenuItem(MainWindow::Self, "DeleteDirectoryMenuItem");
    headless::WaitIdle();
    EXPECT_EQ(ui::ListRowCount(MainWindow::EntryListView) == 0, c.cleared);
    EXPECT_EQ(ui::StatusBarText(MainWindow::MainStatusBar, 0).empty(), c.cleared);
    EXPECT_EQ(ui::StatusBarText(MainWindow::MainStatusBar, 1).empty(), c.cleared);
    EXPECT_EQ(ui::GetText(MainWindow::UsageTextBox).empty(), c.cleared);
    EXPECT_EQ(ui::GetPicture(MainWindow::PreviewPicture).empty(), c.cleared);
    EXPECT_EQ(ui::GetWidth(MainWindow::PreviewPicture) == 0, c.cleared);
    EXPECT_EQ(ui::GetScrollMaximum(MainWindow::PreviewHScrollBar) == 0, c.cleared);
    {
      std::lock_guard<std::mutex> lock(EntryListLock);
      EXPECT_EQ(EntryList.empty(), c.cleared);
    }
    // Back to three directories for the next case.
    ASSERT_TRUE(OdbcExecute(LibraryDatabase, "delete from `目录`;"));
    for (const Text& sql : kThree) ASSERT_TRUE(OdbcExecute(LibraryDatabase, sql));
    ASSERT_TRUE(OdbcExecute(LibraryDatabase, "delete from `内含信息`;"));
    ASSERT_TRUE(OdbcExecute(LibraryDatabase, EntryInsert("/A/B", "entry of B", "100")));
    ASSERT_TRUE(OdbcExecute(LibraryDatabase, EntryInsert("/C", "entry of C", "150")));
  }
}

TEST_F(TreeFaultsTest, StatementsOfTheTreeAreExact) {
  StartWith({DirectoryInsert("A", "-1", "50")});
  StatementLog log(LibraryDatabase);
  ui::TreeAddItem(Tree, 0, "B'", 100);
  EXPECT_EQ(SaveDirectoryTree(), 2);
  EXPECT_EQ(log.Taken(), (std::vector<Text>{"BEGIN IMMEDIATE;", "delete from `目录`;",
                                            "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('A','-1','50');",
                                            "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('B''','0','100');",
                                            "COMMIT;"}));
  LoadDirectoryTree();
  EXPECT_EQ(log.Taken(), (std::vector<Text>{"SELECT * FROM `目录`"}));

  ui::SetTreeCurrentItem(Tree, 1);
  headless::ChooseMenuItem(MainWindow::Self, "DeleteDirectoryMenuItem");
  headless::WaitIdle();
  const std::vector<Text> taken = log.Taken();
  ASSERT_FALSE(taken.empty());
  EXPECT_EQ(taken[0], "DELETE FROM `内含信息` WHERE `路径` = '/A/B''' AND `标记`='100'");

  EnsureLibraryTables(LibraryDatabase);
  EXPECT_EQ(log.Taken(), (std::vector<Text>{"select * from `目录`;", "select * from `内含信息`;"}));
}

}  // namespace
