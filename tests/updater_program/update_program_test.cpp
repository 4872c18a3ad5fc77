// The real update.exe on an X server of its own: it ends at once without its one argument, and with a page announcing a
// zip update it downloads the archive into its folder, unpacks it there and asks to close.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "runtime/files.h"
#include "runtime/zip.h"
#include "tests/support/temp_folder.h"
#include "tests/web/test_server.h"

extern char** environ;

namespace {

#ifndef UPDATE_PROGRAM
#define UPDATE_PROGRAM ""
#endif
#ifndef SEND_CLOSE_PROGRAM
#define SEND_CLOSE_PROGRAM ""
#endif

namespace fs = std::filesystem;

const std::string kUpdaterTitle = reinterpret_cast<const char*>(u8"Lorvane软件更新程序");
const std::string kBoxTitle = reinterpret_cast<const char*>(u8"信息：");

// Polls every 50 ms for up to 20 s.
template <typename Condition>
bool Within20Seconds(Condition condition) {
  const std::uint64_t end = MonotonicMilliseconds() + 20000;
  while (MonotonicMilliseconds() < end) {
    if (condition()) return true;
    const timespec step{0, 50 * 1000000L};
    nanosleep(&step, nullptr);
  }
  return condition();
}

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool AskToClose(const std::string& title) {
  return std::system(("'" + std::string(SEND_CLOSE_PROGRAM) + "' '" + title + "'").c_str()) == 0;
}

class UpdateProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("/usr/bin/Xvfb")) GTEST_SKIP() << "no Xvfb";
    if (!fs::exists(UPDATE_PROGRAM)) GTEST_SKIP() << "update.exe is not built";
    if (std::string(SEND_CLOSE_PROGRAM).empty() || !fs::exists(SEND_CLOSE_PROGRAM)) GTEST_SKIP() << "no send_close";
    base_ = temp_.native();
    program_ = base_ / "program";
    fs::create_directories(program_);
    fs::copy_file(UPDATE_PROGRAM, program_ / "update.exe");
    StartDisplay();
  }
  // An X server of this test's own: other real-window tests show boxes of the same title at the
  // same time, and closing windows by title must reach only ours.
  void StartDisplay() {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string xvfb = "/usr/bin/Xvfb", fd = std::to_string(fds[1]);
    std::string screen = "0", size = "800x600x24";
    std::string a1 = "-displayfd", a2 = "-screen", a3 = "-nolisten", a4 = "tcp";
    char* argv[] = {xvfb.data(), a1.data(), fd.data(), a2.data(), screen.data(), size.data(), a3.data(), a4.data(), nullptr};
    ASSERT_EQ(posix_spawn(&display_, xvfb.c_str(), nullptr, nullptr, argv, environ), 0);
    close(fds[1]);
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&pfd, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    setenv("DISPLAY", (":" + number).c_str(), 1);
  }
  // A program still running when a test failed is ended; the folder goes with temp_.
  void TearDown() override {
    for (pid_t* pid : {&child_, &display_}) {
      if (*pid <= 0) continue;
      kill(*pid, SIGKILL);
      waitpid(*pid, nullptr, 0);
    }
  }

  void Start(std::vector<std::string> args) {
    std::string path = (program_ / "update.exe").string();
    std::vector<char*> argv{path.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&child_, path.c_str(), nullptr, nullptr, argv.data(), environ), 0);
  }
  // What the program folder holds and what reached the server, for a failure's message.
  std::string Listing() {
    std::string out;
    for (const auto& entry : fs::directory_iterator(program_)) out += entry.path().filename().string() + " ";
    for (const auto& a : server.Arrivals()) out += "| " + a.path;
    return out;
  }
  std::optional<int> ExitCode() {
    int status = 0;
    if (!Within20Seconds([&] { return waitpid(child_, &status, WNOHANG) == child_; })) return std::nullopt;
    child_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempFolder temp_;
  fs::path base_;
  fs::path program_;
  pid_t child_ = -1;
  pid_t display_ = -1;
  web_test::TestServer server;
};

}  // namespace

TEST_F(UpdateProgramTest, OtherThanOneArgumentEndsAtOnceWithZero) {
  Start({});
  EXPECT_EQ(ExitCode(), std::optional<int>(0));
  Start({"one", "two"});
  EXPECT_EQ(ExitCode(), std::optional<int>(0));
}

TEST_F(UpdateProgramTest, ZipUpdateIsDownloadedAndUnpackedIntoItsFolder) {
  std::ofstream(program_ / "snipdock") << "old program";
  fs::create_directories(base_ / "new");
  std::ofstream(base_ / "new" / "snipdock") << "new program";
  ASSERT_TRUE(ZipCompress(PathFromNative((base_ / "new").string()), PathFromNative((base_ / "new.zip").string())));
  server.On("/update.zip", web_test::Reply{200, {}, Read(base_ / "new.zip")});
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port());
  server.On("/page", web_test::Reply{200, {}, "0.6|" + url + "/update.zip|notes|\xD5\xE6|x"});  // 真 in GBK

  Start({url + "/page"});
  ASSERT_TRUE(Within20Seconds([&] { return Read(program_ / "snipdock") == "new program"; })) << Listing();
  ASSERT_TRUE(Within20Seconds([&] { return !fs::exists(program_ / "zip file updated.zip"); }));
  // The completion question. However the toolkit takes a closed box, the program then ends
  // with 0: at once for Yes, for No once its window is closed too.
  ASSERT_TRUE(Within20Seconds([] { return AskToClose(kBoxTitle); })) << "no completion question";
  int status = 0;
  ASSERT_TRUE(Within20Seconds([&] {
    if (waitpid(child_, &status, WNOHANG) == child_) return true;
    AskToClose(kUpdaterTitle);
    return false;
  }));
  child_ = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

