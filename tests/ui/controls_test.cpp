// Lists, trees, pop-up menus and the tray icon.
#include <string>

#include "ui/model.h"
#include "ui_fixture.h"

namespace ui_test {
namespace {

using ui::EventKind;

class ControlsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(ui::LoadWindow(kMain));
  }

  // The tree's texts in index order.
  static std::vector<std::string> TreeTexts() {
    std::vector<std::string> texts;
    for (int i = 0; i < ui::TreeItemCount(kFolders); ++i) texts.push_back(ui::TreeItemText(kFolders, i));
    return texts;
  }
  static std::vector<int> TreeParents() {
    std::vector<int> parents;
    for (int i = 0; i < ui::TreeItemCount(kFolders); ++i) parents.push_back(ui::TreeParentItem(kFolders, i));
    return parents;
  }
};

TEST_F(ControlsTest, ListRaisesCurrentItemOnlyWhenARowNewlyGetsTheFocus) {
  for (int value : {11, 12, 13}) ui::ListAppendRow(kRows, value);
  std::vector<int> raised;
  ui::Bind(kMain, kRows.name, EventKind::SelectionChanged, [&raised](int row) {
    EXPECT_EQ(ui::ListCurrentRow(kRows), row);
    raised.push_back(ui::ListItemData(kRows, row));
  });
  const struct {
    int focus;
    int current;
    std::vector<int> raised;  // item values, all so far
  } steps[] = {
      {1, 1, {12}},
      {1, 1, {12}},  // the same row again
      {2, 2, {12, 13}},
      {-1, -1, {12, 13}},
      {2, 2, {12, 13, 13}},  // focused anew after none
      {7, -1, {12, 13, 13}},  // no such row
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.focus);
    headless::FocusListRow(kRows, step.focus);
    EXPECT_EQ(ui::ListCurrentRow(kRows), step.current);
    EXPECT_EQ(raised, step.raised);
  }
}

TEST_F(ControlsTest, RemovingTheFocusedRowPassesTheFocusOnAndReportsIt) {
  for (int value : {1, 2, 3, 4}) ui::ListAppendRow(kRows, value);
  std::vector<int> raised;
  ui::Bind(kMain, kRows.name, EventKind::SelectionChanged, [&raised](int row) { raised.push_back(row); });
  headless::FocusListRow(kRows, 2);           // values 1 2 [3] 4
  ui::ListRemoveRow(kRows, 0);                // 2 [3] 4: only shifted, nothing new focused
  EXPECT_EQ(ui::ListCurrentRow(kRows), 1);
  ui::ListRemoveRow(kRows, 1);                // 2 [4]: the next row takes the focus
  EXPECT_EQ(ui::ListCurrentRow(kRows), 1);
  EXPECT_EQ(ui::ListItemData(kRows, 1), 4);
  ui::ListRemoveRow(kRows, 1);                // [2]: the last row went, the one before it gets it
  EXPECT_EQ(ui::ListCurrentRow(kRows), 0);
  ui::ListRemoveRow(kRows, 0);                // empty: no focus, nothing to report
  EXPECT_EQ(ui::ListCurrentRow(kRows), -1);

  EXPECT_EQ(raised, (std::vector<int>{2, 1, 0}));
}

TEST_F(ControlsTest, TreeIndexesRunInDepthFirstPreOrder) {
  const struct {
    int parent;
    const char* text;
    int index;
  } adds[] = {
      {-1, "A", 0},  {-1, "B", 1}, {0, "A1", 1}, {0, "A2", 2},
      {1, "A1a", 2}, {4, "B1", 5}, {99, "C", 6},  // no such parent: a top-level item
  };
  for (const auto& add : adds) {
    SCOPED_TRACE(add.text);
    EXPECT_EQ(ui::TreeAddItem(kFolders, add.parent, add.text, add.index * 10 + 1), add.index);
  }

  EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"A", "A1", "A1a", "A2", "B", "B1", "C"}));
  EXPECT_EQ(TreeParents(), (std::vector<int>{-1, 0, 1, 0, -1, 4, -1}));
  EXPECT_EQ(ui::TreeItemData(kFolders, 3), 21);  // A2 kept its data when A1a came in front
}

// The items of one bulk add land where the same adds one by one put them, whether they come in
// pre-order (a saved tree), name earlier parents (going in between), or name no item.
TEST_F(ControlsTest, TreeAddItemsPlacesItemsAsSingleAddsDo) {
  using Adds = std::vector<ui::TreeItem>;
  const struct {
    const char* name;
    Adds before;  // added one by one first
    Adds items;
  } cases[] = {
      {"pre-order", {},
       {{-1, "A", 1}, {0, "A1", 2}, {1, "A1a", 3}, {0, "A2", 4}, {-1, "B", 5}, {4, "B1", 6}}},
      {"earlier parents", {},
       {{-1, "A", 1}, {-1, "B", 2}, {0, "A1", 3}, {0, "A2", 4}, {1, "A1a", 5}, {4, "B1", 6}}},
      {"no such parent", {}, {{-1, "A", 1}, {7, "B", 2}, {0, "A1", 3}, {-5, "C", 4}}},
      {"onto a tree", {{-1, "X", 1}, {0, "X1", 2}, {-1, "Y", 3}},
       {{0, "X2", 4}, {3, "X2a", 5}, {2, "Y1", 6}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ui::TreeClear(kFolders);
    for (const ui::TreeItem& item : c.before) ui::TreeAddItem(kFolders, item.parent, item.text, item.data);
    ui::SetTreeCurrentItem(kFolders, ui::TreeItemCount(kFolders) - 1);
    for (const ui::TreeItem& item : c.items) ui::TreeAddItem(kFolders, item.parent, item.text, item.data);
    const std::vector<std::string> texts = TreeTexts();
    const std::vector<int> parents = TreeParents();
    const int current = ui::TreeCurrentItem(kFolders);
    std::vector<int> data;
    for (int i = 0; i < ui::TreeItemCount(kFolders); ++i) data.push_back(ui::TreeItemData(kFolders, i));

    ui::TreeClear(kFolders);
    for (const ui::TreeItem& item : c.before) ui::TreeAddItem(kFolders, item.parent, item.text, item.data);
    ui::SetTreeCurrentItem(kFolders, ui::TreeItemCount(kFolders) - 1);
    ui::TreeAddItems(kFolders, c.items);
    EXPECT_EQ(TreeTexts(), texts);
    EXPECT_EQ(TreeParents(), parents);
    EXPECT_EQ(ui::TreeCurrentItem(kFolders), current);
    for (int i = 0; i < ui::TreeItemCount(kFolders); ++i) EXPECT_EQ(ui::TreeItemData(kFolders, i), data[i]);
  }
}

TEST_F(ControlsTest, TreeDeleteTakesTheSubtreeAndShiftsTheCurrentItem) {
  // A, A1, A1a, A2, B
  ui::TreeAddItem(kFolders, -1, "A", 1);
  ui::TreeAddItem(kFolders, 0, "A1", 2);
  ui::TreeAddItem(kFolders, 1, "A1a", 3);
  ui::TreeAddItem(kFolders, 0, "A2", 4);
  ui::TreeAddItem(kFolders, -1, "B", 5);
  ui::SetTreeCurrentItem(kFolders, 4);
  // An item added in front of the current one moves it along.
  ui::TreeAddItem(kFolders, 1, "A1b", 6);
  EXPECT_EQ(ui::TreeCurrentItem(kFolders), 5);

  EXPECT_TRUE(ui::TreeDeleteItem(kFolders, 1));

  EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"A", "A2", "B"}));
  EXPECT_EQ(TreeParents(), (std::vector<int>{-1, 0, -1}));
  EXPECT_EQ(ui::TreeCurrentItem(kFolders), 2);
  EXPECT_EQ(ui::TreeItemData(kFolders, 2), 5);

  // Deleting the current item's own branch leaves no current item.
  EXPECT_TRUE(ui::TreeDeleteItem(kFolders, 2));
  EXPECT_EQ(ui::TreeCurrentItem(kFolders), -1);
  EXPECT_EQ(TreeTexts(), (std::vector<std::string>{"A", "A2"}));
}

TEST_F(ControlsTest, TreeIndexesOutOfRangeGiveTheEmptyResults) {
  ui::TreeAddItem(kFolders, -1, "A", 7);
  ui::TreeAddItem(kFolders, 0, "A1", 8);
  ui::SetTreeCurrentItem(kFolders, 1);
  for (int index : {-1, 2, 99}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(ui::TreeItemText(kFolders, index), "");
    EXPECT_EQ(ui::TreeItemData(kFolders, index), 0);
    EXPECT_EQ(ui::TreeParentItem(kFolders, index), -1);
    EXPECT_FALSE(ui::TreeDeleteItem(kFolders, index));
  }
  EXPECT_EQ(ui::TreeItemCount(kFolders), 2);
  EXPECT_EQ(ui::TreeCurrentItem(kFolders), 1);
  ui::SetTreeCurrentItem(kFolders, 5);
  EXPECT_EQ(ui::TreeCurrentItem(kFolders), -1);
}

TEST_F(ControlsTest, PopupChoiceRunsAfterTheHandlerThatShowedIt) {
  const struct {
    const char* name;
    const char* scripted;  // nullptr: nothing scripted
    Log log;
  } cases[] = {
      {"item chosen", "CopyItem", {"handler shows menu", "handler returned", "CopyItem selected"}},
      {"nothing chosen", "", {"handler shows menu", "handler returned"}},
      {"nothing scripted", nullptr, {"handler shows menu", "handler returned"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NewSession();
    ASSERT_TRUE(ui::LoadWindow(kMain));
    if (c.scripted) headless::ChoosePopupItem(c.scripted);
    ui::Bind(kMain, kGoButton.name, EventKind::Click, [this](int) {
      log.push_back("handler shows menu");
      ui::PopupMenu(kMain, kEditMenu);
      log.push_back("handler returned");
    });
    for (const char* item : {"CopyItem", "PasteItem"}) {
      ui::Bind(kMain, item, EventKind::MenuSelected,
               [this, item](int) { log.push_back(std::string(item) + " selected"); });
    }

    headless::Click(kGoButton);

    EXPECT_EQ(log, c.log);
    EXPECT_EQ(headless::PopupMenusShown(), std::vector<std::string>{kEditMenu});
  }
}

TEST_F(ControlsTest, PopupOfAnUnknownMenuShowsNothing) {
  headless::ChoosePopupItem("CopyItem");
  ui::PopupMenu(kMain, "NoSuchMenu");
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_TRUE(headless::PopupMenusShown().empty());
}

TEST_F(ControlsTest, TrayTipIsCutTo62BytesWithoutSplittingACharacter) {
  const std::string a60(60, 'a');
  const std::string zhong = "中";  // two bytes in GBK
  ASSERT_EQ(zhong.size(), 2u);
  std::string zhong31;
  for (int i = 0; i < 31; ++i) zhong31 += zhong;
  const struct {
    const char* name;
    std::string tip;
    std::string shown;
  } cases[] = {
      {"short", "SnipdockV0.51", "SnipdockV0.51"},
      {"exactly 62", a60 + "bb", a60 + "bb"},
      {"long ascii", a60 + "bbbbbbbbbb", a60 + "bb"},
      {"character across the limit", a60 + "b" + zhong, a60 + "b"},
      {"character ending at the limit", a60 + zhong + zhong, a60 + zhong},
      {"double-byte only", zhong31 + zhong, zhong31},
  };
  const Bytes icon = {0, 0, 1, 0};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ui::SetTrayIcon(kMain, icon, c.tip);
    const ui::WindowModel* window = ui::FindWindow(kMain.name);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->trayTip, c.shown);
    EXPECT_EQ(window->trayIcon, icon);
  }
}

TEST_F(ControlsTest, EmptyTrayIconRemovesItAndItsEvents) {
  std::vector<int> actions;
  ui::BindWindow(kMain, EventKind::TrayEvent, [&actions](int action) { actions.push_back(action); });
  ui::SetTrayIcon(kMain, Bytes{1, 2, 3}, "tip");
  headless::TrayAction(kMain, 2);

  ui::SetTrayIcon(kMain, Bytes{}, "tip");
  headless::TrayAction(kMain, 2);

  const ui::WindowModel* window = ui::FindWindow(kMain.name);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->trayIcon.empty());
  EXPECT_EQ(window->trayTip, "");
  EXPECT_EQ(actions, std::vector<int>{2});
}

}  // namespace
}  // namespace ui_test
