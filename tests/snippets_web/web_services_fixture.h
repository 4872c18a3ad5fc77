// A started snippet program whose web services talk to a loopback server: every connection of
// the inet layer goes to it, and the links point at its paths.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/files.h"
#include "runtime/inet.h"
#include "snippets/web_links_test_hooks.h"
#include "tests/support/program_fixture.h"
#include "tests/web/test_server.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace web_services_test {

using web_test::Arrival;
using web_test::Reply;
using web_test::ReplyMode;

// Links whose shared files the server serves under these paths.
inline constexpr const char* kUpdatePage = "/update";
inline constexpr const char* kCountLinkFile = "/count-link";
inline constexpr const char* kNoticeFile = "/notice";
inline constexpr const char* kFeedbackLinkFile = "/feedback-link";
// The addresses those shared files name.
inline constexpr const char* kCounter = "/count";
inline constexpr const char* kFeedbackTarget = "/feedback";

// Holds the replies of a route until the test lets them go, one by one in arrival order.
class Gate {
 public:
  // Blocks the server's thread until reply number n (from 0) is released.
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    const int mine = arrived_++;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_ > mine; });
  }
  void WaitForArrivals(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return arrived_ >= count; });
  }
  void ReleaseOne() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++released_;
    changed_.notify_all();
  }
  void ReleaseAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = 1 << 30;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int arrived_ = 0;
  int released_ = 0;
};

class WebServicesTest : public ProgramFixture {
 protected:
  void SetUp() override {
    ProgramFixture::SetUp();
    SetInetConnectTo({server.ConnectRule()});
    InetClearCookies();
    SetWebServiceLinks({Link(kUpdatePage), Link(kCountLinkFile), Link(kNoticeFile),
                        Link(kFeedbackLinkFile)});
    server.On(kCountLinkFile, Reply{.body = Link(kCounter)});
    server.On(kFeedbackLinkFile, Reply{.body = Link(kFeedbackTarget)});
    ASSERT_TRUE(WriteFileBytes(InProgram("\\DATA.mdb"), EmptyDatabaseTemplate()));
  }
  void TearDown() override {
    ProgramFixture::TearDown();
    EXPECT_EQ(InetOpenHandleCount(), 0) << "handles left open";
    SetInetConnectTo({});
    SetWebServiceLinks({});
  }

  // Starts the program and forgets what its start showed.
  void Start() {
    ASSERT_TRUE(StartProgram());
    ui::headless::ClearRecords();
  }

  static std::string Link(const char* path) { return std::string("http://svc.example") + path; }

  std::vector<Arrival> ArrivalsAt(const std::string& target) const {
    std::vector<Arrival> found;
    for (const Arrival& a : server.Arrivals()) {
      if (a.path == target) found.push_back(a);
    }
    return found;
  }
  // The bodies posted to a path, in order.
  std::vector<std::string> BodiesAt(const std::string& target) const {
    std::vector<std::string> bodies;
    for (const Arrival& a : ArrivalsAt(target)) bodies.push_back(a.body);
    return bodies;
  }

  static Text StatusPart(int part) { return ui::StatusBarText(MainWindow::MainStatusBar, part); }
  static Text StatusTip(int part) { return ui::StatusBarTip(MainWindow::MainStatusBar, part); }

  web_test::TestServer server;
};

}  // namespace web_services_test
