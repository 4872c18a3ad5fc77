// The HTTP request front end: the packets, the worker thread and the wait.
#include "web/http_request.h"

#include <map>
#include <set>

#include "runtime/memory_file.h"
#include "runtime/threads.h"
#include "ui/ui.h"
#include "web/http_worker_control.h"

namespace {

Bytes Number(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

Bytes TextBytes(const Text& text) { return Bytes(text.begin(), text.end()); }

// Reads the fields of a packet in order; any read past the end spoils the whole packet.
class PacketReader {
 public:
  explicit PacketReader(const Bytes& bytes) : bytes_(bytes) {}
  std::uint32_t Number() {
    if (bytes_.size() - position_ < 4) {
      failed_ = true;
      position_ = bytes_.size();
      return 0;
    }
    const std::uint8_t* p = bytes_.data() + position_;
    position_ += 4;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }
  Bytes Counted() {
    std::uint32_t n = Number();
    if (failed_ || bytes_.size() - position_ < n) {
      failed_ = true;
      position_ = bytes_.size();
      return {};
    }
    auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(position_);
    position_ += n;
    return Bytes(first, first + n);
  }
  Text CountedText() { return ToText(Counted()); }
  bool failed() const { return failed_; }
  bool atEnd() const { return position_ == bytes_.size(); }

 private:
  const Bytes& bytes_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

struct ControlTable {
  std::mutex mutex;
  std::map<int, std::shared_ptr<HttpWorkerControl>> controls;
};

ControlTable& Controls() {
  static ControlTable* const table = new ControlTable;
  return *table;
}

void MarkEnded(HttpWorkerControl& control) {
  std::lock_guard<std::mutex> lock(control.mutex);
  control.ended = true;
  control.changed.notify_all();
}

bool WaitEnded(HttpWorkerControl& control, std::chrono::steady_clock::time_point until) {
  std::unique_lock<std::mutex> lock(control.mutex);
  return control.changed.wait_until(lock, until, [&control] { return control.ended; });
}

}  // namespace

void RegisterHttpWorkerControl(int memoryFile, std::shared_ptr<HttpWorkerControl> control) {
  ControlTable& table = Controls();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.controls[memoryFile] = std::move(control);
}

void ForgetHttpWorkerControl(int memoryFile) {
  ControlTable& table = Controls();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.controls.erase(memoryFile);
}

std::shared_ptr<HttpWorkerControl> FindHttpWorkerControl(int memoryFile) {
  ControlTable& table = Controls();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.controls.find(memoryFile);
  return it == table.controls.end() ? nullptr : it->second;
}

bool PublishHttpWorkerHandles(HttpWorkerControl* control, InetHandle request, InetHandle connection,
                              InetHandle internet) {
  if (control == nullptr) return true;
  std::lock_guard<std::mutex> lock(control->mutex);
  if (control->stopRequested) return false;
  control->request = request;
  control->connection = connection;
  control->internet = internet;
  control->handlesPublished = true;
  return true;
}

std::vector<Bytes> HttpRequestPacketPieces(const HttpRequestPacket& p) {
  auto length = [](const Text& t) { return Number(static_cast<std::uint32_t>(t.size())); };
  return {Number(1),
          length(p.url), TextBytes(p.url),
          length(p.method), TextBytes(p.method),
          length(p.formData), TextBytes(p.formData),
          length(p.cookies), TextBytes(p.cookies),
          Number(p.wantCookies ? 1 : 0),
          length(p.proxy), TextBytes(p.proxy),
          length(p.extraHeaders), TextBytes(p.extraHeaders),
          length(p.user), TextBytes(p.user),
          length(p.password), TextBytes(p.password),
          Number(p.wantHeaders ? 1 : 0),
          Number(p.storeCookies ? 1 : 0)};
}

std::optional<HttpRequestPacket> ParseHttpRequestPacket(const Bytes& bytes) {
  PacketReader in(bytes);
  if (in.Number() != 1) return std::nullopt;
  HttpRequestPacket p;
  p.url = in.CountedText();
  p.method = in.CountedText();
  p.formData = in.CountedText();
  p.cookies = in.CountedText();
  p.wantCookies = in.Number() != 0;
  p.proxy = in.CountedText();
  p.extraHeaders = in.CountedText();
  p.user = in.CountedText();
  p.password = in.CountedText();
  p.wantHeaders = in.Number() != 0;
  p.storeCookies = in.Number() != 0;
  if (in.failed()) return std::nullopt;
  return p;
}

std::vector<Bytes> HttpResultPacketPieces(const HttpResultPacket& p) {
  return {Number(p.success ? 1 : 0),
          Number(static_cast<std::uint32_t>(p.rawHeaders.size())), TextBytes(p.rawHeaders),
          Number(static_cast<std::uint32_t>(p.cookies.size())), TextBytes(p.cookies),
          Number(static_cast<std::uint32_t>(p.body.size())), p.body,
          Number(p.request), Number(p.connection), Number(p.internet)};
}

std::optional<HttpResultPacket> ParseHttpResultPacket(const Bytes& bytes) {
  PacketReader in(bytes);
  HttpResultPacket p;
  p.success = in.Number() != 0;
  p.rawHeaders = in.CountedText();
  p.cookies = in.CountedText();
  p.body = in.Counted();
  p.request = in.Number();
  p.connection = in.Number();
  p.internet = in.Number();
  if (in.failed() || !in.atEnd()) return std::nullopt;
  return p;
}

std::uint32_t HttpRequestWaitMilliseconds(int timeoutSeconds) {
  long long seconds = timeoutSeconds == 0 ? 90 : timeoutSeconds;
  return static_cast<std::uint32_t>(static_cast<unsigned long long>(seconds * 1000));
}

void HttpRequestWorkerThread(int memoryFile) { HttpRequestWorker(memoryFile); }

Bytes HttpRequest(const Text& url, const Text& method, const Text& formData, const Text& cookies,
                  Text* returnedCookies, const Text& proxy, int timeoutSeconds, bool pumpMessages,
                  const Text& extraHeaders, const Text& user, const Text& password, Text* rawHeaders,
                  bool storeCookies) {
  int file = OpenMemoryFile();
  if (file == 0) return {};
  HttpRequestPacket request{url,   method,       formData, cookies,  returnedCookies != nullptr,
                            proxy, extraHeaders, user,     password, rawHeaders != nullptr,
                            storeCookies};
  WriteBytes(file, HttpRequestPacketPieces(request));

  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(HttpRequestWaitMilliseconds(timeoutSeconds));

  auto control = std::make_shared<HttpWorkerControl>();
  RegisterHttpWorkerControl(file, control);
  bool started = StartThread(
      [control](int memoryFile) {
        HttpRequestWorkerThread(memoryFile);
        MarkEnded(*control);
      },
      file);
  if (!started) {
    ForgetHttpWorkerControl(file);
    CloseFile(file);
    return {};
  }

  // The time-out counts from the start of the call in both modes, so the caller gets its
  // answer in time however many window events arrive meanwhile.
  bool ended = false;
  if (pumpMessages) {
    for (;;) {
      Clock::time_point slice = std::min(deadline, Clock::now() + std::chrono::milliseconds(10));
      ended = WaitEnded(*control, slice);
      ui::ProcessEvents();
      if (ended || Clock::now() >= deadline) break;
    }
  } else {
    ended = WaitEnded(*control, deadline);
  }

  // A worker still running gives up its handles, which ends its blocking call; it is never
  // killed. The handles closed here are not closed again below.
  std::set<InetHandle> closedAlready;
  if (!ended) {
    InetHandle handles[3] = {0, 0, 0};
    {
      std::lock_guard<std::mutex> lock(control->mutex);
      control->stopRequested = true;
      if (control->handlesPublished) {
        handles[0] = control->request;
        handles[1] = control->connection;
        handles[2] = control->internet;
      }
    }
    for (InetHandle handle : handles) {
      if (handle != 0 && InetCloseHandle(handle)) closedAlready.insert(handle);
    }
    WaitEnded(*control, Clock::now() + std::chrono::milliseconds(kHttpWorkerLeaveMilliseconds));
  }
  ForgetHttpWorkerControl(file);

  SeekToStart(file);
  Bytes content = ReadBytes(file, FileLength(file));
  CloseFile(file);  // a worker that has not left yet finds its file gone and writes nothing

  if (content.empty()) return {};
  std::optional<HttpResultPacket> reply = ParseHttpResultPacket(content);
  if (!reply) return {};
  for (InetHandle handle : {reply->request, reply->connection, reply->internet}) {
    if (handle != 0 && closedAlready.count(handle) == 0) InetCloseHandle(handle);
  }
  if (!ended || !reply->success) return {};
  if (rawHeaders != nullptr) *rawHeaders = reply->rawHeaders;
  if (returnedCookies != nullptr) *returnedCookies = reply->cookies;
  return std::move(reply->body);
}
