// The update check, run once per start on a worker of its own.
#include "snippets/update_check.h"

#include <cmath>

#include "resources/window_ids.h"
#include "runtime/files.h"
#include "runtime/inet.h"
#include "runtime/process.h"
#include "snippets/globals.h"
#include "snippets/web_links.h"
#include "ui/ui.h"

double GetLatestVersion(const ShareLink& link, float current) {
  const Text page = ToText(HttpGet(ResolveShareLink(link, SnippetShareMarkers)));
  const std::vector<Text> fields = SplitText(page, "|");
  if (fields.empty()) return -1.0;
  const float announced = ToFloat(fields[0]);
  if (current >= announced) return 0.0;
  return ToDouble(fields[0]);
}

Text UpdaterCommandLine(const Text& programFolder, const ShareLink& link) {
  if (FindText(programFolder, "\"") != -1 || FindText(link, "\"") != -1) return "";
  // Quoted, so a folder with a blank neither starts a program named after its first part nor
  // hands the updater more than one argument.
  return "\"" + programFolder + "\\update.exe\" \"" + link + "\"";
}

void CheckForUpdate() {
  const ShareLink link = UpdateInfoLink();
  const double latest = GetLatestVersion(link, ToFloat(kCurrentVersion));
  if (std::fabs(latest) <= 1e-7) {
    ui::StatusBarSetText(MainWindow::MainStatusBar, 3, "是最新版本  现行版本:0.51");
    ui::StatusBarSetTip(MainWindow::MainStatusBar, 3, "是最新版本  现行版本:0.51");
    return;
  }
  if (std::fabs(latest + 1.0) <= 1e-7) {
    ui::StatusBarSetText(MainWindow::MainStatusBar, 3, "检查更新失败  现行版本:0.51");
    return;
  }
  ui::StatusBarSetText(MainWindow::MainStatusBar, 3,
                       "最新版本:" + ToText(latest) + "  现行版本:0.51");
  if (ui::ShowMessageBox("检测到最新版本，是否更新？？", ui::kMbYesNo) != ui::kIdYes) return;

  const Text commandLine = UpdaterCommandLine(GetRunDirectory(), link);
  if (!commandLine.empty() && RunProgram(commandLine, false)) {
    ui::DestroyProgramWindow(MainWindow::Self);
    return;
  }
  ui::ShowMessageBox("更新失败！！原因：更新程序打开失败，请检查更新文件是否存在！");
}

void CheckForUpdateThread(int) { CheckForUpdate(); }
