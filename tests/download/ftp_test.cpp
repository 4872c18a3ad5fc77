// The download component's FTP side against a loopback FTP server (pyftpdlib): anonymous and
// named logins, and the transfer type members.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "runtime/download.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "runtime/threads.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// The text the server holds.
const std::string kLines = "first line\nsecond line\n";

class FtpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(temp.native() / "served");
    std::ofstream(temp.native() / "served" / "notes.txt", std::ios::binary) << kLines;
    std::ofstream(temp.native() / "served" / "update.zip", std::ios::binary) << kLines;
    const Text portFile = temp / "port";
    ASSERT_TRUE(RunProgram("/usr/bin/python3 " + Text(FTP_SERVER_SCRIPT) + " " + temp / "served" + " " + portFile +
                               " " + temp / "ftp.log" + " " + ToText(static_cast<int>(getpid())),
                           false));
    for (int i = 0; i < 1000 && !FileExists(portFile); ++i) usleep(10000);
    std::ifstream in(NativePath(portFile));
    in >> port >> serverPid;
    ASSERT_GT(port, 0) << "the FTP server did not start (python3-pyftpdlib)";
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForThreads(10000));
    if (serverPid > 0) kill(serverPid, SIGTERM);
  }

  // Downloads path with the task's members changed by adjust; the events' codes and the file.
  std::vector<int> Fetch(const std::string& path, const std::function<void(TaskParam&)>& adjust, std::string& got) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> codes;
    TaskParam p;
    p.Mode = 1;
    p.Source = "ftp://127.0.0.1:" + std::to_string(port) + path;
    p.LocalFile = temp / "got.bin";
    p.FtpTransferType = 1;
    p.BinaryExtensions = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";
    p.StopWait = 1000;
    p.EventRoutine = [&](int code, int, int, int, int) {
      std::lock_guard<std::mutex> lock(mutex);
      codes.push_back(code);
      changed.notify_all();
    };
    adjust(p);
    RemoveFile(p.LocalFile);
    Download download;
    EXPECT_TRUE(DownloadStart(download, p));
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(20), [&] {
      return !codes.empty() && codes.back() == kDownloadEventThreadEnd;
    });
    got = ToText(ReadFileBytes(p.LocalFile));
    return codes;
  }
  std::string Log() { return ToText(ReadFileBytes(temp / "ftp.log")); }

  TempFolder temp;
  int port = 0;
  int serverPid = 0;
};

const std::vector<int> kDone{kDownloadEventSize, kDownloadEventDone, kDownloadEventThreadEnd};

}  // namespace

TEST_F(FtpTest, AnonymousBinaryDownload) {
  std::string got;
  EXPECT_EQ(Fetch("/notes.txt", [](TaskParam&) {}, got), kDone);
  EXPECT_EQ(got, kLines);
  EXPECT_NE(Log().find("USER anonymous"), std::string::npos);
  EXPECT_NE(Log().find("TYPE I"), std::string::npos);
}

TEST_F(FtpTest, NamedLogin) {
  std::string got;
  EXPECT_EQ(Fetch("/notes.txt", [](TaskParam& p) { p.FtpUser = "lorvane", p.FtpPassword = "secret"; }, got), kDone);
  EXPECT_EQ(got, kLines);
  std::vector<int> codes = Fetch("/notes.txt", [](TaskParam& p) { p.FtpUser = "lorvane", p.FtpPassword = "wrong"; }, got);
  EXPECT_EQ(codes, (std::vector<int>{kDownloadEventFailed, kDownloadEventThreadEnd}));
  codes = Fetch("/missing.txt", [](TaskParam&) {}, got);
  EXPECT_EQ(codes, (std::vector<int>{kDownloadEventFailed, kDownloadEventThreadEnd}));
}

TEST_F(FtpTest, TransferTypes) {
  struct Case {
    const char* name;
    int type;
    const char* path;
    bool binary;
  } cases[] = {
      {"binary", 1, "/notes.txt", true},
      {"ascii", 2, "/notes.txt", false},
      {"listed extension", 3, "/update.zip", true},
      {"unlisted extension", 3, "/notes.txt", false},
  };
  for (const Case& c : cases) {
    std::string got;
    const std::size_t logged = Log().size();
    std::vector<int> codes = Fetch(c.path, [&](TaskParam& p) { p.FtpTransferType = c.type; }, got);
    EXPECT_EQ(codes.end()[-2], kDownloadEventDone) << c.name;
    EXPECT_EQ(got, kLines) << c.name;  // this server sends text with the line ends it has
    const std::string commands = Log().substr(logged);
    EXPECT_NE(commands.find(c.binary ? "TYPE I" : "TYPE A"), std::string::npos) << c.name;
    EXPECT_EQ(commands.find(c.binary ? "TYPE A" : "TYPE I"), std::string::npos) << c.name;
  }
}
