// The built-in links are share pages of the second cloud-disk service: each service reaches its
// shared file through the share page, the download-address post and the file's own address.
#include "snippets/web_links.h"

#include <string>

#include "snippets/online_services.h"
#include "snippets/web_links_test_hooks.h"
#include "web/url_text.h"
#include "web_services_fixture.h"

namespace {

using namespace web_services_test;
namespace headless = ui::headless;

class BuiltInLinksTest : public WebServicesTest {
 protected:
  void SetUp() override {
    WebServicesTest::SetUp();
    SetWebServiceLinks(BuiltInWebServiceLinks());
  }
  // Serves the shared file behind a built-in link the way the service does.
  void Share(const ShareLink& link, const std::string& content) {
    const std::string path = GetUrlPath(link);
    const std::string id = path.substr(path.rfind('/') + 1);
    server.On(path, Reply{.body = "<script>var file = {nid : '" + id + "-nid',};</script>"});
    server.On("/" + id + ".txt", Reply{.body = content});
  }
  void ServeDownloadAddresses() {
    server.On("/share/downloadfile/", [](const Arrival& a) {
      // surl=<id>&nid=<id>-nid
      const std::string id = a.body.substr(5, a.body.find('&') - 5);
      if (a.body != "surl=" + id + "&nid=" + id + "-nid") return Reply{.status = 404};
      return Reply{.body = "{\"errno\":0,\"data\":{\"downloadurl\":\"http:\\/\\/dl.snipdock.example\\/" +
                           id + ".txt\"}}"};
    });
  }
};

TEST_F(BuiltInLinksTest, EveryServiceGoesThroughTheShareService) {
  for (const char* link : {kBuiltInUpdateInfoLink, kBuiltInOnlineCountLink, kBuiltInNoticeLink,
                           kBuiltInFeedbackLink}) {
    EXPECT_EQ(GetUrlHost(link), "yunpan.snipdock.example") << link;
  }
  Share(kBuiltInUpdateInfoLink, "0.51|x|y|z|w");
  Share(kBuiltInOnlineCountLink, "http://count.snipdock.example/count");
  Share(kBuiltInNoticeLink, "bulletin");
  Share(kBuiltInFeedbackLink, "http://count.snipdock.example/feedback");
  ServeDownloadAddresses();
  server.On("/count", [](const Arrival& a) {
    return Reply{.body = a.body == "leixing=1" ? "x</br>8" : "x</br>3"};
  });
  server.On("/feedback", Reply{});

  Start();
  EXPECT_EQ(StatusPart(3), "是最新版本  现行版本:0.51");
  EXPECT_EQ(StatusPart(2), "人数-最高:8 现行:3");
  headless::ChooseMenuItem(MainWindow::Self, MainWindow::NoticeMenuItem.name);
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_EQ(ui::GetText(NoticeWindow::NoticeBox), "bulletin");
  headless::ChooseMenuItem(MainWindow::Self, MainWindow::FeedbackMenuItem.name);
  headless::TypeText(FeedbackWindow::TitleBox, "t");
  headless::Click(FeedbackWindow::SendButton);
  ASSERT_TRUE(headless::WaitIdle());
  ASSERT_EQ(ArrivalsAt("/feedback").size(), 1u);
  EXPECT_EQ(ArrivalsAt("/feedback")[0].Header("Host"), "count.snipdock.example");

  for (const Arrival& a : server.Arrivals()) {
    if (a.path.rfind("/lk/", 0) == 0 || a.path == "/share/downloadfile/") {
      EXPECT_EQ(a.Header("Host"), "yunpan.snipdock.example") << a.path;
    } else if (a.path.size() > 4 && a.path.substr(a.path.size() - 4) == ".txt") {
      EXPECT_EQ(a.Header("Host"), "dl.snipdock.example") << a.path;
    }
  }
}

}  // namespace
