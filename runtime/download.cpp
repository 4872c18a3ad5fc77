// The download component over libcurl: one easy handle on a multi handle per task, so a stop
// wakes the transfer at once instead of waiting for a network time-out.
#include "runtime/download.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "runtime/file_names.h"
#include "runtime/files.h"
#include "runtime/inet.h"
#include "runtime/threads.h"

struct DownloadTask {
  TaskParam param;
  int number = 0;
  std::atomic<bool> stop{false};
  std::atomic<bool> transferring{true};  // the connection may still be open
  std::atomic<bool> running{true};       // the task's thread has not ended
  std::atomic<std::int64_t> done{0};
  std::atomic<std::int64_t> counter{0};
  std::mutex wakeMutex;
  CURLM* multi = nullptr;  // while the transfer runs, for the stop's wake-up
};

namespace {

constexpr const char* kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr int kStopStepMilliseconds = 20;

std::atomic<int> taskNumbers{0};
thread_local DownloadTask* currentTask = nullptr;

void InitCurlOnce() {
  static const bool ready = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)ready;
}

Text LowerAscii(Text text) { return ToLower(text); }

// The scheme in lower case when the address is one the component speaks and has a host.
bool CheckSource(const Text& source, Text& scheme) {
  CURLU* url = curl_url();
  if (url == nullptr) return false;
  bool ok = false;
  // The parser would take "http:///x" for the host x; an address names its host right after "//".
  const std::size_t slashes = source.find("://");
  const bool hostNamed = slashes != Text::npos && slashes + 3 < source.size() && source[slashes + 3] != '/';
  if (hostNamed && curl_url_set(url, CURLUPART_URL, source.c_str(), 0) == CURLUE_OK) {
    char* s = nullptr;
    char* host = nullptr;
    if (curl_url_get(url, CURLUPART_SCHEME, &s, 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host != nullptr && *host != '\0') {
      scheme = LowerAscii(s);
      ok = scheme == "http" || scheme == "https" || scheme == "ftp";
    }
    curl_free(s);
    curl_free(host);
  }
  curl_url_cleanup(url);
  return ok;
}

// Member 17: 1 binary, 3 binary for a listed extension, anything else ASCII.
bool FtpBinary(const TaskParam& p) {
  if (p.FtpTransferType == 1) return true;
  if (p.FtpTransferType != 3) return false;
  Text path = p.Source;
  std::size_t end = path.find_first_of("?#");
  if (end != Text::npos) path.resize(end);
  std::size_t slash = path.rfind('/');
  Text name = slash == Text::npos ? path : path.substr(slash + 1);
  if (name.find('.') == Text::npos) return false;
  Text extension = "." + ToLower(GetFileExtension(name));
  for (const Text& listed : SplitText(p.BinaryExtensions, "|")) {
    if (ToLower(listed) == extension) return true;
  }
  return false;
}

Text DefaultReferer(const Text& source) {
  std::size_t slash = source.rfind('/');
  return slash == Text::npos ? source : source.substr(0, slash + 1);
}

long Seconds(int milliseconds, int fallback) {
  if (milliseconds <= 0) milliseconds = fallback;
  return std::max(1L, static_cast<long>((milliseconds + 999) / 1000));
}

// What one transfer receives.
struct Receiver {
  DownloadTask* task = nullptr;
  CURL* easy = nullptr;
  Bytes body;
  std::int64_t announced = -1;  // the size the reply announced, -1 while unknown
  bool sizeKnown = false;
  bool sizeBinds = true;        // false for an FTP text transfer: line ends change its length
  bool sizePending = false;     // to be raised outside curl's callback
  bool overLimit = false;
};

void ReadAnnouncedSize(Receiver& r) {
  if (r.sizeKnown) return;
  curl_off_t length = -1;
  if (curl_easy_getinfo(r.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0) {
    r.announced = static_cast<std::int64_t>(length);
    r.sizeKnown = true;
    r.sizePending = true;
    if (r.announced <= kDownloadLimit) r.body.reserve(static_cast<std::size_t>(r.announced));
  }
}

std::size_t ReceiveBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& r = *static_cast<Receiver*>(user);
  const std::size_t length = size * count;
  if (r.task->stop.load()) return 0;
  ReadAnnouncedSize(r);
  const std::int64_t total = static_cast<std::int64_t>(r.body.size() + length);
  // More than announced, or more than any update, is no file we want.
  if (total > kDownloadLimit || (r.sizeKnown && r.sizeBinds && total > r.announced)) {
    r.overLimit = true;
    return 0;
  }
  r.body.insert(r.body.end(), data, data + length);
  r.task->done.fetch_add(static_cast<std::int64_t>(length));
  r.task->counter.fetch_add(static_cast<std::int64_t>(length));
  return length;
}

// A new reply (a redirect's target) starts its body afresh.
std::size_t ReceiveHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto& r = *static_cast<Receiver*>(user);
  const std::size_t length = size * count;
  if (length >= 5 && std::equal(data, data + 5, "HTTP/")) {
    r.task->done.fetch_sub(static_cast<std::int64_t>(r.body.size()));
    r.body.clear();
  }
  return length;
}

void RaiseEvent(DownloadTask& t, int code, int a, int b, int c) {
  if (t.param.EventRoutine) t.param.EventRoutine(code, a, b, c, t.number);
}

void RaisePendingSize(DownloadTask& t, Receiver& r) {
  if (!r.sizePending || t.stop.load()) return;
  r.sizePending = false;
  RaiseEvent(t, kDownloadEventSize, 0, static_cast<int>(r.announced), 0);
}

void SetOptions(CURL* easy, const TaskParam& p, const Text& scheme, Receiver& r, Text& referer) {
  curl_easy_setopt(easy, CURLOPT_URL, p.Source.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
  curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, ReceiveBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &r);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, ReceiveHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &r);
  // Large reads: a fast link is then a few hundred callbacks a second, not tens of thousands.
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 512L * 1024L);
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kDownloadLimit));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(p.ConnectTimeout > 0 ? p.ConnectTimeout : 20000));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, Seconds(p.IdleTimeout, 20000));
  if (scheme == "ftp") {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_USERNAME, p.FtpUser.empty() ? kFtpAnonymousUser : p.FtpUser.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, p.FtpPassword.empty() ? kFtpAnonymousPassword : p.FtpPassword.c_str());
    const bool binary = FtpBinary(p);
    curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, binary ? 0L : 1L);
    r.sizeBinds = binary;
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(p.ReplyTimeout, 20000));
  } else {
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kAgent);
    curl_easy_setopt(easy, CURLOPT_PROXY, p.Proxy.c_str());  // "" also ignores the environment
    referer = p.Referer.empty() ? DefaultReferer(p.Source) : p.Referer;
    curl_easy_setopt(easy, CURLOPT_REFERER, referer.c_str());
  }
}

// True when the whole file arrived and was written.
bool Transfer(DownloadTask& t, const Text& scheme) {
  CURL* easy = curl_easy_init();
  CURLM* multi = curl_multi_init();
  bool ok = false;
  if (easy != nullptr && multi != nullptr) {
    Receiver r;
    r.task = &t;
    r.easy = easy;
    Text referer;
    SetOptions(easy, t.param, scheme, r, referer);
    curl_multi_add_handle(multi, easy);
    {
      std::lock_guard<std::mutex> lock(t.wakeMutex);
      t.multi = multi;
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    int active = 1;
    while (!t.stop.load()) {
      if (curl_multi_perform(multi, &active) != CURLM_OK) break;
      RaisePendingSize(t, r);
      int queued = 0;
      if (CURLMsg* message = curl_multi_info_read(multi, &queued); message != nullptr && message->msg == CURLMSG_DONE) {
        result = message->data.result;
        break;
      }
      if (active == 0) break;
      curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    {
      std::lock_guard<std::mutex> lock(t.wakeMutex);
      t.multi = nullptr;
    }
    curl_multi_remove_handle(multi, easy);
    t.transferring.store(false);
    if (result == CURLE_OK && !r.overLimit && !t.stop.load()) {
      ReadAnnouncedSize(r);  // an empty file calls no body callback
      RaisePendingSize(t, r);
      ok = (!r.sizeKnown || !r.sizeBinds || static_cast<std::int64_t>(r.body.size()) == r.announced) &&
           WriteFileBytes(t.param.LocalFile, r.body);
    }
  }
  t.transferring.store(false);
  if (multi != nullptr) curl_multi_cleanup(multi);
  if (easy != nullptr) curl_easy_cleanup(easy);
  return ok;
}

void RunTask(const std::shared_ptr<DownloadTask>& task, const Text& scheme) {
  DownloadTask& t = *task;
  currentTask = &t;
  // The thread also ends by an exception from the event routine (the program ending there).
  struct Ended {
    DownloadTask& t;
    ~Ended() {
      t.transferring.store(false);
      t.running.store(false);
      currentTask = nullptr;
    }
  } ended{t};
  const bool ok = Transfer(t, scheme);
  if (!t.stop.load()) RaiseEvent(t, ok ? kDownloadEventDone : kDownloadEventFailed, 0, 0, 0);
  t.running.store(false);
  RaiseEvent(t, kDownloadEventThreadEnd, 0, 0, 0);
}

}  // namespace

Download::Download() = default;

Download::~Download() { DownloadStop(*this); }

bool DownloadStart(Download& download, const TaskParam& param) {
  InitCurlOnce();
  Text scheme;
  if (!CheckSource(param.Source, scheme)) return false;
  std::lock_guard<std::mutex> lock(download.mutex);
  if (download.task) return false;
  auto task = std::make_shared<DownloadTask>();
  task->param = param;
  task->param.Mode |= 0x2;  // the download direction
  task->number = ++taskNumbers;
  if (!StartThread([task, scheme](int) { RunTask(task, scheme); })) return false;
  download.task = task;
  return true;
}

std::int64_t DownloadBytesDone(Download& download) {
  std::lock_guard<std::mutex> lock(download.mutex);
  if (!download.task || !download.task->running.load()) return 0;
  return download.task->done.load();
}

std::int64_t DownloadTakeCounter(Download& download) {
  std::lock_guard<std::mutex> lock(download.mutex);
  if (!download.task) return 0;
  return download.task->counter.exchange(0);
}

void DownloadStop(Download& download) {
  std::shared_ptr<DownloadTask> task;
  {
    std::lock_guard<std::mutex> lock(download.mutex);
    task = std::move(download.task);
    download.task.reset();
  }
  if (!task) return;
  task->stop.store(true);
  {
    std::lock_guard<std::mutex> lock(task->wakeMutex);
    if (task->multi != nullptr) curl_multi_wakeup(task->multi);
  }
  if (currentTask == task.get()) return;  // its own routine: the transfer is over already
  const int limit = std::max(0, task->param.StopWait);
  for (int waited = 0; task->transferring.load() && waited < limit; waited += kStopStepMilliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kStopStepMilliseconds));
  }
}
