// The package export window: package name, password, progress and status, one row each.
#include "resources/window_definitions.h"
#include "resources/window_ids.h"

using namespace ui;

ui::WindowDef ExportWindowDefinition() {
  namespace w = ExportWindow;
  WindowDef def{.name = w::Self.name, .title = "Lorvane-导出数据",
                .left = 50, .top = 50, .width = 321, .height = 148};

  def.controls = {
      // Only the save dialog picks the package name; the box just shows it.
      {.name = w::PathBox.name, .kind = ControlKind::EditBox,
       .left = 8, .top = 4, .width = 232, .height = 24, .style = kStyleReadOnly},
      {.name = w::SaveToButton.name, .kind = ControlKind::Button, .caption = "保存到",
       .left = 248, .top = 4, .width = 56, .height = 24},
      // Typed in the clear, as the user sets it for someone else.
      {.name = w::PasswordBox.name, .kind = ControlKind::EditBox,
       .left = 8, .top = 32, .width = 232, .height = 24},
      {.name = w::SetPasswordButton.name, .kind = ControlKind::Button, .caption = "设置密码",
       .left = 248, .top = 32, .width = 56, .height = 24},
      {.name = w::ProgressBar.name, .kind = ControlKind::ProgressBar,
       .left = 8, .top = 60, .width = 232, .height = 24},
      {.name = w::StartButton.name, .kind = ControlKind::Button, .caption = "开始导出",
       .left = 248, .top = 60, .width = 56, .height = 24},
      {.name = w::StatusLabel.name, .kind = ControlKind::Label, .caption = "状态",
       .left = 8, .top = 89, .width = 232, .height = 24},

      {.name = w::FileDialog.name, .kind = ControlKind::SaveDialog, .filter = "*.yrd|*.yrd"},
      {.name = w::ZipObject.name, .kind = ControlKind::Component},
  };
  return def;
}
