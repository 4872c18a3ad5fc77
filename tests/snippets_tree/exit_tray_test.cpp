// Closing the main window, the export question, the tray icon and hiding on minimize.
#include "snippets/exit_tray.h"

#include <atomic>
#include <memory>

#include "runtime/threads.h"
#include "tree_helpers.h"

namespace {

using namespace tree_test;
namespace headless = ui::headless;

class ExitTrayTest : public ProgramFixture {
 protected:
  void SetUp() override {
    ProgramFixture::SetUp();
    PrepareLibrary(InProgram("\\DATA.mdb"), {kDirectoryTableText, kEntryTableText});
    ASSERT_TRUE(StartProgram());
    headless::ClearRecords();
  }

  // What the main window looked like when the program ended it.
  struct AtEnd {
    bool seen = false;
    bool trayIcon = true;
    bool visible = true;
  };
  std::shared_ptr<AtEnd> WatchEnd() {
    auto atEnd = std::make_shared<AtEnd>();
    ui::BindWindow(MainWindow::Self, ui::EventKind::Destroying, [atEnd](int) {
      ui::WindowModel* window = MainWindowModel();
      atEnd->seen = true;
      atEnd->trayIcon = window && !window->trayIcon.empty();
      atEnd->visible = window && window->visible;
    });
    return atEnd;
  }

  // An export in progress: its window open, its files written, a thread that runs until it is
  // asked to stop. The flag tells whether its package file was still there when it ended.
  std::shared_ptr<std::atomic<bool>> StartExport() {
    MakeDirectory(InProgram("\\DATA"));
    EXPECT_TRUE(WriteFileBytes(InProgram("\\ls.yrd"), ToByteSet("package")));
    EXPECT_TRUE(WriteFileBytes(InProgram("\\DATA\\临时数据库.mdb"), ToByteSet("copy")));
    EXPECT_TRUE(ui::LoadWindow(ExportWindow::Self));
    auto stopped = std::make_shared<std::atomic<bool>>(false);
    const Text package = InProgram("\\ls.yrd");
    StartThread(
        [stopped, package](int) {
          while (!StopRequested()) ui::DelayPumping(100);
          *stopped = FileExists(package);
        },
        0, &ExportThread);
    TransferDone = 0;
    return stopped;
  }
};

TEST_F(ExitTrayTest, CloseSavesTreeRemovesTrayIconAndEnds) {
  ui::TreeAddItem(MainWindow::DirectoryTree, -1, "A", 50);
  ui::TreeAddItem(MainWindow::DirectoryTree, 0, "B", 100);
  const auto atEnd = WatchEnd();

  headless::AskToClose(MainWindow::Self);

  EXPECT_TRUE(headless::MessagesShown().empty());
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  EXPECT_EQ(DirectoryRows(), (Rows{{"A", "-1", "50"}, {"B", "0", "100"}}));
  ASSERT_TRUE(atEnd->seen);
  EXPECT_FALSE(atEnd->trayIcon);
  EXPECT_FALSE(atEnd->visible);
  EXPECT_EQ(MainWindowModel(), nullptr);
}

TEST_F(ExitTrayTest, CloseDuringExportAnsweredNoKeepsEverything) {
  const auto stopped = StartExport();
  headless::AnswerMessageBox(ui::kIdNo);

  headless::AskToClose(MainWindow::Self);

  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::MessagesShown()[0].text, "还没有导出完成！！是否确定关闭？？");
  EXPECT_EQ(headless::MessagesShown()[0].title, "是否关闭？");
  EXPECT_EQ(headless::MessagesShown()[0].flags, ui::kMbYesNo);
  EXPECT_FALSE(headless::EndedWithCode().has_value());
  EXPECT_TRUE(ui::IsCreated(MainWindow::Self));
  EXPECT_TRUE(ui::IsCreated(ExportWindow::Self));
  EXPECT_FALSE(MainWindowModel()->trayIcon.empty());
  EXPECT_TRUE(FileExists(InProgram("\\ls.yrd")));
  EXPECT_TRUE(FileExists(InProgram("\\DATA\\临时数据库.mdb")));
  EXPECT_EQ(TransferDone.load(), 0);
  EXPECT_TRUE(ThreadRunning(ExportThread));
  EXPECT_FALSE(*stopped);

  // Let the test end the export thread.
  RequestStop(ExportThread);
  headless::WaitIdle();
  EXPECT_TRUE(*stopped);
}

TEST_F(ExitTrayTest, CloseDuringExportAnsweredYesStopsItAndEnds) {
  const auto stopped = StartExport();
  headless::AnswerMessageBox(ui::kIdYes);

  headless::AskToClose(MainWindow::Self);

  EXPECT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  // The thread had ended before its files were removed.
  EXPECT_FALSE(ThreadRunning(ExportThread));
  EXPECT_TRUE(*stopped);
  EXPECT_FALSE(FileExists(InProgram("\\ls.yrd")));
  EXPECT_FALSE(FileExists(InProgram("\\DATA\\临时数据库.mdb")));
  EXPECT_FALSE(ui::IsCreated(ExportWindow::Self));
  EXPECT_EQ(TransferDone.load(), 1);
}

TEST_F(ExitTrayTest, TransferWithoutExportWindowEndsWithoutQuestion) {
  TransferDone = 0;  // an import runs; the export window is closed
  headless::AskToClose(MainWindow::Self);
  EXPECT_TRUE(headless::MessagesShown().empty());
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
}

TEST_F(ExitTrayTest, MinimizeHidesAndTrayDoubleClickShowsAgain) {
  headless::Minimize(MainWindow::Self);
  EXPECT_FALSE(ui::GetVisible(MainWindow::Self));

  for (int action : {1, 3}) {
    SCOPED_TRACE(action);
    headless::TrayAction(MainWindow::Self, action);
    EXPECT_FALSE(ui::GetVisible(MainWindow::Self));
    EXPECT_EQ(ui::GetWindowState(MainWindow::Self), ui::WindowState::Minimized);
  }

  headless::TrayAction(MainWindow::Self, 2);
  EXPECT_TRUE(ui::GetVisible(MainWindow::Self));
  EXPECT_EQ(ui::GetWindowState(MainWindow::Self), ui::WindowState::Normal);
}

TEST_F(ExitTrayTest, MovedInOtherStatesKeepsWindowVisible) {
  for (ui::WindowState state : {ui::WindowState::Normal, ui::WindowState::Maximized}) {
    ui::SetWindowState(MainWindow::Self, state);
    MainWindow_OnMoved();
    EXPECT_TRUE(ui::GetVisible(MainWindow::Self));
  }
}

}  // namespace
