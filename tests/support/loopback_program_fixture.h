// A test of the real programs against a loopback server: an X server of the test's own (other
// real-window tests show boxes of the same titles at the same time, and closing windows by title
// must reach only ours), a program folder holding copies of the built programs, and the server.
// The suite is built with snipdock_runs_real_programs (tests/support/real_programs).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/real_program.h"
#include "tests/support/temp_folder.h"
#include "tests/web/test_server.h"

class LoopbackProgramTest : public ::testing::Test {
 protected:
  // Skips the test when a tool or program it needs is missing.
  void SetUp() override {
    if (!real_program::CommandFound("Xvfb")) GTEST_SKIP() << "no Xvfb";
    if (!Built(X_WINDOW_PROGRAM)) GTEST_SKIP() << "x_window is not built";
    ASSERT_FALSE(display_.display().empty()) << "Xvfb did not start";
    std::filesystem::create_directories(program_);
  }

  static bool Built(const char* program) { return *program != '\0' && std::filesystem::exists(program); }
  // Copies a built program into the program folder under name; skips the test when it is not built.
  void Install(const char* built, const std::string& name) {
    if (!Built(built)) GTEST_SKIP() << name << " is not built";
    std::filesystem::copy_file(built, program_ / name);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(server.port()); }
  // What the program folder holds and what reached the server, for a failure's message.
  std::string Listing() const {
    std::string out = real_program::FolderNames(program_);
    for (const auto& a : server.Arrivals()) out += "| " + a.path;
    return out;
  }

  TempFolder temp_;
  real_program::OwnXServer display_;
  real_program::Windows windows_{display_.display(), X_WINDOW_PROGRAM};
  const std::filesystem::path base_ = temp_.native();
  const std::filesystem::path program_ = base_ / "program";
  // The derived fixture's programs go before the server, the X server and the folder.
  web_test::TestServer server;
};
