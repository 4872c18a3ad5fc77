// A 100 MB file from a loopback server: the curl command first, then the download component
// with the updater's window ticking its progress once a second, three rounds each, in one run.
// Prints the best time of each and their ratio.
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/clock.h"
#include "runtime/download.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "tests/web/test_server.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"
#include "updater/download_events.h"
#include "updater/updater_globals.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFileSize = 100u << 20;
constexpr int kRounds = 3;
int ticks = 0;

struct Finish {
  std::mutex mutex;
  std::condition_variable changed;
  int code = 0;
};

// Milliseconds for the component to have the file whole on disk; -1 on failure.
long long ComponentRun(const Text& url, const Text& file) {
  auto finish = std::make_shared<Finish>();
  TaskParam task = UpdateTask;
  task.Source = url;
  task.LocalFile = file;
  task.EventRoutine = [finish](int code, int, int b, int, int) {
    if (code == kDownloadEventSize) DownloadTotalSize.store(b);
    if (code != kDownloadEventDone && code != kDownloadEventFailed) return;
    std::lock_guard<std::mutex> lock(finish->mutex);
    finish->code = code;
    finish->changed.notify_all();
  };
  const std::uint64_t start = MonotonicMilliseconds();
  if (!DownloadStart(*UpdateDownload, task)) return -1;
  std::unique_lock<std::mutex> lock(finish->mutex);
  // The window's tick, once a second, on this (the GUI) thread.
  while (!finish->changed.wait_for(lock, std::chrono::seconds(1), [&] { return finish->code != 0; })) {
    lock.unlock();
    UpdaterWindow_ProgressTimer_OnTick();
    ++ticks;
    lock.lock();
  }
  const long long ms = static_cast<long long>(MonotonicMilliseconds() - start);
  const int code = finish->code;
  lock.unlock();
  DownloadStop(*UpdateDownload);
  return code == kDownloadEventDone ? ms : -1;
}

long long CurlRun(const Text& url, const Text& file) {
  const std::uint64_t start = MonotonicMilliseconds();
  if (!RunProgram("curl -s -f -o " + file + " " + url, true)) return -1;
  const long long ms = static_cast<long long>(MonotonicMilliseconds() - start);
  return fs::file_size(NativePath(file)) == kFileSize ? ms : -1;
}

}  // namespace

int main() {
  web_test::TestServer server;
  std::string body(kFileSize, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 2654435761u) >> 13);
  server.On("/update.zip", web_test::Reply{200, {}, body});
  body.clear();
  const Text url = "http://127.0.0.1:" + std::to_string(server.port()) + "/update.zip";

  const fs::path folder = fs::temp_directory_path() / ("download_bench_" + std::to_string(getpid()));
  fs::create_directory(folder);
  const Text curlFile = PathFromNative((folder / "curl.bin").string());
  const Text ownFile = PathFromNative((folder / "zip file updated.zip").string());

  ui::headless::Install();
  RegisterAllWindowDefinitions();
  BindDownloadEventHandlers();
  InitializeUpdaterGlobals();
  ui::LoadWindow(UpdaterWindow::Self);

  long long bestCurl = -1, bestOwn = -1;
  for (int round = 0; round < kRounds; ++round) {
    const long long c = CurlRun(url, curlFile);
    const long long o = ComponentRun(url, ownFile);
    if (c < 0 || o < 0) {
      std::fprintf(stderr, "download_bench: a download failed (curl %lld, component %lld)\n", c, o);
      return 1;
    }
    if (bestCurl < 0 || c < bestCurl) bestCurl = c;
    if (bestOwn < 0 || o < bestOwn) bestOwn = o;
    fs::remove(NativePath(curlFile));
    fs::remove(NativePath(ownFile));
  }
  std::printf("100 MB over loopback, best of %d\n", kRounds);
  std::printf("curl command:       %lld ms\n", bestCurl);
  std::printf("download component: %lld ms (%d progress ticks in all rounds)\n", bestOwn, ticks);
  std::printf("ratio:              %.2f\n", static_cast<double>(bestOwn) / static_cast<double>(std::max(1LL, bestCurl)));

  ReleaseUpdaterGlobals();
  ui::headless::Uninstall();
  std::error_code ec;
  fs::remove_all(folder, ec);
  return 0;
}
