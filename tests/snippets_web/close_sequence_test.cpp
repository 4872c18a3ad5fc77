// The close sequence with the exit report: sent after the window is hidden and the tray icon
// removed, waited for, and the program ends whatever the counter does.
#include <atomic>
#include <memory>

#include "runtime/threads.h"
#include "snippets/globals.h"
#include "ui/model.h"
#include "web_services_fixture.h"

namespace {

using namespace web_services_test;
namespace headless = ui::headless;

class CloseSequenceTest : public WebServicesTest {
 protected:
  // What the main window looked like when the exit report reached the counter. The GUI thread
  // is inside the close handler then, waiting without handling events, so the server's thread
  // reads the model directly.
  struct AtReport {
    std::atomic<bool> seen{false};
    bool visible = true;
    bool trayIcon = true;
  };
  std::shared_ptr<AtReport> ServeCounterWatchingTheWindow() {
    auto at = std::make_shared<AtReport>();
    server.On(kCounter, [at](const Arrival& a) {
      if (a.body == "leixing=4") {
        ui::WindowModel* window = ui::FindWindow(MainWindow::Self.name);
        at->visible = window != nullptr && window->visible;
        at->trayIcon = window != nullptr && !window->trayIcon.empty();
        at->seen = true;
      }
      return Reply{.body = a.body == "leixing=1" ? "x</br>9" : "x</br>4"};
    });
    return at;
  }
  // The posts of the exit report (those after the start report's two).
  std::vector<std::string> ExitPosts() const {
    std::vector<std::string> all = BodiesAt(kCounter);
    return all.size() > 2 ? std::vector<std::string>(all.begin() + 2, all.end())
                          : std::vector<std::string>{};
  }
  // A package export in progress: its window open and its thread running until asked to stop.
  void RunExport() {
    ASSERT_TRUE(ui::LoadWindow(ExportWindow::Self));
    TransferDone = 0;
    StartThread([](int) { while (!StopRequested()) ui::DelayPumping(50); }, 0, &ExportThread);
  }
};

TEST_F(CloseSequenceTest, ExitReportIsSentHiddenAndWaitedFor) {
  const auto at = ServeCounterWatchingTheWindow();
  Start();
  headless::AskToClose(MainWindow::Self);

  EXPECT_EQ(ExitPosts(), (std::vector<std::string>{"leixing=4", "leixing=1"}));
  ASSERT_TRUE(at->seen);
  EXPECT_FALSE(at->visible);
  EXPECT_FALSE(at->trayIcon);
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  EXPECT_TRUE(headless::MessagesShown().empty());
}

TEST_F(CloseSequenceTest, ProgramEndsWhateverTheCounterDoes) {
  const struct {
    const char* name;
    Reply linkFile;
    Reply counter;
    std::vector<std::string> posts;
  } cases[] = {
      {"address unreadable", Reply{.status = 404}, Reply{.body = "x</br>1"}, {}},
      {"counter closes at once", Reply{.body = Link(kCounter)},
       Reply{.body = "x</br>1</br>", .mode = ReplyMode::CloseEarly}, {"leixing=4"}},
      {"reply without a second piece", Reply{.body = Link(kCounter)}, Reply{.body = "1"}, {"leixing=4"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    server.On(kCountLinkFile, c.linkFile);
    server.On(kCounter, c.counter);
    Start();
    const std::size_t before = BodiesAt(kCounter).size();
    headless::AskToClose(MainWindow::Self);
    const std::vector<std::string> all = BodiesAt(kCounter);
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
              c.posts);
    EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
    EXPECT_TRUE(headless::MessagesShown().empty());
  }
}

TEST_F(CloseSequenceTest, NoNetworkAtAllStillEnds) {
  Start();
  SetInetConnectTo({"::127.0.0.1:1"});  // nothing listens there
  headless::AskToClose(MainWindow::Self);
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
}

TEST_F(CloseSequenceTest, ExportQuestionAnsweredNoSendsNothingAndKeepsEverything) {
  ServeCounterWatchingTheWindow();
  Start();
  RunExport();
  headless::AnswerMessageBox(ui::kIdNo);

  headless::AskToClose(MainWindow::Self);

  EXPECT_TRUE(ExitPosts().empty());
  EXPECT_FALSE(headless::EndedWithCode().has_value());
  EXPECT_TRUE(ui::GetVisible(MainWindow::Self));
  EXPECT_TRUE(ui::IsCreated(ExportWindow::Self));
  EXPECT_TRUE(ThreadRunning(ExportThread));
  EXPECT_EQ(TransferDone.load(), 0);
  RequestStop(ExportThread);
}

TEST_F(CloseSequenceTest, ExportQuestionAnsweredYesStopsTheExportThenReports) {
  const auto at = ServeCounterWatchingTheWindow();
  Start();
  RunExport();
  headless::AnswerMessageBox(ui::kIdYes);

  headless::AskToClose(MainWindow::Self);

  EXPECT_FALSE(ThreadRunning(ExportThread));
  EXPECT_EQ(ExitPosts(), (std::vector<std::string>{"leixing=4", "leixing=1"}));
  EXPECT_TRUE(at->seen);
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
}

}  // namespace
