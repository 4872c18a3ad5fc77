// The entry editor: name, usage text and description on the left, the picture and the example
// on the right, the save button below the example row.
#include "resources/window_definitions.h"
#include "resources/window_ids.h"

using namespace ui;

ui::WindowDef AddWindowDefinition() {
  namespace w = AddWindow;
  WindowDef def{.name = w::Self.name, .title = "Lorvane-添加窗口",
                .left = 50, .top = 50, .width = 671, .height = 408};

  def.controls = {
      // Each label comes before its box, so the box is drawn over the label's spare width.
      {.name = "", .kind = ControlKind::Label, .caption = "名称:",
       .left = 10, .top = 16, .width = 80, .height = 24},
      {.name = w::NameBox.name, .kind = ControlKind::EditBox,
       .left = 56, .top = 10, .width = 320, .height = 32},
      {.name = "", .kind = ControlKind::Label, .caption = "使用方法:",
       .left = 8, .top = 54, .width = 80, .height = 24},
      {.name = w::UsageBox.name, .kind = ControlKind::EditBox,
       .left = 6, .top = 80, .width = 378, .height = 128, .style = kStyleMultiLine | kStyleVScroll},
      {.name = "", .kind = ControlKind::Label, .caption = "说明:",
       .left = 10, .top = 216, .width = 80, .height = 24},
      // The description column is VARCHAR(255); typed input stops at 200 bytes.
      {.name = w::DescriptionBox.name, .kind = ControlKind::EditBox,
       .left = 8, .top = 242, .width = 378, .height = 128, .style = kStyleMultiLine | kStyleVScroll,
       .maxLength = 200},

      {.name = w::PictureBox.name, .kind = ControlKind::PictureBox,
       .left = 392, .top = 8, .width = 264, .height = 240, .style = kStyleBorder},
      {.name = w::ClearPictureButton.name, .kind = ControlKind::Button, .caption = "清除图片",
       .left = 472, .top = 264, .width = 72, .height = 24},
      {.name = w::AddPictureButton.name, .kind = ControlKind::Button, .caption = "加入图片",
       .left = 544, .top = 264, .width = 88, .height = 24},
      {.name = w::ExamplePathBox.name, .kind = ControlKind::EditBox,
       .left = 408, .top = 296, .width = 240, .height = 24},
      {.name = w::ClearExampleButton.name, .kind = ControlKind::Button, .caption = "清除例程",
       .left = 496, .top = 328, .width = 64, .height = 24},
      {.name = w::AddExampleButton.name, .kind = ControlKind::Button, .caption = "加入例程",
       .left = 584, .top = 328, .width = 64, .height = 24},
      {.name = w::SaveButton.name, .kind = ControlKind::Button, .caption = "保存",
       .left = 400, .top = 333, .width = 48, .height = 40},

      {.name = w::PictureDialog.name, .kind = ControlKind::OpenDialog,
       .filter = "图片文件(*.jpg;*.gif;*.bmp;*.jpge;*.png)|*.jpg;*.gif;*.bmp;*.jpge;*.png"},
      {.name = w::ExampleDialog.name, .kind = ControlKind::OpenDialog},
  };
  return def;
}
