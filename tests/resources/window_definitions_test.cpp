// The built-in window definitions of both programs, checked as data: every identity that
// handlers use is defined, names are unique, controls sit inside what holds them, and the
// texts, filters, limits and periods the behaviour depends on are exact.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "resources/resources.h"
#include "resources/window_definitions.h"
#include "resources/window_ids.h"
#include "ui/window_def.h"

namespace {

using ui::ControlDef;
using ui::ControlKind;
using ui::MenuItemDef;
using ui::WindowDef;

const ui::WindowRef kWindows[] = {MainWindow::Self,   AddWindow::Self,      ExportWindow::Self,
                                  ImportWindow::Self, NoticeWindow::Self,   FeedbackWindow::Self,
                                  UpdaterWindow::Self};

// Every control, menu item and pop-up menu identity of window_ids.h.
const ui::ControlRef kIdentities[] = {
    MainWindow::DirectoryTree, MainWindow::PreviewTabs, MainWindow::EntryListView,
    MainWindow::UsageTextBox, MainWindow::PreviewFrame, MainWindow::PreviewPicture,
    MainWindow::PreviewHScrollBar, MainWindow::PreviewVScrollBar, MainWindow::SearchBox,
    MainWindow::SearchNameCheck, MainWindow::SearchDescriptionCheck, MainWindow::SearchUsageCheck,
    MainWindow::SearchButton, MainWindow::MainStatusBar, MainWindow::SaveAsDialog,
    MainWindow::OnlineCountTimer, MainWindow::MainMenu, MainWindow::RefreshTreeMenuItem,
    MainWindow::SaveTreeMenuItem, MainWindow::ExportMenuItem, MainWindow::ImportMenuItem,
    MainWindow::ProgramMenu, MainWindow::NoticeMenuItem, MainWindow::FeedbackMenuItem,
    MainWindow::TreeMenu, MainWindow::AddRootMenuItem, MainWindow::DeleteDirectoryMenuItem,
    MainWindow::InsertChildMenuItem, MainWindow::ListMenu, MainWindow::AddEntryMenuItem,
    MainWindow::DeleteEntryMenuItem, MainWindow::ModifyEntryMenuItem,
    MainWindow::OpenExampleMenuItem, MainWindow::SaveExampleAsMenuItem,
    MainWindow::SavePictureAsMenuItem,
    AddWindow::NameBox, AddWindow::UsageBox, AddWindow::DescriptionBox, AddWindow::PictureBox,
    AddWindow::AddPictureButton, AddWindow::ClearPictureButton, AddWindow::PictureDialog,
    AddWindow::ExamplePathBox, AddWindow::AddExampleButton, AddWindow::ClearExampleButton,
    AddWindow::ExampleDialog, AddWindow::SaveButton,
    ExportWindow::PathBox, ExportWindow::SaveToButton, ExportWindow::PasswordBox,
    ExportWindow::SetPasswordButton, ExportWindow::ProgressBar, ExportWindow::StartButton,
    ExportWindow::StatusLabel, ExportWindow::FileDialog, ExportWindow::ZipObject,
    ImportWindow::PathBox, ImportWindow::OpenButton, ImportWindow::PasswordBox,
    ImportWindow::ConfirmPasswordButton, ImportWindow::ProgressBar, ImportWindow::StartButton,
    ImportWindow::StatusLabel, ImportWindow::FileDialog, ImportWindow::ZipObject,
    ImportWindow::ImportDatabase, ImportWindow::ImportTree,
    NoticeWindow::NoticeBox,
    FeedbackWindow::TitleBox, FeedbackWindow::ContentBox, FeedbackWindow::ContactBox,
    FeedbackWindow::SendButton,
    UpdaterWindow::ProgressBar, UpdaterWindow::StatusLabel, UpdaterWindow::UpdateNotesBox,
    UpdaterWindow::PercentLabel, UpdaterWindow::ProgressTimer, UpdaterWindow::ZipObject,
};

const MenuItemDef* FindMenuItem(const std::vector<MenuItemDef>& items, const std::string& name) {
  for (const MenuItemDef& item : items) {
    if (item.name == name) return &item;
    if (const MenuItemDef* found = FindMenuItem(item.items, name)) return found;
  }
  return nullptr;
}

const ControlDef* FindControl(const WindowDef& def, const std::string& name) {
  for (const ControlDef& control : def.controls) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

void CollectMenuNames(const std::vector<MenuItemDef>& items, std::vector<std::string>& names) {
  for (const MenuItemDef& item : items) {
    if (!item.separator) names.push_back(item.name);
    CollectMenuNames(item.items, names);
  }
}

// Kinds the backends never put on screen.
bool IsShown(const ControlDef& control) {
  switch (control.kind) {
    case ControlKind::Timer:
    case ControlKind::OpenDialog:
    case ControlKind::SaveDialog:
    case ControlKind::Component:
      return false;
    default:
      return (control.style & ui::kStyleHidden) == 0;
  }
}

class WindowDefinitionsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterAllWindowDefinitions(); }

  static const WindowDef& Window(ui::WindowRef window) {
    const WindowDef* def = ui::FindWindowDefinition(window.name);
    if (def == nullptr) throw std::runtime_error(std::string("no definition of ") + window.name);
    return *def;
  }
  static const ControlDef& Control(ui::ControlRef ref) {
    const ControlDef* control = FindControl(Window(ref.window), ref.name);
    if (control == nullptr) throw std::runtime_error(std::string("no control ") + ref.name);
    return *control;
  }
};

TEST_F(WindowDefinitionsTest, SevenWindowsAreRegistered) {
  std::set<std::string> registered;
  for (const WindowDef* def : ui::AllWindowDefinitions()) registered.insert(def->name);
  std::set<std::string> expected;
  for (ui::WindowRef window : kWindows) expected.insert(window.name);
  EXPECT_EQ(registered, expected);
}

TEST_F(WindowDefinitionsTest, EveryIdentityIsDefinedInItsWindow) {
  for (ui::ControlRef ref : kIdentities) {
    const WindowDef* def = ui::FindWindowDefinition(ref.window.name);
    ASSERT_NE(def, nullptr) << ref.window.name;
    const bool defined = FindControl(*def, ref.name) != nullptr ||
                         FindMenuItem(def->menuBar, ref.name) != nullptr ||
                         FindMenuItem(def->popupMenus, ref.name) != nullptr;
    EXPECT_TRUE(defined) << ref.window.name << "::" << ref.name;
  }
}

TEST_F(WindowDefinitionsTest, NamesAreUniqueInEachWindow) {
  for (const WindowDef* def : ui::AllWindowDefinitions()) {
    std::vector<std::string> names;
    for (const ControlDef& control : def->controls) {
      if (*control.name != '\0') names.push_back(control.name);
    }
    CollectMenuNames(def->menuBar, names);
    CollectMenuNames(def->popupMenus, names);
    std::set<std::string> seen;
    for (const std::string& name : names) {
      EXPECT_FALSE(name.empty()) << def->name << ": a menu item without a name";
      EXPECT_TRUE(seen.insert(name).second) << def->name << ": " << name << " twice";
    }
  }
}

TEST_F(WindowDefinitionsTest, ContainersAreTabsOrFramesOfTheSameWindow) {
  for (const WindowDef* def : ui::AllWindowDefinitions()) {
    for (const ControlDef& control : def->controls) {
      SCOPED_TRACE(std::string(def->name) + "::" + control.name);
      if (*control.container == '\0') {
        EXPECT_EQ(control.tabPage, -1);
        continue;
      }
      const ControlDef* holder = FindControl(*def, control.container);
      ASSERT_NE(holder, nullptr) << "container " << control.container;
      if (holder->kind == ControlKind::TabControl) {
        EXPECT_GE(control.tabPage, 0);
        EXPECT_LT(control.tabPage, static_cast<int>(holder->items.size()));
      } else {
        EXPECT_EQ(holder->kind, ControlKind::Frame);
        EXPECT_EQ(control.tabPage, -1);
      }
    }
  }
}

TEST_F(WindowDefinitionsTest, VisibleControlsLieInsideWhatHoldsThem) {
  for (const WindowDef* def : ui::AllWindowDefinitions()) {
    for (const ControlDef& control : def->controls) {
      if (!IsShown(control)) continue;
      SCOPED_TRACE(std::string(def->name) + "::" + control.name);
      int width = def->width, height = def->height;
      const ControlDef* holder =
          *control.container == '\0' ? nullptr : FindControl(*def, control.container);
      if (holder != nullptr) {
        width = holder->width;
        height = holder->height;
      }
      EXPECT_GT(control.width, 0);
      EXPECT_GT(control.height, 0);
      EXPECT_GE(control.left, 0);
      EXPECT_GE(control.top, 0);
      EXPECT_LE(control.left + control.width, width);
      EXPECT_LE(control.top + control.height, height);
    }
  }
}

TEST_F(WindowDefinitionsTest, WindowTitlesAndSizes) {
  struct Case {
    ui::WindowRef window;
    Text title;
    int width, height;
  };
  const Case cases[] = {
      {MainWindow::Self, "Lorvane-Snipdock", 747, 512},
      {AddWindow::Self, "Lorvane-添加窗口", 671, 408},
      {ExportWindow::Self, "Lorvane-导出数据", 321, 148},
      {ImportWindow::Self, "Lorvane-导入数据", 321, 148},
      {NoticeWindow::Self, "Lorvane-公告栏", 366, 232},
      {FeedbackWindow::Self, "Lorvane-意见反馈", 371, 247},
      {UpdaterWindow::Self, "Lorvane软件更新程序", 381, 185},
  };
  for (const Case& c : cases) {
    const WindowDef& def = Window(c.window);
    EXPECT_EQ(def.title, c.title) << c.window.name;
    EXPECT_EQ(def.width, c.width) << c.window.name;
    EXPECT_EQ(def.height, c.height) << c.window.name;
    EXPECT_EQ(def.left, 50) << c.window.name;
    EXPECT_EQ(def.top, 50) << c.window.name;
  }
  // The exit removes the tray icon by handing over the main window's own, empty icon.
  EXPECT_TRUE(Window(MainWindow::Self).icon.empty());
}

TEST_F(WindowDefinitionsTest, FileDialogsAndTheirFilters) {
  struct Case {
    ui::ControlRef dialog;
    ControlKind kind;
    Text filter;
  };
  const Case cases[] = {
      {MainWindow::SaveAsDialog, ControlKind::SaveDialog, ""},
      {AddWindow::PictureDialog, ControlKind::OpenDialog,
       "图片文件(*.jpg;*.gif;*.bmp;*.jpge;*.png)|*.jpg;*.gif;*.bmp;*.jpge;*.png"},
      {AddWindow::ExampleDialog, ControlKind::OpenDialog, ""},
      {ExportWindow::FileDialog, ControlKind::SaveDialog, "*.yrd|*.yrd"},
      {ImportWindow::FileDialog, ControlKind::OpenDialog, "*.yrd|*.yrd"},
  };
  for (const Case& c : cases) {
    const ControlDef& dialog = Control(c.dialog);
    EXPECT_EQ(dialog.kind, c.kind) << c.dialog.window.name << "::" << c.dialog.name;
    EXPECT_EQ(dialog.filter, c.filter) << c.dialog.window.name << "::" << c.dialog.name;
  }
}

TEST_F(WindowDefinitionsTest, TimerPeriods) {
  EXPECT_EQ(Control(MainWindow::OnlineCountTimer).kind, ControlKind::Timer);
  EXPECT_EQ(Control(MainWindow::OnlineCountTimer).period, 30000);
  // Stopped until the download has started.
  EXPECT_EQ(Control(UpdaterWindow::ProgressTimer).kind, ControlKind::Timer);
  EXPECT_EQ(Control(UpdaterWindow::ProgressTimer).period, 0);
}

TEST_F(WindowDefinitionsTest, EditBoxesTheirStylesLimitsAndFirstTexts) {
  constexpr std::uint32_t kMultiScroll = ui::kStyleMultiLine | ui::kStyleVScroll;
  struct Case {
    ui::ControlRef box;
    std::uint32_t style;
    int maxLength;
    Text caption;
  };
  const Case cases[] = {
      {MainWindow::SearchBox, 0, 0, "搜索"},
      {MainWindow::UsageTextBox, kMultiScroll, 0, "使用方法"},
      {AddWindow::NameBox, 0, 0, ""},
      {AddWindow::UsageBox, kMultiScroll, 0, ""},
      {AddWindow::DescriptionBox, kMultiScroll, 200, ""},
      {AddWindow::ExamplePathBox, 0, 0, ""},
      {ExportWindow::PathBox, ui::kStyleReadOnly, 0, ""},
      {ExportWindow::PasswordBox, 0, 0, ""},
      {ImportWindow::PathBox, ui::kStyleReadOnly, 0, ""},
      {ImportWindow::PasswordBox, 0, 0, ""},
      {NoticeWindow::NoticeBox, kMultiScroll, 0, "读取中....."},
      {FeedbackWindow::TitleBox, 0, 0, ""},
      {FeedbackWindow::ContentBox, kMultiScroll, 0, ""},
      {FeedbackWindow::ContactBox, 0, 0, ""},
      {UpdaterWindow::UpdateNotesBox, kMultiScroll | ui::kStyleReadOnly, 0, "更新内容"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.box.window.name) + "::" + c.box.name);
    const ControlDef& box = Control(c.box);
    EXPECT_EQ(box.kind, ControlKind::EditBox);
    EXPECT_EQ(box.style, c.style);
    EXPECT_EQ(box.maxLength, c.maxLength);
    EXPECT_EQ(box.caption, c.caption);
  }
  EXPECT_EQ(Control(NoticeWindow::NoticeBox).fontName, "宋体");
  EXPECT_EQ(Control(NoticeWindow::NoticeBox).fontHeight, 16);
}

TEST_F(WindowDefinitionsTest, CaptionsOfButtonsAndLabels) {
  const std::pair<ui::ControlRef, Text> cases[] = {
      {MainWindow::SearchNameCheck, "名称"},
      {MainWindow::SearchDescriptionCheck, "说明"},
      {MainWindow::SearchUsageCheck, "使用方法"},
      {MainWindow::SearchButton, "搜索"},
      {AddWindow::AddPictureButton, "加入图片"},
      {AddWindow::ClearPictureButton, "清除图片"},
      {AddWindow::AddExampleButton, "加入例程"},
      {AddWindow::ClearExampleButton, "清除例程"},
      {AddWindow::SaveButton, "保存"},
      {ExportWindow::SaveToButton, "保存到"},
      {ExportWindow::SetPasswordButton, "设置密码"},
      {ExportWindow::StartButton, "开始导出"},
      {ExportWindow::StatusLabel, "状态"},
      {ImportWindow::OpenButton, "打开"},
      {ImportWindow::ConfirmPasswordButton, "确定密码"},
      {ImportWindow::StartButton, "开始导入"},
      {ImportWindow::StatusLabel, "状态"},
      {FeedbackWindow::SendButton, "发送"},
      {UpdaterWindow::StatusLabel, "状态"},
      {UpdaterWindow::PercentLabel, "百分比"},
  };
  for (const auto& [ref, caption] : cases) {
    EXPECT_EQ(Control(ref).caption, caption) << ref.window.name << "::" << ref.name;
  }
  EXPECT_EQ(Control(MainWindow::SearchButton).picture, SearchButtonImage());
  EXPECT_EQ(Control(MainWindow::PreviewTabs).items, (std::vector<Text>{"说明", "内含图片"}));
  EXPECT_EQ(Control(MainWindow::EntryListView).items, (std::vector<Text>{"名称", "说明"}));
  EXPECT_EQ(Control(MainWindow::MainStatusBar).items,
            (std::vector<Text>{"选中目录", "记录条数", "在线人数", "版本信息"}));
}

TEST_F(WindowDefinitionsTest, LabelsBesideTheBoxes) {
  const std::pair<ui::WindowRef, std::vector<Text>> cases[] = {
      {AddWindow::Self, {"名称:", "使用方法:", "说明:"}},
      {FeedbackWindow::Self, {"标题：", "内容：", "联系："}},
  };
  for (const auto& [window, captions] : cases) {
    std::vector<Text> labels;
    for (const ControlDef& control : Window(window).controls) {
      if (control.kind == ControlKind::Label && *control.name == '\0') {
        labels.push_back(control.caption);
      }
    }
    EXPECT_EQ(labels, captions) << window.name;
  }
}

TEST_F(WindowDefinitionsTest, MenuCaptions) {
  const WindowDef& main = Window(MainWindow::Self);
  const std::pair<ui::ControlRef, Text> cases[] = {
      {MainWindow::MainMenu, "菜单"},
      {MainWindow::RefreshTreeMenuItem, "刷新目录"},
      {MainWindow::SaveTreeMenuItem, "保存目录"},
      {MainWindow::ExportMenuItem, "导出"},
      {MainWindow::ImportMenuItem, "导入"},
      {MainWindow::ProgramMenu, "程序"},
      {MainWindow::NoticeMenuItem, "公告栏"},
      {MainWindow::FeedbackMenuItem, "意见反馈"},
      {MainWindow::TreeMenu, "树形框菜单"},
      {MainWindow::AddRootMenuItem, "添加主项"},
      {MainWindow::DeleteDirectoryMenuItem, "删除该项"},
      {MainWindow::InsertChildMenuItem, "插入子项"},
      {MainWindow::ListMenu, "列表菜单"},
      {MainWindow::AddEntryMenuItem, "添加"},
      {MainWindow::DeleteEntryMenuItem, "删除"},
      {MainWindow::ModifyEntryMenuItem, "修改"},
      {MainWindow::OpenExampleMenuItem, "打开例程"},
      {MainWindow::SaveExampleAsMenuItem, "例程另存为"},
      {MainWindow::SavePictureAsMenuItem, "图片另存为"},
  };
  for (const auto& [ref, caption] : cases) {
    const MenuItemDef* item = FindMenuItem(main.menuBar, ref.name);
    if (item == nullptr) item = FindMenuItem(main.popupMenus, ref.name);
    ASSERT_NE(item, nullptr) << ref.name;
    EXPECT_EQ(item->caption, caption) << ref.name;
  }
  // The list menu keeps its separator between the open and the two save-as items.
  const MenuItemDef* list = FindMenuItem(main.popupMenus, MainWindow::ListMenu.name);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->items.size(), 7u);
  EXPECT_TRUE(list->items[4].separator);
}

TEST_F(WindowDefinitionsTest, ImportTreeIsHiddenBelowTheClientArea) {
  const ControlDef& tree = Control(ImportWindow::ImportTree);
  EXPECT_EQ(tree.kind, ControlKind::TreeView);
  EXPECT_NE(tree.style & ui::kStyleHidden, 0u);
  EXPECT_GE(tree.top, Window(ImportWindow::Self).height);
}

}  // namespace
