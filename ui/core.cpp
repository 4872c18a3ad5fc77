// The window run-time's core: the installed backend, calls carried to the GUI thread, event
// bindings and their dispatch, loading and destroying windows, the message loop and the end of
// the program.
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

#include "ui/core_state.h"

namespace ui {
namespace {

std::atomic<Backend*> installed{nullptr};
std::thread::id guiThread;

std::vector<std::unique_ptr<WindowModel>> windows;  // in load order

// (window, control, kind) -> handler; control "" for the window's own events.
using BindingKey = std::tuple<std::string, std::string, EventKind>;
std::map<BindingKey, Handler> handlers;
std::map<std::string, CloseHandler> closeHandlers;
int dispatchDepth = 0;
int carriedCalls = 0;  // calls of workers running on the GUI thread now
// The windows whose handlers run now, innermost last; "" for a worker's call carried inside.
std::vector<std::string> handlingWindows;

struct Handling {
  explicit Handling(const std::string& window) { handlingWindows.push_back(window); }
  ~Handling() { handlingWindows.pop_back(); }
  Handling(const Handling&) = delete;
  Handling& operator=(const Handling&) = delete;
};

struct ExitRoutine {
  std::mutex mutex;
  std::function<void()> routine;
  bool ran = false;
};
ExitRoutine& TheExitRoutine() {
  static ExitRoutine* const exitRoutine = new ExitRoutine;
  return *exitRoutine;
}

void RunExitRoutineOnce() {
  std::function<void()> routine;
  {
    ExitRoutine& exit = TheExitRoutine();
    std::lock_guard<std::mutex> lock(exit.mutex);
    if (exit.ran) return;
    exit.ran = true;
    routine = exit.routine;
  }
  if (routine) routine();
}

std::unique_ptr<ControlModel> MakeControl(const ControlDef& def) {
  auto control = std::make_unique<ControlModel>();
  control->def = &def;
  control->text = def.caption;
  control->visible = (def.style & kStyleHidden) == 0;
  control->enabled = (def.style & kStyleDisabled) == 0;
  control->left = def.left;
  control->top = def.top;
  control->width = def.width;
  control->height = def.height;
  control->picture = def.picture;
  control->period = def.period;
  if (def.kind == ControlKind::StatusBar) {
    control->partTexts = def.items;
    control->partTips.resize(def.items.size());
  }
  return control;
}

void DestroyNow(const std::string& name);

void DestroyChildrenOf(const std::string& name) {
  std::vector<std::string> children;
  for (auto& window : windows) {
    if (window->parent == name) children.push_back(window->def->name);
  }
  for (const std::string& child : children) DestroyNow(child);
}

// Destroys the window at once: Destroying, its children, the widgets, then Closed.
void DestroyNow(const std::string& name) {
  WindowModel* window = core::FindWindow(WindowRef{name.c_str()});
  if (window == nullptr) return;
  core::Dispatch(name, "", EventKind::Destroying, 0);
  DestroyChildrenOf(name);
  window = core::FindWindow(WindowRef{name.c_str()});
  if (window == nullptr) return;  // a handler destroyed it meanwhile
  Backend* backend = installed.load();
  if (!window->trayIcon.empty()) {
    window->trayIcon.clear();
    window->trayTip.clear();
    if (backend) backend->WindowChanged(*window, WindowChange::TrayIcon);
  }
  if (backend) backend->WindowDestroyed(*window);
  for (auto it = windows.begin(); it != windows.end(); ++it) {
    if (it->get() == window) {
      windows.erase(it);
      break;
    }
  }
  core::Dispatch(name, "", EventKind::Closed, 0);
}

void DestroyAllWindows() {
  while (!windows.empty()) {
    const std::string name = windows.back()->def->name;
    DestroyNow(name);
    if (!windows.empty() && windows.back()->def->name == name) windows.pop_back();
  }
}

}  // namespace

ControlModel* WindowModel::Find(const char* name) {
  if (name == nullptr) return nullptr;
  for (auto& control : controls) {
    if (std::strcmp(control->def->name, name) == 0) return control.get();
  }
  return nullptr;
}

// --- backend and threads ---

void InstallBackend(Backend* backend) {
  windows.clear();
  dispatchDepth = 0;
  carriedCalls = 0;
  handlingWindows.clear();
  {
    ExitRoutine& exit = TheExitRoutine();
    std::lock_guard<std::mutex> lock(exit.mutex);
    exit.routine = nullptr;
    exit.ran = false;
  }
  guiThread = std::this_thread::get_id();
  installed.store(backend);
}

Backend* CurrentBackend() { return installed.load(); }

bool OnGuiThread() { return std::this_thread::get_id() == guiThread; }

namespace {

struct PostedTasks {
  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
};
PostedTasks& ThePostedTasks() {
  static PostedTasks* const posted = new PostedTasks;  // outlives static destructors
  return *posted;
}

}  // namespace

void Backend::Post(std::function<void()> task) {
  PostedTasks& posted = ThePostedTasks();
  {
    std::lock_guard<std::mutex> lock(posted.mutex);
    posted.tasks.push_back(std::move(task));
    if (WakeGui()) return;
    task = std::move(posted.tasks.back());
    posted.tasks.pop_back();
  }
  task();  // no loop runs any more: nothing is left for the task to reach but itself
}

bool RunPostedTasks() {
  PostedTasks& posted = ThePostedTasks();
  bool ran = false;
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(posted.mutex);
      if (posted.tasks.empty()) return ran;
      task = std::move(posted.tasks.front());
      posted.tasks.pop_front();
    }
    task();
    ran = true;
  }
}

bool HasPostedTasks() {
  PostedTasks& posted = ThePostedTasks();
  std::lock_guard<std::mutex> lock(posted.mutex);
  return !posted.tasks.empty();
}

std::deque<std::function<void()>> TakePostedTasks() {
  PostedTasks& posted = ThePostedTasks();
  std::lock_guard<std::mutex> lock(posted.mutex);
  std::deque<std::function<void()>> taken;
  taken.swap(posted.tasks);  // leaves the queue empty for certain, unlike a move
  return taken;
}

void RunOnGui(const std::function<void()>& task) {
  Backend* backend = installed.load();
  if (backend == nullptr || OnGuiThread()) {
    task();
    return;
  }
  struct Call {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::exception_ptr error;
  };
  auto call = std::make_shared<Call>();
  backend->Post([call, &task] {
    const bool nested = dispatchDepth > 0;
    bool ended = false;
    ++carriedCalls;
    try {
      Handling handling("");
      task();
    } catch (const ProgramEnd&) {
      call->error = std::current_exception();
      ended = true;
    } catch (...) {
      call->error = std::current_exception();
    }
    --carriedCalls;
    const std::exception_ptr end = ended ? call->error : nullptr;
    {
      std::lock_guard<std::mutex> lock(call->mutex);
      call->finished = true;
      call->done.notify_all();
    }
    // The worker ends by it; a handler pumping around this call must unwind too.
    if (end && nested) std::rethrow_exception(end);
  });
  std::unique_lock<std::mutex> lock(call->mutex);
  call->done.wait(lock, [&call] { return call->finished; });
  if (call->error) std::rethrow_exception(call->error);
}

// --- bindings and dispatch ---

void Bind(WindowRef window, const char* control, EventKind kind, Handler handler) {
  core::OnGui([&] { handlers[{window.name, control ? control : "", kind}] = std::move(handler); });
}

void BindWindow(WindowRef window, EventKind kind, Handler handler) {
  Bind(window, "", kind, std::move(handler));
}

void BindCanClose(WindowRef window, CloseHandler handler) {
  core::OnGui([&] { closeHandlers[window.name] = std::move(handler); });
}

void RaiseComponentProgress(ControlRef component, int percent) {
  const std::string window = component.window.name ? component.window.name : "";
  const std::string control = component.name ? component.name : "";
  core::OnGui([&] {
    if (core::FindWindow(component.window) == nullptr) return;
    core::Dispatch(window, control, EventKind::Progress, percent);
  });
}

void ClearBindings() {
  core::OnGui([] {
    handlers.clear();
    closeHandlers.clear();
  });
}

namespace core {

WindowModel* FindWindow(WindowRef ref) {
  if (ref.name == nullptr) return nullptr;
  for (auto& window : windows) {
    if (std::strcmp(window->def->name, ref.name) == 0) return window.get();
  }
  return nullptr;
}

ControlModel* FindControl(ControlRef ref) {
  WindowModel* window = FindWindow(ref.window);
  return window ? window->Find(ref.name) : nullptr;
}

void Mirror(WindowModel& window, ControlModel& control, Change what, int index) {
  if (Backend* backend = installed.load()) backend->ControlChanged(window, control, what, index);
}

void MirrorWindow(WindowModel& window, WindowChange what) {
  if (Backend* backend = installed.load()) backend->WindowChanged(window, what);
}

bool Dispatch(const std::string& window, const std::string& control, EventKind kind, int arg) {
  Handler handler;
  CloseHandler closeHandler;
  if (kind == EventKind::CanClose) {
    auto it = closeHandlers.find(window);
    if (it == closeHandlers.end()) return true;
    closeHandler = it->second;  // a copy: the handler may bind anew
  } else {
    auto it = handlers.find({window, control, kind});
    if (it == handlers.end()) return true;
    handler = it->second;
  }
  struct Depth {
    Depth() { ++dispatchDepth; }
    ~Depth() { --dispatchDepth; }
  };
  bool result = true;
  try {
    Depth depth;
    Handling handling(window);
    if (closeHandler) {
      result = closeHandler();
    } else {
      handler(arg);
    }
  } catch (const ProgramEnd&) {
    // The program ended inside the handler: the outermost dispatch ends the unwinding.
    if (dispatchDepth > 0 || carriedCalls > 0) throw;
    return false;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "snipdock: a handler of %s failed: %s\n", window.c_str(), error.what());
    result = false;  // a close handler that failed keeps its window
  }
  return result;
}

}  // namespace core

WindowModel* FindWindow(const char* name) { return core::FindWindow(WindowRef{name}); }

std::vector<WindowModel*> LoadedWindows() {
  std::vector<WindowModel*> all;
  for (auto& window : windows) all.push_back(window.get());
  return all;
}

WindowModel* HandlingWindow() {
  if (handlingWindows.empty() || handlingWindows.back().empty()) return nullptr;
  return core::FindWindow(WindowRef{handlingWindows.back().c_str()});
}

bool RaiseEvent(WindowModel& window, const char* control, EventKind kind, int arg) {
  return core::Dispatch(window.def->name, control ? control : "", kind, arg);
}

void UserRequestClose(WindowModel& window) {
  const std::string name = window.def->name;
  if (!core::Dispatch(name, "", EventKind::CanClose, 0)) return;
  DestroyNow(name);
}

void UserChoseMenuItem(WindowModel& window, const char* item) {
  core::Dispatch(window.def->name, item ? item : "", EventKind::MenuSelected, 0);
}

// --- windows ---

bool LoadWindow(WindowRef ref, const WindowRef* parent, bool modal) {
  const std::string name = ref.name ? ref.name : "";
  const std::string parentName = parent && parent->name ? parent->name : "";
  return core::OnGui([&]() -> bool {
    if (WindowModel* open = core::FindWindow(ref)) {
      if (!open->destroyPending) {
        if (open->state == WindowState::Minimized) {
          open->state = WindowState::Normal;
          core::MirrorWindow(*open, WindowChange::State);
        }
        if (Backend* backend = installed.load()) backend->BringToFront(*open);
        return true;
      }
      DestroyNow(name);  // its posted destruction would take the new one too
    }
    const WindowDef* def = FindWindowDefinition(name.c_str());
    if (def == nullptr) return false;
    auto window = std::make_unique<WindowModel>();
    window->def = def;
    window->title = def->title;
    window->parent = parentName;
    window->modal = modal;
    for (const ControlDef& control : def->controls) window->controls.push_back(MakeControl(control));
    WindowModel& created = *window;
    windows.push_back(std::move(window));
    if (Backend* backend = installed.load()) backend->WindowCreated(created);
    core::Dispatch(name, "", EventKind::Created, 0);
    return core::FindWindow(ref) != nullptr;
  });
}

bool IsCreated(WindowRef window) {
  return core::OnGui([&] { return core::FindWindow(window) != nullptr; });
}

void DestroyProgramWindow(WindowRef ref) {
  const std::string name = ref.name ? ref.name : "";
  core::OnGui([&] {
    WindowModel* window = core::FindWindow(ref);
    if (window == nullptr || window->destroyPending) return;
    window->destroyPending = true;
    Backend* backend = installed.load();
    if (backend == nullptr) {
      DestroyNow(name);
      return;
    }
    // Carried out by the loop once the running handler has returned.
    backend->Post([name, window] {
      WindowModel* still = core::FindWindow(WindowRef{name.c_str()});
      if (still == window && still->destroyPending) DestroyNow(name);
    });
  });
}

void RequestClose(WindowRef ref) {
  core::OnGui([&] {
    if (WindowModel* window = core::FindWindow(ref)) UserRequestClose(*window);
  });
}

Text GetTitle(WindowRef ref) {
  return core::OnGui([&] {
    WindowModel* window = core::FindWindow(ref);
    return window ? window->title : Text();
  });
}

void SetTitle(WindowRef ref, const Text& title) {
  core::OnGui([&] {
    if (WindowModel* window = core::FindWindow(ref)) {
      window->title = title;
      core::MirrorWindow(*window, WindowChange::Title);
    }
  });
}

bool GetVisible(WindowRef ref) {
  return core::OnGui([&] {
    WindowModel* window = core::FindWindow(ref);
    return window != nullptr && window->visible;
  });
}

void SetVisible(WindowRef ref, bool visible) {
  core::OnGui([&] {
    if (WindowModel* window = core::FindWindow(ref)) {
      window->visible = visible;
      core::MirrorWindow(*window, WindowChange::Visible);
    }
  });
}

WindowState GetWindowState(WindowRef ref) {
  return core::OnGui([&] {
    WindowModel* window = core::FindWindow(ref);
    return window ? window->state : WindowState::Normal;
  });
}

void SetWindowState(WindowRef ref, WindowState state) {
  core::OnGui([&] {
    if (WindowModel* window = core::FindWindow(ref)) {
      window->state = state;
      core::MirrorWindow(*window, WindowChange::State);
    }
  });
}

// --- loop and end ---

void RunMessageLoop() {
  Backend* backend = installed.load();
  if (backend != nullptr) {
    try {
      backend->RunLoop([] { return windows.empty(); });
    } catch (const ProgramEnd&) {
      return;  // EndProgram ran the exit routine already
    }
  }
  // The headless loop also returns when idle; the program has ended only with no window left.
  if (windows.empty()) RunExitRoutineOnce();
}

void DelayPumping(int ms) {
  Backend* backend = installed.load();
  if (backend == nullptr) return;
  if (OnGuiThread()) {
    backend->Pump(ms);
  } else {
    backend->SleepWorker(ms);
  }
}

void ProcessEvents() {
  Backend* backend = installed.load();
  if (backend != nullptr && OnGuiThread()) backend->ProcessPending();
}

void SetExitRoutine(std::function<void()> routine) {
  ExitRoutine& exit = TheExitRoutine();
  std::lock_guard<std::mutex> lock(exit.mutex);
  exit.routine = std::move(routine);
}

void EndProgram(int code) {
  core::OnGui([] { DestroyAllWindows(); });
  RunExitRoutineOnce();
  if (Backend* backend = installed.load()) backend->Terminate(code);
  std::fflush(nullptr);
  std::_Exit(code);
}

}  // namespace ui
