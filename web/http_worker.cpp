// The HTTP request worker: one request through the inet layer, its reply into the memory file.
#include <memory>

#include "runtime/inet.h"
#include "runtime/memory_file.h"
#include "web/http_request.h"
#include "web/http_worker_control.h"
#include "web/url_text.h"

namespace {

constexpr const char* kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr const char* kAcceptLine =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
constexpr std::size_t kReadPiece = 2048;
constexpr std::size_t kHeaderBlockBuffer = 2048;

// Empty, or nothing but ASCII spaces and full-width spaces (A1 A1).
bool IsBlank(const Text& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ' ') continue;
    if (c == 0xA1 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA1) {
      ++i;
      continue;
    }
    return false;
  }
  return true;
}

bool Contains(const Text& text, const Text& sought, bool ignoreCase) {
  return FindText(text, sought, 1, ignoreCase) != -1;
}

Text TrimSpaces(const Text& text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == Text::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Empties the memory file and writes the reply; false when the file is gone.
bool WriteReply(int file, const HttpResultPacket& reply) {
  if (!SeekToStart(file) || !DeleteBytesAt(file, FileLength(file))) return false;
  return WriteBytes(file, HttpResultPacketPieces(reply));
}

}  // namespace

void HttpRequestWorker(int memoryFile) {
  Bytes body;
  if (memoryFile == 0) return;
  std::shared_ptr<HttpWorkerControl> control = FindHttpWorkerControl(memoryFile);

  // The request is taken out of the file as it is read: a file left empty holds no reply.
  if (!SeekToStart(memoryFile)) return;
  std::optional<HttpRequestPacket> packet = ParseHttpRequestPacket(ReadBytes(memoryFile, FileLength(memoryFile)));
  SeekToStart(memoryFile);
  DeleteBytesAt(memoryFile, FileLength(memoryFile));
  if (!packet) return;
  const HttpRequestPacket& request = *packet;

  Text host = GetUrlHost(request.url);
  Text path = GetUrlPath(request.url);

  InetHandle internet = IsBlank(request.proxy)
                            ? InetOpen(kAgent, kInetAccessDirect, "", "", 0)
                            : InetOpen(kAgent, kInetAccessProxy, "http=" + request.proxy, "", 0);
  if (internet == 0) return;

  Text user = IsBlank(request.user) ? Text() : request.user;
  Text password = IsBlank(request.password) ? Text() : request.password;
  InetHandle connection = InetConnect(internet, host, GetUrlPort(request.url), user, password, kInetServiceHttp, 0);
  if (connection == 0) {
    InetCloseHandle(internet);
    return;
  }

  bool sendCookies = !IsBlank(request.cookies);
  std::uint32_t flags = kInetFlagReload;
  if (sendCookies && !request.storeCookies) flags |= kInetFlagNoCookies;  // only the given cookies go
  InetHandle handle = InetOpenRequest(connection, request.method, path, "HTTP/1.1", flags);
  if (handle == 0) {
    InetCloseHandle(connection);
    InetCloseHandle(internet);
    return;
  }

  Text headers = request.extraHeaders;
  if (!Contains(headers, "Accept: ", true)) headers += kAcceptLine;
  if (!Contains(headers, "Referer: ", true)) headers += "Referer: " + request.url + "\r\n";
  if (!Contains(headers, "Accept-Language: ", true)) headers += "Accept-Language: zh-cn\r\n";
  if (sendCookies) InetAddRequestHeaders(handle, "Cookie: " + request.cookies + "\r\n");

  // From here on the handles belong to the reply in the file: the front end closes them.
  if (!PublishHttpWorkerHandles(control.get(), handle, connection, internet)) {
    InetCloseHandle(handle);
    InetCloseHandle(connection);
    InetCloseHandle(internet);
    return;
  }
  HttpResultPacket provisional;
  provisional.request = handle;
  provisional.connection = connection;
  provisional.internet = internet;
  if (!WriteReply(memoryFile, provisional)) {
    if (control == nullptr) {
      InetCloseHandle(handle);
      InetCloseHandle(connection);
      InetCloseHandle(internet);
    }
    return;
  }

  Text method = ToUpper(request.method);
  if (method.empty() || method == "GET") {
    InetSendRequest(handle, headers, {});
  } else if (method == "POST") {
    if (!request.formData.empty()) {
      if (!Contains(headers, "Content-Type: ", true)) headers += "Content-Type: application/x-www-form-urlencoded\r\n";
      headers += "Content-Length: " + ToText(static_cast<long long>(request.formData.size())) + "\r\n";
    }
    InetSendRequest(handle, headers, ToByteSet(request.formData));
  } else {
    return;  // nothing is sent; the provisional reply stays
  }

  // The inet layer holds no more than kMaxReplyBytes of a body, so neither does this buffer.
  Bytes piece(kReadPiece);
  for (;;) {
    std::size_t read = 0;
    if (!InetReadFile(handle, piece.data(), piece.size(), &read) || read == 0) break;
    body.insert(body.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(read));
  }

  Text raw;
  if (request.wantHeaders || request.wantCookies || request.storeCookies) {
    if (!InetQueryRawHeaders(handle, kHeaderBlockBuffer, raw)) raw.clear();
  }

  Text cookieText;
  if (request.wantCookies && Contains(raw, "Set-Cookie:", false)) {
    for (const Text& line : SplitText(raw, "\r\n")) {
      if (!Contains(line, "Set-Cookie", false)) continue;
      if (GetTextBetweenEx(line, "=", ";").empty()) continue;
      if (!cookieText.empty()) cookieText += "; ";
      cookieText += TrimSpaces(GetTextBetweenEx(line, "Set-Cookie:", ";"));
    }
  }

  if (request.storeCookies && Contains(raw, "Set-Cookie:", false)) {
    Text address = "http://" + host;
    for (const Text& line : SplitText(raw, "\r\n")) {
      if (!Contains(line, "Set-Cookie", false)) continue;
      Text rest = TextMiddle(line, 13, static_cast<int>(line.size()));
      int equals = FindText(rest, "=");
      InetSetCookie(address, TextLeft(rest, equals - 1), TextRight(rest, static_cast<int>(rest.size()) - equals));
    }
  }

  if (!request.wantHeaders) raw.clear();

  HttpResultPacket final;
  final.success = true;
  final.rawHeaders = raw;
  final.cookies = cookieText;
  final.body = std::move(body);
  final.request = handle;
  final.connection = connection;
  final.internet = internet;
  if (!WriteReply(memoryFile, final) && control == nullptr) {
    InetCloseHandle(handle);
    InetCloseHandle(connection);
    InetCloseHandle(internet);
  }
}
