// The update from end to end with the real programs: snipdock finds a newer version on the
// loopback update page, the user says Yes, and update.exe, started by it with the link as its one
// argument, downloads the zip into the program folder, unpacks it there and deletes it.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "resources/resources.h"
#include "runtime/files.h"
#include "runtime/zip.h"
#include "tests/support/loopback_program_fixture.h"

namespace {

namespace fs = std::filesystem;
using real_program::FileContents;
using real_program::WaitFor;

using real_program::kMessageBoxTitle;

// The arguments a running process was started with, its own path first; empty once it is gone.
std::vector<std::string> CommandLineOf(pid_t pid) {
  std::vector<std::string> args;
  const std::string all = FileContents("/proc/" + std::to_string(pid) + "/cmdline");
  for (std::size_t start = 0; start < all.size();) {
    const std::size_t end = all.find('\0', start);
    args.push_back(all.substr(start, end - start));
    start = end == std::string::npos ? all.size() : end + 1;
  }
  return args;
}

// The process running that program file; -1 when none does.
pid_t ProcessRunning(const fs::path& program) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (fs::read_symlink(entry.path() / "exe", ec) == program) return std::stoi(name);
  }
  return -1;
}

class UpdateEndToEndTest : public LoopbackProgramTest {
 protected:
  void SetUp() override {
    LoopbackProgramTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (!real_program::CommandFound("xdotool")) GTEST_SKIP() << "xdotool is missing";
    Install(SNIPDOCK_PROGRAM, "snipdock");
    if (!IsSkipped()) Install(UPDATE_PROGRAM, "update.exe");
    if (IsSkipped()) return;
    // The updater outlives snipdock, which started it: as an orphan it becomes this process's
    // child, so the test can wait for it and end it.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    fs::create_directories(base_ / "tmp");
    // A library already there: the start shows no box before the update question.
    ASSERT_TRUE(WriteFileBytes(PathFromNative((program_ / "DATA.mdb").string()), EmptyDatabaseTemplate()));
  }
  // An updater left running by a failed test is ended with the fixture.
  void TearDown() override {
    if (updater_.pid() <= 0 && !program_.empty()) {
      if (const pid_t left = ProcessRunning(program_ / "update.exe"); left > 0) updater_.Adopt(left);
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
  }

  std::size_t ArrivalsAt(const std::string& path) const {
    std::size_t count = 0;
    for (const auto& a : server.Arrivals()) count += a.path == path;
    return count;
  }

  const std::string url_ = Url();
  real_program::Program snipdock_;
  real_program::Program updater_;
};

}  // namespace

TEST_F(UpdateEndToEndTest, YesHandsOverToTheUpdaterWhichUnpacksTheZipIntoTheProgramFolder) {
  std::ofstream(program_ / "readme.txt") << "old notes";
  fs::create_directories(base_ / "new" / "skins");
  std::ofstream(base_ / "new" / "readme.txt") << "new notes";
  std::ofstream(base_ / "new" / "skins" / "blue.skn") << "blue";
  ASSERT_TRUE(ZipCompress(PathFromNative((base_ / "new").string()), PathFromNative((base_ / "new.zip").string())));
  server.On("/update.zip", web_test::Reply{200, {}, FileContents(base_ / "new.zip")});
  // Version 0.6 over the program's 0.51, a zip update (真 in GBK).
  server.On("/update-info", web_test::Reply{200, {}, "0.6|" + url_ + "/update.zip|notes|\xD5\xE6|x"});

  ASSERT_TRUE(snipdock_.Start((program_ / "snipdock").string(), {},
                              {"TMPDIR=" + (base_ / "tmp").string(), "DISPLAY=" + display_.display(),
                               "SNIPDOCK_TEST_SERVER=" + url_}));
  // "检测到最新版本，是否更新？？", answered Yes; snipdock hands over and ends without its exit
  // sequence. (Enter again while the box is still there: a key typed before the box took it
  // is lost, as it would be for a user.)
  int status = 0;
  ASSERT_TRUE(WaitFor([&] {
    if (snipdock_.Ended(status)) return true;
    windows_.PressEnter(kMessageBoxTitle);
    return false;
  })) << "no update question answered " << Listing();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  ASSERT_TRUE(WaitFor([&] { return ArrivalsAt("/update-info") == 2; })) << "the updater read no page " << Listing();
  const pid_t updater = ProcessRunning(program_ / "update.exe");
  ASSERT_GT(updater, 0) << "the updater is not running " << Listing();
  updater_.Adopt(updater);
  EXPECT_EQ(CommandLineOf(updater),
            (std::vector<std::string>{(program_ / "update.exe").string(), url_ + "/update-info"}));

  ASSERT_TRUE(WaitFor([&] { return FileContents(program_ / "readme.txt") == "new notes"; })) << Listing();
  // The zip goes once every member is in place.
  ASSERT_TRUE(WaitFor([&] { return !fs::exists(program_ / "zip file updated.zip"); })) << Listing();
  EXPECT_EQ(FileContents(program_ / "skins" / "blue.skn"), "blue");
  EXPECT_EQ(ArrivalsAt("/update.zip"), 1u);
  // "程序更新完成！是否关闭？？", answered Yes: the updater ends.
  ASSERT_TRUE(WaitFor([&] {
    if (updater_.Ended(status)) return true;
    windows_.PressEnter(kMessageBoxTitle);
    return false;
  })) << "no completion question answered";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
