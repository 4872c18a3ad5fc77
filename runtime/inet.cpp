// The HTTP client over libcurl. A request's transfer runs in its own multi handle, so closing
// the request (from any thread) wakes the transfer and ends it at once. Cookies live in one
// curl share that every transfer using the store attaches to.
#include "runtime/inet.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <utility>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>

namespace {

constexpr const char* kHttpGetAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// --- move-only owners of the curl handles ---

class CurlEasy {
 public:
  CurlEasy() : handle_(curl_easy_init()) {}
  ~CurlEasy() {
    if (handle_ != nullptr) curl_easy_cleanup(handle_);
  }
  CurlEasy(CurlEasy&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  CurlEasy& operator=(CurlEasy&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  CURL* get() const { return handle_; }

 private:
  CURL* handle_;
};

class CurlMulti {
 public:
  CurlMulti() : handle_(curl_multi_init()) {}
  ~CurlMulti() {
    if (handle_ != nullptr) curl_multi_cleanup(handle_);
  }
  CurlMulti(CurlMulti&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  CurlMulti& operator=(CurlMulti&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  CURLM* get() const { return handle_; }

 private:
  CURLM* handle_;
};

class CurlList {
 public:
  CurlList() = default;
  ~CurlList() { curl_slist_free_all(list_); }
  CurlList(CurlList&& other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
  CurlList& operator=(CurlList&& other) noexcept {
    std::swap(list_, other.list_);
    return *this;
  }
  bool Append(const std::string& item) {
    curl_slist* grown = curl_slist_append(list_, item.c_str());
    if (grown == nullptr) return false;
    list_ = grown;
    return true;
  }
  curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

// --- process-wide state; never destroyed, as detached workers may use it while the process ends ---

struct Globals {
  CURLSH* share = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> shareLocks;
  std::mutex settingsMutex;
  std::vector<std::string> connectTo;
  InetTimeLimits limits;
};

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<Globals*>(user)->shareLocks[static_cast<std::size_t>(data) % CURL_LOCK_DATA_LAST].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void* user) {
  static_cast<Globals*>(user)->shareLocks[static_cast<std::size_t>(data) % CURL_LOCK_DATA_LAST].unlock();
}

Globals& TheGlobals() {
  static Globals* const globals = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    auto* g = new Globals;
    g->share = curl_share_init();
    if (g->share != nullptr) {
      curl_share_setopt(g->share, CURLSHOPT_LOCKFUNC, LockShare);
      curl_share_setopt(g->share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
      curl_share_setopt(g->share, CURLSHOPT_USERDATA, g);
      curl_share_setopt(g->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    return g;
  }();
  return *globals;
}

struct Settings {
  std::vector<std::string> connectTo;
  InetTimeLimits limits;
};

Settings CurrentSettings() {
  Globals& g = TheGlobals();
  std::lock_guard<std::mutex> lock(g.settingsMutex);
  return {g.connectTo, g.limits};
}

// --- one transfer ---

// What arrives for one transfer. Bodies and header blocks of earlier replies (redirects,
// authentication challenges, interim replies) are dropped when the next reply begins.
struct Reply {
  Bytes body;
  std::string headers;
  bool overLimit = false;
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

std::size_t ReceiveHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* reply = static_cast<Reply*>(user);
  std::size_t length = size * count;
  std::string_view line(data, length);
  if (StartsWithNoCase(line, "HTTP/")) {
    reply->headers.clear();
    reply->body.clear();
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (reply->headers.size() + line.size() + 2 > kMaxReplyHeaderBytes) {
    reply->overLimit = true;
    return 0;
  }
  reply->headers.append(line);
  reply->headers.append("\r\n");
  return length;
}

std::size_t ReceiveBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* reply = static_cast<Reply*>(user);
  std::size_t length = size * count;
  if (reply->body.size() + length > kMaxReplyBytes) {
    reply->overLimit = true;
    return 0;
  }
  reply->body.insert(reply->body.end(), data, data + length);
  return length;
}

// The settings every transfer shares: callbacks, redirects, limits, the connect-to rules.
void SetCommonOptions(CURL* easy, Reply& reply, const Settings& settings, CurlList& connectTo) {
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // A closed request does not wait for a name lookup still under way; that thread ends alone.
  curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, ReceiveHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &reply);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, ReceiveBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reply);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(std::max(1, settings.limits.connectSeconds)));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::max(1, settings.limits.idleSeconds)));
  for (const std::string& rule : settings.connectTo) connectTo.Append(rule);
  if (connectTo.get() != nullptr) curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connectTo.get());
}

void UseCookieStore(CURL* easy) {
  Globals& g = TheGlobals();
  if (g.share == nullptr) return;
  curl_easy_setopt(easy, CURLOPT_SHARE, g.share);
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // the engine on, no file
}

// --- handles ---

enum class Kind { Internet, Connection, Request };

struct Object {
  Kind kind = Kind::Internet;
  std::shared_ptr<Object> parent;
  std::atomic<bool> closed{false};

  // internet
  std::string agent;
  std::string proxy;  // curl's form; "" = direct
  // connection
  std::string host;
  int port = 80;
  std::string user, password;
  // request
  std::string method, path;
  long httpVersion = CURL_HTTP_VERSION_1_1;
  std::uint32_t flags = 0;
  std::string addedHeaders;
  CurlMulti multi;
  std::atomic<bool> sending{false};
  bool replied = false;
  Reply reply;
  std::size_t readPosition = 0;
};
using ObjectPtr = std::shared_ptr<Object>;

struct HandleTable {
  std::mutex mutex;
  std::map<InetHandle, ObjectPtr> objects;
  InetHandle last = 0;
};

HandleTable& Handles() {
  static HandleTable* const table = new HandleTable;
  return *table;
}

InetHandle AddObject(ObjectPtr object) {
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  do {
    ++table.last;
  } while (table.last == 0 || table.objects.count(table.last) != 0);
  table.objects.emplace(table.last, std::move(object));
  return table.last;
}

ObjectPtr FindObject(InetHandle handle, Kind kind) {
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.objects.find(handle);
  if (it == table.objects.end() || it->second->kind != kind || it->second->closed) return nullptr;
  return it->second;
}

bool Closed(const Object& object) {
  for (const Object* o = &object; o != nullptr; o = o->parent.get()) {
    if (o->closed) return true;
  }
  return false;
}

bool Under(const Object& object, const Object* ancestor) {
  for (const Object* o = &object; o != nullptr; o = o->parent.get()) {
    if (o == ancestor) return true;
  }
  return false;
}

// The proxy for http from a list of "scheme=address" and bare "address" items.
std::string HttpProxyFrom(const Text& list) {
  std::string chosen;
  std::size_t i = 0;
  while (i < list.size()) {
    std::size_t end = list.find_first_of(" ;", i);
    if (end == std::string::npos) end = list.size();
    std::string item = list.substr(i, end - i);
    i = end + 1;
    if (item.empty()) continue;
    std::size_t equals = item.find('=');
    if (equals == std::string::npos) {
      if (chosen.empty()) chosen = item;
    } else if (StartsWithNoCase(item, "http=")) {
      chosen = item.substr(equals + 1);
    }
  }
  if (chosen.empty()) return chosen;
  if (chosen.find("://") == std::string::npos) chosen = "http://" + chosen;
  return chosen;
}

bool ValidHostName(const std::string& host) {
  if (host.empty() || host.size() > 253) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
  });
}

// The path as it goes on the request line: bytes a request line cannot carry are escaped.
std::string RequestPath(const std::string& path) {
  static const char* const hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (out.empty() || out[0] != '/') out.insert(out.begin(), '/');
  return out;
}

// Header text split into its lines (CR LF or LF), empty lines dropped.
std::vector<std::string> HeaderLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = text.find('\n', i);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(i, end - i);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    i = end + 1;
  }
  return lines;
}

bool HasHeader(const std::vector<std::string>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(),
                     [name](const std::string& line) { return StartsWithNoCase(line, name); });
}

// Runs the transfer in the request's multi handle until it ends or the request is closed.
CURLcode RunTransfer(Object& request, CURL* easy) {
  CURLM* multi = request.multi.get();
  if (multi == nullptr || curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode result = CURLE_OK;
  for (;;) {
    if (Closed(request)) {
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    bool done = false;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg == CURLMSG_DONE) {
        result = message->data.result;
        done = true;
      }
    }
    if (done || running == 0) break;
    curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  }
  curl_multi_remove_handle(multi, easy);
  return result;
}

}  // namespace

InetTimeLimits GetInetTimeLimits() { return CurrentSettings().limits; }

void SetInetTimeLimits(const InetTimeLimits& limits) {
  Globals& g = TheGlobals();
  std::lock_guard<std::mutex> lock(g.settingsMutex);
  g.limits = limits;
}

void SetInetConnectTo(std::vector<std::string> rules) {
  Globals& g = TheGlobals();
  std::lock_guard<std::mutex> lock(g.settingsMutex);
  g.connectTo = std::move(rules);
}

InetHandle InetOpen(const Text& agent, int accessType, const Text& proxyList, const Text& bypass,
                    std::uint32_t flags) {
  TheGlobals();
  auto object = std::make_shared<Object>();
  object->kind = Kind::Internet;
  object->agent = agent;
  if (accessType == kInetAccessProxy) {
    object->proxy = HttpProxyFrom(proxyList);
    if (object->proxy.empty()) return 0;
  } else if (accessType != kInetAccessDirect) {
    return 0;
  }
  return AddObject(std::move(object));
}

InetHandle InetConnect(InetHandle internet, const Text& host, int port, const Text& user,
                       const Text& password, int service, std::uint32_t flags) {
  ObjectPtr parent = FindObject(internet, Kind::Internet);
  if (!parent || service != kInetServiceHttp || port < 0 || port > 65535) return 0;
  auto object = std::make_shared<Object>();
  object->kind = Kind::Connection;
  object->parent = std::move(parent);
  object->host = host;
  object->port = port == 0 ? 80 : port;
  object->user = user;
  object->password = password;
  return AddObject(std::move(object));
}

InetHandle InetOpenRequest(InetHandle connection, const Text& method, const Text& path,
                           const Text& version, std::uint32_t flags) {
  ObjectPtr parent = FindObject(connection, Kind::Connection);
  if (!parent) return 0;
  auto object = std::make_shared<Object>();
  object->kind = Kind::Request;
  object->parent = std::move(parent);
  object->method = method.empty() ? Text("GET") : method;
  object->path = path;
  if (version == "HTTP/1.0") {
    object->httpVersion = CURL_HTTP_VERSION_1_0;
  } else if (version.empty() || version == "HTTP/1.1") {
    object->httpVersion = CURL_HTTP_VERSION_1_1;
  } else {
    return 0;
  }
  object->flags = flags;
  if (object->multi.get() == nullptr) return 0;
  return AddObject(std::move(object));
}

bool InetAddRequestHeaders(InetHandle request, const Text& headers) {
  ObjectPtr object = FindObject(request, Kind::Request);
  if (!object || object->sending) return false;
  object->addedHeaders += headers;
  if (!headers.empty() && headers.back() != '\n') object->addedHeaders += "\r\n";
  return true;
}

bool InetSendRequest(InetHandle request, const Text& headers, const Bytes& body) {
  ObjectPtr object = FindObject(request, Kind::Request);
  if (!object || object->sending.exchange(true)) return false;
  Object& r = *object;
  const Object& connection = *r.parent;
  const Object& internet = *connection.parent;
  r.replied = false;
  r.reply = Reply{};
  r.readPosition = 0;

  CurlEasy easy;
  if (easy.get() == nullptr || !ValidHostName(connection.host)) {
    r.sending = false;
    return false;
  }
  CURL* h = easy.get();
  Settings settings = CurrentSettings();
  CurlList connectTo;
  SetCommonOptions(h, r.reply, settings, connectTo);

  std::string url = "http://" + connection.host + ":" + std::to_string(connection.port) + RequestPath(r.path);
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, internet.agent.c_str());
  curl_easy_setopt(h, CURLOPT_PROXY, internet.proxy.c_str());  // "" also ignores the environment
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, r.httpVersion);
  if (!connection.user.empty() || !connection.password.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, connection.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, connection.password.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
  }
  if ((r.flags & kInetFlagNoCookies) == 0) UseCookieStore(h);

  // Only the lines given are sent: curl's own Accept, Content-Type and Expect lines are
  // suppressed unless given. A POST always carries its length, also 0, as servers require it.
  std::vector<std::string> lines = HeaderLines(r.addedHeaders + headers);
  CurlList headerList;
  for (const std::string& line : lines) headerList.Append(line);
  if (!HasHeader(lines, "Accept:")) headerList.Append("Accept:");
  if (!HasHeader(lines, "Content-Type:")) headerList.Append("Content-Type:");
  if (!HasHeader(lines, "Expect:")) headerList.Append("Expect:");
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());

  // GET and POST as such change on redirects as browsers do; other spellings go as written.
  bool post = StartsWithNoCase(r.method, "POST") && r.method.size() == 4;
  if (post || !body.empty()) {
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.empty() ? "" : reinterpret_cast<const char*>(body.data()));
  } else {
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  }
  if (r.method != "GET" && r.method != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, r.method.c_str());

  CURLcode result = RunTransfer(r, h);
  bool whole = result == CURLE_OK && !r.reply.overLimit && !Closed(r);
  if (!whole) r.reply = Reply{};
  r.replied = whole;
  r.sending = false;
  return whole;
}

bool InetReadFile(InetHandle request, std::uint8_t* buffer, std::size_t size, std::size_t* read) {
  if (read != nullptr) *read = 0;
  ObjectPtr object = FindObject(request, Kind::Request);
  if (!object || object->sending || !object->replied || read == nullptr) return false;
  const Bytes& body = object->reply.body;
  std::size_t n = std::min(size, body.size() - std::min(object->readPosition, body.size()));
  if (n > 0) std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(object->readPosition), n, buffer);
  object->readPosition += n;
  *read = n;
  return true;
}

bool InetQueryRawHeaders(InetHandle request, std::size_t bufferSize, Text& headers) {
  ObjectPtr object = FindObject(request, Kind::Request);
  if (!object || object->sending || !object->replied) return false;
  const std::string& block = object->reply.headers;
  if (block.empty() || block.size() + 1 > bufferSize) return false;
  // The block is a text: it ends at a NUL byte that a server put into it.
  headers = block.substr(0, block.find('\0'));
  return true;
}

bool InetSetCookie(const Text& url, const Text& name, const Text& data) {
  if (name.empty() || name.find_first_of("\t\r\n=;") != std::string::npos ||
      data.find_first_of("\t\r\n") != std::string::npos) {
    return false;
  }
  Globals& g = TheGlobals();
  if (g.share == nullptr) return false;
  CURLU* parsed = curl_url();
  if (parsed == nullptr) return false;
  char* hostPart = nullptr;
  std::string host;
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_HOST, &hostPart, 0) == CURLUE_OK) {
    host = hostPart;
  }
  curl_free(hostPart);
  curl_url_cleanup(parsed);
  if (!ValidHostName(host)) return false;

  // The value up to the first ";", then the attributes the store keeps: path and expiry.
  auto trim = [](std::string s) {
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
  };
  std::vector<std::string> parts;
  std::size_t i = 0;
  do {
    std::size_t end = data.find(';', i);
    if (end == std::string::npos) end = data.size();
    parts.push_back(trim(data.substr(i, end - i)));
    i = end + 1;
  } while (i <= data.size());
  std::string value = parts.empty() ? std::string() : parts[0];
  std::string path = "/";
  long long expires = 0;  // a session cookie
  bool secure = false;
  for (std::size_t k = 1; k < parts.size(); ++k) {
    const std::string& attribute = parts[k];
    std::size_t equals = attribute.find('=');
    std::string attributeValue = equals == std::string::npos ? std::string() : trim(attribute.substr(equals + 1));
    if (StartsWithNoCase(attribute, "path=") && !attributeValue.empty() && attributeValue[0] == '/') {
      path = attributeValue;
    } else if (StartsWithNoCase(attribute, "expires=")) {
      time_t when = curl_getdate(attributeValue.c_str(), nullptr);
      if (when != -1) expires = std::max<long long>(1, when);
    } else if (StartsWithNoCase(attribute, "max-age=")) {
      long long seconds = std::atoll(attributeValue.c_str());
      expires = seconds <= 0 ? 1 : static_cast<long long>(std::time(nullptr)) + seconds;
    } else if (StartsWithNoCase(attribute, "secure")) {
      secure = true;
    }
  }
  if (path.find(' ') != std::string::npos) path = "/";
  // The store's own line form: this host only, no subdomains.
  std::string line = host + "\tFALSE\t" + path + "\t" + (secure ? "TRUE" : "FALSE") + "\t" +
                     std::to_string(expires) + "\t" + name + "\t" + value;
  CurlEasy easy;
  if (easy.get() == nullptr) return false;
  curl_easy_setopt(easy.get(), CURLOPT_SHARE, g.share);
  return curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, line.c_str()) == CURLE_OK;
}

bool InetCloseHandle(InetHandle handle) {
  std::vector<ObjectPtr> closing;
  {
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(handle);
    if (it == table.objects.end()) return false;
    const Object* target = it->second.get();
    for (auto at = table.objects.begin(); at != table.objects.end();) {
      if (Under(*at->second, target)) {
        closing.push_back(at->second);
        at = table.objects.erase(at);
      } else {
        ++at;
      }
    }
  }
  // The objects stay alive while a call on them still runs; that call sees the flag and ends.
  for (const ObjectPtr& object : closing) {
    object->closed = true;
    if (object->kind == Kind::Request && object->multi.get() != nullptr) curl_multi_wakeup(object->multi.get());
  }
  return true;
}

int InetOpenHandleCount() {
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  return static_cast<int>(table.objects.size());
}

Bytes HttpGet(const Text& url) {
  if (url.empty()) return {};
  TheGlobals();
  CurlEasy easy;
  if (easy.get() == nullptr) return {};
  CURL* h = easy.get();
  Reply reply;
  Settings settings = CurrentSettings();
  CurlList connectTo;
  SetCommonOptions(h, reply, settings, connectTo);
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, kHttpGetAgent);
  curl_easy_setopt(h, CURLOPT_PROXY, "");
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(h, CURLOPT_TIMEOUT, static_cast<long>(std::max(1, settings.limits.httpGetSeconds)));
  CurlList headerList;
  headerList.Append("Accept: */*");
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());
  UseCookieStore(h);
  CURLcode result = curl_easy_perform(h);
  if (result != CURLE_OK || reply.overLimit) return {};
  return std::move(reply.body);
}

void InetClearCookies() {
  Globals& g = TheGlobals();
  if (g.share == nullptr) return;
  CurlEasy easy;
  if (easy.get() == nullptr) return;
  curl_easy_setopt(easy.get(), CURLOPT_SHARE, g.share);
  curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, "ALL");
}
