// What the HTTP front end and its worker share besides the memory file: whether the worker has
// ended, and the handles it must give up when the front end stops waiting. Found by the
// memory file's number, so the worker keeps its one argument.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "runtime/inet.h"

struct HttpWorkerControl {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  bool stopRequested = false;
  bool handlesPublished = false;
  InetHandle request = 0;
  InetHandle connection = 0;
  InetHandle internet = 0;
};

void RegisterHttpWorkerControl(int memoryFile, std::shared_ptr<HttpWorkerControl> control);
void ForgetHttpWorkerControl(int memoryFile);
// nullptr when the worker runs without a front end (called directly).
std::shared_ptr<HttpWorkerControl> FindHttpWorkerControl(int memoryFile);
// The worker's handles become the front end's to close on a stop; false when the stop came
// first, and the worker then closes them itself.
bool PublishHttpWorkerHandles(HttpWorkerControl* control, InetHandle request, InetHandle connection,
                              InetHandle internet);
