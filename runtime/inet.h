// The handle-based HTTP client that the HTTP request worker calls, the plain HttpGet, and one
// process-wide cookie store both of them read and write. Handles are numbers (0 = none): an
// internet handle (agent, proxy), a connection under it (host, port, user, password) and
// requests under that. Closing a handle makes a blocking call on it (or under it) return.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/text.h"

using InetHandle = std::uint32_t;

inline constexpr int kInetAccessDirect = 1;
inline constexpr int kInetAccessProxy = 3;
inline constexpr int kInetServiceHttp = 3;
inline constexpr std::uint32_t kInetFlagReload = 0x80000000u;     // there is no cache to bypass
inline constexpr std::uint32_t kInetFlagNoCookies = 0x00080000u;  // the store is neither read nor written

// Replies of both roads are share pages and small shared text files, far below a megabyte; a
// body beyond this counts as unreadable (the transfer is abandoned), so no server can make the
// program hold more.
inline constexpr std::size_t kMaxReplyBytes = 8 * 1024 * 1024;
// Header blocks past this are no reply of a web server that the programs talk to.
inline constexpr std::size_t kMaxReplyHeaderBytes = 64 * 1024;
// Redirects followed per request before it counts as failed (a loop ends here).
inline constexpr int kMaxRedirects = 10;

// A server that stops sending or never connects is given up after these. HttpGet runs on its
// caller's thread with nobody to stop it, so it also has a limit on the whole transfer.
struct InetTimeLimits {
  int connectSeconds = 60;
  int idleSeconds = 60;     // no byte received for this long
  int httpGetSeconds = 300;
};
InetTimeLimits GetInetTimeLimits();
void SetInetTimeLimits(const InetTimeLimits& limits);  // tests shorten them

// Rules "HOST:PORT:CONNECT-TO-HOST:CONNECT-TO-PORT" (an empty HOST or PORT matches any) that
// send connections elsewhere than the address names. Tests point the services' hosts at a
// loopback server; the programs never set any.
void SetInetConnectTo(std::vector<std::string> rules);

// accessType kInetAccessProxy with a proxy list ("http=host:port", or a bare "host:port" for
// every scheme), else direct; the bypass list and flags are accepted and unused.
InetHandle InetOpen(const Text& agent, int accessType, const Text& proxyList, const Text& bypass,
                    std::uint32_t flags);
// Port 0 means 80. Only kInetServiceHttp is served. Nothing goes on the network yet.
InetHandle InetConnect(InetHandle internet, const Text& host, int port, const Text& user,
                       const Text& password, int service, std::uint32_t flags);
// An empty method means GET; version "HTTP/1.0" or "HTTP/1.1" (empty: 1.1).
InetHandle InetOpenRequest(InetHandle connection, const Text& method, const Text& path,
                           const Text& version, std::uint32_t flags);
// Header lines, each ending in CR LF, sent with the request.
bool InetAddRequestHeaders(InetHandle request, const Text& headers);
// Sends the request with these header lines and body and receives the reply (following
// redirects). False when no whole reply arrived, the reply was over a limit, or the handle was
// closed meanwhile; then there is nothing to read or query.
bool InetSendRequest(InetHandle request, const Text& headers, const Bytes& body);
// Up to size bytes of the body; *read = 0 at its end. False for a request without a reply.
bool InetReadFile(InetHandle request, std::uint8_t* buffer, std::size_t size, std::size_t* read);
// The reply's status line and header lines, each ending in CR LF, and the empty line that ends
// the block. Fails when there is no reply or the block with a terminating NUL needs more than
// bufferSize bytes.
bool InetQueryRawHeaders(InetHandle request, std::size_t bufferSize, Text& headers);
// Stores a cookie for the host of url: data is its value and attributes ("1; path=/").
// Fails for an unreadable url, an empty name, or a name or data that no header can carry.
bool InetSetCookie(const Text& url, const Text& name, const Text& data);
// Closes the handle and every handle under it. False for a handle that is not open.
bool InetCloseHandle(InetHandle handle);
// Open handles of all kinds (tests check that nothing is left).
int InetOpenHandleCount();

// Agent "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)", HTTP/1.0, "Accept: */*", the
// cookie store, redirects followed. The body whatever the status; empty on any failure.
Bytes HttpGet(const Text& url);

// Forgets every stored cookie (tests start from an empty store).
void InetClearCookies();
