// The real update.exe on an X server of its own: it ends at once without its one argument, and with a page announcing a
// zip update it downloads the archive into its folder, unpacks it there and asks to close.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "runtime/files.h"
#include "runtime/zip.h"
#include "tests/support/loopback_program_fixture.h"

namespace {

namespace fs = std::filesystem;
using real_program::FileContents;
using real_program::WaitFor;

const std::string kUpdaterTitle = reinterpret_cast<const char*>(u8"Lorvane软件更新程序");
using real_program::kMessageBoxTitle;

class UpdateProgramTest : public LoopbackProgramTest {
 protected:
  void SetUp() override {
    LoopbackProgramTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Install(UPDATE_PROGRAM, "update.exe");
  }
  void Start(const std::vector<std::string>& args) {
    ASSERT_TRUE(child_.Start((program_ / "update.exe").string(), args, {"DISPLAY=" + display_.display()}));
  }
  std::optional<int> ExitCode() { return child_.WaitForExit(); }

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
  server.On("/update.zip", web_test::Reply{200, {}, FileContents(base_ / "new.zip")});
  const std::string url = Url();
  server.On("/page", web_test::Reply{200, {}, "0.6|" + url + "/update.zip|notes|\xD5\xE6|x"});  // 真 in GBK

  Start({url + "/page"});
  ASSERT_TRUE(WaitFor([&] { return FileContents(program_ / "snipdock") == "new program"; })) << Listing();
  ASSERT_TRUE(WaitFor([&] { return !fs::exists(program_ / "zip file updated.zip"); }));
  // The completion question. However the toolkit takes a closed box, the program then ends
  // with 0: at once for Yes, for No once its window is closed too.
  ASSERT_TRUE(WaitFor([&] { return windows_.Close(kMessageBoxTitle); })) << "no completion question";
  int status = 0;
  ASSERT_TRUE(WaitFor([&] {
    if (child_.Ended(status)) return true;
    windows_.Close(kUpdaterTitle);
    return false;
  }));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

