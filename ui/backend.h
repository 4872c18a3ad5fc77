// What the core needs of a window backend. The core calls these on the GUI thread only, except
// WakeGui, which any thread may call. The headless backend and the wx backend implement it; the
// queue of tasks posted to the GUI thread is the core's, one for both.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>

#include "ui/model.h"

namespace ui {

// The core's queue of posted tasks, for the backends' loops (GUI thread).
// Runs the waiting tasks, and those they post, until none waits; true when any ran.
bool RunPostedTasks();
bool HasPostedTasks();
// Takes every waiting task out of the queue (a backend that ends runs them itself).
std::deque<std::function<void()>> TakePostedTasks();

class Backend {
 public:
  virtual ~Backend() = default;

  // The GUI thread is the thread that installs the backend.
  // Runs task on the GUI thread soon: queues it in the core and wakes the GUI thread through
  // WakeGui. Callable from any thread.
  void Post(std::function<void()> task);
  // Makes the GUI thread call RunPostedTasks soon, also from inside a modal loop. False when no
  // loop of this backend runs any more (it is being uninstalled): Post then runs the task on
  // the calling thread. Called from any thread, with the core's queue locked.
  virtual bool WakeGui() = 0;
  // Runs the loop until stop() is true, checked after each handled event or task.
  virtual void RunLoop(const std::function<bool()>& stop) = 0;
  // Handles events and tasks for ms milliseconds of the backend's clock, then returns.
  virtual void Pump(int ms) = 0;
  // Handles what is waiting now and returns.
  virtual void ProcessPending() = 0;
  // Milliseconds on the backend's clock (virtual in the headless backend).
  virtual std::uint64_t NowMs() = 0;
  // Blocks a worker thread for ms on the backend's clock.
  virtual void SleepWorker(int ms) = 0;

  virtual void WindowCreated(WindowModel& window) = 0;  // realize every control
  virtual void WindowDestroyed(WindowModel& window) = 0;
  virtual void WindowChanged(WindowModel& window, WindowChange what) = 0;
  virtual void BringToFront(WindowModel& window) = 0;
  virtual void ControlChanged(WindowModel& window, ControlModel& control, Change what, int index) = 0;

  virtual int MessageBox(const Text& text, int flags, const Text& title) = 0;
  virtual bool InputBox(const Text& prompt, const Text& title, const Text& initial, Text& result) = 0;
  // Shows the dialog preset with its file name; true and the chosen path on confirmation.
  virtual bool FileDialog(WindowModel& window, ControlModel& dialog, Text& chosen) = 0;
  // Shows the pop-up menu; the name of the chosen item, or "" when none was chosen.
  virtual std::string PopupMenu(WindowModel& window, const MenuItemDef& menu) = 0;
  virtual void ShellOpen(const Text& path) = 0;
  // Ends the process (the headless backend instead unwinds to its loop).
  [[noreturn]] virtual void Terminate(int code) = 0;
};

// What a backend that cannot end the process (the headless one) throws from Terminate. The core
// lets it pass to the outermost event dispatch, which swallows it; a worker's thread ends by it.
struct ProgramEnd {
  int code;
};

// Installs the backend for the process; the calling thread becomes the GUI thread.
// nullptr uninstalls it and forgets every loaded window (their widgets are not touched).
void InstallBackend(Backend* backend);
Backend* CurrentBackend();

}  // namespace ui
