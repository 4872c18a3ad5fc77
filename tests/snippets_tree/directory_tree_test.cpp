// The directory tree: save and load of table `目录`, the tree menu, label editing, deleting a
// directory and the path of the current directory.
#include "snippets/directory_tree.h"

#include <algorithm>

#include "runtime/random.h"
#include "runtime/threads.h"
#include "snippets/startup.h"
#include "tree_helpers.h"

namespace {

using namespace tree_test;
namespace headless = ui::headless;
const ui::ControlRef Tree = MainWindow::DirectoryTree;

class DirectoryTreeTest : public LibraryProgramTest {
 protected:
  // A (top), B (child of A), C (child of B), D (top).
  void MakeFourItemTree() {
    const int a = ui::TreeAddItem(Tree, -1, "A", 1000);
    const int b = ui::TreeAddItem(Tree, a, "B", 2000);
    ui::TreeAddItem(Tree, b, "C", 3000);
    ui::TreeAddItem(Tree, -1, "D", 4000);
  }

  Rows EntryPaths() {
    return QueryRows(LibraryDatabase, "SELECT * FROM `内含信息`", {"路径", "标记"});
  }
};

const std::vector<Item> kFourItems = {{"A", -1, 1000}, {"B", 0, 2000}, {"C", 1, 3000}, {"D", -1, 4000}};

TEST_F(DirectoryTreeTest, SaveWritesItemsInTreeOrderAndLoadRebuildsThem) {
  StartWith({});
  MakeFourItemTree();

  EXPECT_EQ(SaveDirectoryTree(), 4);
  EXPECT_EQ(DirectoryRows(), (Rows{{"A", "-1", "1000"}, {"B", "0", "2000"}, {"C", "1", "3000"},
                                   {"D", "-1", "4000"}}));

  ui::TreeClear(Tree);
  LoadDirectoryTree();
  EXPECT_EQ(TreeItems(), kFourItems);
}

TEST_F(DirectoryTreeTest, SaveThatFailsMidwayKeepsTheFormerTable) {
  StartWith({DirectoryInsert("old", "-1", "50"),
             "CREATE TRIGGER refuse BEFORE INSERT ON `目录` WHEN NEW.`目录名` = 'bad' "
             "BEGIN SELECT RAISE(ABORT, 'refused'); END;"});
  ui::TreeClear(Tree);
  ui::TreeAddItem(Tree, -1, "A", 100);
  ui::TreeAddItem(Tree, -1, "bad", 150);
  ui::TreeAddItem(Tree, -1, "C", 200);

  SaveDirectoryTree();

  EXPECT_EQ(DirectoryRows(), (Rows{{"old", "-1", "50"}}));
}

TEST_F(DirectoryTreeTest, SaveReplacesEveryFormerRow) {
  StartWith({DirectoryInsert("old", "-1", "50"), DirectoryInsert("older", "0", "100")});
  ui::TreeClear(Tree);
  ui::TreeAddItem(Tree, -1, "new", 150);
  EXPECT_EQ(SaveDirectoryTree(), 1);
  EXPECT_EQ(DirectoryRows(), (Rows{{"new", "-1", "150"}}));
}

struct LoadCase {
  const char* name;
  std::vector<std::vector<Text>> rows;  // 目录名, 索引, 标记
  std::vector<Item> tree;
};

const LoadCase kLoadCases[] = {
    {"empty table", {}, {}},
    {"forward index goes to the top level",
     {{"A", "-1", "50"}, {"B", "5", "100"}, {"C", "3", "150"}},
     {{"A", -1, 50}, {"B", -1, 100}, {"C", -1, 150}}},
    {"an item placed by a forward index is a parent for later rows",
     {{"A", "-1", "50"}, {"B", "5", "100"}, {"C", "1", "150"}},
     {{"A", -1, 50}, {"B", -1, 100}, {"C", 1, 150}}},
    {"index beyond the integer range goes to the top level",
     {{"A", "-1", "50"}, {"B", "99999999999", "100"}},
     {{"A", -1, 50}, {"B", -1, 100}}},
    {"index equal to the rows before it goes to the top level",
     {{"A", "-1", "50"}, {"B", "1", "100"}},
     {{"A", -1, 50}, {"B", -1, 100}}},
    {"negative index goes to the top level",
     {{"A", "-1", "50"}, {"B", "-7", "100"}},
     {{"A", -1, 50}, {"B", -1, 100}}},
    {"index without digits goes under the first item",
     {{"A", "-1", "50"}, {"B", "-1", "100"}, {"C", "abc", "150"}, {"D", "", "200"}},
     {{"A", -1, 50}, {"C", 0, 150}, {"D", 0, 200}, {"B", -1, 100}}},
    {"index without digits and no item yet goes to the top level",
     {{"A", "x", "50"}},
     {{"A", -1, 50}}},
    {"leading digits count, a tag without digits is 0",
     {{"A", "-1", "12abc"}, {"B", "0x", "tag"}, {"C", " +1", "-50"}},
     {{"A", -1, 12}, {"B", 0, 0}, {"C", 1, -50}}},
};

TEST_F(DirectoryTreeTest, SaveBeforeTheFirstLoadLeavesTheTable) {
  PrepareLibrary(InProgram("\\DATA.mdb"), {kDirectoryTableText, kEntryTableText,
                                            DirectoryInsert("A", "-1", "50")});
  ASSERT_TRUE(StartSnippetProgram());
  // The load thread runs, but its rows reach the tree only when the GUI thread takes them.
  EXPECT_EQ(SaveDirectoryTree(), 0);
  EXPECT_EQ(DirectoryRows(), (Rows{{"A", "-1", "50"}}));
  headless::WaitIdle();
  EXPECT_EQ(TreeItems(), (std::vector<Item>{{"A", -1, 50}}));
  EXPECT_EQ(SaveDirectoryTree(), 1);
}

TEST_F(DirectoryTreeTest, LoadFollowsTheIndexRules) {
  StartWith({});
  for (const LoadCase& c : kLoadCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(OdbcExecute(LibraryDatabase, "delete from `目录`;"));
    for (const auto& row : c.rows) {
      ASSERT_TRUE(OdbcExecute(LibraryDatabase, DirectoryInsert(row[0], row[1], row[2])));
    }
    ui::TreeAddItem(Tree, -1, "left from before", 1);
    LoadDirectoryTree();
    EXPECT_EQ(TreeItems(), c.tree);
  }
}

// A table that cannot be read is no empty table: the tree stays, and the user hears of it.
TEST_F(DirectoryTreeTest, FailedLoadKeepsTheTree) {
  StartWith({DirectoryInsert("A", "-1", "50")});
  ASSERT_TRUE(OdbcExecute(LibraryDatabase, "DROP TABLE `目录`;"));
  headless::ClearRecords();
  LoadDirectoryTree();
  EXPECT_EQ(TreeItems(), (std::vector<Item>{{"A", -1, 50}}));
  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_NE(headless::MessagesShown()[0].text.find("读取目录失败"), Text::npos);
}

TEST_F(DirectoryTreeTest, PathOfCurrentItem) {
  StartWith({});
  MakeFourItemTree();
  const struct {
    int current;
    Text path;
  } cases[] = {{-1, ""}, {0, "/A"}, {1, "/A/B"}, {2, "/B/C"}, {3, "/D"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.current);
    ui::SetTreeCurrentItem(Tree, c.current);
    EXPECT_EQ(GetTreeItemPath(Tree, c.current), c.path);
  }
}

// True when tag = a x b x 50 with a in 12..9999 and b in 51..190.
bool IsTagProduct(int tag) {
  if (tag % 50 != 0) return false;
  for (int b = 51; b <= 190; ++b) {
    const int rest = tag / 50;
    if (rest % b == 0 && rest / b >= 12 && rest / b <= 9999) return true;
  }
  return false;
}

TEST_F(DirectoryTreeTest, NewTagsFollowTheRule) {
  int previous = 0;
  for (int i = 0; i < 200; ++i) {
    const int tag = NewDirectoryTag();
    EXPECT_TRUE(IsTagProduct(tag)) << tag;
    // Every tag seeds afresh; the seeding counter moves on also within one millisecond.
    EXPECT_NE(tag, previous);
    previous = tag;
  }
}

// Seeds whose draws reach both ends of both factors' ranges.
TEST_F(DirectoryTreeTest, TagDrawnFromASeedIsTheProductOfBothFactors) {
  const struct {
    std::uint32_t seed;
    int tag;  // a x b x 50
  } cases[] = {
      {1, 471700},          // 53 x 178
      {21, 303450},         // 119 x 51: b at its least
      {107, 3800000},       // 400 x 190: b at its most
      {3047, 67200},        // 12 x 112: a at its least
      {13081, 92990700},    // 9999 x 186: a at its most
      {461569, 114000},     // 12 x 190
      {1812290, 94990500},  // 9999 x 190: the largest tag
  };
  for (const auto& c : cases) {
    SeedRandom(c.seed);
    EXPECT_EQ(DrawDirectoryTag(), c.tag) << c.seed;
  }
  // A new tag seeds afresh: it never continues the generator where the thread left it.
  int continued = 0;
  for (int i = 0; i < 5; ++i) {
    SeedRandom(1);
    continued += NewDirectoryTag() == 471700;
  }
  EXPECT_LT(continued, 5);
}

struct AddCase {
  const char* name;
  const char* menuItem;
  int current;       // tree's current item before the command
  int expectParent;  // parent of the new item
};

TEST_F(DirectoryTreeTest, AddAndInsertAskForNameAndSave) {
  const AddCase cases[] = {
      {"add at the top level", "AddRootMenuItem", 1, -1},
      {"insert under the current item", "InsertChildMenuItem", 1, 1},
      {"insert without current item", "InsertChildMenuItem", -1, -1},
  };
  StartWith({});
  for (const AddCase& c : cases) {
    SCOPED_TRACE(c.name);
    ui::TreeClear(Tree);
    MakeFourItemTree();
    ui::SetTreeCurrentItem(Tree, c.current);
    headless::ClearRecords();
    headless::AnswerInputBox(Text("新目录"));

    headless::ChooseMenuItem(MainWindow::Self, c.menuItem);
    headless::WaitIdle();

    ASSERT_EQ(headless::InputBoxesShown().size(), 1u);
    EXPECT_EQ(headless::InputBoxesShown()[0].prompt, "请输入表名");
    EXPECT_EQ(headless::InputBoxesShown()[0].title, "请输入表名");
    EXPECT_EQ(headless::InputBoxesShown()[0].initial, "表名");
    EXPECT_TRUE(headless::MessagesShown().empty());
    const std::vector<Item> items = TreeItems();
    ASSERT_EQ(items.size(), 5u);
    const auto added = std::find_if(items.begin(), items.end(),
                                    [](const Item& item) { return item.text == "新目录"; });
    ASSERT_NE(added, items.end());
    EXPECT_EQ(added->parent, c.expectParent);
    EXPECT_EQ(added->data % 50, 0);
    EXPECT_GT(added->data, 0);
    // Saved: the table holds the tree as it is now.
    ASSERT_EQ(DirectoryRows().size(), 5u);
    EXPECT_EQ(DirectoryRows()[added - items.begin()],
              (std::vector<Text>{"新目录", ToText(added->parent), ToText(added->data)}));
  }
}

TEST_F(DirectoryTreeTest, CancelledInputBoxSaysInsertFailed) {
  StartWith({DirectoryInsert("A", "-1", "50")});
  for (const char* item : {"AddRootMenuItem", "InsertChildMenuItem"}) {
    SCOPED_TRACE(item);
    headless::ClearRecords();
    ASSERT_TRUE(OdbcExecute(LibraryDatabase, "delete from `目录`;"));
    headless::AnswerInputBox(std::nullopt);

    headless::ChooseMenuItem(MainWindow::Self, item);
    headless::WaitIdle();

    ASSERT_EQ(headless::MessagesShown().size(), 1u);
    EXPECT_EQ(headless::MessagesShown()[0].text, "插入失败！！");
    EXPECT_EQ(headless::MessagesShown()[0].flags, ui::kMbOk);
    EXPECT_EQ(TreeItems(), (std::vector<Item>{{"A", -1, 50}}));
    EXPECT_TRUE(DirectoryRows().empty());  // nothing saved
  }
}

TEST_F(DirectoryTreeTest, EmptyNameAddsItemWithEmptyText) {
  StartWith({});
  headless::AnswerInputBox(Text(""));
  headless::ChooseMenuItem(MainWindow::Self, "AddRootMenuItem");
  headless::WaitIdle();
  ASSERT_EQ(ui::TreeItemCount(Tree), 1);
  EXPECT_EQ(ui::TreeItemText(Tree, 0), "");
  ASSERT_EQ(DirectoryRows().size(), 1u);
  EXPECT_EQ(DirectoryRows()[0][0], "");
}

TEST_F(DirectoryTreeTest, RightButtonPopsUpTreeMenuWhoseItemsAct) {
  StartWith({});
  headless::ChoosePopupItem("AddRootMenuItem");
  headless::AnswerInputBox(Text("X"));
  headless::RightButtonUp(Tree);
  headless::WaitIdle();
  EXPECT_EQ(headless::PopupMenusShown(), (std::vector<std::string>{"TreeMenu"}));
  ASSERT_EQ(ui::TreeItemCount(Tree), 1);
  EXPECT_EQ(ui::TreeItemText(Tree, 0), "X");
  EXPECT_EQ(DirectoryRows().size(), 1u);
}

TEST_F(DirectoryTreeTest, DeleteRemovesOnlyTheDirectorysOwnEntries) {
  StartWith({DirectoryInsert("A", "-1", "1000"), DirectoryInsert("B", "0", "2000"),
             DirectoryInsert("C", "1", "3000"), DirectoryInsert("D", "-1", "4000"),
             EntryInsert("/A", "a1", "1000"), EntryInsert("/A", "a2", "1000"),
             EntryInsert("/A", "other tag", "4000"), EntryInsert("/A/B", "b1", "2000"),
             EntryInsert("/B/C", "c1", "3000"), EntryInsert("/D", "d1", "4000"),
             EntryInsert("", "no directory", "0")});
  ui::SetTreeCurrentItem(Tree, 0);

  headless::ChooseMenuItem(MainWindow::Self, "DeleteDirectoryMenuItem");
  headless::WaitIdle();

  EXPECT_TRUE(headless::MessagesShown().empty());
  EXPECT_EQ(EntryPaths(), (Rows{{"/A", "4000"}, {"/A/B", "2000"}, {"/B/C", "3000"},
                                {"/D", "4000"}, {"", "0"}}));
  EXPECT_EQ(TreeItems(), (std::vector<Item>{{"D", -1, 4000}}));
  EXPECT_EQ(DirectoryRows(), (Rows{{"D", "-1", "4000"}}));
}

TEST_F(DirectoryTreeTest, DeleteWithoutCurrentItemDoesNothing) {
  StartWith({DirectoryInsert("A", "-1", "1000"), EntryInsert("", "no directory", "0"),
             EntryInsert("/A", "a1", "1000")});
  ui::SetTreeCurrentItem(Tree, -1);
  ASSERT_TRUE(OdbcExecute(LibraryDatabase, "delete from `目录`;"));

  headless::ChooseMenuItem(MainWindow::Self, "DeleteDirectoryMenuItem");
  headless::WaitIdle();

  EXPECT_TRUE(headless::MessagesShown().empty());
  EXPECT_EQ(EntryPaths(), (Rows{{"", "0"}, {"/A", "1000"}}));
  EXPECT_EQ(TreeItems(), (std::vector<Item>{{"A", -1, 1000}}));
  EXPECT_TRUE(DirectoryRows().empty());  // nothing saved
}

TEST_F(DirectoryTreeTest, FailedDeleteKeepsTheItem) {
  StartWith({DirectoryInsert("A", "-1", "1000")});
  ASSERT_TRUE(OdbcExecute(LibraryDatabase, "DROP TABLE `内含信息`;"));
  ui::SetTreeCurrentItem(Tree, 0);

  headless::ChooseMenuItem(MainWindow::Self, "DeleteDirectoryMenuItem");
  headless::WaitIdle();

  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::MessagesShown()[0].text, "未知原因删除失败！！");
  EXPECT_EQ(headless::MessagesShown()[0].flags, ui::kMbOk);
  EXPECT_EQ(TreeItems(), (std::vector<Item>{{"A", -1, 1000}}));
  EXPECT_EQ(DirectoryRows(), (Rows{{"A", "-1", "1000"}}));
}

TEST_F(DirectoryTreeTest, LabelEditSavesAlsoWhenCancelled) {
  StartWith({DirectoryInsert("A", "-1", "1000"), DirectoryInsert("B", "0", "2000")});

  headless::EditTreeLabel(Tree, 1, Text("改名"));
  headless::WaitIdle();
  EXPECT_EQ(DirectoryRows(), (Rows{{"A", "-1", "1000"}, {"改名", "0", "2000"}}));

  ASSERT_TRUE(OdbcExecute(LibraryDatabase, "delete from `目录`;"));
  headless::EditTreeLabel(Tree, 0, std::nullopt);
  headless::WaitIdle();
  EXPECT_EQ(DirectoryRows(), (Rows{{"A", "-1", "1000"}, {"改名", "0", "2000"}}));
}

TEST_F(DirectoryTreeTest, NameWithApostropheAndPercentRoundTrips) {
  const Text name = "it's 100% 'done'";
  StartWith({EntryInsert("/" + name, "entry", "0")});
  headless::AnswerInputBox(name);
  headless::ChooseMenuItem(MainWindow::Self, "AddRootMenuItem");
  headless::WaitIdle();
  ASSERT_EQ(DirectoryRows().size(), 1u);
  EXPECT_EQ(DirectoryRows()[0][0], name);

  const int tag = ui::TreeItemData(Tree, 0);
  ui::TreeClear(Tree);
  LoadDirectoryTree();
  EXPECT_EQ(TreeItems(), (std::vector<Item>{{name, -1, tag}}));

  // Its entries are found by the quoted path too.
  ASSERT_TRUE(OdbcExecute(LibraryDatabase, EntryInsert("/" + name, "mine", ToText(tag))));
  ui::SetTreeCurrentItem(Tree, 0);
  headless::ChooseMenuItem(MainWindow::Self, "DeleteDirectoryMenuItem");
  headless::WaitIdle();
  EXPECT_TRUE(headless::MessagesShown().empty());
  EXPECT_EQ(EntryPaths(), (Rows{{"/" + name, "0"}}));
  EXPECT_EQ(ui::TreeItemCount(Tree), 0);
}

TEST_F(DirectoryTreeTest, RefreshAndSaveMenuItems) {
  StartWith({DirectoryInsert("A", "-1", "1000")});

  ui::TreeAddItem(Tree, 0, "child", 50);
  headless::ChooseMenuItem(MainWindow::Self, "SaveTreeMenuItem");
  headless::WaitIdle();
  EXPECT_EQ(DirectoryRows(), (Rows{{"A", "-1", "1000"}, {"child", "0", "50"}}));

  ASSERT_TRUE(OdbcExecute(LibraryDatabase, DirectoryInsert("from table", "-1", "100")));
  headless::ChooseMenuItem(MainWindow::Self, "RefreshTreeMenuItem");
  headless::WaitIdle();
  EXPECT_EQ(TreeItems(),
            (std::vector<Item>{{"A", -1, 1000}, {"child", 0, 50}, {"from table", -1, 100}}));
}

TEST_F(DirectoryTreeTest, RefreshAfterChangeKeepsTheChange) {
  StartWith({DirectoryInsert("A", "-1", "1000")});
  headless::AnswerInputBox(Text("B"));
  headless::ChooseMenuItem(MainWindow::Self, "AddRootMenuItem");
  headless::ChooseMenuItem(MainWindow::Self, "RefreshTreeMenuItem");
  headless::WaitIdle();
  ASSERT_EQ(ui::TreeItemCount(Tree), 2);
  EXPECT_EQ(ui::TreeItemText(Tree, 1), "B");
  EXPECT_EQ(DirectoryRows().size(), 2u);
}

TEST_F(DirectoryTreeTest, OverlappingSavesEndWithTheNewestTree) {
  StartWith({});
  for (int i = 0; i < 30; ++i) {
    headless::AnswerInputBox(ToText(i));
    headless::ChooseMenuItem(MainWindow::Self, i % 2 ? "AddRootMenuItem" : "InsertChildMenuItem");
    ui::SetTreeCurrentItem(Tree, i / 2);
    StartThread(SaveDirectoryTreeThread);
    if (i % 7 == 0) StartThread(LoadDirectoryTreeThread);
  }
  headless::WaitIdle();
  const std::vector<Item> items = TreeItems();
  ASSERT_EQ(items.size(), 30u);
  Rows expected;
  for (const Item& item : items) expected.push_back({item.text, ToText(item.parent), ToText(item.data)});
  EXPECT_EQ(DirectoryRows(), expected);
}

}  // namespace
