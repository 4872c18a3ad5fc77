// One full HTTP request (GET or POST with optional headers, cookies, proxy, user and password)
// run on a worker thread that the caller waits for, at most for the time-out. Caller and worker
// exchange their packets through one memory file.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/inet.h"
#include "runtime/text.h"

// The reply body; empty on failure and on time-out. The out-arguments are written only on
// success: the raw reply header block and the reply's cookies ("a=1; b=2"). A time-out of 0
// means 90 seconds. With pumpMessages the caller's window events run while it waits.
Bytes HttpRequest(const Text& url, const Text& method = "", const Text& formData = "",
                  const Text& cookies = "", Text* returnedCookies = nullptr, const Text& proxy = "",
                  int timeoutSeconds = 0, bool pumpMessages = false, const Text& extraHeaders = "",
                  const Text& user = "", const Text& password = "", Text* rawHeaders = nullptr,
                  bool storeCookies = false);

// The wait in milliseconds the time-out gives: seconds times 1000, its low 32 bits unsigned.
std::uint32_t HttpRequestWaitMilliseconds(int timeoutSeconds);

// What the caller hands the worker. Integers are 32-bit little-endian; a text is its byte
// count and its bytes.
struct HttpRequestPacket {
  Text url;
  Text method;
  Text formData;
  Text cookies;
  bool wantCookies = false;
  Text proxy;
  Text extraHeaders;
  Text user;
  Text password;
  bool wantHeaders = false;
  bool storeCookies = false;
};

// What the worker leaves for the caller: a provisional reply (success false, only the handles)
// as soon as the handles exist, the final one when the transfer is over.
struct HttpResultPacket {
  bool success = false;
  Text rawHeaders;
  Text cookies;
  Bytes body;
  InetHandle request = 0;
  InetHandle connection = 0;
  InetHandle internet = 0;
};

// The 20 pieces of the request packet (marker 1 first), written in one write.
std::vector<Bytes> HttpRequestPacketPieces(const HttpRequestPacket& packet);
// Nothing for a packet whose marker is not 1 or that is cut short.
std::optional<HttpRequestPacket> ParseHttpRequestPacket(const Bytes& bytes);
std::vector<Bytes> HttpResultPacketPieces(const HttpResultPacket& packet);
// Nothing for a packet that is cut short or has bytes beyond its end.
std::optional<HttpResultPacket> ParseHttpResultPacket(const Bytes& bytes);

// The worker thread's routine: runs HttpRequestWorker with the memory file's number.
void HttpRequestWorkerThread(int memoryFile);
// Carries out the request in the memory file and leaves the reply there. It takes the request
// out of the file as it reads it, so a file that is empty afterwards holds no reply.
void HttpRequestWorker(int memoryFile);

// A worker still running when the time-out passes is stopped by closing its handles, which
// ends its blocking calls at once; the caller waits this much longer for it to leave.
inline constexpr int kHttpWorkerLeaveMilliseconds = 2000;
