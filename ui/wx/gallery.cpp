// window_gallery: every window definition of both programs in the real backend. Without
// arguments all windows open at once and the gallery ends when the last is closed; with
// --screenshot <folder> each window is shown alone, written to <folder>/<window>.png (taken
// with ImageMagick's import from the X display), then a box, an input box, a pop-up menu and a
// file dialog over the window that asks for them, and the gallery ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <wx/uiaction.h>

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "ui/model.h"
#include "ui/ui.h"
#include "ui/window_def.h"
#include "ui/wx/wx_backend.h"
#include "ui/wx/wx_widgets.h"

namespace {

bool Grab(const wxRect& rect, const std::string& file) {
  char command[1024];
  std::snprintf(command, sizeof command, "import -window root -crop %dx%d+%d+%d +repage '%s'", rect.width,
                rect.height, rect.x, rect.y, file.c_str());
  return std::system(command) == 0;
}

// A few items in every tree and list, so a screenshot shows how items are drawn.
void FillSamples(const ui::WindowDef& def) {
  for (const ui::ControlDef& control : def.controls) {
    const ui::ControlRef ref{ui::WindowRef{def.name}, control.name};
    if (control.kind == ui::ControlKind::TreeView) {
      ui::TreeAddItems(ref, {{-1, "常用函数", 1}, {0, "字符串", 2}, {1, "取文本中间", 3}, {0, "文件操作", 4},
                             {-1, "界面", 5}});
      ui::SetTreeCurrentItem(ref, 1);
    } else if (control.kind == ui::ControlKind::ListView) {
      for (int i = 0; i < 3; ++i) {
        const int row = ui::ListAppendRow(ref, i + 1);
        for (int column = 0; column < static_cast<int>(control.items.size()); ++column) {
          ui::ListSetCell(ref, row, column, "示例条目" + ToText(i + 1));
        }
      }
    }
  }
}

wxRect FrameRect(const char* window) {
  ui::WindowModel* model = ui::FindWindow(window);
  ui::wx::WindowWidgets* widgets = model ? ui::wx::WidgetsOf(*model) : nullptr;
  return widgets != nullptr ? widgets->frame->GetScreenRect() : wxRect();
}

// The window as the screen shows it, frame and menu bar included.
bool Screenshot(const char* window, const std::string& file) {
  const wxRect rect = FrameRect(window);
  return !rect.IsEmpty() && Grab(rect, file);
}

// Shows what show() puts up over the window, takes the window with it once it is up (or the
// whole screen, for the file chooser the toolkit keeps to itself), and closes it again (a
// modal dialog ends, anything else gets Escape).
bool ScreenshotWhileUp(const char* window, const std::string& file, const std::function<void()>& show,
                       bool wholeScreen = false) {
  bool taken = false;
  std::thread taker([&] {
    ui::DelayPumping(800);  // a worker's wait: what show() put up is drawn by then
    ui::RunOnGui([&] {
      wxRect rect = wholeScreen ? wxRect(wxGetDisplaySize()) : FrameRect(window);
      wxDialog* modal = nullptr;
      for (wxWindow* top : wxTopLevelWindows) {
        auto* dialog = dynamic_cast<wxDialog*>(top);
        if (dialog != nullptr && dialog->IsModal()) modal = dialog;
      }
      if (modal != nullptr) rect.Union(modal->GetScreenRect());
      taken = Grab(rect.Intersect(wxRect(wxGetDisplaySize())), file);
      if (modal != nullptr) {
        modal->EndModal(wxID_CANCEL);
      } else {
        wxUIActionSimulator keys;
        keys.Char(WXK_ESCAPE);
      }
    });
  });
  show();
  taker.join();
  if (taken) std::printf("%s\n", file.c_str());
  return taken;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) folder = argv[++i];
  }
  if (!InstallWxBackend(argc, argv)) return 1;
  RegisterAllWindowDefinitions();
  const auto definitions = ui::AllWindowDefinitions();

  if (folder.empty()) {
    for (const ui::WindowDef* def : definitions) ui::LoadWindow(ui::WindowRef{def->name});
    ui::RunMessageLoop();
    return 0;
  }

  std::error_code error;
  std::filesystem::create_directories(folder, error);
  int failed = 0;
  for (const ui::WindowDef* def : definitions) {
    const ui::WindowRef window{def->name};
    if (!ui::LoadWindow(window)) {
      std::fprintf(stderr, "window_gallery: %s does not load\n", def->name);
      ++failed;
      continue;
    }
    FillSamples(*def);
    ui::DelayPumping(600);  // mapped, laid out and painted
    const std::string file = folder + "/" + def->name + ".png";
    if (Screenshot(def->name, file)) {
      std::printf("%s\n", file.c_str());
    } else {
      std::fprintf(stderr, "window_gallery: no screenshot of %s\n", def->name);
      ++failed;
    }
    ui::DestroyProgramWindow(window);
    ui::DelayPumping(100);
  }

  // What the toolkit draws for the program: boxes and dialogs with their Chinese buttons, and a
  // menu in the windows' font.
  const ui::WindowRef main = MainWindow::Self;
  const ui::WindowRef editor = AddWindow::Self;
  ui::LoadWindow(main);
  ui::LoadWindow(editor);
  ui::DelayPumping(600);
  // The pointer out of the way: a tip where it rests would cover the buttons.
  wxUIActionSimulator().MouseMove(wxGetDisplaySize().x - 2, wxGetDisplaySize().y - 2);
  // Asked by the editor's handler, as the program's boxes are.
  auto fromEditor = [](std::function<void()> ask) {
    return [ask] {
      ui::Bind(AddWindow::Self, AddWindow::SaveButton.name, ui::EventKind::Click, [ask](int) { ask(); });
      ui::RaiseEvent(*ui::FindWindow(AddWindow::Self.name), AddWindow::SaveButton.name, ui::EventKind::Click);
    };
  };
  const bool boxes =
      ScreenshotWhileUp("AddWindow", folder + "/MessageBox.png",
                        fromEditor([] { ui::ShowMessageBox("请输入代码名称!!", ui::kMbIconWarning); })) &&
      ScreenshotWhileUp("AddWindow", folder + "/YesNoBox.png",
                        fromEditor([] { ui::ShowMessageBox("检测到最新版本，是否更新？？", ui::kMbYesNo); })) &&
      ScreenshotWhileUp("AddWindow", folder + "/InputBox.png", fromEditor([] {
                          Text typed;
                          ui::InputBox("请输入表名", "请输入表名", "表名", typed);
                        })) &&
      ScreenshotWhileUp("AddWindow", folder + "/OpenDialog.png",
                        fromEditor([] { ui::ShowCommonDialog(AddWindow::PictureDialog); }), true);
  ui::DestroyProgramWindow(editor);
  ui::DelayPumping(200);
  const wxRect frame = FrameRect("MainWindow");
  wxUIActionSimulator().MouseMove(frame.GetPosition() + wxPoint(300, 200));
  ui::DelayPumping(100);
  const bool menu = ScreenshotWhileUp("MainWindow", folder + "/PopupMenu.png",
                                      [main] { ui::PopupMenu(main, "ListMenu"); });
  if (!boxes || !menu) {
    std::fprintf(stderr, "window_gallery: no screenshot of a box, a dialog or a menu\n");
    ++failed;
  }
  return failed == 0 ? 0 : 1;
}
