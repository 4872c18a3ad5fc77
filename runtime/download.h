// The download component: one file from an HTTP or FTP address into a local file, on a thread
// of its own, with the task's event routine called on that thread. A Download object holds at
// most one task; the task record is copied when it starts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "runtime/text.h"

// Event codes the component raises through the task's routine.
constexpr int kDownloadEventSize = 3;      // the total size is known: b = size in bytes
constexpr int kDownloadEventThreadEnd = 4; // the task's thread ends
constexpr int kDownloadEventDone = 8;      // the whole file is in the local file
constexpr int kDownloadEventFailed = 9;    // the download failed; nothing more comes but 4

// The file is held in memory until it is written whole, and an update is a few megabytes: an
// address that announces more, or sends more, fails instead of filling memory or the disk.
constexpr std::int64_t kDownloadLimit = 512ll << 20;

// (event code, a, b, c, task number): called on the task's own thread.
using DownloadEventRoutine = std::function<void(int code, int a, int b, int c, int task)>;

// The task record: twenty members in their fixed order. Members 7, 12, 13, 14 and 16 are
// carried along unchanged.
struct TaskParam {
  int Mode = 0;                  // 1: task mode flags (the component adds its direction flag)
  Text Source;                   // 2: http://, https:// or ftp:// address with a host
  Text LocalFile;                // 3: receives the data
  Text FtpUser;                  // 4: "anonymous" when empty
  Text FtpPassword;              // 5: the anonymous-login e-mail address when empty
  int Connections = 0;           // 6: parallel connections; one is used
  int Reserved7 = 0;             // 7
  int ConnectTimeout = 0;        // 8: ms to connect
  int IdleTimeout = 0;           // 9: ms without a byte before the transfer is given up
  int ReplyTimeout = 0;          // 10: ms an FTP server may take to answer a command
  int StopWait = 0;              // 11: ms DownloadStop waits, in 20 ms steps
  int Reserved12 = 0;            // 12
  int Reserved13 = 0;            // 13
  int Reserved14 = 0;            // 14
  DownloadEventRoutine EventRoutine;  // 15
  Text Reserved16;               // 16
  int FtpTransferType = 0;       // 17: 1 binary, 3 binary for the extensions of 18, else ASCII
  Text BinaryExtensions;         // 18: ".exe|.rar|..."
  Text Proxy;                    // 19: HTTP proxy "host:port"; empty: none (the environment's neither)
  Text Referer;                  // 20: empty: the source address up to its last "/"
};

// The anonymous FTP login the component falls back to.
inline constexpr const char* kFtpAnonymousUser = "anonymous";
inline constexpr const char* kFtpAnonymousPassword = "update@lorvane.cn";

struct DownloadTask;

struct Download {
  Download();
  ~Download();  // stops a task still attached
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  std::mutex mutex;
  std::shared_ptr<DownloadTask> task;
};

// Copies the record, attaches a task and starts its thread. False (nothing attached) when a
// task is attached already, the address has no host or another scheme, or no thread starts.
bool DownloadStart(Download& download, const TaskParam& task);
// Bytes received so far while the attached task runs; 0 otherwise.
std::int64_t DownloadBytesDone(Download& download);
// Bytes received since the previous call (the counter restarts at 0); 0 with no task attached.
std::int64_t DownloadTakeCounter(Download& download);
// With a task attached: sets its stop flag, ends its transfer, waits in 20 ms steps up to the
// task's stop wait for the transfer to end, and detaches it. A stopped task raises neither 8
// nor 9. Called on the task's own thread (from its event routine) it does not wait.
void DownloadStop(Download& download);
