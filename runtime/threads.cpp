// Detached worker threads with a process-wide count and a cooperative stop request.
#include "runtime/threads.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

struct ThreadState {
  std::atomic<bool> stopRequested{false};
  std::atomic<bool> running{true};
};

namespace {

// Detached workers may still run while the process exits, so the count is never destroyed.
struct WorkerCount {
  std::mutex mutex;
  std::condition_variable changed;
  int active = 0;
};

WorkerCount& Workers() {
  static WorkerCount* const workers = new WorkerCount;
  return *workers;
}

thread_local ThreadState* currentState = nullptr;

struct WorkerEndObserver {
  std::mutex mutex;  // held while the observer runs
  std::function<void()> observer;
};

WorkerEndObserver& EndObserver() {
  static WorkerEndObserver* const observer = new WorkerEndObserver;
  return *observer;
}

void ChangeCount(int delta) {
  WorkerCount& workers = Workers();
  {
    // Notified under the lock: a waiter that returns may be the last user of the count.
    std::lock_guard<std::mutex> lock(workers.mutex);
    workers.active += delta;
    workers.changed.notify_all();
  }
  if (delta < 0) {
    // Outside the count's lock: the observer may take locks under which the count is read.
    WorkerEndObserver& end = EndObserver();
    std::lock_guard<std::mutex> lock(end.mutex);
    if (end.observer) end.observer();
  }
}

}  // namespace

bool StartThread(std::function<void(int)> routine, int argument, ThreadHandle* handle) {
  if (!routine) return false;
  auto state = std::make_shared<ThreadState>();
  ChangeCount(1);
  try {
    std::thread([state, argument, routine = std::move(routine)]() mutable {
      currentState = state.get();
      try {
        routine(argument);
      } catch (...) {
        // A worker that ends by an exception just ends; nothing waits for its result.
      }
      // The routine and what it captured go before the thread counts as ended.
      routine = nullptr;
      currentState = nullptr;
      state->running = false;
      state.reset();
      ChangeCount(-1);
    }).detach();
  } catch (const std::system_error&) {
    ChangeCount(-1);
    return false;
  }
  if (handle != nullptr) *handle = std::move(state);
  return true;
}

void RequestStop(const ThreadHandle& handle) {
  if (handle) handle->stopRequested = true;
}

bool StopRequested() { return currentState != nullptr && currentState->stopRequested; }

bool ThreadRunning(const ThreadHandle& handle) { return handle && handle->running; }

void SetWorkerEndObserver(std::function<void()> observer) {
  WorkerEndObserver& end = EndObserver();
  std::lock_guard<std::mutex> lock(end.mutex);
  end.observer = std::move(observer);
}

int ActiveThreadCount() {
  WorkerCount& workers = Workers();
  std::lock_guard<std::mutex> lock(workers.mutex);
  return workers.active;
}

bool WaitForThreads(int limitMilliseconds) {
  WorkerCount& workers = Workers();
  std::unique_lock<std::mutex> lock(workers.mutex);
  return workers.changed.wait_for(lock, std::chrono::milliseconds(limitMilliseconds),
                                  [&workers] { return workers.active == 0; });
}
