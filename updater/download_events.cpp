// The updater after the download has started: the component's events on its task thread, the
// unpacking or running of the update, and the progress tick on the GUI thread.
#include "updater/download_events.h"

#include <atomic>
#include <cmath>

#include "resources/window_ids.h"
#include "runtime/download.h"
#include "runtime/file_names.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "runtime/zip.h"
#include "ui/ui.h"
#include "updater/updater_globals.h"

namespace {

namespace w = UpdaterWindow;

// Where an archive is unpacked first, to learn that every member comes out whole before any
// file of the program folder is replaced.
constexpr const char* kTrialFolderName = "更新临时目录";

// True while the archive is unpacked over the program folder: ending the program then would
// leave it half replaced without a word, so the window does not close meanwhile.
std::atomic<bool> replacingFiles{false};

Text Quoted(const Text& name) { return "<" + name + ">"; }

void AskToClose(const Text& question) {
  if (ui::ShowMessageBox(question, ui::kMbYesNo) == ui::kIdYes) ui::EndProgram(0);
}

// Unpacks the update into folder. A member that would fail (a name leaving the folder, a bomb,
// a damaged member) is found by a trial run elsewhere, so such an archive changes nothing in
// the program folder. ZipObject's 100 is raised only when every member is in place: its handler
// says the update is complete, which must then be true.
int ExtractUpdateArchive(const Text& archive, const Text& folder) {
  const Text trialBase = InstanceTempFolder();
  if (trialBase.empty()) return kZipExtractFailed;
  const Text trial = trialBase + kTrialFolderName;
  RemoveDirectoryTree(trial);
  const int tried = ZipExtract(archive, trial);
  RemoveDirectoryTree(trial);
  if (tried != kZipExtractDone) return tried;

  const ui::ControlRef zipObject = w::ZipObject;
  replacingFiles.store(true);
  const int result = ZipExtract(archive, folder, [zipObject](int percent) {
    if (percent < 100) ui::RaiseComponentProgress(zipObject, percent);
    return true;
  });
  replacingFiles.store(false);
  if (result == kZipExtractDone) ui::RaiseComponentProgress(zipObject, 100);
  return result;
}

void RunDownloadedUpdate() {
  const Text name = UpdateFileName;
  const Text folder = GetRunDirectory();
  const Text path = folder + "\\" + name;
  if (GetFileExtension(name) == "zip") {
    if (ExtractUpdateArchive(path, folder + "\\") == kZipExtractDone) return;
    ui::SetText(w::StatusLabel, Quoted(name) + "解压失败，更新完成");
    AskToClose("目录下的" + Quoted(name) + "解压失败，请自行解压！是否关闭？？");
    return;
  }
  ui::SetText(w::StatusLabel, "等待" + Quoted(name) + "运行完成........");
  // A downloaded file is no program here until it may be executed.
  MarkRunnable(path);
  if (!RunProgram(path, true)) {
    ui::SetText(w::StatusLabel, Quoted(name) + "运行失败，更新完成");
    AskToClose("目录下的" + Quoted(name) + "运行失败，请自行运行！是否关闭？？");
    return;
  }
  ui::SetText(w::StatusLabel, "运行" + Quoted(name) + "完毕，更新完成");
  RemoveFile(path);
  AskToClose("程序更新完成！是否关闭？？");
}

}  // namespace

void HandleDownloadEvent(int code, int a, int b, int c, int task) {
  if (code == kDownloadEventSize) DownloadTotalSize.store(b);
  if (code == kDownloadEventDone) {
    ui::RunOnGui([] {
      ui::SetText(w::StatusLabel, Quoted(UpdateFileName) + "下载完成！执行更新文件中.........");
      ui::SetTimerPeriod(w::ProgressTimer, 0);
      ui::SetProgress(w::ProgressBar, 100);
      ui::SetText(w::PercentLabel, "100%  完成！");
    });
    RunDownloadedUpdate();
  }
  if (code == kDownloadEventFailed) {
    ui::ShowMessageBox(Quoted(UpdateFileName) + "文件下载失败！！");
    ui::SetText(w::StatusLabel, "文件下载失败！！");
    ui::SetTimerPeriod(w::ProgressTimer, 0);
  }
}

void UpdaterWindow_ZipObject_OnProgress(int percent) {
  if (percent != 100) return;
  ui::SetText(w::StatusLabel, "解压" + Quoted(UpdateFileName) + "完毕，更新完成");
  RemoveFile(GetRunDirectory() + "\\" + UpdateFileName);
  AskToClose("程序更新完成！是否关闭？？");
}

double RoundTo(double value, int digits) {
  if (value == 0) return 0;
  const double y = std::fabs(value) * 10.0;
  const double shifted = y + 1e-12;
  const double i = std::floor(shifted);
  const double f = shifted - i;
  const double rounded = (f >= 0.5 ? i + 1 : i) / 10.0;
  return value < 0 ? -rounded : rounded;
}

int ProgressPosition(long long done, int total) {
  if (total == 0) return 0;
  const double q = static_cast<double>(done) / static_cast<double>(total);
  const double p = q * 100.0;
  return static_cast<int>(p);
}

Text PercentText(int position, long long bytesInTick) {
  const double speed = RoundTo(static_cast<double>(bytesInTick) / 1024.0, 1);
  return ToText(position) + "%  " + ToText(speed) + "KB/S";
}

void UpdaterWindow_ProgressTimer_OnTick() {
  if (!UpdateDownload) return;
  const long long done = DownloadBytesDone(*UpdateDownload);
  ui::SetProgress(w::ProgressBar, ProgressPosition(done, DownloadTotalSize.load()));
  const int shown = ui::GetProgress(w::ProgressBar);
  const long long received = DownloadTakeCounter(*UpdateDownload);
  ui::SetText(w::PercentLabel, PercentText(shown, received));
}

void BindDownloadEventHandlers() {
  ui::BindCanClose(w::Self, [] { return !replacingFiles.load(); });
  ui::Bind(w::Self, w::ZipObject.name, ui::EventKind::Progress,
           [](int percent) { UpdaterWindow_ZipObject_OnProgress(percent); });
  ui::Bind(w::Self, w::ProgressTimer.name, ui::EventKind::Timer, [](int) { UpdaterWindow_ProgressTimer_OnTick(); });
}
