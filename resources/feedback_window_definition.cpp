// The feedback form: title, content and contact, each after its label, and the send button.
#include "resources/window_definitions.h"
#include "resources/window_ids.h"

using namespace ui;

ui::WindowDef FeedbackWindowDefinition() {
  namespace w = FeedbackWindow;
  WindowDef def{.name = w::Self.name, .title = "Lorvane-意见反馈",
                .left = 50, .top = 50, .width = 371, .height = 247};

  def.controls = {
      {.name = "", .kind = ControlKind::Label, .caption = "标题：",
       .left = 8, .top = 7, .width = 34, .height = 24},
      {.name = w::TitleBox.name, .kind = ControlKind::EditBox,
       .left = 48, .top = 8, .width = 312, .height = 20},
      {.name = "", .kind = ControlKind::Label, .caption = "内容：",
       .left = 8, .top = 32, .width = 34, .height = 24},
      {.name = w::ContentBox.name, .kind = ControlKind::EditBox,
       .left = 48, .top = 32, .width = 312, .height = 152,
       .style = kStyleMultiLine | kStyleVScroll},
      {.name = "", .kind = ControlKind::Label, .caption = "联系：",
       .left = 8, .top = 188, .width = 34, .height = 24},
      {.name = w::ContactBox.name, .kind = ControlKind::EditBox,
       .left = 48, .top = 190, .width = 208, .height = 20},
      {.name = w::SendButton.name, .kind = ControlKind::Button, .caption = "发送",
       .left = 272, .top = 188, .width = 88, .height = 24},
  };
  return def;
}
