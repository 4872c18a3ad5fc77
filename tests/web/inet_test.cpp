// The inet layer and the plain HttpGet against the loopback server.
#include <gtest/gtest.h>

#include <thread>

#include "runtime/inet.h"
#include "tests/web/web_fixture.h"

namespace web_test {
namespace {

class HttpGetTest : public WebTest {};

TEST_F(HttpGetTest, SendsAgentVersionAndAcceptAndReturnsTheBody) {
  server.On("/page", Reply{.body = "hello"});
  EXPECT_EQ(ToTextOf(HttpGet("http://files.example/page?x=1")), "hello");
  std::vector<Arrival> got = ArrivalsAt("/page?x=1");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].method, "GET");
  EXPECT_EQ(got[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_EQ(got[0].Header("Accept"), "*/*");
  EXPECT_EQ(got[0].Header("Host"), "files.example");
}

TEST_F(HttpGetTest, BodyWhateverTheStatus) {
  server.On("/missing", Reply{.status = 404, .body = "not here"});
  EXPECT_EQ(ToTextOf(HttpGet("http://files.example/missing")), "not here");
}

TEST_F(HttpGetTest, BodyWithNulBytesComesWhole) {
  const std::string body("a\0b\0", 4);
  server.On("/nul", Reply{.body = body});
  Bytes got = HttpGet("http://files.example/nul");
  EXPECT_EQ(got, (Bytes{'a', 0, 'b', 0}));
}

TEST_F(HttpGetTest, RedirectsAreFollowedAndLoopsGiveNothing) {
  server.On("/old", Reply{.status = 302, .headers = {{"Location", "/new"}}});
  server.On("/new", Reply{.body = "moved"});
  server.On("/loop", Reply{.status = 302, .headers = {{"Location", "/loop"}}});
  EXPECT_EQ(ToTextOf(HttpGet("http://files.example/old")), "moved");
  EXPECT_TRUE(HttpGet("http://files.example/loop").empty());
  EXPECT_EQ(ArrivalsAt("/loop").size(), static_cast<std::size_t>(kMaxRedirects + 1));
}

TEST_F(HttpGetTest, FailuresGiveAnEmptyBuffer) {
  server.On("/early", Reply{.body = std::string(1000, 'e'), .mode = ReplyMode::CloseEarly});
  const char* const bad[] = {"", "not a url at all", "ftp://files.example/x", "http://", "http://files.example/early"};
  for (const char* url : bad) EXPECT_TRUE(HttpGet(url).empty()) << url;
}

TEST_F(HttpGetTest, EndlessBodyStopsAtTheLimit) {
  server.On("/endless", Reply{.mode = ReplyMode::Endless});
  EXPECT_TRUE(HttpGet("http://files.example/endless").empty());
}

TEST_F(HttpGetTest, BodyAtTheLimitIsKept) {
  server.On("/big", Reply{.body = std::string(kMaxReplyBytes, 'b')});
  server.On("/bigger", Reply{.body = std::string(kMaxReplyBytes + 1, 'b')});
  EXPECT_EQ(HttpGet("http://files.example/big").size(), kMaxReplyBytes);
  EXPECT_TRUE(HttpGet("http://files.example/bigger").empty());
}

TEST_F(HttpGetTest, TrickleIsGivenUpAtTheTimeLimit) {
  SetInetTimeLimits({.connectSeconds = 1, .idleSeconds = 1, .httpGetSeconds = 1});
  server.On("/slow", Reply{.body = std::string(100, 's'), .mode = ReplyMode::Trickle});
  EXPECT_TRUE(HttpGet("http://files.example/slow").empty());
}

TEST_F(HttpGetTest, CapitalisedSchemeAndHttpsAreReadAsUrls) {
  server.On("/caps", Reply{.body = "caps"});
  EXPECT_EQ(ToTextOf(HttpGet("HTTP://files.example/caps")), "caps");
  // No TLS on the loopback server: the https address fails, empty and without a crash.
  EXPECT_TRUE(HttpGet("https://files.example/caps").empty());
}

TEST_F(HttpGetTest, SharesTheCookieStore) {
  server.On("/set", Reply{.headers = {{"Set-Cookie", "sid=abc; path=/"}}});
  server.On("/read", Reply{.body = "ok"});
  HttpGet("http://cookies.example/set");
  ASSERT_TRUE(InetSetCookie("http://cookies.example", "k", "v; path=/"));
  HttpGet("http://cookies.example/read");
  HttpGet("http://other.example/read");
  std::vector<Arrival> reads = ArrivalsAt("/read");
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(SortedCookies(reads[0].Header("Cookie")), "k=v; sid=abc");
  EXPECT_FALSE(reads[1].HasHeader("Cookie"));  // another host gets none of them
}

struct CookieShape {
  const char* name;
  const char* data;
  bool stored;
};

TEST_F(HttpGetTest, CookiesOfAnyShape) {
  const CookieShape shapes[] = {
      {"a", "1; path=/", true},
      {"b", "", true},
      {"c", "2; expires=Thu, 01 Jan 1970 00:00:00 GMT", true},  // expired: gone again
      {"", "e", false},
      {"x\ty", "1", false},
      {"n", "line\r\nbreak", false},
      {"p", "3; path=/other", true},
      {"q", "4; max-age=0", true},
  };
  for (const CookieShape& s : shapes) {
    EXPECT_EQ(InetSetCookie("http://shapes.example/", s.name, s.data), s.stored) << s.name;
  }
  EXPECT_FALSE(InetSetCookie("not a url", "a", "1"));
  server.On("/", Reply{.body = "ok"});
  HttpGet("http://shapes.example/");
  std::vector<Arrival> got = ArrivalsAt("/");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(SortedCookies(got[0].Header("Cookie")), "a=1; b=");
}

class InetHandlesTest : public WebTest {
 protected:
  InetHandle OpenRequest(const Text& path, std::uint32_t flags = kInetFlagReload) {
    internet = InetOpen("agent", kInetAccessDirect, "", "", 0);
    connection = InetConnect(internet, "handles.example", 80, "", "", kInetServiceHttp, 0);
    return request = InetOpenRequest(connection, "GET", path, "HTTP/1.1", flags);
  }
  void CloseAll() {
    InetCloseHandle(request);
    InetCloseHandle(connection);
    InetCloseHandle(internet);
  }
  InetHandle internet = 0, connection = 0, request = 0;
};

TEST_F(InetHandlesTest, ReadsTheBodyInPiecesAndTheRawHeaders) {
  server.On("/r", Reply{.headers = {{"X-Test", "yes"}}, .body = "0123456789"});
  ASSERT_NE(OpenRequest("/r"), 0u);
  ASSERT_TRUE(InetSendRequest(request, "X-Mine: 1\r\n", {}));
  std::uint8_t buffer[4];
  std::size_t read = 0;
  Text body;
  while (InetReadFile(request, buffer, sizeof buffer, &read) && read > 0) body.append(buffer, buffer + read);
  EXPECT_EQ(body, "0123456789");
  Text headers;
  ASSERT_TRUE(InetQueryRawHeaders(request, 2048, headers));
  EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headers;
  EXPECT_NE(headers.find("\r\nX-Test: yes\r\n"), Text::npos);
  EXPECT_EQ(headers.substr(headers.size() - 4), "\r\n\r\n");
  EXPECT_FALSE(InetQueryRawHeaders(request, headers.size(), headers));  // no room for the NUL
  EXPECT_TRUE(InetQueryRawHeaders(request, headers.size() + 1, headers));
  EXPECT_EQ(server.Arrivals().at(0).Header("X-Mine"), "1");
  EXPECT_EQ(server.Arrivals().at(0).Header("User-Agent"), "agent");
  EXPECT_FALSE(server.Arrivals().at(0).HasHeader("Accept"));  // only the lines given
  CloseAll();
}

TEST_F(InetHandlesTest, ClosingEndsABlockingSend) {
  server.On("/silent", Reply{.mode = ReplyMode::Silent});
  ASSERT_NE(OpenRequest("/silent"), 0u);
  std::thread closer([this] {
    while (ArrivalsAt("/silent").empty()) std::this_thread::yield();
    InetCloseHandle(request);
  });
  EXPECT_FALSE(InetSendRequest(request, "", {}));
  closer.join();
  std::size_t read = 0;
  std::uint8_t byte;
  EXPECT_FALSE(InetReadFile(request, &byte, 1, &read));
  EXPECT_FALSE(InetCloseHandle(request));  // once only
  InetCloseHandle(connection);
  InetCloseHandle(internet);
}

TEST_F(InetHandlesTest, ClosingAParentClosesWhatIsUnderIt) {
  ASSERT_NE(OpenRequest("/x"), 0u);
  EXPECT_EQ(InetOpenHandleCount(), 3);
  EXPECT_TRUE(InetCloseHandle(internet));
  EXPECT_EQ(InetOpenHandleCount(), 0);
  EXPECT_FALSE(InetSendRequest(request, "", {}));
}

TEST_F(InetHandlesTest, BadArgumentsGiveNoHandle) {
  InetHandle open = InetOpen("a", kInetAccessDirect, "", "", 0);
  EXPECT_EQ(InetOpen("a", kInetAccessProxy, "", "", 0), 0u);   // a proxy without an address
  EXPECT_EQ(InetOpen("a", 7, "", "", 0), 0u);
  EXPECT_EQ(InetConnect(open, "h", 70000, "", "", kInetServiceHttp, 0), 0u);
  EXPECT_EQ(InetConnect(open, "h", 80, "", "", 1, 0), 0u);
  EXPECT_EQ(InetConnect(12345, "h", 80, "", "", kInetServiceHttp, 0), 0u);
  InetHandle connection = InetConnect(open, "bad host name", 80, "", "", kInetServiceHttp, 0);
  InetHandle request = InetOpenRequest(connection, "GET", "/", "HTTP/2", 0);
  EXPECT_EQ(request, 0u);
  request = InetOpenRequest(connection, "GET", "/", "HTTP/1.1", 0);
  EXPECT_FALSE(InetSendRequest(request, "", {}));  // the host is no host name
  Text headers;
  EXPECT_FALSE(InetQueryRawHeaders(request, 2048, headers));
  InetCloseHandle(open);
  EXPECT_TRUE(server.Arrivals().empty());
}

}  // namespace
}  // namespace web_test
