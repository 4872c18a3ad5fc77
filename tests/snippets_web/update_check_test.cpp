// The update check against pages served over loopback, and the hand-over to a stand-in updater.
#include "snippets/update_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "runtime/clock.h"
#include "runtime/threads.h"
#include "snippets/startup.h"
#include "ui/model.h"
#include "snippets/web_links.h"
#include "web_services_fixture.h"

namespace {

using namespace web_services_test;
namespace headless = ui::headless;

constexpr const char* kUpToDate = "是最新版本  现行版本:0.51";
constexpr const char* kCheckFailed = "检查更新失败  现行版本:0.51";
constexpr const char* kQuestion = "检测到最新版本，是否更新？？";
constexpr const char* kStartFailed = "更新失败！！原因：更新程序打开失败，请检查更新文件是否存在！";

class UpdateCheckTest : public WebServicesTest {
 protected:
  // Serves page (as bytes) as the update-information page.
  void ServePage(const std::string& page) { server.On(kUpdatePage, Reply{.body = page}); }

  // One check on its own thread, as the start-up runs it, from a fresh status part 3.
  void RunCheck() {
    ui::StatusBarSetText(MainWindow::MainStatusBar, 3, "版本信息");
    ui::StatusBarSetTip(MainWindow::MainStatusBar, 3, "");
    headless::ClearRecords();
    StartThread(CheckForUpdateThread);
    ASSERT_TRUE(headless::WaitIdle());
  }

  // A stand-in updater: a script that writes its argument count and arguments, one a line, to
  // a file beside it.
  std::string InstallUpdater(const std::string& nativeFolder, const char* name = "update.exe") {
    const std::string script = nativeFolder + "/" + name;
    const std::string record = script + ".args";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << record << "'\n";
    chmod(script.c_str(), 0755);
    return record;
  }

  // The lines the stand-in wrote; waits (polling) for it to have run.
  static std::vector<std::string> RecordedLines(const std::string& record) {
    const std::uint64_t until = MonotonicMilliseconds() + 10000;
    std::vector<std::string> lines;
    while (MonotonicMilliseconds() < until) {
      std::ifstream in(record);
      std::string line;
      lines.clear();
      while (std::getline(in, line)) lines.push_back(line);
      if (!lines.empty() && lines.size() == std::stoul(lines[0]) + 1) return lines;
      usleep(5000);
    }
    return lines;
  }
};

TEST_F(UpdateCheckTest, PageCases) {
  Start();
  const std::string newer = "最新版本:";
  const struct {
    std::string page;
    std::string status;
    std::string tip;
    bool asked;
  } cases[] = {
      {"0.51|x|y|z|w", kUpToDate, kUpToDate, false},
      {"0.52|x|y|真|w", newer + "0.52  现行版本:0.51", "", true},
      {"0.510000001", kUpToDate, kUpToDate, false},  // the same single-precision number
      {"1", newer + "1  现行版本:0.51", "", true},
      {"0.6", newer + "0.6  现行版本:0.51", "", true},
      {"０．６|x", newer + "0.6  现行版本:0.51", "", true},  // full-width digits and point
      {"0.4|x|y|z|w", kUpToDate, kUpToDate, false},
      {"", kCheckFailed, "", false},
      {std::string("\0" "0.9|x", 6), kCheckFailed, "", false},  // nothing before the NUL
      {"|0.9|x|y|w", kUpToDate, kUpToDate, false},               // empty field 1 reads as 0
      {"<html>error</html>", kUpToDate, kUpToDate, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    ServePage(c.page);
    headless::AnswerMessageBox(ui::kIdNo);
    RunCheck();
    EXPECT_EQ(StatusPart(3), c.status);
    EXPECT_EQ(StatusTip(3), c.tip);
    ASSERT_EQ(headless::MessagesShown().size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(headless::MessagesShown()[0].text, kQuestion);
      EXPECT_EQ(headless::MessagesShown()[0].flags, ui::kMbYesNo);
      EXPECT_EQ(headless::MessagesShown()[0].title, "信息：");
    }
    EXPECT_TRUE(ui::IsCreated(MainWindow::Self));  // No starts nothing
  }
}

TEST_F(UpdateCheckTest, VersionIsReadAsDoubleWhenNewer) {
  ServePage("0.52|x");
  EXPECT_DOUBLE_EQ(GetLatestVersion(UpdateInfoLink(), 0.51f), 0.52);
  ServePage("0.51");
  EXPECT_EQ(GetLatestVersion(UpdateInfoLink(), 0.51f), 0.0);
  ServePage("");
  EXPECT_EQ(GetLatestVersion(UpdateInfoLink(), 0.51f), -1.0);
}

TEST_F(UpdateCheckTest, NoNetworkFailsTheCheckWithoutMessage) {
  Start();
  SetInetConnectTo({"::127.0.0.1:1"});  // nothing listens there
  RunCheck();
  EXPECT_EQ(StatusPart(3), kCheckFailed);
  EXPECT_TRUE(headless::MessagesShown().empty());
}

TEST_F(UpdateCheckTest, StartUpDoesNotWaitForThePage) {
  auto gate = std::make_shared<Gate>();
  server.On(kUpdatePage, [gate](const Arrival&) {
    gate->Wait();
    return Reply{.body = "0.51|x|y|z|w"};
  });
  ASSERT_TRUE(StartSnippetProgram());
  // The created handler has run to its end while the page is still held back.
  ui::WindowModel* window = ui::FindWindow(MainWindow::Self.name);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->trayIcon, TrayIconImage());
  EXPECT_EQ(headless::MessagesShown().size(), 0u);
  EXPECT_EQ(StatusPart(3), "版本信息");
  gate->WaitForArrivals(1);
  gate->ReleaseAll();
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_EQ(StatusPart(3), kUpToDate);
}

TEST_F(UpdateCheckTest, YesStartsTheUpdaterWithTheLinkAndDestroysTheMainWindow) {
  Start();
  const std::string record = InstallUpdater(NativePath(programFolder));
  ServePage("0.52|x|y|真|w");
  server.On(kCounter, Reply{.body = "a</br>1"});
  headless::AnswerMessageBox(ui::kIdYes);

  RunCheck();

  EXPECT_EQ(RecordedLines(record), (std::vector<std::string>{"1", Link(kUpdatePage)}));
  EXPECT_FALSE(ui::IsCreated(MainWindow::Self));
  EXPECT_EQ(headless::MessagesShown().size(), 1u);  // the question only
  // The hand-over skips the close sequence: no exit report.
  for (const std::string& body : BodiesAt(kCounter)) EXPECT_NE(body, "leixing=4");
  EXPECT_FALSE(headless::EndedWithCode().has_value());
}

TEST_F(UpdateCheckTest, FolderWithABlankStartsOnlyTheUpdaterBesideTheProgram) {
  Start();
  // The program's folder "my tools"; beside it a program "my" that an unquoted line would run.
  const std::string base = NativePath(programFolder);
  std::filesystem::create_directory(base + "/my tools");
  const std::string decoy = InstallUpdater(base, "my");
  const std::string record = InstallUpdater(base + "/my tools");
  SetRunDirectory(programFolder + "\\my tools");
  ServePage("0.6");
  headless::AnswerMessageBox(ui::kIdYes);

  RunCheck();

  EXPECT_EQ(RecordedLines(record), (std::vector<std::string>{"1", Link(kUpdatePage)}));
  EXPECT_FALSE(FileExists(PathFromNative(decoy)));
  EXPECT_FALSE(ui::IsCreated(MainWindow::Self));
  SetRunDirectory(programFolder);
}

TEST_F(UpdateCheckTest, MissingUpdaterSaysSoAndKeepsTheWindow) {
  Start();
  ServePage("0.52|x|y|真|w");
  headless::AnswerMessageBox(ui::kIdYes);

  RunCheck();

  ASSERT_EQ(headless::MessagesShown().size(), 2u);
  EXPECT_EQ(headless::MessagesShown()[1].text, kStartFailed);
  EXPECT_EQ(headless::MessagesShown()[1].flags, ui::kMbOk);
  EXPECT_TRUE(ui::IsCreated(MainWindow::Self));
  EXPECT_EQ(StatusPart(3), "最新版本:0.52  现行版本:0.51");
}

TEST(UpdaterCommandLine, QuotesTheUpdaterAndTheLinkAndRefusesQuotes) {
  const struct {
    const char* folder;
    const char* link;
    const char* line;
  } cases[] = {
      {"C:\\Tools", "http://l/x", "\"C:\\Tools\\update.exe\" \"http://l/x\""},
      {"C:\\My Tools", "http://l/x", "\"C:\\My Tools\\update.exe\" \"http://l/x\""},
      {"C:\\a\"b", "http://l/x", ""},
      {"C:\\Tools", "http://l/\"x", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UpdaterCommandLine(c.folder, c.link), c.line) << c.folder;
}

}  // namespace
