// The bulletin window and the feedback window against loopback servers.
#include <unistd.h>

#include <atomic>
#include <memory>
#include <utility>

#include "runtime/clock.h"
#include "runtime/threads.h"
#include "snippets/online_services.h"
#include "ui/model.h"
#include "web_services_fixture.h"

namespace {

using namespace web_services_test;
namespace headless = ui::headless;

constexpr const char* kReading = "读取中.....";
constexpr const char* kSendFailed = "发送失败！";
constexpr const char* kSent = "发送完毕，销毁窗口！";

class NoticeTest : public WebServicesTest {
 protected:
  void OpenNotice() { headless::ChooseMenuItem(MainWindow::Self, MainWindow::NoticeMenuItem.name); }
  static Text NoticeText() { return ui::GetText(NoticeWindow::NoticeBox); }
};

TEST_F(NoticeTest, BulletinIsShownUnchanged) {
  const std::string big(1024 * 1024, 'n');
  const struct {
    std::string served;
    int status;
    std::string shown;
  } cases[] = {
      {"公告\r\n  第二行 \n", 200, "公告\r\n  第二行 \n"},
      {big, 200, big},
      {std::string("ab\0cd", 5), 200, "ab"},
      {"", 200, ""},
      {"", 404, ""},  // unreadable: the box empties, no message
  };
  Start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.served.size());
    server.On(kNoticeFile, Reply{.status = c.status, .body = c.served});
    OpenNotice();
    ASSERT_TRUE(headless::WaitIdle());
    EXPECT_EQ(ui::GetTitle(NoticeWindow::Self), "Lorvane-公告栏");
    EXPECT_TRUE(NoticeText() == c.shown);
    ui::DestroyProgramWindow(NoticeWindow::Self);
    ASSERT_TRUE(headless::WaitIdle());
  }
  EXPECT_TRUE(headless::MessagesShown().empty());
}

TEST_F(NoticeTest, ChoosingItAgainWhileOpenReadsNothing) {
  server.On(kNoticeFile, Reply{.body = "notice"});
  Start();
  OpenNotice();
  ASSERT_TRUE(headless::WaitIdle());
  OpenNotice();
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_EQ(ArrivalsAt(kNoticeFile).size(), 1u);
  EXPECT_EQ(headless::WindowsBroughtToFront(), (std::vector<std::string>{"NoticeWindow"}));
}

TEST_F(NoticeTest, BulletinArrivingAfterTheWindowClosedIsDropped) {
  auto gate = std::make_shared<Gate>();
  server.On(kNoticeFile, [gate](const Arrival&) {
    gate->Wait();
    return Reply{.body = "late"};
  });
  Start();
  OpenNotice();
  gate->WaitForArrivals(1);
  EXPECT_EQ(NoticeText(), kReading);
  headless::AskToClose(NoticeWindow::Self);
  ASSERT_FALSE(ui::IsCreated(NoticeWindow::Self));
  gate->ReleaseOne();
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_FALSE(ui::IsCreated(NoticeWindow::Self));
  EXPECT_TRUE(headless::MessagesShown().empty());

  // Opening it again reads anew.
  OpenNotice();
  gate->ReleaseOne();
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_EQ(ArrivalsAt(kNoticeFile).size(), 2u);
  EXPECT_EQ(NoticeText(), "late");
}

TEST_F(NoticeTest, ReadForAnEarlierOpeningNeverFillsALaterOne) {
  auto gate = std::make_shared<Gate>();
  auto count = std::make_shared<std::atomic<int>>(0);
  server.On(kNoticeFile, [gate, count](const Arrival&) {
    const int mine = ++*count;
    gate->Wait();
    return Reply{.body = mine == 1 ? "first" : "second"};
  });
  Start();
  OpenNotice();
  gate->WaitForArrivals(1);
  headless::AskToClose(NoticeWindow::Self);
  OpenNotice();
  gate->WaitForArrivals(2);
  // The first read ends while the second window is open; the GUI thread handles its task
  // until that worker is gone (the second still waits at the server).
  gate->ReleaseOne();
  const std::uint64_t until = MonotonicMilliseconds() + 10000;
  while (ActiveThreadCount() > 1 && MonotonicMilliseconds() < until) {
    ui::ProcessEvents();
    usleep(1000);
  }
  ASSERT_EQ(ActiveThreadCount(), 1);
  EXPECT_EQ(NoticeText(), kReading);
  gate->ReleaseAll();
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_EQ(NoticeText(), "second");
}

class FeedbackTest : public WebServicesTest {
 protected:
  void SetUp() override {
    WebServicesTest::SetUp();
    server.On(kFeedbackTarget, Reply{.body = ""});
    Start();
    headless::ChooseMenuItem(MainWindow::Self, MainWindow::FeedbackMenuItem.name);
    ASSERT_TRUE(ui::IsCreated(FeedbackWindow::Self));
  }
  void Type(const Text& title, const Text& content, const Text& contact) {
    headless::TypeText(FeedbackWindow::TitleBox, title);
    headless::TypeText(FeedbackWindow::ContentBox, content);
    headless::TypeText(FeedbackWindow::ContactBox, contact);
  }
  // Clicks send and lets a destruction it asked for happen.
  void Send() {
    headless::Click(FeedbackWindow::SendButton);
    ASSERT_TRUE(headless::WaitIdle());
  }
  void ExpectKeptAndReady(const Text& title) {
    ASSERT_TRUE(ui::IsCreated(FeedbackWindow::Self));
    EXPECT_EQ(ui::GetText(FeedbackWindow::TitleBox), title);
    EXPECT_EQ(ui::GetText(FeedbackWindow::SendButton), "发送");
    EXPECT_TRUE(ui::GetEnabled(FeedbackWindow::SendButton));
  }
  std::vector<Text> Messages() const {
    std::vector<Text> texts;
    for (const auto& m : headless::MessagesShown()) texts.push_back(m.text);
    return texts;
  }
};

TEST_F(FeedbackTest, BodyIsPostedWithoutEncoding) {
  const struct {
    Text title, content, contact;
    std::string body;
  } cases[] = {
      {"a&b", "内容 100%\r\n=", "qq 1", "bt=a&b&nr=内容 100%\r\n=&lx=qq 1"},
      {"", "", "", "bt=&nr=&lx="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    if (!ui::IsCreated(FeedbackWindow::Self)) {
      headless::ChooseMenuItem(MainWindow::Self, MainWindow::FeedbackMenuItem.name);
    }
    headless::ClearRecords();
    Type(c.title, c.content, c.contact);
    const std::size_t before = ArrivalsAt(kFeedbackTarget).size();
    Send();
    const std::vector<Arrival> posts = ArrivalsAt(kFeedbackTarget);
    ASSERT_EQ(posts.size(), before + 1);
    EXPECT_EQ(posts.back().method, "POST");
    EXPECT_EQ(posts.back().body, c.body);
    EXPECT_EQ(Messages(), std::vector<Text>{kSent});
    EXPECT_FALSE(ui::IsCreated(FeedbackWindow::Self));
  }
}

TEST_F(FeedbackTest, ButtonReadsSendingWhileTheSendRuns) {
  // The GUI thread is inside the send and waits without handling events, so the server's
  // thread may look at the button's model directly.
  auto seen = std::make_shared<std::pair<Text, bool>>();
  server.On(kFeedbackTarget, [seen](const Arrival&) {
    ui::ControlModel* button =
        ui::FindWindow(FeedbackWindow::Self.name)->Find(FeedbackWindow::SendButton.name);
    *seen = {button->text, button->enabled};
    return Reply{};
  });
  Send();
  EXPECT_EQ(seen->first, "发送中...");
  EXPECT_FALSE(seen->second);
  EXPECT_FALSE(ui::IsCreated(FeedbackWindow::Self));
}

TEST_F(FeedbackTest, FailedSendKeepsTheWindowAndWhatWasTyped) {
  const struct {
    const char* name;
    Reply linkFile;
    Reply target;
    bool posted;
  } cases[] = {
      {"address unreadable", Reply{.status = 404}, Reply{}, false},
      {"address empty", Reply{.body = ""}, Reply{}, false},
      {"target closes at once", Reply{.body = Link(kFeedbackTarget)},
       Reply{.body = "0123456789", .mode = ReplyMode::CloseEarly}, true},
      {"target refuses", Reply{.body = Link(kFeedbackTarget)}, Reply{.status = 500}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server.On(kFeedbackLinkFile, c.linkFile);
    server.On(kFeedbackTarget, c.target);
    headless::ClearRecords();
    const std::size_t before = ArrivalsAt(kFeedbackTarget).size();
    Type("t", "c", "m");
    Send();
    EXPECT_EQ(Messages(), std::vector<Text>{kSendFailed});
    EXPECT_EQ(ArrivalsAt(kFeedbackTarget).size(), before + (c.posted ? 1 : 0));
    ExpectKeptAndReady("t");
    EXPECT_EQ(ui::GetText(FeedbackWindow::ContentBox), "c");
  }
}

}  // namespace
