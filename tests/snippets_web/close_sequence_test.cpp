// The close sequence with the exit report: sent after the window is hidden and the tray icon
// removed, waited for, and the program ends whatever the counter does; with an export running,
// asked first, and the export kept or stopped and cleaned up.
#include <algorithm>
#include <atomic>
#include <memory>

#include "runtime/packed_file.h"
#include "runtime/threads.h"
#include "runtime/zip.h"
#include "snippets/export_window.h"
#include "snippets/globals.h"
#include "snippets/library.h"
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
  // A real export of a small library without password, through its window: the first phase
  // has made the archive and the database copy, and its thread waits in its first pause.
  Text StartRealExport() {
    EXPECT_TRUE(MakeDirectory(InProgram("\\DATA")));
    EXPECT_TRUE(MakeDirectory(InProgram("\\DATA\\方法")));
    EXPECT_TRUE(WriteFileBytes(InProgram("\\DATA\\方法\\a.txt"), CompressBytes(Bytes(3000, 'a'))));
    const Text package = tempFolder + "/out.yrd";
    headless::ChooseMenuItem(MainWindow::Self, MainWindow::ExportMenuItem.name);
    headless::AnswerFileDialog(package);
    headless::Click(ExportWindow::SaveToButton);
    headless::AnswerMessageBox(ui::kIdNo);  // no password wanted
    headless::Click(ExportWindow::StartButton);
    EXPECT_TRUE(ThreadRunning(ExportThread));
    EXPECT_EQ(TransferDone.load(), 0);
    EXPECT_TRUE(ExportFilesLeft());
    headless::ClearRecords();
    return package;
  }
  bool ExportFilesLeft() const {
    return FileExists(InProgram(kPackageTempFile)) || FileExists(InProgram(kExportDatabaseCopy));
  }
  std::vector<Text> Questions() const {
    std::vector<Text> asked;
    for (const auto& m : headless::MessagesShown()) asked.push_back(m.title + ":" + m.text);
    return asked;
  }
};

const Text kCloseQuestion = "是否关闭？:还没有导出完成！！是否确定关闭？？";

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

TEST_F(CloseSequenceTest, RealExportGoesOnAfterNoAndEndsItsPackage) {
  ServeCounterWatchingTheWindow();
  Start();
  const Text package = StartRealExport();
  headless::AnswerMessageBox(ui::kIdNo);

  headless::AskToClose(MainWindow::Self);

  EXPECT_EQ(Questions(), std::vector<Text>{kCloseQuestion});
  EXPECT_TRUE(ExitPosts().empty());
  EXPECT_FALSE(headless::EndedWithCode().has_value());
  EXPECT_TRUE(ui::GetVisible(MainWindow::Self));
  EXPECT_TRUE(ui::IsCreated(ExportWindow::Self));
  EXPECT_TRUE(ExportFilesLeft());

  headless::WaitIdle();  // the export finishes on its own
  EXPECT_EQ(ui::GetText(ExportWindow::StatusLabel), "生成完毕，可以去分享给好友了，嘻嘻");
  EXPECT_EQ(TransferDone.load(), 1);
  EXPECT_FALSE(ExportFilesLeft());
  // A whole plain package: header, an archive of the data folder, trailer.
  const Bytes bytes = ReadFileBytes(package);
  ASSERT_GT(bytes.size(), kPackageHeader.size() + kPackageTrailer.size());
  EXPECT_TRUE(std::equal(kPackageHeader.begin(), kPackageHeader.end(), bytes.begin()));
  EXPECT_TRUE(std::equal(kPackageTrailer.begin(), kPackageTrailer.end(), bytes.end() - kPackageTrailer.size()));
  const Text archive = tempFolder + "/out.zip";
  ASSERT_TRUE(WriteFileBytes(archive, Bytes(bytes.begin() + kPackageHeader.size(), bytes.end() - kPackageTrailer.size())));
  ASSERT_EQ(ZipExtract(archive, tempFolder + "/out"), kZipExtractDone);
  EXPECT_TRUE(FileExists(tempFolder + "/out/临时数据库.mdb"));
  EXPECT_EQ(ReadFileBytes(tempFolder + "/out/方法/a.txt"), ReadFileBytes(InProgram("\\DATA\\方法\\a.txt")));

  // With the export done the close asks nothing.
  headless::ClearRecords();
  headless::AskToClose(MainWindow::Self);
  EXPECT_TRUE(headless::MessagesShown().empty());
  EXPECT_EQ(ExitPosts(), (std::vector<std::string>{"leixing=4", "leixing=1"}));
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
}

TEST_F(CloseSequenceTest, RealExportStoppedByYesLeavesNoTemporaryFilesThenReports) {
  const auto at = ServeCounterWatchingTheWindow();
  Start();
  const Text package = StartRealExport();
  headless::AnswerMessageBox(ui::kIdYes);

  headless::AskToClose(MainWindow::Self);

  EXPECT_EQ(Questions(), std::vector<Text>{kCloseQuestion});
  EXPECT_FALSE(ThreadRunning(ExportThread));
  EXPECT_FALSE(FileExists(InProgram(kPackageTempFile)));
  EXPECT_FALSE(FileExists(InProgram(kExportDatabaseCopy)));
  EXPECT_TRUE(FileExists(InProgram("\\DATA\\方法\\a.txt")));
  EXPECT_FALSE(FileExists(package));  // stopped before it wrote anything
  EXPECT_EQ(TransferDone.load(), 1);
  EXPECT_EQ(ExitPosts(), (std::vector<std::string>{"leixing=4", "leixing=1"}));
  EXPECT_TRUE(at->seen);
  EXPECT_FALSE(at->visible);
  EXPECT_FALSE(at->trayIcon);
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
}

}  // namespace
