// Full requests through the front end and the worker against the loopback server.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>

#include "runtime/memory_file.h"
#include "runtime/platform.h"
#include "tests/ui/ui_fixture.h"
#include "tests/web/web_fixture.h"
#include "web/http_request.h"

namespace web_test {
namespace {

const char* const kDefaultAccept =
    "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*";

class HttpRequestTest : public WebTest {
 protected:
  // Every value of the named header, joined by "|".
  static std::string AllValues(const Arrival& a, const std::string& name) {
    std::string joined;
    for (const auto& [key, value] : a.headers) {
      if (key == name) joined += (joined.empty() ? "" : "|") + value;
    }
    return joined;
  }
};

TEST_F(HttpRequestTest, GetWithTheDefaultHeaders) {
  server.On("/page", Reply{.body = "body"});
  const Text url = "http://Svc.Example/page?q=1";
  EXPECT_EQ(ToTextOf(HttpRequest(url)), "body");
  Arrival a = Only("/page?q=1");
  EXPECT_EQ(a.method, "GET");
  EXPECT_EQ(a.Header("Host"), "svc.example");
  EXPECT_EQ(a.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_EQ(a.Header("Accept"), kDefaultAccept);
  EXPECT_EQ((std::string("Accept: ") + kDefaultAccept + "\r\n").size(), 174u);
  EXPECT_EQ(a.Header("Referer"), url);
  EXPECT_EQ(a.Header("Accept-Language"), "zh-cn");
  EXPECT_FALSE(a.HasHeader("Content-Type"));
  EXPECT_FALSE(a.HasHeader("Content-Length"));
  EXPECT_FALSE(a.HasHeader("Cookie"));
}

struct HeaderCase {
  std::string method;
  std::string form;
  std::string extra;
  std::string name;      // a header the server must see with this value ("" = absent)
  std::string expected;
};

TEST_F(HttpRequestTest, DefaultHeadersAndTheirSuppression) {
  const HeaderCase cases[] = {
      {"GET", "", "X-Accept: mine\r\n", "Accept", ""},  // found inside another name
      {"GET", "", "X-Accept: mine\r\n", "X-Accept", "mine"},
      {"GET", "", "accept: text/html\r\n", "Accept", "text/html"},  // names ignore case
      {"GET", "", "Referer: http://elsewhere/\r\n", "Referer", "http://elsewhere/"},
      {"GET", "", "Accept-Language: en\r\n", "Accept-Language", "en"},
      {"GET", "", "Accept-Language: en\r\n", "Accept", kDefaultAccept},
      {"GET", "", "X-Last: z", "X-Last", std::string("zAccept: ") + kDefaultAccept},  // no CR LF: glued
      {"POST", "a=1&b=2", "", "Content-Type", "application/x-www-form-urlencoded"},
      {"POST", "a=1&b=2", "", "Content-Length", "7"},
      {"POST", "a=1", "Content-Type: text/plain\r\n", "Content-Type", "text/plain"},
      {"POST", "a=1", "Content-Type: text/plain\r\n", "Content-Length", "3"},
      {"POST", "", "", "Content-Type", ""},  // an empty form: no type; the HTTP layer says 0
      {"POST", "", "", "Content-Length", "0"},
  };
  int n = 0;
  for (const HeaderCase& c : cases) {
    std::string path = "/h" + std::to_string(n++);
    server.On(path, Reply{.body = "ok"});
    HttpRequest("http://svc.example" + path, c.method, c.form, "", nullptr, "", 0, false, c.extra);
    Arrival a = Only(path);
    if (c.expected.empty()) {
      EXPECT_FALSE(a.HasHeader(c.name)) << c.extra << " " << c.name;
    } else {
      EXPECT_EQ(a.Header(c.name), c.expected) << c.extra << " " << c.name;
    }
    EXPECT_EQ(a.body, c.form);
  }
}

TEST_F(HttpRequestTest, PostsTheFormAndLowerCaseGoesAsWritten) {
  server.On("/post", Reply{.body = "posted"});
  EXPECT_EQ(ToTextOf(HttpRequest("http://svc.example/post", "POST", "bt=t&nr=n")), "posted");
  Arrival a = Only("/post");
  EXPECT_EQ(a.method, "POST");
  EXPECT_EQ(a.body, "bt=t&nr=n");
  HttpRequest("http://svc.example/post", "post", "x=1");
  HttpRequest("http://svc.example/post", "get");
  std::vector<std::string> methods = server.Methods(3);
  EXPECT_NE(std::find(methods.begin(), methods.end(), "post"), methods.end());
  EXPECT_NE(std::find(methods.begin(), methods.end(), "get"), methods.end());
}

TEST_F(HttpRequestTest, UnknownMethodSendsNothingAndFails) {
  server.On("/x", Reply{.body = "never"});
  for (const char* method : {"PUT", "DELETE", "G ET", "HEAD"}) {
    Text headers = "kept", cookies = "kept";
    EXPECT_TRUE(HttpRequest("http://svc.example/x", method, "", "", &cookies, "", 0, false, "", "", "", &headers).empty());
    EXPECT_EQ(headers, "kept");
    EXPECT_EQ(cookies, "kept");
  }
  EXPECT_TRUE(server.Methods().empty());
}

TEST_F(HttpRequestTest, RawHeadersAndCookiesOnlyWhenAsked) {
  server.On("/c", Reply{.headers = {{"Set-Cookie", "a=1; path=/"}, {"Set-Cookie", "b=2; path=/"},
                                    {"Set-Cookie", "a=3; path=/"}},
                        .body = ""});
  Text headers = "old", cookies = "old";
  Bytes body = HttpRequest("http://svc.example/c", "", "", "", &cookies, "", 0, false, "", "", "", &headers);
  EXPECT_TRUE(body.empty());  // a reply without body succeeds with an empty one
  EXPECT_EQ(cookies, "a=1; b=2; a=3");
  EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headers;
  EXPECT_NE(headers.find("\r\nSet-Cookie: b=2; path=/\r\n"), Text::npos);

  server.On("/none", Reply{.body = "x"});
  HttpRequest("http://svc.example/none", "", "", "", &cookies, "", 0, false, "", "", "", &headers);
  EXPECT_EQ(cookies, "");  // asked for, none in the reply
}

TEST_F(HttpRequestTest, SetCookieLinesCollectedAndStored) {
  // Each line: its part of the returned text, and what the store then sends back.
  server.On("/set", Reply{.headers = {{"Set-Cookie", "a=1; path=/"},
                                      {"Set-Cookie", "c=; path=/"},
                                      {"Set-Cookie", "d=4"},
                                      {"Set-Cookie", "e"}}});
  server.On("/check", Reply{.body = "ok"});
  Text cookies;
  HttpRequest("http://store.example/set", "", "", "", &cookies, "", 0, false, "", "", "", nullptr, true);
  EXPECT_EQ(cookies, "a=1");
  HttpGet("http://store.example/check");
  EXPECT_EQ(SortedCookies(Only("/check").Header("Cookie")), "a=1; c=; d=4");
}

TEST_F(HttpRequestTest, GivenCookiesReplaceTheStoreUnlessStoring) {
  ASSERT_TRUE(InetSetCookie("http://jar.example", "s", "1; path=/"));
  server.On("/k", Reply{.body = "ok"});
  HttpRequest("http://jar.example/k", "", "", "k=v");                        // only the given ones
  HttpRequest("http://jar.example/k", "", "", "  ");                         // blank: the store's
  HttpRequest("http://jar.example/k", "", "", "\xA1\xA1 ");                  // full-width blank too
  HttpRequest("http://jar.example/k", "", "", "k=v", nullptr, "", 0, false, "", "", "", nullptr, true);
  std::vector<Arrival> got = ArrivalsAt("/k");
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(AllValues(got[0], "Cookie"), "k=v");
  EXPECT_EQ(AllValues(got[1], "Cookie"), "s=1");
  EXPECT_EQ(AllValues(got[2], "Cookie"), "s=1");
  std::string both = AllValues(got[3], "Cookie");
  EXPECT_NE(both.find("k=v"), std::string::npos) << both;
  EXPECT_NE(both.find("s=1"), std::string::npos) << both;
}

TEST_F(HttpRequestTest, HeaderBlockOver2048BytesGivesNoHeadersButTheBody) {
  server.On("/big", Reply{.headers = {{"X-Pad", std::string(2100, 'p')}, {"Set-Cookie", "a=1; path=/"}},
                          .body = "still here"});
  Text headers = "old", cookies = "old";
  Bytes body = HttpRequest("http://svc.example/big", "", "", "", &cookies, "", 0, false, "", "", "", &headers);
  EXPECT_EQ(ToTextOf(body), "still here");
  EXPECT_EQ(headers, "");
  EXPECT_EQ(cookies, "");
}

TEST_F(HttpRequestTest, BadRepliesGiveEmptyResults) {
  server.On("/nul", Reply{.body = std::string("x\0y", 3)});
  server.On("/early", Reply{.body = std::string(4000, 'e'), .mode = ReplyMode::CloseEarly});
  server.On("/endless", Reply{.mode = ReplyMode::Endless});
  server.On("/loop", Reply{.status = 302, .headers = {{"Location", "/loop"}}});
  server.On("/error", Reply{.status = 500, .body = "server says no"});
  EXPECT_EQ(HttpRequest("http://svc.example/nul"), (Bytes{'x', 0, 'y'}));
  EXPECT_TRUE(HttpRequest("http://svc.example/early").empty());
  EXPECT_TRUE(HttpRequest("http://svc.example/endless").empty());
  EXPECT_TRUE(HttpRequest("http://svc.example/loop").empty());
  EXPECT_EQ(ToTextOf(HttpRequest("http://svc.example/error")), "server says no");
  for (const char* url : {"", "http://", "http://bad host/x", "http://svc.example:99999/x"}) {
    EXPECT_TRUE(HttpRequest(url).empty()) << url;
  }
}

TEST_F(HttpRequestTest, HttpsAndCapitalSchemeGoToTheSchemeNameAsHost) {
  server.On("//svc.example/x", Reply{.body = "as the scheme's host"});
  EXPECT_EQ(ToTextOf(HttpRequest("https://svc.example/x")), "as the scheme's host");
  EXPECT_EQ(ToTextOf(HttpRequest("HTTP://svc.example/x")), "as the scheme's host");
  std::vector<Arrival> got = ArrivalsAt("//svc.example/x");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Header("Host"), "https");
  EXPECT_EQ(got[1].Header("Host"), "http");
}

TEST_F(HttpRequestTest, UserAndPasswordAnswerTheChallenge) {
  server.On("/auth", [](const Arrival& a) {
    if (a.Header("Authorization") != "Basic dXNlcjpwdw==") {
      return Reply{.status = 401, .headers = {{"WWW-Authenticate", "Basic realm=\"r\""}}, .body = "no"};
    }
    return Reply{.body = "yes"};
  });
  EXPECT_EQ(ToTextOf(HttpRequest("http://svc.example/auth", "", "", "", nullptr, "", 0, false, "", "user", "pw")), "yes");
  EXPECT_EQ(ToTextOf(HttpRequest("http://svc.example/auth", "", "", "", nullptr, "", 0, false, "", "  ", "pw")), "no");
}

TEST_F(HttpRequestTest, ProxyGetsTheWholeAddress) {
  SetInetConnectTo({});
  server.On("http://far.example/p", Reply{.body = "via proxy"});
  server.On("/p", Reply{.body = "via proxy"});
  Bytes body = HttpRequest("http://far.example/p", "", "", "", nullptr, "127.0.0.1:" + std::to_string(server.port()));
  EXPECT_EQ(ToTextOf(body), "via proxy");
  ASSERT_EQ(server.Arrivals().size(), 1u);
  EXPECT_EQ(server.Arrivals()[0].path, "http://far.example/p");
  EXPECT_EQ(server.Arrivals()[0].Header("Host"), "far.example");
}

TEST_F(HttpRequestTest, BlankProxyMeansDirect) {
  server.On("/d", Reply{.body = "direct"});
  EXPECT_EQ(ToTextOf(HttpRequest("http://near.example/d", "", "", "", nullptr, "  \xA1\xA1")), "direct");
  EXPECT_EQ(Only("/d").path, "/d");
}

TEST_F(HttpRequestTest, SilentOrTricklingServerTimesOutInTimeWithHandlesClosed) {
  server.On("/silent", Reply{.mode = ReplyMode::Silent});
  server.On("/trickle", Reply{.body = std::string(100, 't'), .mode = ReplyMode::Trickle});
  const struct {
    const char* url;
    bool pump;
  } cases[] = {{"http://svc.example/silent", false}, {"http://svc.example/silent", true},
               {"http://svc.example/trickle", false}};
  for (const auto& c : cases) {
    Text headers = "kept";
    std::uint64_t start = PlatformMilliseconds();
    Bytes body = HttpRequest(c.url, "POST", "a=1", "", nullptr, "", 1, c.pump, "", "", "", &headers);
    std::uint64_t took = PlatformMilliseconds() - start;
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(headers, "kept");
    EXPECT_GE(took, 990u);
    EXPECT_LT(took, 1900u) << c.url << " pump " << c.pump;
    EXPECT_EQ(InetOpenHandleCount(), 0);
    EXPECT_TRUE(WaitForThreads(1000));
  }
  EXPECT_EQ(ArrivalsAt("/silent").size(), 2u);
  EXPECT_EQ(ArrivalsAt("/trickle").size(), 1u);
}

TEST_F(HttpRequestTest, PostRedirectedBecomesGet) {
  server.On("/form", Reply{.status = 302, .headers = {{"Location", "/thanks"}}});
  server.On("/thanks", Reply{.body = "thanks"});
  EXPECT_EQ(ToTextOf(HttpRequest("http://svc.example/form", "POST", "a=1")), "thanks");
  EXPECT_EQ(Only("/thanks").method, "GET");
  EXPECT_EQ(Only("/form").body, "a=1");
}

TEST_F(HttpRequestTest, WorkerWithoutARequestLeavesNoReply) {
  HttpRequestWorker(0);
  int file = OpenMemoryFile();
  WriteBytes(file, Bytes{0, 0, 0, 0});  // marker 0
  HttpRequestWorker(file);
  EXPECT_EQ(FileLength(file), 0);
  CloseFile(file);
}

class PumpingRequestTest : public ui_test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    SetInetConnectTo({server.ConnectRule()});
  }
  void TearDown() override {
    SetInetConnectTo({});
    EXPECT_EQ(InetOpenHandleCount(), 0);
    UiTest::TearDown();
  }
  TestServer server;
};

TEST_F(PumpingRequestTest, WindowEventsRunWhileThePumpingCallerWaits) {
  ASSERT_TRUE(ui::LoadWindow(ui_test::kMain));
  // The server's thread sets a control, which the run-time carries to the waiting GUI thread.
  server.On("/pumped", [](const Arrival&) {
    ui::SetText(ui_test::kNameBox, "set while waiting");
    return Reply{.body = "done"};
  });
  Bytes body = HttpRequest("http://svc.example/pumped", "", "", "", nullptr, "", 5, true);
  EXPECT_EQ(ToTextOf(body), "done");
  EXPECT_EQ(ui::GetText(ui_test::kNameBox), "set while waiting");
}

}  // namespace
}  // namespace web_test
