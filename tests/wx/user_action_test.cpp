// The user's actions on real widgets: each writes its change into the model first and then
// raises its event. Mouse and key input is given to the widgets as wx events (no pointer on the
// shared X display), so the suites may run side by side.
#include <wx/uiaction.h>
#include <wx/listctrl.h>
#include <wx/scrolbar.h>
#include <wx/textdlg.h>

#include <atomic>
#include <memory>
#include <thread>

#include "wx_fixture.h"

namespace {

using ui::EventKind;
using ui::wx::WidgetsOf;

void Mouse(wxWindow& target, wxEventType type, const wxPoint& at) {
  wxMouseEvent event(type);
  event.SetPosition(at);
  event.SetEventObject(&target);
  event.m_leftDown = type == wxEVT_LEFT_DOWN;
  event.m_rightDown = type == wxEVT_RIGHT_DOWN;
  target.ProcessWindowEvent(event);
}

void Click(wxWindow& target, const wxPoint& at, bool right = false) {
  Mouse(target, right ? wxEVT_RIGHT_DOWN : wxEVT_LEFT_DOWN, at);
  Mouse(target, right ? wxEVT_RIGHT_UP : wxEVT_LEFT_UP, at);
}

wxPoint TreeItemPoint(wxTreeCtrl& tree, const wxTreeItemId& item) {
  wxRect rect;
  EXPECT_TRUE(tree.GetBoundingRect(item, rect, true));
  return wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2);
}

// The list's rows live in a child window of their own; the point is in its coordinates.
wxWindow* ListRows(wxListCtrl& list) {
  for (wxWindow* child : list.GetChildren()) {
    if (wxString(child->GetClassInfo()->GetClassName()) != "wxListHeaderWindow") return child;
  }
  return &list;
}
wxPoint ListRowPoint(wxListCtrl& list, long row) {
  wxRect rect;
  EXPECT_TRUE(list.GetItemRect(row, rect));
  const wxPoint inList(rect.x + 10, rect.y + rect.height / 2);
  return ListRows(list)->ScreenToClient(list.ClientToScreen(inList));
}

void FillTree() {
  const int a = ui::TreeAddItem(MainWindow::DirectoryTree, -1, "甲", 11);
  ui::TreeAddItem(MainWindow::DirectoryTree, a, "乙", 12);
  ui::TreeAddItem(MainWindow::DirectoryTree, -1, "丙", 13);
  // The tree lays its items out on idle.
  auto* tree =
      dynamic_cast<wxTreeCtrl*>(WidgetsOf(*ui::FindWindow("MainWindow")->Find("DirectoryTree"))->widget);
  const auto& items = WidgetsOf(*ui::FindWindow("MainWindow")->Find("DirectoryTree"))->treeItems;
  ASSERT_TRUE(WxTest::PumpUntil([&] {
    wxRect first, last;
    return tree->GetBoundingRect(items[0], first, true) && tree->GetBoundingRect(items[2], last, true) &&
           last.y > first.y;
  }));
}

TEST_F(WxTest, ClickingTreeItemsMakesThemCurrent) {
  Load(MainWindow::Self);
  FillTree();
  std::vector<int> currents;  // as the handler reads them: written before the event
  ui::Bind(MainWindow::Self, "DirectoryTree", EventKind::SelectionChanged,
           [&](int) { currents.push_back(ui::TreeCurrentItem(MainWindow::DirectoryTree)); });
  EventCounter rightUps(MainWindow::Self, "DirectoryTree", EventKind::RightButtonUp);
  auto* tree = Widget<wxTreeCtrl>(MainWindow::DirectoryTree);
  const auto& items = WidgetsOf(Control(MainWindow::DirectoryTree))->treeItems;

  Click(*tree, TreeItemPoint(*tree, items[2]));
  Click(*tree, TreeItemPoint(*tree, items[2]));  // current already: nothing new
  ui::DelayPumping(50);
  EXPECT_EQ(currents, std::vector<int>{2});

  // A right click raises its own event and leaves the current item.
  Click(*tree, TreeItemPoint(*tree, items[0]), true);
  ui::DelayPumping(50);
  EXPECT_EQ(rightUps.count, 1);
  EXPECT_EQ(ui::TreeCurrentItem(MainWindow::DirectoryTree), 2);
  EXPECT_EQ(currents, std::vector<int>{2});
}

TEST_F(WxTest, EditingATreeLabelWritesTheTextThenRaises) {
  Load(MainWindow::Self);
  FillTree();
  std::vector<std::pair<int, Text>> edits;
  ui::Bind(MainWindow::Self, "DirectoryTree", EventKind::LabelEdited, [&](int index) {
    edits.push_back({index, ui::TreeItemText(MainWindow::DirectoryTree, index)});
  });
  auto* tree = Widget<wxTreeCtrl>(MainWindow::DirectoryTree);
  const wxTreeItemId item = WidgetsOf(Control(MainWindow::DirectoryTree))->treeItems[1];

  tree->EditLabel(item);
  ASSERT_NE(tree->GetEditControl(), nullptr);
  tree->GetEditControl()->SetValue(ui::wx::ToWx("新目录"));
  tree->EndEditLabel(item, false);
  ui::DelayPumping(20);
  tree->EditLabel(item);
  ASSERT_NE(tree->GetEditControl(), nullptr);
  tree->GetEditControl()->SetValue(ui::wx::ToWx("不要"));
  tree->EndEditLabel(item, true);  // cancelled: raised all the same, text kept
  ui::DelayPumping(20);

  const std::vector<std::pair<int, Text>> expected = {{1, "新目录"}, {1, "新目录"}};
  EXPECT_EQ(edits, expected);
  EXPECT_EQ(Shown(tree->GetItemText(item)), "新目录");
}

// Three rows 条目0..条目2 with item values 1..3, laid out.
void FillList() {
  for (int i = 0; i < 3; ++i) {
    const int row = ui::ListAppendRow(MainWindow::EntryListView, i + 1);
    ui::ListSetCell(MainWindow::EntryListView, row, 0, "条目" + ToText(i));
  }
  ui::DelayPumping(50);
}

TEST_F(WxTest, ARowNewlyFocusedRaisesSelectionChangedOnce) {
  Load(MainWindow::Self);
  FillList();
  std::vector<std::string> events;
  ui::Bind(MainWindow::Self, "EntryListView", EventKind::SelectionChanged, [&](int) {
    events.push_back("selected " + std::to_string(ui::ListCurrentRow(MainWindow::EntryListView)));
  });
  ui::Bind(MainWindow::Self, "EntryListView", EventKind::RightClick, [&](int) {
    events.push_back("right " + std::to_string(ui::ListCurrentRow(MainWindow::EntryListView)));
  });
  auto* list = Widget<wxListCtrl>(MainWindow::EntryListView);

  Click(*ListRows(*list), ListRowPoint(*list, 2));
  ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
  Click(*ListRows(*list), ListRowPoint(*list, 2));  // focused already: nothing new
  ui::DelayPumping(50);
  Click(*ListRows(*list), ListRowPoint(*list, 0), true);
  ASSERT_TRUE(PumpUntil([&] { return events.size() >= 3; }));
  ui::DelayPumping(50);

  // The right click focuses its row first, as the list's own notification comes after.
  const std::vector<std::string> expected = {"selected 2", "selected 0", "right 0"};
  EXPECT_EQ(events, expected);
}

// The real list is virtual over the model's rows. Removing the focused row passes the focus to
// the row taking its place, reported once by the core; the user's click on that row is then
// no new focus, and a click on another row is.
TEST_F(WxTest, RemovingTheFocusedRowPassesTheFocusOnInTheVirtualList) {
  Load(MainWindow::Self);
  FillList();
  std::vector<std::string> events;
  ui::Bind(MainWindow::Self, "EntryListView", EventKind::SelectionChanged, [&](int row) {
    const int value = ui::ListItemData(MainWindow::EntryListView, row);
    events.push_back("selected " + std::to_string(row) + " " + std::to_string(value));
  });
  auto* list = Widget<wxListCtrl>(MainWindow::EntryListView);
  EXPECT_TRUE(list->HasFlag(wxLC_VIRTUAL));

  Click(*ListRows(*list), ListRowPoint(*list, 1));
  ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
  ui::ListRemoveRow(MainWindow::EntryListView, 1);
  ui::DelayPumping(50);
  EXPECT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(ui::wx::FromWx(list->GetItemText(1, 0)), "条目2");
  EXPECT_EQ(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED), 1);
  EXPECT_EQ(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 1);
  Click(*ListRows(*list), ListRowPoint(*list, 1));  // the focus is there already
  ui::DelayPumping(50);
  Click(*ListRows(*list), ListRowPoint(*list, 0));
  ASSERT_TRUE(PumpUntil([&] { return events.size() >= 3; }));
  ui::DelayPumping(50);

  const std::vector<std::string> expected = {"selected 1 2", "selected 1 3", "selected 0 1"};
  EXPECT_EQ(events, expected);
}

TEST_F(WxTest, ChecksTypingScrollingAndButtonsReachTheModel) {
  Load(MainWindow::Self);
  std::vector<std::string> events;
  ui::Bind(MainWindow::Self, "SearchUsageCheck", EventKind::Click, [&](int) {
    events.push_back(ui::GetChecked(MainWindow::SearchUsageCheck) ? "checked" : "unchecked");
  });
  ui::Bind(MainWindow::Self, "SearchButton", EventKind::Click,
           [&](int) { events.push_back("search " + ui::GetText(MainWindow::SearchBox)); });
  ui::Bind(MainWindow::Self, "PreviewVScrollBar", EventKind::ScrollChanged, [&](int position) {
    events.push_back("scrolled " + std::to_string(ui::GetScrollPosition(MainWindow::PreviewVScrollBar)) +
                     " " + std::to_string(position));
  });

  auto* check = Widget<wxCheckBox>(MainWindow::SearchUsageCheck);
  check->SetValue(true);
  wxCommandEvent toggled(wxEVT_CHECKBOX, check->GetId());
  toggled.SetEventObject(check);
  check->ProcessWindowEvent(toggled);

  Widget<wxTextCtrl>(MainWindow::SearchBox)->SetValue(ui::wx::ToWx("代码"));  // as typed
  auto* button = Widget<ui::wx::PictureButton>(MainWindow::SearchButton);
  Click(*button, wxPoint(5, 5));

  ui::SetScrollMaximum(MainWindow::PreviewVScrollBar, 409);
  auto* bar = Widget<wxScrollBar>(MainWindow::PreviewVScrollBar);
  bar->SetThumbPosition(120);
  wxScrollEvent moved(wxEVT_SCROLL_THUMBTRACK, bar->GetId(), 120, wxVERTICAL);
  moved.SetEventObject(bar);
  bar->ProcessWindowEvent(moved);
  wxScrollEvent ended(wxEVT_SCROLL_THUMBRELEASE, bar->GetId(), 120, wxVERTICAL);  // no new position
  ended.SetEventObject(bar);
  bar->ProcessWindowEvent(ended);

  const std::vector<std::string> expected = {"checked", "search 代码", "scrolled 120 120"};
  EXPECT_EQ(events, expected);
}

TEST_F(WxTest, AnEditBoxKeepsTypedTextWithinItsByteLimit) {
  Load(AddWindow::Self);
  auto* box = Widget<wxTextCtrl>(AddWindow::DescriptionBox);
  ASSERT_EQ(Control(AddWindow::DescriptionBox).def->maxLength, 200);

  box->SetValue(wxString(wxUniChar(0x4E2D), 150) + "ab");  // 302 bytes typed into an empty box
  Text hundred;
  for (int i = 0; i < 100; ++i) hundred += "中";
  EXPECT_EQ(ui::GetText(AddWindow::DescriptionBox), hundred);
  EXPECT_EQ(Shown(box->GetValue()), hundred);

  box->SetValue(wxString('x', 199) + "中");  // the double-byte character does not fit whole
  EXPECT_EQ(ui::GetText(AddWindow::DescriptionBox), std::string(199, 'x'));

  ui::SetText(AddWindow::NameBox, "名字");
  Widget<wxTextCtrl>(AddWindow::NameBox)->AppendText(wxString('y', 300));  // no limit of its own
  EXPECT_EQ(ui::GetText(AddWindow::NameBox), "名字" + std::string(300, 'y'));
}

TEST_F(WxTest, MenuBarItemsRaiseMenuSelected) {
  ui::WindowModel& window = Load(MainWindow::Self);
  EventCounter refresh(MainWindow::Self, "RefreshTreeMenuItem", EventKind::MenuSelected);
  EventCounter exporting(MainWindow::Self, "ExportMenuItem", EventKind::MenuSelected);
  ui::wx::MenuStrip* bar = WidgetsOf(window)->menuBar;
  ASSERT_NE(bar, nullptr);

  wxMenu* menu = bar->Entries()[0].menu;
  ASSERT_NE(menu, nullptr);
  const int id = menu->FindItem(ui::wx::ToWx("刷新目录"));
  ASSERT_NE(id, wxNOT_FOUND);
  wxCommandEvent chosen(wxEVT_MENU, id);
  chosen.SetEventObject(menu);
  bar->ProcessWindowEvent(chosen);  // as the dropped-down menu sends it
  EXPECT_EQ(refresh.count, 1);

  // "导出" is a command right on the bar.
  ASSERT_EQ(bar->Entries()[1].menu, nullptr);
  bar->Choose(1);
  EXPECT_EQ(exporting.count, 1);
  EXPECT_EQ(refresh.count, 1);
}

TEST_F(WxTest, TheCloseBoxAsksTheCore) {
  Load(NoticeWindow::Self);
  bool allow = false;
  ui::BindCanClose(NoticeWindow::Self, [&] { return allow; });
  EventCounter closed(NoticeWindow::Self, "", EventKind::Closed);

  Frame(NoticeWindow::Self)->Close();
  ui::DelayPumping(20);
  EXPECT_TRUE(ui::IsCreated(NoticeWindow::Self));
  EXPECT_TRUE(Frame(NoticeWindow::Self)->IsShown());

  allow = true;
  Frame(NoticeWindow::Self)->Close();
  EXPECT_TRUE(PumpUntil([] { return !ui::IsCreated(NoticeWindow::Self); }));
  EXPECT_EQ(closed.count, 1);
}

TEST_F(WxTest, AWorkerThreadChangesShowInTheWidgets) {
  Load(MainWindow::Self);
  std::atomic<bool> done{false};
  int treeIndex = -1;
  std::thread worker([&] {
    ui::SetText(MainWindow::UsageTextBox, "来自线程");
    treeIndex = ui::TreeAddItem(MainWindow::DirectoryTree, -1, "线程目录", 7);
    ui::StatusBarSetText(MainWindow::MainStatusBar, 2, "在线人数:5");
    ui::SetTitle(MainWindow::Self, "线程标题");
    done = true;
  });
  const bool finished = PumpUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);

  EXPECT_EQ(Shown(Widget<wxTextCtrl>(MainWindow::UsageTextBox)->GetValue()), "来自线程");
  auto* tree = Widget<wxTreeCtrl>(MainWindow::DirectoryTree);
  ASSERT_EQ(treeIndex, 0);
  EXPECT_EQ(Shown(tree->GetItemText(WidgetsOf(Control(MainWindow::DirectoryTree))->treeItems[0])),
            "线程目录");
  EXPECT_EQ(Shown(Widget<wxStatusBar>(MainWindow::MainStatusBar)->GetStatusText(2)), "在线人数:5");
  EXPECT_EQ(Shown(Frame(MainWindow::Self)->GetTitle()), "线程标题");
}

TEST_F(WxTest, TheInputBoxGivesTheTypedTextInGbk) {
  AnswerModal([](wxDialog& dialog) {
    auto* box = dynamic_cast<wxTextEntryDialog*>(&dialog);
    if (box == nullptr) return false;
    EXPECT_EQ(Shown(box->GetValue()), "表名");
    box->SetValue(ui::wx::ToWx("新目录"));
    box->EndModal(wxID_OK);
    return true;
  });
  Text typed;
  ASSERT_TRUE(ui::InputBox("请输入表名", "请输入表名", "表名", typed));
  EXPECT_EQ(typed, "新目录");

  AnswerModal([](wxDialog& dialog) {
    dialog.EndModal(wxID_CANCEL);
    return true;
  });
  typed = "unchanged";
  EXPECT_FALSE(ui::InputBox("请输入表名", "请输入表名", "表名", typed));
  EXPECT_EQ(typed, "unchanged");
}

struct BoxCase {
  int flags;
  int pressed;   // the dialog's button
  int expected;  // what ShowMessageBox gives
  long icon;     // the icon the box shows, 0 for none
  bool fromWorker;
};

TEST_F(WxTest, MessageBoxesShowTextTitleButtonsAndIcon) {
  const BoxCase cases[] = {
      {ui::kMbOk, wxID_OK, ui::kIdOk, 0, false},
      {ui::kMbYesNo, wxID_YES, 5, 0, false},  // the values the handlers compare with
      {ui::kMbYesNo, wxID_NO, 6, 0, true},    // the asking worker waits for the answer
      {ui::kMbOk | ui::kMbIconWarning, wxID_OK, ui::kIdOk, wxICON_WARNING, true},
      {ui::kMbOk | ui::kMbIconInformation, wxID_OK, ui::kIdOk, wxICON_INFORMATION, false},
  };
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.flags);
    long shownStyle = -1;
    Text shownText, shownTitle;
    AnswerModal([&](wxDialog& dialog) {
      auto* box = dynamic_cast<wxMessageDialogBase*>(&dialog);
      if (box == nullptr) return false;
      shownStyle = box->GetMessageDialogStyle();
      shownText = Shown(box->GetMessage());
      shownTitle = Shown(dialog.GetTitle());
      dialog.EndModal(c.pressed);
      return true;
    });
    int result = -1;
    if (c.fromWorker) {
      std::atomic<bool> done{false};
      std::thread worker([&] {
        result = ui::ShowMessageBox("数据库文件不存在！！", c.flags);
        done = true;
      });
      const bool answered = PumpUntil([&] { return done.load(); });
      worker.join();
      ASSERT_TRUE(answered);
    } else {
      result = ui::ShowMessageBox("数据库文件不存在！！", c.flags);
    }
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(shownText, "数据库文件不存在！！");
    EXPECT_EQ(shownTitle, "信息：");
    EXPECT_EQ(shownStyle & wxICON_MASK, c.icon);
    EXPECT_EQ((shownStyle & wxYES_NO) == wxYES_NO, (c.flags & 0xF) == ui::kMbYesNo);
  }
}

// A timer handler that closes its own window: the timer outlives its own notification.
TEST_F(WxTest, TimerHandlerClosingItsOwnWindow) {
  int fired = 0;
  ui::Bind(MainWindow::Self, MainWindow::OnlineCountTimer.name, ui::EventKind::Timer, [&fired](int) {
    ++fired;
    ui::RequestClose(MainWindow::Self);
  });
  ASSERT_TRUE(ui::LoadWindow(MainWindow::Self));
  ui::SetTimerPeriod(MainWindow::OnlineCountTimer, 20);
  EXPECT_TRUE(PumpUntil([] { return !ui::IsCreated(MainWindow::Self); }, 3000));
  ui::DelayPumping(50);
  EXPECT_EQ(fired, 1);
}

// The window whose pop-up menu is up goes while the menu's own loop runs: the menu still comes
// back, and the window's widgets go only afterwards.
TEST_F(WxTest, WindowDestroyedWhileItsPopupIsUp) {
  ASSERT_TRUE(ui::LoadWindow(MainWindow::Self));
  ASSERT_TRUE(PumpUntil([] { return ui::GetVisible(MainWindow::Self); }));
  ui::DestroyProgramWindow(MainWindow::Self);  // carried out by the menu's loop
  std::thread closer([] {
    ui::DelayPumping(300);  // a worker's wait: the menu is up by then
    ui::RunOnGui([] {
      wxUIActionSimulator keys;
      keys.Char(WXK_ESCAPE);
    });
  });
  ui::PopupMenu(MainWindow::Self, MainWindow::ListMenu.name);
  closer.join();
  EXPECT_FALSE(ui::IsCreated(MainWindow::Self));
  ui::DelayPumping(50);  // the deferred frame goes now
}

}  // namespace
