// Timers and DelayPumping on the headless backend's virtual clock.
#include <atomic>
#include <cstdint>
#include <utility>

#include "runtime/threads.h"
#include "ui_fixture.h"

namespace ui_test {
namespace {

using ui::EventKind;
using Times = std::vector<std::uint64_t>;

class ClockTest : public UiTest {
 protected:
  // Records the clock, relative to the start, each time the timer fires.
  void RecordFiring(ui::ControlRef timer, Times& times) {
    ui::Bind(timer.window, timer.name, EventKind::Timer,
             [&times, start = headless::Now()](int) { times.push_back(headless::Now() - start); });
  }
};

TEST_F(ClockTest, TimerFiresOncePerPeriod) {
  ASSERT_TRUE(ui::LoadWindow(kMain));
  Times fired;
  RecordFiring(kTick, fired);

  headless::AdvanceClock(3500);

  EXPECT_EQ(fired, (Times{1000, 2000, 3000}));
}

TEST_F(ClockTest, PeriodChangesRearmTheTimer) {
  const struct {
    const char* name;
    std::vector<std::pair<int, int>> changes;  // at ms: new period
    int until;
    Times fired;
  } cases[] = {
      {"stopped", {{1500, 0}}, 6000, {1000}},
      {"stopped and started again", {{1500, 0}, {2200, 1000}}, 4500, {1000, 3200, 4200}},
      {"shortened", {{1500, 300}}, 2500, {1000, 1800, 2100, 2400}},
      {"lengthened", {{500, 2000}}, 5000, {2500, 4500}},
      {"same period restarts the count", {{1500, 1000}}, 3000, {1000, 2500}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NewSession();
    ASSERT_TRUE(ui::LoadWindow(kMain));
    Times fired;
    RecordFiring(kTick, fired);
    int at = 0;
    for (const auto& [when, period] : c.changes) {
      headless::AdvanceClock(when - at);
      at = when;
      ui::SetTimerPeriod(kTick, period);
      EXPECT_EQ(ui::GetTimerPeriod(kTick), period);
    }
    headless::AdvanceClock(c.until - at);
    EXPECT_EQ(fired, c.fired);
  }
}

TEST_F(ClockTest, TimerOfADestroyedWindowStops) {
  ASSERT_TRUE(ui::LoadWindow(kMain));
  Times fired;
  RecordFiring(kTick, fired);
  headless::AdvanceClock(1500);
  ui::DestroyProgramWindow(kMain);

  headless::AdvanceClock(3000);

  EXPECT_EQ(fired, Times{1000});
}

TEST_F(ClockTest, DelayPumpingInAHandlerLetsAnotherWindowsTimerRun) {
  ASSERT_TRUE(ui::LoadWindow(kMain));
  ASSERT_TRUE(ui::LoadWindow(kOther));
  Times beats;
  RecordFiring(kBeat, beats);
  std::uint64_t waited = 0;
  ui::Bind(kMain, kGoButton.name, EventKind::Click, [&](int) {
    const std::uint64_t before = headless::Now();
    ui::DelayPumping(1000);
    waited = headless::Now() - before;
    log.push_back("handler returned");
  });

  headless::Click(kGoButton);

  EXPECT_EQ(log, Log{"handler returned"});
  EXPECT_EQ(waited, 1000u);
  EXPECT_EQ(beats, (Times{300, 600, 900}));
}

TEST_F(ClockTest, WorkersDelayEndsInWaitIdleOnTheVirtualClock) {
  ASSERT_TRUE(ui::LoadWindow(kMain));
  Times ticks;
  RecordFiring(kTick, ticks);
  const std::uint64_t start = headless::Now();
  std::atomic<bool> done{false};
  ASSERT_TRUE(StartThread([&done](int) {
    ui::DelayPumping(5000);
    done = true;
  }));

  ASSERT_TRUE(headless::WaitIdle());

  EXPECT_TRUE(done.load());
  EXPECT_EQ(headless::Now() - start, 5000u);
  // The GUI thread kept running the window's events meanwhile.
  EXPECT_EQ(ticks, (Times{1000, 2000, 3000, 4000, 5000}));
}


TEST_F(ClockTest, WokenWorkersNextStepIsDoneWhenTheClockReturns) {
  ASSERT_TRUE(ui::LoadWindow(kMain));
  // Repeated: the worker's step after its wake must never be left to chance.
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    ui::SetText(kNameBox, "before");
    ASSERT_TRUE(StartThread([](int) {
      ui::DelayPumping(100);
      ui::SetText(kNameBox, "after");
    }));
    headless::AdvanceClock(100);
    EXPECT_EQ(ui::GetText(kNameBox), "after");
    ASSERT_TRUE(headless::WaitIdle());
  }
}

TEST_F(ClockTest, TimerHandlerPumpingPastItsOwnPeriodReturns) {
  Times ticks;
  ui::Bind(kMain, kTick.name, EventKind::Timer, [&ticks, start = headless::Now()](int) {
    ticks.push_back(headless::Now() - start);
    ui::DelayPumping(1500);  // the timer is due again meanwhile; it waits for its handler
  });
  ASSERT_TRUE(ui::LoadWindow(kMain));

  headless::AdvanceClock(1000);

  EXPECT_EQ(ticks, Times{1000});
  EXPECT_EQ(headless::Now(), 2500u);
}

}  // namespace
}  // namespace ui_test
