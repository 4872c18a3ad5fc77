// Share links of both services resolved against the loopback server, with each program's markers.
#include <gtest/gtest.h>

#include "tests/web/web_fixture.h"
#include "web/share_link.h"

namespace web_test {
namespace {

class ShareLinkTest : public WebTest {};

const char* const kSnippetPage =
    "<html><a class=\"new-dbtn\" href=\"http://d.pcs.baidu.test/file/1?a=1&amp;b=2\" id=\"downFileButtom\">";
const char* const kUpdaterPage =
    "<html><a class=\"singledbtn\" href=\"http://d.pcs.baidu.test/file/2?a=1&amp;b=2\" id=\"downFileButtom\">";

TEST_F(ShareLinkTest, ButtonServicePageGivesTheButtonAddress) {
  server.On("/s/snippet", Reply{.body = kSnippetPage});
  server.On("/s/updater", Reply{.body = kUpdaterPage});
  EXPECT_EQ(ResolveShareLink("http://pan.baidu.com/s/snippet", SnippetShareMarkers), "http://d.pcs.baidu.test/file/1?a=1&b=2");
  EXPECT_EQ(ResolveShareLink("http://pan.baidu.com/s/updater", UpdaterShareMarkers), "http://d.pcs.baidu.test/file/2?a=1&b=2");
  // Each program's markers miss the other's page.
  EXPECT_EQ(ResolveShareLink("http://pan.baidu.com/s/snippet", UpdaterShareMarkers), "");
  EXPECT_EQ(ResolveShareLink("http://pan.baidu.com/s/updater", SnippetShareMarkers), "");
  EXPECT_EQ(ArrivalsAt("/s/snippet").at(0).method, "GET");
}

TEST_F(ShareLinkTest, ButtonServiceHostInCapitalsOrWithPortIsRecognised) {
  server.On("/s/1", Reply{.body = kSnippetPage});
  EXPECT_EQ(ResolveShareLink("http://PAN.Baidu.COM:8080/s/1", SnippetShareMarkers), "http://d.pcs.baidu.test/file/1?a=1&b=2");
  EXPECT_EQ(ArrivalsAt("/s/1").at(0).Header("Host"), "PAN.Baidu.COM:8080");  // the link as written
}

TEST_F(ShareLinkTest, ButtonAddressLosesEverySemicolonAndAmp) {
  server.On("/s/odd", Reply{.body = "new-dbtn\" HREF=\"http://h/examples;x?amp=1&amp;c\" id=\"downFileButtom"});
  EXPECT_EQ(ResolveShareLink("http://pan.baidu.com/s/odd", SnippetShareMarkers), "http://h/exlesx?=1&c");
}

TEST_F(ShareLinkTest, ButtonServiceWithoutPageGivesEmpty) {
  server.On("/s/gone", Reply{.status = 404, .body = "not found"});
  EXPECT_EQ(ResolveShareLink("http://pan.baidu.com/s/gone", SnippetShareMarkers), "");
}

struct ApiCase {
  const ShareLinkMarkers* markers;
  const char* reply;
  const char* address;
};

TEST_F(ShareLinkTest, ApiServicePostsShareIdAndNid) {
  const ApiCase cases[] = {
      {&UpdaterShareMarkers, "{\"errno\":0,\"data\":{\"downloadurl\":\"http:\\/\\/dl.example\\/f?x=1\"}}", "http://dl.example/f?x=1"},
      {&SnippetShareMarkers, "{\"errno\":0,\"data\":{\"downloadurl\":\"http:\\/\\/dl.example\\/f?x=1\"}}", "http://dl.example/f?x=1"},
      {&SnippetShareMarkers, "{\"downloadurl\":\"HTTP:\\/\\/dl.example\\/up\"}", "http://dl.example/up"},  // put back in lower case
      {&SnippetShareMarkers, "{\"errno\":1}", "http:"},  // no markers in the reply
      {&UpdaterShareMarkers, "{\"errno\":1}", ""},
      {&SnippetShareMarkers, "", "http:"},
  };
  server.On("/cq7abc", Reply{.body = "var info = {%E4%B8%AD nid : '%31%36%31', name : 'x'};"});
  for (const ApiCase& c : cases) {
    server.On("/share/downloadfile/", Reply{.body = c.reply});
    EXPECT_EQ(ResolveShareLink("http://yunpan.cn/cq7abc", *c.markers), c.address) << c.reply;
  }
  std::vector<Arrival> posts = ArrivalsAt("/share/downloadfile/");
  ASSERT_EQ(posts.size(), std::size(cases));
  EXPECT_EQ(posts[0].method, "POST");
  EXPECT_EQ(posts[0].body, "surl=cq7abc&nid=161");
  EXPECT_EQ(posts[0].Header("Host"), "yunpan.cn");
  EXPECT_EQ(posts[0].Header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST_F(ShareLinkTest, ApiServiceShareIdFromTheLastSlash) {
  server.On("/share/downloadfile/", Reply{.body = "{\"downloadurl\":\"http:\\/\\/a\\/b\"}}"});
  struct {
    const char* link;
    const char* body;
  } const cases[] = {
      {"http://yunpan.cn/abc/", "surl=&nid="},             // ends with "/": empty share id
      {"http://yunpan.cn/s?id=1", "surl=s?id=1&nid="},     // the query goes with it
      {"http://example.com/x?from=yunpan", "surl=x?from=yunpan&nid="},  // the word anywhere
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveShareLink(c.link, UpdaterShareMarkers), "http://a/b") << c.link;
  }
  std::vector<Arrival> posts = ArrivalsAt("/share/downloadfile/");
  ASSERT_EQ(posts.size(), std::size(cases));
  for (std::size_t i = 0; i < posts.size(); ++i) EXPECT_EQ(posts[i].body, cases[i].body);
  EXPECT_EQ(posts[2].Header("Host"), "example.com");
}

TEST_F(ShareLinkTest, ApiServiceLinkWithPortPostsToPort80) {
  web_test::TestServer pageServer;
  std::string here = std::to_string(server.port());
  SetInetConnectTo({"yunpan.cn:8080:127.0.0.1:" + std::to_string(pageServer.port()), "yunpan.cn:80:127.0.0.1:" + here});
  pageServer.On("/p1", Reply{.body = "nid : '9',"});
  server.On("/share/downloadfile/", Reply{.body = "{\"downloadurl\":\"http:\\/\\/a\\/b\"}}"});
  EXPECT_EQ(ResolveShareLink("http://yunpan.cn:8080/p1", UpdaterShareMarkers), "http://a/b");
  ASSERT_EQ(pageServer.Arrivals().size(), 1u);
  std::vector<Arrival> posts = ArrivalsAt("/share/downloadfile/");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body, "surl=p1&nid=9");
  EXPECT_EQ(posts[0].Header("Host"), "yunpan.cn");
}

TEST_F(ShareLinkTest, OtherLinksComeBackUnchanged) {
  const char* const links[] = {
      "", "http://files.example/direct.txt", "http://example.com/YUNPAN", "https://pan.baidu.com/s/1",
      "HTTP://pan.baidu.com/s/1", "pan.baidu.com.evil/s/1",
  };
  for (const char* link : links) {
    EXPECT_EQ(ResolveShareLink(link, SnippetShareMarkers), link);
    EXPECT_EQ(ResolveShareLink(link, UpdaterShareMarkers), link);
  }
  EXPECT_TRUE(server.Arrivals().empty());
}

TEST_F(ShareLinkTest, HttpsApiLinkPostsToTheSchemeName) {
  // The page is not read (no TLS here); the post still goes out, with an empty nid.
  server.On("/share/downloadfile/", Reply{.body = "{\"errno\":1}"});
  EXPECT_EQ(ResolveShareLink("https://yunpan.cn/abc", SnippetShareMarkers), "http:");
  std::vector<Arrival> posts = ArrivalsAt("/share/downloadfile/");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].Header("Host"), "https");
  EXPECT_EQ(posts[0].body, "surl=abc&nid=");
}

}  // namespace
}  // namespace web_test
