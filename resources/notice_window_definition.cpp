// The bulletin window: one text box that the bulletin fills once it has arrived.
#include "resources/window_definitions.h"
#include "resources/window_ids.h"

using namespace ui;

ui::WindowDef NoticeWindowDefinition() {
  namespace w = NoticeWindow;
  WindowDef def{.name = w::Self.name, .title = "Lorvane-公告栏",
                .left = 50, .top = 50, .width = 366, .height = 232};

  def.controls = {
      {.name = w::NoticeBox.name, .kind = ControlKind::EditBox, .caption = "读取中.....",
       .left = 0, .top = 0, .width = 360, .height = 200, .style = kStyleMultiLine | kStyleVScroll,
       .fontName = "宋体", .fontHeight = 16},
  };
  return def;
}
