// The updater's one window: download progress, status, the update notes and the speed line.
#include "resources/window_definitions.h"
#include "resources/window_ids.h"

using namespace ui;

ui::WindowDef UpdaterWindowDefinition() {
  namespace w = UpdaterWindow;
  WindowDef def{.name = w::Self.name, .title = "Lorvane软件更新程序",
                .left = 50, .top = 50, .width = 381, .height = 185};

  def.controls = {
      {.name = w::ProgressBar.name, .kind = ControlKind::ProgressBar,
       .left = 0, .top = 1, .width = 373, .height = 31},
      {.name = w::StatusLabel.name, .kind = ControlKind::Label, .caption = "状态",
       .left = 0, .top = 31, .width = 373, .height = 24},
      {.name = w::UpdateNotesBox.name, .kind = ControlKind::EditBox, .caption = "更新内容",
       .left = 0, .top = 54, .width = 373, .height = 80,
       .style = kStyleMultiLine | kStyleVScroll | kStyleReadOnly},
      {.name = w::PercentLabel.name, .kind = ControlKind::Label, .caption = "百分比",
       .left = 0, .top = 133, .width = 373, .height = 18},

      // Stopped until the download has started; the start-up sets its one-second period.
      {.name = w::ProgressTimer.name, .kind = ControlKind::Timer, .period = 0},
      {.name = w::ZipObject.name, .kind = ControlKind::Component},
  };
  return def;
}
