// Start-up of the updater: its argument, the update page's fields, a leftover file and the start
// of the download.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "resources/window_ids.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "tests/updater/updater_fixture.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"
#include "updater/updater_globals.h"

namespace headless = ui::headless;
namespace w = UpdaterWindow;
namespace fs = std::filesystem;

namespace {

const Text kDownloadFailed = "<zip file updated.zip>文件下载失败！！";

}  // namespace

TEST_F(UpdaterTest, OtherThanOneArgumentEndsSilently) {
  const Text page = ServePage("0.6|" + Url("/missing") + "|notes|真|x");
  for (const std::vector<Text>& args : {std::vector<Text>{}, std::vector<Text>{page, "second"}}) {
    SCOPED_TRACE(args.size());
    RunUpdater(args);
    EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
    EXPECT_TRUE(headless::MessagesShown().empty());
    headless::Uninstall();
    headless::Install();
  }
  EXPECT_TRUE(server.Arrivals().empty());
}

TEST_F(UpdaterTest, PageNeedsExactlyFiveFields) {
  struct Case {
    const char* name;
    std::string page;
    bool accepted;
  } cases[] = {
      {"five fields", "0.6|{file}|notes|真|x", true},
      {"five fields and a final bar", "0.6|{file}|notes|真|x|", true},
      {"four fields and a final bar", "0.6|{file}|notes|真|", false},
      {"four fields", "0.6|{file}|notes|真", false},
      {"six fields", "0.6|{file}|notes|真|x|y", false},
      {"empty page", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string page = c.page;
    if (std::size_t at = page.find("{file}"); at != std::string::npos) page.replace(at, 6, Url("/missing"));
    RunUpdater({ServePage(page)});
    if (c.accepted) {
      // The download of a missing file fails; the window stays with its texts.
      EXPECT_FALSE(headless::EndedWithCode().has_value());
      ASSERT_EQ(headless::MessagesShown().size(), 1u);
      EXPECT_EQ(headless::MessagesShown()[0].text, kDownloadFailed);
      EXPECT_EQ(headless::MessagesShown()[0].flags, ui::kMbOk);
      EXPECT_EQ(ui::GetText(w::UpdateNotesBox), "notes");
      EXPECT_EQ(ui::GetText(w::StatusLabel), "文件下载失败！！");
      EXPECT_EQ(ui::GetTimerPeriod(w::ProgressTimer), 0);
    } else {
      EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
      EXPECT_TRUE(headless::MessagesShown().empty());
    }
    headless::Uninstall();
    ReleaseUpdaterGlobals();
    headless::Install();
  }
}

TEST_F(UpdaterTest, UnreadablePageEndsSilently) {
  RunUpdater({Url("/no-page")});
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  EXPECT_TRUE(headless::MessagesShown().empty());
}

TEST_F(UpdaterTest, DownloadThatCannotStartSaysSoAndEnds) {
  for (const std::string& second : {std::string(""), std::string("file:///etc/passwd"), std::string("http:///x")}) {
    SCOPED_TRACE(second);
    RunUpdater({ServePage("0.6|" + second + "|notes|真|x")});
    ASSERT_EQ(headless::MessagesShown().size(), 1u);
    EXPECT_EQ(headless::MessagesShown()[0].text, "下载失败！！更新失败！！");
    EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
    headless::Uninstall();
    ReleaseUpdaterGlobals();
    headless::Install();
  }
}

TEST_F(UpdaterTest, FourthFieldChoosesTheFileName) {
  struct Case {
    const char* fourth;
    const Text& name;
  } cases[] = {{"真", kZipName}, {"真 ", kProgramName}, {"假", kProgramName}, {"", kProgramName}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fourth);
    RunUpdater({ServePage("0.6|" + Url("/missing") + "|notes|" + c.fourth + "|x")});
    EXPECT_EQ(UpdateFileName, c.name);
    ASSERT_EQ(headless::MessagesShown().size(), 1u);
    EXPECT_EQ(headless::MessagesShown()[0].text, "<" + c.name + ">文件下载失败！！");
    headless::Uninstall();
    ReleaseUpdaterGlobals();
    headless::Install();
  }
}

TEST_F(UpdaterTest, LeftoverFileIsDeletedBeforeTheDownload) {
  WriteNative(programNative / kZipName, "old leftover");
  RunUpdater({ServePage("0.6|" + Url("/missing") + "|notes|真|x")});
  EXPECT_FALSE(FileExists(programFolder + "\\" + kZipName));
  EXPECT_EQ(headless::MessagesShown().size(), 1u);  // the failed download, nothing about the leftover
}

TEST_F(UpdaterTest, LeftoverProgramStillRunningIsEndedThenDeleted) {
  // A real program running from the leftover file: a copy of sleep under the update's name.
  const fs::path leftover = programNative / kProgramName;
  fs::copy_file("/bin/sleep", leftover);
  ASSERT_TRUE(RunProgram(programFolder + "\\" + kProgramName + " 60", false));
  long pid = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::error_code ec;
    if (fs::read_symlink(entry.path() / "exe", ec) == leftover) pid = std::atol(entry.path().filename().c_str());
  }
  ASSERT_GT(pid, 0);
  RunUpdater({ServePage("0.6|" + Url("/missing") + "|notes|exe|x")});
  EXPECT_FALSE(fs::exists(leftover));
  // The kill is delivered by the system on its own time: a few milliseconds at most.
  auto ended = [pid] {
    const std::string stat = ReadNative("/proc/" + std::to_string(pid) + "/stat");
    return stat.empty() || stat.find(") Z") != std::string::npos;  // gone, or a zombie
  };
  for (int i = 0; i < 200 && !ended(); ++i) usleep(10000);
  EXPECT_TRUE(ended());
  // Only the failed download is told.
  EXPECT_EQ(headless::MessagesShown().size(), 1u);
}

TEST_F(UpdaterTest, LeftoverFileThatCannotBeDeletedEndsBeforeAnyDownload) {
  WriteNative(programNative / kZipName, "in use");
  FileSystemOps ops;
  ops.removeFile = [](const std::string&) { return false; };
  InstallFileSystem(ops);
  server.On("/u.zip", web_test::Reply{200, {}, "data"});
  RunUpdater({ServePage("0.6|" + Url("/u.zip") + "|notes|真|x")});
  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::MessagesShown()[0].text, "运行目录下<zip file updated.zip>文件删除失败！更新失败！！请手动删除后重试！");
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  EXPECT_EQ(ReadNative(programNative / kZipName), "in use");
  for (const web_test::Arrival& a : server.Arrivals()) EXPECT_NE(a.path, "/u.zip");
}

TEST_F(UpdaterTest, TaskDefaultsAndWhatTheStartUpFillsIn) {
  server.On("/u.zip", web_test::Reply{200, {}, "", web_test::ReplyMode::Silent});
  StartUpdater({ServePage("0.6|" + Url("/u.zip") + "|notes|真|x")});
  EXPECT_EQ(ui::GetText(w::StatusLabel), "下载中.....");
  EXPECT_EQ(ui::GetTimerPeriod(w::ProgressTimer), 1000);
  EXPECT_EQ(UpdateTask.Mode, 1);
  EXPECT_EQ(UpdateTask.Source, Url("/u.zip"));
  EXPECT_EQ(UpdateTask.LocalFile, programFolder + "\\" + kZipName);
  EXPECT_EQ(UpdateTask.FtpUser, "anonymous");
  EXPECT_EQ(UpdateTask.FtpPassword.size(), 17u);
  EXPECT_EQ(UpdateTask.Connections, 1);
  EXPECT_EQ(UpdateTask.ConnectTimeout, 20000);
  EXPECT_EQ(UpdateTask.IdleTimeout, 20000);
  EXPECT_EQ(UpdateTask.ReplyTimeout, 20000);
  EXPECT_EQ(UpdateTask.StopWait, 1000);
  EXPECT_EQ(UpdateTask.Reserved12, 20480);
  EXPECT_EQ(UpdateTask.Reserved13, 1024);
  EXPECT_EQ(UpdateTask.FtpTransferType, 1);
  EXPECT_EQ(UpdateTask.BinaryExtensions, ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm");
  EXPECT_TRUE(UpdateTask.Proxy.empty());
  EXPECT_TRUE(UpdateTask.Referer.empty());
  // Closing the window during the download ends the program without a question.
  headless::AskToClose(w::Self);
  ui::RunMessageLoop();
  EXPECT_TRUE(headless::WaitIdle());
  EXPECT_TRUE(headless::MessagesShown().empty());
  EXPECT_FALSE(FileExists(programFolder + "\\" + kZipName));
}
