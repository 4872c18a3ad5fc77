// The real snipdock (its test build: empty web links, so its start-up looks up no host) under an
// X server of the test's own: it starts in a fresh program folder, creates its library, shows its
// main window, and a close request ends it with code 0 and the tree saved.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/database.h"
#include "runtime/files.h"
#include "tests/support/real_program.h"

namespace {

namespace fs = std::filesystem;
using real_program::WaitFor;

using real_program::kMessageBoxTitle;

const std::string kMainTitle = "Lorvane-Snipdock";

class ProgramSmokeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string display;
    if (real_program::CommandFound("Xvfb")) {
      server_ = std::make_unique<real_program::OwnXServer>();
      display = server_->display();
    }
    if (display.empty() && getenv("DISPLAY")) display = getenv("DISPLAY");
    if (display.empty()) GTEST_SKIP() << "no X display";
    if (!fs::exists(SNIPDOCK_PROGRAM)) GTEST_SKIP() << "snipdock is not built";
    if (std::string(X_WINDOW_PROGRAM).empty() || !fs::exists(X_WINDOW_PROGRAM)) {
      GTEST_SKIP() << "x_window is not built";
    }
    if (!real_program::CommandFound("xdotool")) GTEST_SKIP() << "xdotool is missing";
    windows_ = std::make_unique<real_program::Windows>(display, X_WINDOW_PROGRAM);
    display_ = display;
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
    child_.Kill();
    server_.reset();
    std::error_code ec;
    if (!base_.empty()) fs::remove_all(base_, ec);
  }

  void Start() {
    ASSERT_TRUE(child_.Start((program_ / "snipdock").string(), {},
                             {"TMPDIR=" + (base_ / "tmp").string(), "DISPLAY=" + display_}));
  }

  bool SendClose(const std::string& title) const { return windows_->Close(title); }
  bool WindowShown(const std::string& title) const { return windows_->Shown(title); }
  std::optional<int> WaitForExit() { return child_.WaitForExit(); }

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

  std::unique_ptr<real_program::OwnXServer> server_;
  std::unique_ptr<real_program::Windows> windows_;
  std::string display_;
  fs::path base_;
  fs::path program_;
  real_program::Program child_;
};

TEST_F(ProgramSmokeTest, StartsCreatesLibraryAndEndsOnClose) {
  Start();
  // The missing library is announced in a box; closing the box lets the program create it.
  // (xdotool cannot match a title outside Latin-1, so the box is found by asking it to close.)
  ASSERT_TRUE(WaitFor([&] { return SendClose(kMessageBoxTitle); })) << "no message box";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(program_ / "DATA.mdb"); }));
  ASSERT_TRUE(WaitFor([&] { return WindowShown(kMainTitle); })) << "no main window";

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
  ASSERT_TRUE(WaitFor([&] { return WindowShown(kMainTitle); })) << "no main window";
  EXPECT_FALSE(SendClose(kMessageBoxTitle)) << "a message box at the second start";
  ASSERT_TRUE(SendClose(kMainTitle));
  EXPECT_EQ(WaitForExit(), std::optional<int>(0));
  EXPECT_TRUE(fs::is_empty(base_ / "tmp"));
  EXPECT_EQ(DirectoryRows(), (std::vector<std::vector<Text>>{
                                 {"A", "-1", "50"}, {"B", "0", "100"}, {"C", "-1", "150"}}));
}

}  // namespace
