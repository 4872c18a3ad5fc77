// The real window opens a file with the desktop's opener, "xdg-open" found on the PATH, the path
// handed over as one argument with no shell in between. A stand-in opener records what it got.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "runtime/platform.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class DesktopOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = getenv("PATH");
    oldPath_ = path ? std::optional<std::string>(path) : std::nullopt;
  }
  void TearDown() override {
    if (oldPath_) setenv("PATH", oldPath_->c_str(), 1);
  }

  // A stand-in "xdg-open" that writes its argument count and arguments to a file beside it.
  void InstallOpener() {
    const fs::path bin = base_ / "bin";
    fs::create_directory(bin);
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\n"
                                       "out=\"$(dirname \"$0\")/../opened\"\n"
                                       "printf '%s\\n%s' \"$#\" \"$1\" > \"$out.part\" && mv \"$out.part\" \"$out\"\n";
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
  }

  // What the stand-in recorded; waits for the child process, at most ten seconds.
  std::optional<std::string> Recorded() {
    const std::uint64_t end = PlatformMilliseconds() + 10000;
    while (!fs::exists(base_ / "opened")) {
      if (PlatformMilliseconds() > end) return std::nullopt;
      usleep(2000);
    }
    std::ifstream in(base_ / "opened");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempFolder folder_;
  const fs::path& base_ = folder_.native();
  std::optional<std::string> oldPath_;
};

TEST_F(DesktopOpenTest, PathReachesTheOpenerAsOneArgumentUnread) {
  const char* names[] = {
      "临时.cpp",
      "with blank 'quote\" and ; semicolon.cpp",
      "$(touch pwned).cpp",
      "`touch pwned`.txt",
  };
  InstallOpener();
  for (const char* name : names) {
    SCOPED_TRACE(name);
    fs::remove(base_ / "opened");
    const std::string path = (base_ / name).string();
    ASSERT_TRUE(PlatformOpenWithDefaultProgram(path));
    const std::optional<std::string> recorded = Recorded();
    ASSERT_TRUE(recorded.has_value());
    EXPECT_EQ(*recorded, "1\n" + path);
  }
  EXPECT_FALSE(fs::exists(base_ / "pwned"));
  EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(DesktopOpenTest, WithoutAnOpenerOnThePathNothingStarts) {
  fs::create_directory(base_ / "empty");
  setenv("PATH", (base_ / "empty").c_str(), 1);
  EXPECT_FALSE(PlatformOpenWithDefaultProgram((base_ / "x.cpp").string()));
}

}  // namespace
