// The real update.exe on an X server of its own: it ends at once without its one argument, and with a page announcing a
// zip update it downloads the archive into its folder, unpacks it there and asks to close.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "runtime/files.h"
#include "runtime/zip.h"
#include "tests/support/real_program.h"
#include "tests/support/temp_folder.h"
#include "tests/web/test_server.h"

namespace {

#ifndef UPDATE_PROGRAM
#define UPDATE_PROGRAM ""
#endif
#ifndef X_WINDOW_PROGRAM
#define X_WINDOW_PROGRAM ""
#endif

namespace fs = std::filesystem;
using real_program::WaitFor;

const std::string kUpdaterTitle = reinterpret_cast<const char*>(u8"Lorvane软件更新程序");
const std::string kBoxTitle = reinterpret_cast<const char*>(u8"信息：");

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class UpdateProgramTest : public ::testing::Test {
 protected:
  // An X server of this test's own: other real-window tests show boxes of the same title at the
  // same time, and closing windows by title must reach only ours.
  void SetUp() override {
    if (!real_program::CommandFound("Xvfb")) GTEST_SKIP() << "no Xvfb";
    if (!fs::exists(UPDATE_PROGRAM)) GTEST_SKIP() << "update.exe is not built";
    if (std::string(X_WINDOW_PROGRAM).empty() || !fs::exists(X_WINDOW_PROGRAM)) GTEST_SKIP() << "no x_window";
    ASSERT_FALSE(display_.display().empty()) << "Xvfb did not start";
    base_ = temp_.native();
    program_ = base_ / "program";
    fs::create_directories(program_);
    fs::copy_file(UPDATE_PROGRAM, program_ / "update.exe");
  }

  void Start(const std::vector<std::string>& args) {
    ASSERT_TRUE(child_.Start((program_ / "update.exe").string(), args, {"DISPLAY=" + display_.display()}));
  }
  // What the program folder holds and what reached the server, for a failure's message.
  std::string Listing() {
    std::string out;
    for (const auto& entry : fs::directory_iterator(program_)) out += entry.path().filename().string() + " ";
    for (const auto& a : server.Arrivals()) out += "| " + a.path;
    return out;
  }
  std::optional<int> ExitCode() { return child_.WaitForExit(); }

  TempFolder temp_;
  real_program::OwnXServer display_;
  real_program::Windows windows_{display_.display(), X_WINDOW_PROGRAM};
  fs::path base_;
  fs::path program_;
  web_test::TestServer server;
  // Declared last, so a program still running when a test failed is ended first; the folder
  // goes with temp_.
  real_program::Program child_;
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
  ASSERT_TRUE(WaitFor([&] { return Read(program_ / "snipdock") == "new program"; })) << Listing();
  ASSERT_TRUE(WaitFor([&] { return !fs::exists(program_ / "zip file updated.zip"); }));
  // The completion question. However the toolkit takes a closed box, the program then ends
  // with 0: at once for Yes, for No once its window is closed too.
  ASSERT_TRUE(WaitFor([&] { return windows_.Close(kBoxTitle); })) << "no completion question";
  int status = 0;
  ASSERT_TRUE(WaitFor([&] {
    if (child_.Ended(status)) return true;
    windows_.Close(kUpdaterTitle);
    return false;
  }));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

