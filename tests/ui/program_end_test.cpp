// The end of the program: the exit routine runs once however the program ends, after the
// windows are gone.
#include <algorithm>
#include <atomic>
#include <optional>

#include "runtime/threads.h"
#include "ui_fixture.h"

namespace ui_test {
namespace {

using ui::EventKind;

class ProgramEndTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ui::SetExitRoutine([this] {
      ++exitRuns;
      windowsOpenAtExit = ui::IsCreated(kMain) || ui::IsCreated(kOther);
    });
    ASSERT_TRUE(ui::LoadWindow(kMain));
    ASSERT_TRUE(ui::LoadWindow(kOther));
    Record(kMain, EventKind::Closed, "main closed");
    Record(kOther, EventKind::Closed, "other closed");
  }

  void ExpectEndedOnce() {
    EXPECT_EQ(exitRuns.load(), 1);
    EXPECT_FALSE(windowsOpenAtExit.load());
    EXPECT_FALSE(ui::IsCreated(kMain));
    EXPECT_FALSE(ui::IsCreated(kOther));
    EXPECT_EQ(std::count(log.begin(), log.end(), "main closed"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "other closed"), 1);
  }

  std::atomic<int> exitRuns{0};
  std::atomic<bool> windowsOpenAtExit{true};
};

TEST_F(ProgramEndTest, FromAHandlerEndsOnceWithItsCode) {
  ui::Bind(kMain, kGoButton.name, EventKind::Click, [this](int) {
    ui::EndProgram(3);
    log.push_back("handler went on");
  });

  headless::Click(kGoButton);

  ExpectEndedOnce();
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(3));
  EXPECT_EQ(std::count(log.begin(), log.end(), "handler went on"), 0);

  // A second end destroys nothing more and leaves the exit routine alone.
  EXPECT_THROW(ui::EndProgram(4), ui::ProgramEnd);
  ExpectEndedOnce();
}

TEST_F(ProgramEndTest, FromWorkersEndsOnce) {
  std::atomic<int> wentOn{0};
  for (int code : {5, 6}) {
    ASSERT_TRUE(StartThread([&wentOn](int code) {
      ui::EndProgram(code);
      ++wentOn;
    }, code));
  }

  ASSERT_TRUE(headless::WaitIdle());

  ExpectEndedOnce();
  EXPECT_EQ(wentOn.load(), 0);
  const std::optional<int> code = headless::EndedWithCode();
  ASSERT_TRUE(code.has_value());
  EXPECT_TRUE(*code == 5 || *code == 6) << *code;
}

TEST_F(ProgramEndTest, InsideNestedPumpingUnwindsThePumpingHandler) {
  ui::Bind(kOther, kBeat.name, EventKind::Timer, [](int) { ui::EndProgram(2); });
  ui::Bind(kMain, kGoButton.name, EventKind::Click, [this](int) {
    ui::DelayPumping(5000);
    log.push_back("handler went on");
  });
  const std::uint64_t start = headless::Now();

  headless::Click(kGoButton);

  ExpectEndedOnce();
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(2));
  EXPECT_EQ(std::count(log.begin(), log.end(), "handler went on"), 0);
  EXPECT_EQ(headless::Now() - start, 300u);
}

TEST_F(ProgramEndTest, MessageLoopEndsWhenTheLastWindowClosed) {
  ui::DestroyProgramWindow(kMain);
  ui::DestroyProgramWindow(kOther);

  ui::RunMessageLoop();

  ExpectEndedOnce();
  EXPECT_EQ(headless::EndedWithCode(), std::nullopt);
  EXPECT_THROW(ui::EndProgram(0), ui::ProgramEnd);
  EXPECT_EQ(exitRuns.load(), 1);
}

TEST_F(ProgramEndTest, IdleMessageLoopWithAWindowOpenLeavesTheExitRoutineForTheEnd) {
  ui::DestroyProgramWindow(kOther);

  // The headless loop returns once nothing is left to do; the program has not ended then.
  ui::RunMessageLoop();

  EXPECT_TRUE(ui::IsCreated(kMain));
  EXPECT_EQ(exitRuns.load(), 0);
  headless::AskToClose(kMain);
  EXPECT_EQ(exitRuns.load(), 0);
  ui::RunMessageLoop();
  EXPECT_EQ(exitRuns.load(), 1);
}


TEST_F(ProgramEndTest, EndCausedByAWorkersCallEndsThatWorker) {
  ui::BindCanClose(kMain, [] { ui::EndProgram(2); return true; });
  std::atomic<bool> wentOn{false};
  ASSERT_TRUE(StartThread([&wentOn](int) {
    ui::RequestClose(kMain);
    wentOn = true;
  }));

  headless::WaitIdle();

  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(2));
  EXPECT_FALSE(wentOn.load());
  ExpectEndedOnce();
}

TEST_F(ProgramEndTest, EndInAWorkersCallUnwindsTheHandlerPumpingAroundIt) {
  ui::BindCanClose(kMain, [] { ui::EndProgram(2); return true; });
  ui::Bind(kOther, "", EventKind::Moved, [this](int) {
    StartThread([](int) {
      ui::DelayPumping(100);
      ui::RequestClose(kMain);
    });
    ui::DelayPumping(5000);
    log.push_back("handler went on");
  });

  headless::Minimize(kOther);
  headless::WaitIdle();

  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(2));
  EXPECT_EQ(std::count(log.begin(), log.end(), "handler went on"), 0);
  EXPECT_LT(headless::Now(), 5000u);
  ExpectEndedOnce();
}

}  // namespace
}  // namespace ui_test
