// Start-up of the updater: its one argument, the update page, the local file, the download.
#include "updater/startup.h"

#include <vector>

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/file_names.h"
#include "runtime/files.h"
#include "runtime/inet.h"
#include "runtime/process.h"
#include "ui/ui.h"
#include "ui/window_def.h"
#include "updater/download_events.h"
#include "updater/updater_globals.h"
#include "web/share_link.h"

namespace {

namespace w = UpdaterWindow;

void RunEmptyRoutine() {}

}  // namespace

bool StartUpdaterProgram() {
  SetCurrentFolder(GetRunDirectory());
  RegisterAllWindowDefinitions();
  BindUpdaterHandlers();
  InitializeUpdaterGlobals();
  ui::SetExitRoutine(ReleaseUpdaterGlobals);
  RunEmptyRoutine();
  if (!ui::LoadWindow(w::Self)) {
    // Without a definition the window could not be built; otherwise the created handler
    // ended the program during the load, which is no load failure.
    if (ui::FindWindowDefinition(w::Self.name) != nullptr) return true;
    ui::ShowMessageBox("载入启动窗口失败");
    return false;
  }
  return true;
}

int UpdaterProgramEntry() {
  if (!StartUpdaterProgram()) ui::EndProgram(1);
  ui::RunMessageLoop();
  return 0;
}

void UpdaterWindow_OnCreated() {
  const std::vector<Text> args = GetCommandLineArgs();
  if (args.size() != 1) ui::EndProgram(0);

  const Text page = ToText(HttpGet(ResolveShareLink(args[0], UpdaterShareMarkers)));
  const std::vector<Text> fields = SplitText(page, "|");
  if (fields.size() != 5) ui::EndProgram(0);

  const Bytes& skin = SkinImage();
  SkinH_AttachRes(skin.data(), static_cast<int>(skin.size()), "", 0, 0, 0);

  UpdateFileName = fields[3] == "真" ? kZipUpdateFileName : kProgramUpdateFileName;
  ui::SetText(w::UpdateNotesBox, fields[2]);

  const Text localFile = GetRunDirectory() + "\\" + UpdateFileName;
  UpdateTask.Mode = 1;
  UpdateTask.Source = ResolveShareLink(fields[1], UpdaterShareMarkers);
  UpdateTask.LocalFile = localFile;
  UpdateTask.EventRoutine = HandleDownloadEvent;

  if (FileExists(localFile)) {
    // A program update from an earlier run may still be running from that file.
    if (GetFileExtension(UpdateFileName) == "exe") KillProcess(UpdateFileName);
    if (!RemoveFile(localFile)) {
      ui::ShowMessageBox("运行目录下<" + UpdateFileName + ">文件删除失败！更新失败！！请手动删除后重试！");
      ui::EndProgram(0);
    }
  }

  if (!DownloadStart(*UpdateDownload, UpdateTask)) {
    ui::ShowMessageBox("下载失败！！更新失败！！");
    ui::SetText(w::StatusLabel, "下载失败！！");
    ui::EndProgram(0);
  }
  ui::SetText(w::StatusLabel, "下载中.....");
  ui::SetTimerPeriod(w::ProgressTimer, 1000);
}

void BindUpdaterHandlers() {
  ui::BindWindow(w::Self, ui::EventKind::Created, [](int) { UpdaterWindow_OnCreated(); });
  BindDownloadEventHandlers();
}
