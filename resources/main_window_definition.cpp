// The snippet program's main window: directory tree, search row, preview tabs, status bar,
// menus and the two pop-up menus.
#include "resources/resources.h"
#include "resources/window_definitions.h"
#include "resources/window_ids.h"

using namespace ui;

ui::WindowDef MainWindowDefinition() {
  namespace w = MainWindow;
  WindowDef def{.name = w::Self.name, .title = "Lorvane-Snipdock",
                .left = 50, .top = 50, .width = 747, .height = 512};
  // No icon of its own: the close sequence removes the tray icon by passing this empty icon.

  def.controls = {
      // Search row along the top.
      {.name = w::SearchBox.name, .kind = ControlKind::EditBox, .caption = "搜索",
       .left = 8, .top = 5, .width = 210, .height = 22},
      {.name = w::SearchNameCheck.name, .kind = ControlKind::CheckBox, .caption = "名称",
       .left = 226, .top = 5, .width = 52, .height = 22},
      {.name = w::SearchDescriptionCheck.name, .kind = ControlKind::CheckBox, .caption = "说明",
       .left = 282, .top = 5, .width = 52, .height = 22},
      {.name = w::SearchUsageCheck.name, .kind = ControlKind::CheckBox, .caption = "使用方法",
       .left = 338, .top = 5, .width = 80, .height = 22},
      {.name = w::SearchButton.name, .kind = ControlKind::PictureButton, .caption = "搜索",
       .left = 424, .top = 4, .width = 60, .height = 24, .picture = SearchButtonImage()},

      // Directories on the left; their labels are renamed in place.
      {.name = w::DirectoryTree.name, .kind = ControlKind::TreeView,
       .left = 8, .top = 32, .width = 210, .height = 448, .style = kStyleLabelEdit},

      // Preview on the right: entries and usage text on the first tab, the picture on the second.
      {.name = w::PreviewTabs.name, .kind = ControlKind::TabControl,
       .left = 224, .top = 32, .width = 515, .height = 448, .items = {"说明", "内含图片"}},
      {.name = w::EntryListView.name, .kind = ControlKind::ListView,
       .left = 6, .top = 27, .width = 493, .height = 192,
       .container = w::PreviewTabs.name, .tabPage = 0,
       .items = {"名称", "说明"}, .widths = {200, 200}},
      {.name = w::UsageTextBox.name, .kind = ControlKind::EditBox, .caption = "使用方法",
       .left = 7, .top = 226, .width = 493, .height = 209,
       .container = w::PreviewTabs.name, .tabPage = 0, .style = kStyleMultiLine | kStyleVScroll},
      {.name = w::PreviewFrame.name, .kind = ControlKind::Frame,
       .left = 8, .top = 24, .width = 496, .height = 408,
       .container = w::PreviewTabs.name, .tabPage = 1},
      {.name = w::PreviewPicture.name, .kind = ControlKind::PictureBox,
       .left = 0, .top = 0, .width = 368, .height = 328, .container = w::PreviewFrame.name},
      {.name = w::PreviewVScrollBar.name, .kind = ControlKind::VScrollBar,
       .left = 478, .top = 1, .width = 17, .height = 391, .container = w::PreviewFrame.name},
      {.name = w::PreviewHScrollBar.name, .kind = ControlKind::HScrollBar,
       .left = 1, .top = 390, .width = 478, .height = 17, .container = w::PreviewFrame.name},

      // Docked along the bottom by the backend: directory, record count, online count, version.
      {.name = w::MainStatusBar.name, .kind = ControlKind::StatusBar,
       .left = 0, .top = 490, .width = 747, .height = 22,
       .items = {"选中目录", "记录条数", "在线人数", "版本信息"}, .widths = {260, 120, 200, -1}},

      {.name = w::SaveAsDialog.name, .kind = ControlKind::SaveDialog},
      {.name = w::OnlineCountTimer.name, .kind = ControlKind::Timer, .period = 30000},
      // The library connection and an unused data provider. Handlers reach the connection
      // through the database unit itself, so these names have no identity of their own.
      {.name = "LibraryDatabase", .kind = ControlKind::Component},
      {.name = "DataProvider", .kind = ControlKind::Component},
  };

  def.menuBar = {
      {.name = w::MainMenu.name, .caption = "菜单",
       .items = {{.name = w::RefreshTreeMenuItem.name, .caption = "刷新目录"},
                 {.name = w::SaveTreeMenuItem.name, .caption = "保存目录"},
                 {.name = "", .separator = true}}},
      {.name = w::ExportMenuItem.name, .caption = "导出"},
      {.name = w::ImportMenuItem.name, .caption = "导入"},
      {.name = w::ProgramMenu.name, .caption = "程序",
       .items = {{.name = w::NoticeMenuItem.name, .caption = "公告栏"},
                 {.name = w::FeedbackMenuItem.name, .caption = "意见反馈"}}},
  };

  def.popupMenus = {
      {.name = w::TreeMenu.name, .caption = "树形框菜单",
       .items = {{.name = w::AddRootMenuItem.name, .caption = "添加主项"},
                 {.name = w::DeleteDirectoryMenuItem.name, .caption = "删除该项"},
                 {.name = w::InsertChildMenuItem.name, .caption = "插入子项"}}},
      {.name = w::ListMenu.name, .caption = "列表菜单",
       .items = {{.name = w::AddEntryMenuItem.name, .caption = "添加"},
                 {.name = w::DeleteEntryMenuItem.name, .caption = "删除"},
                 {.name = w::ModifyEntryMenuItem.name, .caption = "修改"},
                 {.name = w::OpenExampleMenuItem.name, .caption = "打开例程"},
                 {.name = "", .separator = true},
                 {.name = w::SaveExampleAsMenuItem.name, .caption = "例程另存为"},
                 {.name = w::SavePictureAsMenuItem.name, .caption = "图片另存为"}}},
  };
  return def;
}
