// The package import window: package, password, progress and status, one row each, and the
// working parts of the merge (zip component, the package's database, the package's tree).
#include "resources/window_definitions.h"
#include "resources/window_ids.h"

using namespace ui;

ui::WindowDef ImportWindowDefinition() {
  namespace w = ImportWindow;
  WindowDef def{.name = w::Self.name, .title = "Lorvane-导入数据",
                .left = 50, .top = 50, .width = 321, .height = 148};

  def.controls = {
      // Shows the package that passed the header check; only the open dialog sets it.
      {.name = w::PathBox.name, .kind = ControlKind::EditBox,
       .left = 8, .top = 4, .width = 232, .height = 24, .style = kStyleReadOnly},
      {.name = w::OpenButton.name, .kind = ControlKind::Button, .caption = "打开",
       .left = 248, .top = 4, .width = 56, .height = 24},
      {.name = w::PasswordBox.name, .kind = ControlKind::EditBox,
       .left = 8, .top = 32, .width = 232, .height = 24},
      {.name = w::ConfirmPasswordButton.name, .kind = ControlKind::Button, .caption = "确定密码",
       .left = 248, .top = 32, .width = 56, .height = 24},
      {.name = w::ProgressBar.name, .kind = ControlKind::ProgressBar,
       .left = 8, .top = 60, .width = 232, .height = 24},
      {.name = w::StartButton.name, .kind = ControlKind::Button, .caption = "开始导入",
       .left = 248, .top = 60, .width = 56, .height = 24},
      {.name = w::StatusLabel.name, .kind = ControlKind::Label, .caption = "状态",
       .left = 8, .top = 89, .width = 232, .height = 24},

      // The package's directories during the merge; below the client area and never shown.
      {.name = w::ImportTree.name, .kind = ControlKind::TreeView,
       .left = 40, .top = 160, .width = 16, .height = 16, .style = kStyleHidden},

      {.name = w::FileDialog.name, .kind = ControlKind::OpenDialog, .filter = "*.yrd|*.yrd"},
      {.name = w::ZipObject.name, .kind = ControlKind::Component},
      {.name = w::ImportDatabase.name, .kind = ControlKind::Component},
  };
  return def;
}
