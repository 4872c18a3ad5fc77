// The online-user count: the reports' posts, the "</br>" pieces and status bar part 2.
#include <algorithm>
#include <memory>
#include <mutex>

#include "runtime/threads.h"
#include "snippets/online_services.h"
#include "web_services_fixture.h"

namespace {

using namespace web_services_test;
namespace headless = ui::headless;

class OnlineCountTest : public WebServicesTest {
 protected:
  // The counter answers the maximum query with maximum and every other report with report.
  void ServeCounter(const std::string& report, const std::string& maximum) {
    server.On(kCounter, [report, maximum](const Arrival& a) {
      return Reply{.body = a.body == "leixing=1" ? maximum : report};
    });
  }
  void ResetCount() { ui::StatusBarSetText(MainWindow::MainStatusBar, 2, "在线人数"); }
  // The posts to the counter since the last call.
  std::vector<std::string> NewPosts() {
    std::vector<std::string> all = BodiesAt(kCounter);
    std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }

 private:
  std::size_t seen_ = 0;
};

TEST_F(OnlineCountTest, StartReportShowsHighestAndCurrent) {
  ServeCounter("a</br>17</br>b", "x</br>40");
  Start();
  EXPECT_EQ(NewPosts(), (std::vector<std::string>{"leixing=3", "leixing=1"}));
  EXPECT_EQ(StatusPart(2), "人数-最高:40 现行:17");
  EXPECT_EQ(StatusTip(2), "");
  EXPECT_EQ(ArrivalsAt(kCounter)[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_TRUE(headless::MessagesShown().empty());
}

TEST_F(OnlineCountTest, ReplyPieces) {
  Start();
  NewPosts();
  const std::vector<std::string> both{"leixing=2", "leixing=1"};
  const std::vector<std::string> first{"leixing=2"};
  const struct {
    const char* report;
    const char* maximum;
    std::string status;
    std::vector<std::string> posts;
  } cases[] = {
      {"a</br>17</br>b", "x</br>40", "人数-最高:40 现行:17", both},
      {"</br>5", "</br>9", "人数-最高:9 现行:5", both},             // leading separator
      {"5</br>", "x</br>40", "在线人数", first},                     // one piece only
      {"a<br/>17", "x</br>40", "在线人数", first},                   // another tag
      {"a</BR>17", "x</br>40", "在线人数", first},                   // capitals
      {"a</br>17\r\n", "x</br>40\n", "人数-最高:40\n 现行:17\r\n", both},  // untrimmed
      {"a</br>17", "40", "在线人数", both},                          // maximum without a piece
      {"", "x</br>40", "在线人数", first},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.report);
    ServeCounter(c.report, c.maximum);
    ResetCount();
    ReportOnlineCount(OnlineCountPeriodic);
    EXPECT_EQ(StatusPart(2), c.status);
    EXPECT_EQ(NewPosts(), c.posts);
  }
  EXPECT_TRUE(headless::MessagesShown().empty());
}

TEST_F(OnlineCountTest, TimerReportsEveryThirtySeconds) {
  ServeCounter("a</br>1", "x</br>2");
  Start();
  NewPosts();
  headless::AdvanceClock(29999);
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_TRUE(NewPosts().empty());
  headless::AdvanceClock(1);
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_EQ(NewPosts(), (std::vector<std::string>{"leixing=2", "leixing=1"}));
  headless::AdvanceClock(30000);
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_EQ(NewPosts(), (std::vector<std::string>{"leixing=2", "leixing=1"}));
}

TEST_F(OnlineCountTest, UnreadableCounterAddressPostsNothing) {
  server.On(kCountLinkFile, Reply{.status = 404});
  Start();
  ReportOnlineCount(OnlineCountPeriodic);
  EXPECT_TRUE(ArrivalsAt(kCounter).empty());
  EXPECT_EQ(StatusPart(2), "在线人数");
  EXPECT_TRUE(headless::MessagesShown().empty());
}

TEST_F(OnlineCountTest, OverlappingReportsShowTheOneThatEndedLast) {
  ServeCounter("a</br>1", "x</br>2");
  Start();
  NewPosts();
  // The start report's first reply is held back while a periodic report runs to its end.
  auto gate = std::make_shared<Gate>();
  server.On(kCounter, [gate](const Arrival& a) {
    if (a.body == "leixing=3") {
      gate->Wait();
      return Reply{.body = "a</br>3"};
    }
    return Reply{.body = a.body == "leixing=1" ? "x</br>9" : "a</br>2"};
  });
  StartThread(ReportOnlineCountThread, OnlineCountStart);
  gate->WaitForArrivals(1);
  ReportOnlineCount(OnlineCountPeriodic);
  EXPECT_EQ(StatusPart(2), "人数-最高:9 现行:2");
  gate->ReleaseAll();
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_EQ(StatusPart(2), "人数-最高:9 现行:3");
  std::vector<std::string> posts = NewPosts();
  std::sort(posts.begin(), posts.end());
  EXPECT_EQ(posts, (std::vector<std::string>{"leixing=1", "leixing=1", "leixing=2", "leixing=3"}));
}

}  // namespace
