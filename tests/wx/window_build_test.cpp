// Every window definition realized as widgets, and the core's changes shown in them without
// events coming back.
#include <wx/listctrl.h>
#include <wx/scrolbar.h>
#include <wx/statbmp.h>
#include <wx/statusbr.h>

#include <map>

#include "wx_fixture.h"

namespace {

using ui::ControlKind;
using ui::wx::WidgetsOf;

bool HasWidget(ControlKind kind) {
  return kind != ControlKind::Timer && kind != ControlKind::OpenDialog && kind != ControlKind::SaveDialog &&
         kind != ControlKind::Component;
}

// The texts of the tree's items, walked in depth-first pre-order from the widget itself.
void WalkTree(wxTreeCtrl& tree, const wxTreeItemId& parent, std::vector<Text>& texts,
              std::vector<int>& depths, int depth) {
  wxTreeItemIdValue cookie;
  for (wxTreeItemId child = tree.GetFirstChild(parent, cookie); child.IsOk();
       child = tree.GetNextChild(parent, cookie)) {
    texts.push_back(ui::wx::FromWx(tree.GetItemText(child)));
    depths.push_back(depth);
    WalkTree(tree, child, texts, depths, depth + 1);
  }
}

void ExpectTreeShowsModel(const ui::ControlModel& control) {
  auto* tree = dynamic_cast<wxTreeCtrl*>(WidgetsOf(control)->widget);
  ASSERT_NE(tree, nullptr);
  std::vector<Text> texts;
  std::vector<int> depths;
  WalkTree(*tree, tree->GetRootItem(), texts, depths, 0);
  std::vector<Text> modelTexts;
  std::vector<int> modelDepths;
  for (const ui::TreeNode& node : control.tree.nodes) {
    modelTexts.push_back(node.text);
    modelDepths.push_back(node.depth);
  }
  EXPECT_EQ(texts, modelTexts);
  EXPECT_EQ(depths, modelDepths);
  ASSERT_EQ(WidgetsOf(control)->treeItems.size(), control.tree.nodes.size());
  for (std::size_t i = 0; i < control.tree.nodes.size(); ++i) {
    EXPECT_EQ(ui::wx::FromWx(tree->GetItemText(WidgetsOf(control)->treeItems[i])),
              control.tree.nodes[i].text);
  }
}

void ExpectListShowsModel(const ui::ControlModel& control) {
  auto* list = dynamic_cast<wxListCtrl*>(WidgetsOf(control)->widget);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->GetItemCount(), static_cast<int>(control.list.rows.size()));
  for (int row = 0; row < list->GetItemCount(); ++row) {
    for (int column = 0; column < list->GetColumnCount(); ++column) {
      EXPECT_EQ(ui::wx::FromWx(list->GetItemText(row, column)), control.list.rows[row].cells[column])
          << "row " << row << " column " << column;
    }
  }
}

TEST_F(WxTest, EveryWindowRealizesItsDefinition) {
  const auto definitions = ui::AllWindowDefinitions();
  ASSERT_EQ(definitions.size(), 7u);
  for (const ui::WindowDef* def : definitions) {
    SCOPED_TRACE(def->name);
    ui::WindowModel& window = Load(ui::WindowRef{def->name});
    wxFrame* frame = Frame(ui::WindowRef{def->name});
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->IsShown());
    EXPECT_EQ(Shown(frame->GetTitle()), def->title);
    EXPECT_EQ(WidgetsOf(window)->client->GetSize(), wxSize(def->width, def->height));

    ui::wx::MenuStrip* bar = WidgetsOf(window)->menuBar;
    if (def->menuBar.empty()) {
      EXPECT_EQ(bar, nullptr);
      EXPECT_EQ(frame->GetClientSize(), wxSize(def->width, def->height));
    } else {
      ASSERT_NE(bar, nullptr);
      EXPECT_EQ(frame->GetClientSize(), wxSize(def->width, def->height + bar->GetSize().y));
      ASSERT_EQ(bar->Entries().size(), def->menuBar.size());
      for (std::size_t i = 0; i < def->menuBar.size(); ++i) {
        const ui::wx::MenuStrip::Entry& entry = bar->Entries()[i];
        EXPECT_EQ(Shown(entry.caption), def->menuBar[i].caption);
        EXPECT_EQ(entry.menu ? entry.menu->GetMenuItemCount() : 0u, def->menuBar[i].items.size());
      }
    }

    std::map<wxWindow*, std::size_t> controlsIn;
    for (auto& control : window.controls) {
      const ui::ControlDef& c = *control->def;
      SCOPED_TRACE(c.name);
      ui::wx::ControlWidgets* widgets = WidgetsOf(*control);
      ASSERT_NE(widgets, nullptr);
      ASSERT_EQ(widgets->widget != nullptr, HasWidget(c.kind));
      if (c.kind == ControlKind::Timer) {
        ASSERT_NE(widgets->timer, nullptr);
        EXPECT_EQ(widgets->timer->IsRunning(), c.period > 0);
        if (c.period > 0) {
          EXPECT_EQ(widgets->timer->GetInterval(), c.period);
        }
      }
      wxWindow* widget = widgets->widget;
      if (widget == nullptr) continue;

      wxWindow* container = ui::wx::ContainerOf(window, *control);
      EXPECT_EQ(widget->GetParent(), container);
      ++controlsIn[container];
      const wxRect rect = ui::wx::WidgetRect(window, *control);
      EXPECT_EQ(widget->GetRect(), rect);
      EXPECT_EQ(widget->IsShown(), (c.style & ui::kStyleHidden) == 0);
      EXPECT_EQ(widget->IsEnabled(), (c.style & ui::kStyleDisabled) == 0);
      EXPECT_NEAR(widget->GetFont().GetPixelSize().y, c.fontHeight > 0 ? c.fontHeight : 12, 1);
      if (c.kind == ControlKind::StatusBar) {
        EXPECT_EQ(rect.GetBottom() + 1, def->height);
        EXPECT_EQ(rect.width, def->width);
      } else {
        EXPECT_EQ(rect.GetSize(), wxSize(c.width, c.height));
        const ui::ControlModel* holder = *c.container ? window.Find(c.container) : nullptr;
        if (holder != nullptr && holder->def->kind == ControlKind::TabControl) {
          // Below the tab strip, inside the page.
          EXPECT_LE(rect.x, c.left - ui::wx::kTabPageLeft);
          EXPECT_LE(rect.y, c.top - ui::wx::kTabPageTop);
          EXPECT_GE(rect.x, 0);
          EXPECT_GE(rect.y, 0);
        } else {
          EXPECT_EQ(rect.GetPosition(), wxPoint(c.left, c.top));
        }
      }

      switch (c.kind) {
        case ControlKind::Label:
        case ControlKind::Button:
        case ControlKind::CheckBox:
          EXPECT_EQ(Shown(static_cast<wxControl*>(widget)->GetLabelText()), c.caption);
          break;
        case ControlKind::EditBox: {
          auto* edit = dynamic_cast<wxTextCtrl*>(widget);
          ASSERT_NE(edit, nullptr);
          EXPECT_EQ(Shown(edit->GetValue()), c.caption);
          EXPECT_EQ(edit->IsMultiLine(), (c.style & ui::kStyleMultiLine) != 0);
          EXPECT_EQ(edit->IsEditable(), (c.style & ui::kStyleReadOnly) == 0);
          break;
        }
        case ControlKind::PictureButton: {
          auto* button = dynamic_cast<ui::wx::PictureButton*>(widget);
          ASSERT_NE(button, nullptr);
          const wxImage picture = ui::wx::DecodePicture(c.picture);
          ASSERT_TRUE(picture.IsOk());
          EXPECT_EQ(button->Picture().GetSize(), picture.GetSize());
          EXPECT_EQ(Shown(button->Caption()), c.caption);
          break;
        }
        case ControlKind::TreeView: {
          auto* tree = dynamic_cast<wxTreeCtrl*>(widget);
          ASSERT_NE(tree, nullptr);
          EXPECT_EQ(tree->GetCount(), 0u);
          EXPECT_EQ(tree->HasFlag(wxTR_EDIT_LABELS), (c.style & ui::kStyleLabelEdit) != 0);
          break;
        }
        case ControlKind::ListView: {
          auto* list = dynamic_cast<wxListCtrl*>(widget);
          ASSERT_NE(list, nullptr);
          ASSERT_EQ(list->GetColumnCount(), static_cast<int>(c.items.size()));
          for (int i = 0; i < list->GetColumnCount(); ++i) {
            wxListItem column;
            column.SetMask(wxLIST_MASK_TEXT);
            list->GetColumn(i, column);
            EXPECT_EQ(Shown(column.GetText()), c.items[i]);
            if (i < static_cast<int>(c.widths.size())) {
              EXPECT_EQ(list->GetColumnWidth(i), c.widths[i]);
            }
          }
          EXPECT_EQ(list->GetItemCount(), 0);
          break;
        }
        case ControlKind::TabControl: {
          auto* book = dynamic_cast<wxNotebook*>(widget);
          ASSERT_NE(book, nullptr);
          ASSERT_EQ(book->GetPageCount(), c.items.size());
          for (std::size_t i = 0; i < c.items.size(); ++i) EXPECT_EQ(Shown(book->GetPageText(i)), c.items[i]);
          break;
        }
        case ControlKind::StatusBar: {
          auto* status = dynamic_cast<wxStatusBar*>(widget);
          ASSERT_NE(status, nullptr);
          ASSERT_EQ(status->GetFieldsCount(), static_cast<int>(c.items.size()));
          for (std::size_t i = 0; i < c.items.size(); ++i)
            EXPECT_EQ(Shown(status->GetStatusText(i)), c.items[i]);
          break;
        }
        case ControlKind::ProgressBar:
          ASSERT_NE(dynamic_cast<ui::wx::ProgressBox*>(widget), nullptr);
          EXPECT_EQ(dynamic_cast<ui::wx::ProgressBox*>(widget)->GetValue(), 0);
          break;
        case ControlKind::HScrollBar:
        case ControlKind::VScrollBar: {
          auto* scroll = dynamic_cast<wxScrollBar*>(widget);
          ASSERT_NE(scroll, nullptr);
          EXPECT_EQ(scroll->IsVertical(), c.kind == ControlKind::VScrollBar);
          EXPECT_EQ(scroll->GetThumbPosition(), 0);
          break;
        }
        case ControlKind::PictureBox:
          ASSERT_NE(dynamic_cast<wxStaticBitmap*>(widget), nullptr);
          break;
        default:
          break;
      }
    }
    // Each container holds exactly the controls placed in it.
    for (const auto& [container, count] : controlsIn) EXPECT_EQ(container->GetChildren().GetCount(), count);

    ui::DestroyProgramWindow(ui::WindowRef{def->name});
    ASSERT_TRUE(PumpUntil([def] { return !ui::IsCreated(ui::WindowRef{def->name}); }));
  }
}

TEST_F(WxTest, TreeShowsTheItemsTheCoreAddsAndDeletes) {
  Load(MainWindow::Self);
  EventCounter selections(MainWindow::Self, "DirectoryTree", ui::EventKind::SelectionChanged);
  const ui::ControlRef tree = MainWindow::DirectoryTree;
  const int a = ui::TreeAddItem(tree, -1, "甲", 1);
  const int b = ui::TreeAddItem(tree, a, "乙", 2);
  ui::TreeAddItem(tree, b, "丙", 3);
  ui::TreeAddItem(tree, -1, "丁", 4);
  const int e = ui::TreeAddItem(tree, a, "戊", 5);  // a's last child: before the second top item
  EXPECT_EQ(e, 3);
  ExpectTreeShowsModel(Control(tree));

  auto* widget = Widget<wxTreeCtrl>(tree);
  ui::SetTreeCurrentItem(tree, 2);
  EXPECT_EQ(widget->GetSelection(), WidgetsOf(Control(tree))->treeItems[2]);

  ui::TreeDeleteItem(tree, b);  // with its child, the current item
  ExpectTreeShowsModel(Control(tree));
  EXPECT_EQ(ui::TreeCurrentItem(tree), -1);
  ui::DelayPumping(100);  // the tree may choose an item on idle; the model keeps none
  EXPECT_EQ(ui::TreeCurrentItem(tree), -1);
  for (const wxTreeItemId& item : WidgetsOf(Control(tree))->treeItems) EXPECT_FALSE(widget->IsSelected(item));

  ui::TreeClear(tree);
  EXPECT_EQ(widget->GetCount(), 0u);
  ExpectTreeShowsModel(Control(tree));
  EXPECT_EQ(selections.count, 0);
}

TEST_F(WxTest, TreeShowsItemsAddedInOneStepInTheControlsFont) {
  Load(MainWindow::Self);
  const ui::ControlRef tree = MainWindow::DirectoryTree;
  ui::TreeAddItem(tree, -1, "甲", 1);
  ui::TreeAddItem(tree, 0, "乙", 2);
  // A saved tree in pre-order, then an item that goes in between and one more at the end.
  ui::TreeAddItems(tree, {{1, "丙丙丙丙", 3}, {2, "丁", 4}, {-1, "戊戊戊", 5}, {4, "己", 6}, {0, "庚庚", 7},
                          {5, "辛辛辛辛辛", 8}});
  ExpectTreeShowsModel(Control(tree));

  // The items are measured (and drawn) in the windows' 12-pixel font, with no font of their own.
  auto* widget = Widget<wxTreeCtrl>(tree);
  EXPECT_EQ(widget->GetFont().GetPixelSize().GetHeight(), 12);
  widget->ExpandAll();
  ui::DelayPumping(50);
  wxClientDC dc(widget);
  dc.SetFont(ui::wx::DefaultFont());
  for (const wxTreeItemId& item : WidgetsOf(Control(tree))->treeItems) {
    EXPECT_FALSE(widget->GetItemFont(item).IsOk());
    wxRect label;
    ASSERT_TRUE(widget->GetBoundingRect(item, label, true));
    EXPECT_NEAR(label.width, dc.GetTextExtent(widget->GetItemText(item)).GetWidth(), 3);
  }
}

TEST_F(WxTest, ListShowsTheRowsTheCoreAppendsAndRemoves) {
  Load(MainWindow::Self);
  EventCounter selections(MainWindow::Self, "EntryListView", ui::EventKind::SelectionChanged);
  const ui::ControlRef list = MainWindow::EntryListView;
  const Text names[] = {"第一", "第二", "第三"};
  for (int i = 0; i < 3; ++i) {
    const int row = ui::ListAppendRow(list, i + 1);
    ui::ListSetCell(list, row, 1, "说明" + ToText(i));
    ui::ListSetCell(list, row, 0, names[i]);
  }
  ExpectListShowsModel(Control(list));
  ui::ListRemoveRow(list, 1);
  ExpectListShowsModel(Control(list));
  EXPECT_EQ(ui::wx::FromWx(Widget<wxListCtrl>(list)->GetItemText(1, 0)), names[2]);
  ui::ListClear(list);
  EXPECT_EQ(Widget<wxListCtrl>(list)->GetItemCount(), 0);
  EXPECT_EQ(selections.count, 0);
}

TEST_F(WxTest, ControlChangesFromTheCoreShowWithoutEvents) {
  Load(MainWindow::Self);
  EventCounter clicks(MainWindow::Self, "SearchNameCheck", ui::EventKind::Click);
  EventCounter scrolls(MainWindow::Self, "PreviewHScrollBar", ui::EventKind::ScrollChanged);

  ui::SetText(MainWindow::SearchBox, "关键字");
  EXPECT_EQ(Shown(Widget<wxTextCtrl>(MainWindow::SearchBox)->GetValue()), "关键字");
  ui::SetText(MainWindow::UsageTextBox, "第一行\n第二行");
  EXPECT_EQ(Shown(Widget<wxTextCtrl>(MainWindow::UsageTextBox)->GetValue()), "第一行\n第二行");
  EXPECT_EQ(ui::GetText(MainWindow::UsageTextBox), "第一行\n第二行");

  ui::SetChecked(MainWindow::SearchNameCheck, true);
  EXPECT_TRUE(Widget<wxCheckBox>(MainWindow::SearchNameCheck)->IsChecked());
  ui::SetEnabled(MainWindow::SearchButton, false);
  EXPECT_FALSE(Widget<wxWindow>(MainWindow::SearchButton)->IsEnabled());
  ui::SetVisible(MainWindow::UsageTextBox, false);
  EXPECT_FALSE(Widget<wxWindow>(MainWindow::UsageTextBox)->IsShown());

  ui::SetLeft(MainWindow::SearchBox, 12);
  ui::SetTop(MainWindow::SearchBox, 7);
  ui::SetWidth(MainWindow::SearchBox, 150);
  ui::SetHeight(MainWindow::SearchBox, 20);
  EXPECT_EQ(Widget<wxWindow>(MainWindow::SearchBox)->GetRect(), wxRect(12, 7, 150, 20));

  ui::SetScrollMaximum(MainWindow::PreviewHScrollBar, 521);
  ui::SetScrollPosition(MainWindow::PreviewHScrollBar, 300);
  auto* bar = Widget<wxScrollBar>(MainWindow::PreviewHScrollBar);
  EXPECT_EQ(bar->GetRange() - bar->GetThumbSize(), 521);
  EXPECT_EQ(bar->GetThumbPosition(), 300);

  ui::StatusBarSetText(MainWindow::MainStatusBar, 1, "记录条数:3");
  EXPECT_EQ(Shown(Widget<wxStatusBar>(MainWindow::MainStatusBar)->GetStatusText(1)), "记录条数:3");

  ui::SetTitle(MainWindow::Self, "新标题");
  EXPECT_EQ(Shown(Frame(MainWindow::Self)->GetTitle()), "新标题");
  ui::SetVisible(MainWindow::Self, false);
  EXPECT_FALSE(Frame(MainWindow::Self)->IsShown());
  ui::SetVisible(MainWindow::Self, true);
  EXPECT_TRUE(Frame(MainWindow::Self)->IsShown());

  ui::DelayPumping(50);
  EXPECT_EQ(clicks.count, 0);
  EXPECT_EQ(scrolls.count, 0);
}

TEST_F(WxTest, PictureBoxShowsThePictureAtTheBoxSize) {
  Load(MainWindow::Self);
  const ui::ControlRef box = MainWindow::PreviewPicture;
  const wxImage picture = ui::wx::DecodePicture(SearchButtonImage());
  ASSERT_TRUE(picture.IsOk());
  ui::SetPicture(box, SearchButtonImage());
  ui::SetWidth(box, picture.GetWidth());
  ui::SetHeight(box, picture.GetHeight());
  auto* widget = Widget<wxStaticBitmap>(box);
  EXPECT_EQ(widget->GetBitmap().GetSize(), picture.GetSize());
  EXPECT_EQ(widget->GetRect(), wxRect(0, 0, picture.GetWidth(), picture.GetHeight()));

  // Scrolled: the box moves left of its frame and keeps its size.
  ui::SetLeft(box, -10);
  ui::SetWidth(box, picture.GetWidth() + 40);
  EXPECT_EQ(widget->GetRect(), wxRect(-10, 0, picture.GetWidth() + 40, picture.GetHeight()));
  EXPECT_EQ(widget->GetBitmap().GetSize(), wxSize(picture.GetWidth() + 40, picture.GetHeight()));

  ui::SetPicture(box, Bytes{1, 2, 3});  // no picture: an empty box
  EXPECT_EQ(widget->GetBitmap().GetSize(), wxSize(picture.GetWidth() + 40, picture.GetHeight()));
}

TEST_F(WxTest, ProgressTimerAndTrayIconFollowTheCore) {
  Load(ExportWindow::Self);
  ui::SetProgress(ExportWindow::ProgressBar, 40);
  EXPECT_EQ(Widget<ui::wx::ProgressBox>(ExportWindow::ProgressBar)->GetValue(), 40);

  Load(MainWindow::Self);
  EventCounter ticks(MainWindow::Self, "OnlineCountTimer", ui::EventKind::Timer);
  ui::SetTimerPeriod(MainWindow::OnlineCountTimer, 20);
  EXPECT_TRUE(PumpUntil([&] { return ticks.count >= 2; }));
  ui::SetTimerPeriod(MainWindow::OnlineCountTimer, 0);
  EXPECT_FALSE(WidgetsOf(Control(MainWindow::OnlineCountTimer))->timer->IsRunning());

  ui::WindowModel& main = *ui::FindWindow("MainWindow");
  ui::SetTrayIcon(MainWindow::Self, TrayIconImage(), "SnipdockV0.51");
  ASSERT_NE(WidgetsOf(main)->tray, nullptr);
  ui::SetTrayIcon(MainWindow::Self, Bytes(), "");
  EXPECT_EQ(WidgetsOf(main)->tray, nullptr);
}

}  // namespace
