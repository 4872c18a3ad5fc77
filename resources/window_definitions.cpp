// Registers the windows of both programs with the window run-time.
#include "resources/window_definitions.h"

#include "resources/resources.h"

void RegisterAllWindowDefinitions() {
  ui::RegisterWindowDefinition(MainWindowDefinition());
  ui::RegisterWindowDefinition(AddWindowDefinition());
  ui::RegisterWindowDefinition(ExportWindowDefinition());
  ui::RegisterWindowDefinition(ImportWindowDefinition());
  ui::RegisterWindowDefinition(NoticeWindowDefinition());
  ui::RegisterWindowDefinition(FeedbackWindowDefinition());
  ui::RegisterWindowDefinition(UpdaterWindowDefinition());
}
