// State shared by the core's own files: the loaded windows and the event dispatch. GUI thread
// only, like the model itself.
#pragma once

#include <string>
#include <type_traits>

#include "ui/backend.h"
#include "ui/model.h"

namespace ui::core {

// Runs fn on the GUI thread and returns its result; fn runs directly when already there or
// when no backend is installed.
template <typename F>
auto OnGui(F&& fn) -> decltype(fn()) {
  using Result = decltype(fn());
  if (CurrentBackend() == nullptr || OnGuiThread()) return fn();
  if constexpr (std::is_void_v<Result>) {
    RunOnGui([&] { fn(); });
  } else {
    Result result{};
    RunOnGui([&] { result = fn(); });
    return result;
  }
}

// The control of a loaded window, or nullptr.
ControlModel* FindControl(ControlRef ref);
WindowModel* FindWindow(WindowRef ref);

// Tells the backend about a change the core made.
void Mirror(WindowModel& window, ControlModel& control, Change what, int index = 0);
void MirrorWindow(WindowModel& window, WindowChange what);

// Raises an event by window name; used also after the window has gone.
bool Dispatch(const std::string& window, const std::string& control, EventKind kind, int arg);

}  // namespace ui::core
