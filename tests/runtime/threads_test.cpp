// Worker threads: argument, count, stop request, and exceptions that escape a routine.
#include "runtime/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>

namespace {

// Generous limits for waits that end as soon as the workers do.
constexpr int kLimit = 30000;

TEST(Threads, RunsTheRoutineWithItsArgument) {
  std::promise<int> seen;
  ASSERT_TRUE(StartThread([&](int argument) { seen.set_value(argument); }, 3));
  EXPECT_EQ(seen.get_future().get(), 3);
  EXPECT_TRUE(WaitForThreads(kLimit));
  std::promise<int> defaulted;
  ASSERT_TRUE(StartThread([&](int argument) { defaulted.set_value(argument); }));
  EXPECT_EQ(defaulted.get_future().get(), 0);
  EXPECT_TRUE(WaitForThreads(kLimit));
}

TEST(Threads, CountsActiveWorkers) {
  ASSERT_TRUE(WaitForThreads(kLimit));
  EXPECT_EQ(ActiveThreadCount(), 0);
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  std::atomic<int> started{0};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(StartThread([gate, &started](int) {
      ++started;
      gate.wait();
    }));
  }
  EXPECT_EQ(ActiveThreadCount(), 3);
  EXPECT_FALSE(WaitForThreads(0));
  release.set_value();
  EXPECT_TRUE(WaitForThreads(kLimit));
  EXPECT_EQ(ActiveThreadCount(), 0);
  EXPECT_EQ(started, 3);
}

TEST(Threads, StopIsRequestedAndSeenByThatThreadOnly) {
  std::promise<void> stopAsked;
  std::shared_future<void> asked = stopAsked.get_future().share();
  std::promise<bool> before, after;
  ThreadHandle handle;
  ASSERT_TRUE(StartThread(
      [&, asked](int) {
        before.set_value(StopRequested());
        asked.wait();
        after.set_value(StopRequested());
      },
      0, &handle));
  ASSERT_TRUE(handle);
  EXPECT_FALSE(before.get_future().get());
  EXPECT_TRUE(ThreadRunning(handle));
  RequestStop(handle);
  EXPECT_FALSE(StopRequested());  // the asking thread is not stopped
  stopAsked.set_value();
  EXPECT_TRUE(after.get_future().get());
  ASSERT_TRUE(WaitForThreads(kLimit));
  EXPECT_FALSE(ThreadRunning(handle));
}

TEST(Threads, AnEscapingExceptionJustEndsTheWorker) {
  ASSERT_TRUE(StartThread([](int) { throw std::runtime_error("worker failed"); }));
  ASSERT_TRUE(StartThread([](int) { throw 42; }));
  EXPECT_TRUE(WaitForThreads(kLimit));
  EXPECT_EQ(ActiveThreadCount(), 0);
}

TEST(Threads, EmptyRoutinesAndHandlesAreRefusedQuietly) {
  EXPECT_FALSE(StartThread(nullptr));
  EXPECT_EQ(ActiveThreadCount(), 0);
  ThreadHandle none;
  RequestStop(none);
  EXPECT_FALSE(ThreadRunning(none));
}

}  // namespace

namespace {

// The observer hears of each end after it is counted, and of none once replaced.
TEST(Threads, TheEndObserverHearsEachEndAfterItIsCounted) {
  ASSERT_TRUE(WaitForThreads(kLimit));
  std::atomic<int> calls{0};
  std::promise<int> countSeen;
  SetWorkerEndObserver([&] {
    if (calls.fetch_add(1) == 0) countSeen.set_value(ActiveThreadCount());
  });
  ASSERT_TRUE(StartThread([](int) {}));
  EXPECT_EQ(countSeen.get_future().get(), 0);
  SetWorkerEndObserver(nullptr);  // from here on the former observer is not running
  const int heard = calls.load();
  ASSERT_TRUE(StartThread([](int) {}));
  EXPECT_TRUE(WaitForThreads(kLimit));
  EXPECT_EQ(calls.load(), heard);
}

}  // namespace
