// Worker threads. Each started thread is counted, so a test (or an orderly shutdown) can wait
// until no worker runs. A thread may be asked to stop; it checks StopRequested() itself.
#pragma once

#include <functional>
#include <memory>

struct ThreadState;
using ThreadHandle = std::shared_ptr<ThreadState>;

// Runs routine(argument) on a new thread. With no handle variable nothing keeps the thread.
bool StartThread(std::function<void(int)> routine, int argument = 0, ThreadHandle* handle = nullptr);
// Asks the thread to stop: after this its StopRequested() is true.
void RequestStop(const ThreadHandle& handle);
// True on a thread whose stop was asked for.
bool StopRequested();
bool ThreadRunning(const ThreadHandle& handle);
// Workers started by StartThread that have not returned yet.
int ActiveThreadCount();
// Called on a worker's thread right after its end is counted (nullptr: nothing is called), so a
// loop that waits for workers learns of an end at once. Once this returns, a former observer
// is no longer running.
void SetWorkerEndObserver(std::function<void()> observer);
// Blocks until no worker runs or the limit passes; true when none runs. Not a sleep: it
// returns as soon as the last worker ends.
bool WaitForThreads(int limitMilliseconds);
