// window_gallery: every window definition of both programs in the real backend. Without
// arguments all windows open at once and the gallery ends when the last is closed; with
// --screenshot <folder> each window is shown alone, written to <folder>/<window>.png (taken
// with ImageMagick's import from the X display) and the gallery ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "resources/resources.h"
#include "ui/ui.h"
#include "ui/window_def.h"
#include "ui/wx/wx_backend.h"
#include "ui/wx/wx_widgets.h"

namespace {

// The window as the screen shows it, frame and menu bar included.
bool Screenshot(const char* window, const std::string& file) {
  ui::WindowModel* model = ui::FindWindow(window);
  ui::wx::WindowWidgets* widgets = model ? ui::wx::WidgetsOf(*model) : nullptr;
  if (widgets == nullptr) return false;
  const wxRect rect = widgets->frame->GetScreenRect();
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
  return failed == 0 ? 0 : 1;
}
