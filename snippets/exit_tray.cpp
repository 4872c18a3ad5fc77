// Closing the main window (the one orderly end of the program), the tray icon and hiding the
// window on minimize.
#include "snippets/exit_tray.h"

#include "resources/window_ids.h"
#include "runtime/files.h"
#include "runtime/threads.h"
#include "snippets/directory_tree.h"
#include "snippets/export_window.h"
#include "snippets/globals.h"
#include "snippets/import_window.h"
#include "snippets/online_services.h"
#include "ui/ui.h"
#include "ui/window_def.h"

namespace {

// The main window's own icon: its definition gives it none, so passing it removes the tray
// icon.
Bytes MainWindowIcon() {
  const ui::WindowDef* def = ui::FindWindowDefinition(MainWindow::Self.name);
  return def ? def->icon : Bytes();
}

}  // namespace

bool MainWindow_OnCanClose() {
  if (TransferDone == 0 && ui::IsCreated(ExportWindow::Self)) {
    if (ui::ShowMessageBox("还没有导出完成！！是否确定关闭？？", ui::kMbYesNo, "是否关闭？") !=
        ui::kIdYes) {
      return false;
    }
    StopExportAndRemoveItsFiles();
    ui::DestroyProgramWindow(ExportWindow::Self);
  }
  AbandonImport();
  SaveDirectoryTree();
  ui::SetTrayIcon(MainWindow::Self, MainWindowIcon(), "");
  ui::SetVisible(MainWindow::Self, false);
  // Waited for; its requests' time-outs bound the wait, so a silent counter cannot keep the
  // program from ending.
  ReportOnlineCount(OnlineCountExit);
  ui::EndProgram(0);
}

void MainWindow_OnTrayEvent(int action) {
  if (action != ui::kTrayDoubleClick) return;
  ui::SetVisible(MainWindow::Self, true);
  ui::SetWindowState(MainWindow::Self, ui::WindowState::Normal);
}

void MainWindow_OnMoved() {
  if (ui::GetWindowState(MainWindow::Self) == ui::WindowState::Minimized) {
    ui::SetVisible(MainWindow::Self, false);
  }
}

void MainWindow_OnDestroying() {}

void BindExitHandlers() {
  using ui::EventKind;
  ui::BindCanClose(MainWindow::Self, [] { return MainWindow_OnCanClose(); });
  ui::BindWindow(MainWindow::Self, EventKind::TrayEvent,
                 [](int action) { MainWindow_OnTrayEvent(action); });
  ui::BindWindow(MainWindow::Self, EventKind::Moved, [](int) { MainWindow_OnMoved(); });
  ui::BindWindow(MainWindow::Self, EventKind::Destroying, [](int) { MainWindow_OnDestroying(); });
}
