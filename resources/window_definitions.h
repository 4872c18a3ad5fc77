// One builder per window definition; RegisterAllWindowDefinitions registers what they build.
#pragma once

#include "ui/window_def.h"

ui::WindowDef MainWindowDefinition();
ui::WindowDef AddWindowDefinition();
ui::WindowDef ExportWindowDefinition();
ui::WindowDef ImportWindowDefinition();
ui::WindowDef NoticeWindowDefinition();
ui::WindowDef FeedbackWindowDefinition();
ui::WindowDef UpdaterWindowDefinition();
