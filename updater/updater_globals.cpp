// The updater's globals and the defaults of its download task.
#include "updater/updater_globals.h"

Text UpdateFileName;
TaskParam UpdateTask;
std::unique_ptr<Download> UpdateDownload;
std::atomic<std::int32_t> DownloadTotalSize{0};

void InitializeUpdaterGlobals() {
  UpdateFileName.clear();
  TaskParam task;
  task.Mode = 1;
  task.FtpUser = kFtpAnonymousUser;
  task.FtpPassword = kFtpAnonymousPassword;
  task.Connections = 1;
  task.Reserved7 = 0;
  task.ConnectTimeout = 20000;
  task.IdleTimeout = 20000;
  task.ReplyTimeout = 20000;
  task.StopWait = 1000;
  task.Reserved12 = 20480;
  task.Reserved13 = 1024;
  task.Reserved14 = 0;
  task.FtpTransferType = 1;
  task.BinaryExtensions = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";
  UpdateTask = task;
  UpdateDownload = std::make_unique<Download>();
  DownloadTotalSize.store(0);
}

void ReleaseUpdaterGlobals() {
  UpdateFileName.clear();
  UpdateTask = TaskParam{};
  if (UpdateDownload) DownloadStop(*UpdateDownload);
  // The windows are gone by now, so no tick reads the object any more.
  UpdateDownload.reset();
}
