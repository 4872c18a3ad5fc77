// The real snipdock under a virtual X server: it starts in a fresh program folder, creates its
// library, shows its main window, and a close request ends it with code 0 and the tree saved.
//
// The test runs its own X server. On the display shared by the suite, other tests' windows bear
// the same titles ("信息：", "Lorvane-Snipdock"), so a window search or a close request could hit
// one of theirs; and a shared server started without -noreset resets whenever its last client
// leaves, so a start that fell into a reset found no display to show the windows on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/clock.h"

extern char** environ;

namespace {

#ifndef SNIPDOCK_PROGRAM
#define SNIPDOCK_PROGRAM ""
#endif
#ifndef SEND_CLOSE_PROGRAM
#define SEND_CLOSE_PROGRAM ""
#endif

namespace fs = std::filesystem;

// Window titles as X11 holds them (UTF-8).
const std::string kMainTitle = "Lorvane-Snipdock";
const std::string kBoxTitle = reinterpret_cast<const char*>(u8"信息：");

constexpr long kLimitMs = 20000;
constexpr long kStepMs = 50;

// Polls condition every 50 ms until it holds or 20 s passed.
template <typename Condition>
bool WaitFor(Condition condition) {
  const std::uint64_t end = MonotonicMilliseconds() + kLimitMs;
  while (MonotonicMilliseconds() < end) {
    if (condition()) return true;
    const timespec step{0, kStepMs * 1000000L};
    nanosleep(&step, nullptr);
  }
  return condition();
}

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// The display the test's X clients use: its own server's, else the one it was given.
std::string display;

bool WindowShown(const std::string& title) {
  return !Output("DISPLAY=" + display + " xdotool search --onlyvisible --name '^" + title +
                 "$' 2>/dev/null")
              .empty();
}

// True when a window of that title was there and was asked to close.
bool SendClose(const std::string& title) {
  const std::string command =
      "DISPLAY=" + display + " '" + std::string(SEND_CLOSE_PROGRAM) + "' '" + title + "'";
  return std::system(command.c_str()) == 0;
}

// Starts an X server of the test's own on a free display, which it never resets; the display
// (":N") once the server is ready, "" when it could not be started.
std::string StartOwnServer(pid_t& server) {
  int ready[2];
  if (pipe(ready) != 0) return "";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, ready[0]);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string fd = std::to_string(ready[1]);
  std::vector<std::string> args = {"Xvfb",  "-displayfd", fd,       "-screen", "0", "1280x1024x24",
                                   "-noreset", "-nolisten", "tcp"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const bool spawned = posix_spawnp(&server, "Xvfb", &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(ready[1]);
  std::string number;
  // The server writes its display number once it accepts clients.
  pollfd wait = {ready[0], POLLIN, 0};
  while (spawned && poll(&wait, 1, static_cast<int>(kLimitMs)) == 1) {
    char c = 0;
    if (read(ready[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(ready[0]);
  if (!spawned) server = -1;
  return number.empty() ? "" : ":" + number;
}

class ProgramSmokeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Output("command -v Xvfb").empty()) display = StartOwnServer(server_);
    if (display.empty() && getenv("DISPLAY")) display = getenv("DISPLAY");
    if (display.empty()) GTEST_SKIP() << "no X display";
    if (!fs::exists(SNIPDOCK_PROGRAM)) GTEST_SKIP() << "snipdock is not built";
    if (std::string(SEND_CLOSE_PROGRAM).empty() || !fs::exists(SEND_CLOSE_PROGRAM)) {
      GTEST_SKIP() << "send_close is not built";
    }
    if (Output("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is missing";
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/snipdock-smoke-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    base_ = pattern;
    program_ = base_ / "program";
    fs::create_directories(program_);
    fs::create_directories(base_ / "tmp");
    fs::copy_file(SNIPDOCK_PROGRAM, program_ / "snipdock");
  }

  void TearDown() override {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    if (server_ > 0) {
      kill(server_, SIGTERM);
      waitpid(server_, nullptr, 0);
      server_ = -1;
    }
    display.clear();
    std::error_code ec;
    if (!base_.empty()) fs::remove_all(base_, ec);
  }

  void Start() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string item = *e;
      if (item.rfind("TMPDIR=", 0) != 0 && item.rfind("DISPLAY=", 0) != 0) env.push_back(item);
    }
    env.push_back("TMPDIR=" + (base_ / "tmp").string());
    env.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = (program_ / "snipdock").string();
    char* argv[] = {path.data(), nullptr};
    ASSERT_EQ(posix_spawn(&child_, path.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  }

  // The exit code once the program ended within the limit.
  std::optional<int> WaitForExit() {
    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(child_, &status, WNOHANG) == child_; });
    if (!ended) return std::nullopt;
    child_ = -1;
    if (!WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  Text Library() const { return PathFromNative((program_ / "DATA.mdb").string()); }

  std::vector<std::vector<Text>> DirectoryRows() {
    std::vector<std::vector<Text>> rows;
    DatabaseUnit db;
    if (!OdbcOpen(db, Library())) return rows;
    const int set = OdbcQuery(db, "SELECT * FROM `目录`");
    while (!OdbcIsEof(db, set)) {
      rows.push_back({OdbcReadField(db, set, "目录名"), OdbcReadField(db, set, "索引"),
                      OdbcReadField(db, set, "标记")});
      OdbcMoveNext(db, set);
    }
    OdbcCloseRecordSet(db, set);
    OdbcClose(db);
    return rows;
  }

  fs::path base_;
  fs::path program_;
  pid_t child_ = -1;
  pid_t server_ = -1;
};

TEST_F(ProgramSmokeTest, StartsCreatesLibraryAndEndsOnClose) {
  Start();
  // The missing library is announced in a box; closing the box lets the program create it.
  // (xdotool cannot match a title outside Latin-1, so the box is found by asking it to close.)
  ASSERT_TRUE(WaitFor([] { return SendClose(kBoxTitle); })) << "no message box";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(program_ / "DATA.mdb"); }));
  ASSERT_TRUE(WaitFor([] { return WindowShown(kMainTitle); })) << "no main window";

  ASSERT_TRUE(SendClose(kMainTitle));
  EXPECT_EQ(WaitForExit(), std::optional<int>(0));
  // The instance's temporary copies went with it.
  EXPECT_TRUE(fs::is_empty(base_ / "tmp"));

  DatabaseUnit db;
  ASSERT_TRUE(OdbcOpen(db, Library()));
  EXPECT_TRUE(OdbcExecute(db, "select * from `目录`;"));
  EXPECT_TRUE(OdbcExecute(db, "select * from `内含信息`;"));
  OdbcClose(db);
  EXPECT_TRUE(DirectoryRows().empty());

  // Second start: the stored tree is loaded and written back at the close. A forward parent
  // index comes back as a top-level item, which shows that the tree went through the window.
  {
    DatabaseUnit fill;
    ASSERT_TRUE(OdbcOpen(fill, Library()));
    ASSERT_TRUE(OdbcExecute(fill, "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('A','-1','50');"));
    ASSERT_TRUE(OdbcExecute(fill, "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('B','0','100');"));
    ASSERT_TRUE(OdbcExecute(fill, "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('C','7','150');"));
    OdbcClose(fill);
  }
  Start();
  ASSERT_TRUE(WaitFor([] { return WindowShown(kMainTitle); })) << "no main window";
  EXPECT_FALSE(SendClose(kBoxTitle)) << "a message box at the second start";
  ASSERT_TRUE(SendClose(kMainTitle));
  EXPECT_EQ(WaitForExit(), std::optional<int>(0));
  EXPECT_TRUE(fs::is_empty(base_ / "tmp"));
  EXPECT_EQ(DirectoryRows(), (std::vector<std::vector<Text>>{
                                 {"A", "-1", "50"}, {"B", "0", "100"}, {"C", "-1", "150"}}));
}

}  // namespace
