// The headless backend. Time is virtual: it moves only when a test advances it, when the GUI
// thread pumps for a while, or when WaitIdle finds every worker waiting on the clock. Before the
// clock moves, the backend lets the workers settle (each one ends, waits on the clock, or asks
// the GUI thread for something), so a run gives the same events in the same order every time.
#include "ui/headless/headless.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "runtime/clock.h"
#include "runtime/threads.h"
#include "ui/model.h"

namespace ui::headless {
namespace {

// How long the workers may take, in real time, to settle before the clock moves anyway.
constexpr std::uint64_t kSettleLimitMs = 20000;

struct Timer {
  std::uint64_t due = 0;
  bool firing = false;
};

class HeadlessBackend final : public Backend {
 public:
  // --- Backend ---
  // Called with the core's queue locked, so it takes no lock of its own: the loop below holds
  // its lock while it looks at the queue. A wake-up that comes just before the loop waits is
  // caught by the loop's short wait.
  bool WakeGui() override {
    if (detached_) return false;
    changed_.notify_all();
    return true;
  }

  void RunLoop(const std::function<bool()>& stop) override {
    // Nobody clicks in a headless run: the loop ends when the program is idle.
    for (;;) {
      RunPostedTasks();
      if (stop()) return;
      Settle();
      if (stop()) return;
      if (!HasPostedTasks()) return;
    }
  }

  void Pump(int ms) override {
    const std::uint64_t target = Now() + static_cast<std::uint64_t>(std::max(0, ms));
    for (;;) {
      Settle();
      FireDueTimers();
      Settle();
      if (Now() >= target) return;
      std::uint64_t next = target;
      for (auto& [key, timer] : timers_) {
        // A timer whose handler is running (and pumping) waits for it, whatever its due time.
        if (!timer.firing) next = std::min(next, std::max(timer.due, Now()));
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!wakeTimes_.empty()) next = std::min(next, std::max(*wakeTimes_.begin(), now_));
        now_ = std::max(now_, next);
        changed_.notify_all();
      }
    }
  }

  void ProcessPending() override { RunPostedTasks(); }

  std::uint64_t NowMs() override { return Now(); }

  void SleepWorker(int ms) override {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t wake = now_ + static_cast<std::uint64_t>(std::max(0, ms));
    auto slot = wakeTimes_.insert(wake);
    changed_.notify_all();
    changed_.wait(lock, [&] { return now_ >= wake || detached_; });
    wakeTimes_.erase(slot);
    changed_.notify_all();
  }

  void WindowCreated(WindowModel& window) override {
    for (auto& control : window.controls) {
      if (control->def->kind == ControlKind::Timer) Arm(window, *control);
    }
  }

  void WindowDestroyed(WindowModel& window) override {
    const std::string name = window.def->name;
    for (auto it = timers_.begin(); it != timers_.end();) {
      it = it->first.first == name ? timers_.erase(it) : std::next(it);
    }
  }

  void WindowChanged(WindowModel&, WindowChange) override {}

  void BringToFront(WindowModel& window) override { broughtToFront.push_back(window.def->name); }

  void ControlChanged(WindowModel& window, ControlModel& control, Change what, int) override {
    if (what == Change::TimerPeriod) Arm(window, control);
  }

  int MessageBox(const Text& text, int flags, const Text& title) override {
    messages.push_back({text, flags, title});
    if (!boxAnswers.empty()) {
      const int answer = boxAnswers.front();
      boxAnswers.pop_front();
      return answer;
    }
    return (flags & 0xF) == kMbYesNo ? static_cast<int>(kIdNo) : static_cast<int>(kIdOk);
  }

  bool InputBox(const Text& prompt, const Text& title, const Text& initial, Text& result) override {
    inputBoxes.push_back({prompt, title, initial});
    if (inputAnswers.empty()) return false;
    std::optional<Text> answer = inputAnswers.front();
    inputAnswers.pop_front();
    if (!answer) return false;
    result = *answer;
    return true;
  }

  bool FileDialog(WindowModel&, ControlModel& dialog, Text& chosen) override {
    fileDialogs.push_back(dialog.def->name);
    if (dialogAnswers.empty()) return false;
    std::optional<Text> answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    if (!answer) return false;
    chosen = *answer;
    return true;
  }

  std::string PopupMenu(WindowModel&, const MenuItemDef& menu) override {
    popupMenus.push_back(menu.name);
    if (popupAnswers.empty()) return "";
    std::string item = popupAnswers.front();
    popupAnswers.pop_front();
    return item;
  }

  void ShellOpen(const Text& path) override { shellOpened.push_back(path); }

  [[noreturn]] void Terminate(int code) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      endedCode_ = code;
    }
    throw ProgramEnd{code};
  }

  // --- for the test side ---
  std::uint64_t Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
  }

  std::optional<int> EndedCode() {
    std::lock_guard<std::mutex> lock(mutex_);
    return endedCode_;
  }

  // Handles tasks until no task waits and every worker either ended or waits on the clock.
  bool Settle() {
    const std::uint64_t start = MonotonicMilliseconds();
    for (;;) {
      RunPostedTasks();
      std::unique_lock<std::mutex> lock(mutex_);
      // A sleeper whose wake time has come runs again, even before it has taken the lock.
      const auto waiting = std::distance(wakeTimes_.upper_bound(now_), wakeTimes_.end());
      if (!HasPostedTasks() && ActiveThreadCount() <= waiting) return true;
      if (MonotonicMilliseconds() - start > kSettleLimitMs) return false;
      // A worker's end is signalled (WorkerEnded); the short wait covers what is not.
      changed_.wait_for(lock, std::chrono::milliseconds(2));
    }
  }

  bool WaitIdle() {
    const std::uint64_t start = MonotonicMilliseconds();
    for (;;) {
      const bool settled = Settle();
      std::uint64_t wake = 0;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!HasPostedTasks() && ActiveThreadCount() == 0) return true;
        if (!settled || MonotonicMilliseconds() - start > kSettleLimitMs) {
          std::fprintf(stderr, "headless: workers still running after %llu ms\n",
                       static_cast<unsigned long long>(MonotonicMilliseconds() - start));
          return false;
        }
        if (wakeTimes_.empty()) continue;
        wake = *wakeTimes_.begin();
      }
      const std::uint64_t now = Now();
      Pump(static_cast<int>(wake > now ? wake - now : 0));
    }
  }

  // Wakes a Settle that waits for the workers.
  void WorkerEnded() {
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
  }

  void Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    detached_ = true;
    changed_.notify_all();
  }

  // Scripts and records; GUI thread only.
  std::deque<int> boxAnswers;
  std::deque<std::optional<Text>> inputAnswers;
  std::deque<std::optional<Text>> dialogAnswers;
  std::deque<std::string> popupAnswers;
  std::vector<ShownMessage> messages;
  std::vector<ShownInputBox> inputBoxes;
  std::vector<std::string> popupMenus;
  std::vector<Text> shellOpened;
  std::vector<std::string> fileDialogs;
  std::vector<std::string> broughtToFront;

 private:
  void Arm(WindowModel& window, ControlModel& control) {
    const auto key = std::make_pair(std::string(window.def->name), std::string(control.def->name));
    if (control.period <= 0) {
      timers_.erase(key);
      return;
    }
    Timer& timer = timers_[key];
    timer.due = Now() + static_cast<std::uint64_t>(control.period);
  }

  void FireDueTimers() {
    std::vector<std::pair<std::string, std::string>> due;
    for (auto& [key, timer] : timers_) {
      if (!timer.firing && timer.due <= Now()) due.push_back(key);
    }
    for (const auto& key : due) {
      auto it = timers_.find(key);
      if (it == timers_.end() || it->second.firing || it->second.due > Now()) continue;
      WindowModel* window = ui::FindWindow(key.first.c_str());
      ControlModel* control = window ? window->Find(key.second.c_str()) : nullptr;
      if (control == nullptr || control->period <= 0) {
        timers_.erase(it);
        continue;
      }
      it->second.due = Now() + static_cast<std::uint64_t>(control->period);
      it->second.firing = true;
      struct Done {
        HeadlessBackend* self;
        std::pair<std::string, std::string> key;
        ~Done() {
          auto again = self->timers_.find(key);
          if (again != self->timers_.end()) again->second.firing = false;
        }
      } done{this, key};
      RaiseEvent(*window, key.second.c_str(), EventKind::Timer, 0);
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t now_ = 0;
  std::multiset<std::uint64_t> wakeTimes_;
  std::atomic<bool> detached_{false};
  std::optional<int> endedCode_;
  std::map<std::pair<std::string, std::string>, Timer> timers_;  // GUI thread only
};

// Backends are never freed: a worker may still hold the pointer it took before an uninstall.
HeadlessBackend* current = nullptr;

HeadlessBackend& Current() {
  if (current == nullptr) {
    std::fprintf(stderr, "headless: used before Install\n");
    std::abort();
  }
  return *current;
}

WindowModel* Window(WindowRef ref) {
  WindowModel* window = ui::FindWindow(ref.name);
  if (window == nullptr) std::fprintf(stderr, "headless: window %s is not loaded\n", ref.name);
  return window;
}

ControlModel* Control(ControlRef ref, WindowModel*& window) {
  window = Window(ref.window);
  ControlModel* control = window ? window->Find(ref.name) : nullptr;
  if (window != nullptr && control == nullptr) {
    std::fprintf(stderr, "headless: %s has no control %s\n", ref.window.name, ref.name);
  }
  return control;
}

// A user action: the change, its event, then what the event posted.
template <typename Act>
void UserAction(Act act) {
  act();
  RunPostedTasks();
}

}  // namespace

void Install() {
  auto* backend = new HeadlessBackend;
  ui::InstallBackend(backend);
  SetWorkerEndObserver([backend] { backend->WorkerEnded(); });
  ui::ClearBindings();
  current = backend;
}

void Uninstall() {
  if (current == nullptr) return;
  current->WaitIdle();
  HeadlessBackend* backend = current;
  SetWorkerEndObserver(nullptr);
  ui::InstallBackend(nullptr);
  backend->Detach();
  // What workers asked of the GUI thread still runs, now against no window.
  for (auto& task : TakePostedTasks()) task();
  current = nullptr;
}

void AnswerMessageBox(int button) { Current().boxAnswers.push_back(button); }
void AnswerInputBox(std::optional<Text> text) { Current().inputAnswers.push_back(std::move(text)); }
void AnswerFileDialog(std::optional<Text> path) { Current().dialogAnswers.push_back(std::move(path)); }
void ChoosePopupItem(std::string item) { Current().popupAnswers.push_back(std::move(item)); }

const std::vector<ShownMessage>& MessagesShown() { return Current().messages; }
const std::vector<ShownInputBox>& InputBoxesShown() { return Current().inputBoxes; }
const std::vector<std::string>& PopupMenusShown() { return Current().popupMenus; }
const std::vector<Text>& ShellOpened() { return Current().shellOpened; }
const std::vector<std::string>& FileDialogsShown() { return Current().fileDialogs; }
const std::vector<std::string>& WindowsBroughtToFront() { return Current().broughtToFront; }

void ClearRecords() {
  HeadlessBackend& backend = Current();
  backend.messages.clear();
  backend.inputBoxes.clear();
  backend.popupMenus.clear();
  backend.shellOpened.clear();
  backend.fileDialogs.clear();
  backend.broughtToFront.clear();
}

std::optional<int> EndedWithCode() { return Current().EndedCode(); }

void Click(ControlRef ref) {
  UserAction([&] {
    WindowModel* window;
    ControlModel* control = Control(ref, window);
    if (control == nullptr || !control->enabled || !control->visible) return;
    if (control->def->kind == ControlKind::CheckBox) control->checked = !control->checked;
    RaiseEvent(*window, ref.name, EventKind::Click, 0);
  });
}

void TypeText(ControlRef ref, const Text& text) {
  UserAction([&] {
    WindowModel* window;
    ControlModel* control = Control(ref, window);
    if (control == nullptr || !control->enabled) return;
    if ((control->def->style & kStyleReadOnly) != 0) return;
    const int limit = control->def->maxLength;
    if (limit <= 0 || static_cast<int>(text.size()) <= limit) {
      control->text = text;
      return;
    }
    // The edit box refuses what passes its limit, a double-byte character as a whole.
    std::size_t length = 0;
    while (length < text.size()) {
      const std::size_t step = static_cast<unsigned char>(text[length]) >= 0x80 ? 2 : 1;
      if (length + step > static_cast<std::size_t>(limit)) break;
      length += step;
    }
    control->text = text.substr(0, std::min(length, text.size()));
  });
}

void SelectTreeItem(ControlRef ref, int index) {
  UserAction([&] {
    WindowModel* window;
    ControlModel* control = Control(ref, window);
    if (control == nullptr) return;
    const int count = static_cast<int>(control->tree.nodes.size());
    const int chosen = index >= 0 && index < count ? index : -1;
    if (chosen == control->tree.current) return;
    control->tree.current = chosen;
    RaiseEvent(*window, ref.name, EventKind::SelectionChanged, chosen);
  });
}

void EditTreeLabel(ControlRef ref, int index, std::optional<Text> text) {
  UserAction([&] {
    WindowModel* window;
    ControlModel* control = Control(ref, window);
    if (control == nullptr || (control->def->style & kStyleLabelEdit) == 0) return;
    if (index < 0 || index >= static_cast<int>(control->tree.nodes.size())) return;
    if (text) control->tree.nodes[index].text = *text;
    RaiseEvent(*window, ref.name, EventKind::LabelEdited, index);
  });
}

void RightButtonUp(ControlRef ref) {
  UserAction([&] {
    WindowModel* window;
    ControlModel* control = Control(ref, window);
    if (control == nullptr) return;
    const EventKind kind =
        control->def->kind == ControlKind::ListView ? EventKind::RightClick : EventKind::RightButtonUp;
    RaiseEvent(*window, ref.name, kind, 0);
  });
}

void FocusListRow(ControlRef ref, int row) {
  UserAction([&] {
    WindowModel* window;
    ControlModel* control = Control(ref, window);
    if (control == nullptr) return;
    const int count = static_cast<int>(control->list.rows.size());
    const int chosen = row >= 0 && row < count ? row : -1;
    if (chosen == control->list.current) return;
    control->list.current = chosen;
    // Only a row that newly gains the focus raises the event; losing it raises nothing.
    if (chosen >= 0) RaiseEvent(*window, ref.name, EventKind::SelectionChanged, chosen);
  });
}

void Scroll(ControlRef ref, int position) {
  UserAction([&] {
    WindowModel* window;
    ControlModel* control = Control(ref, window);
    if (control == nullptr) return;
    const int clamped = std::clamp(position, 0, control->scrollMaximum);
    if (clamped == control->scrollPosition) return;
    control->scrollPosition = clamped;
    RaiseEvent(*window, ref.name, EventKind::ScrollChanged, clamped);
  });
}

void ChooseMenuItem(WindowRef ref, const char* item) {
  UserAction([&] {
    if (WindowModel* window = Window(ref)) UserChoseMenuItem(*window, item);
  });
}

void AskToClose(WindowRef ref) {
  UserAction([&] {
    if (WindowModel* window = Window(ref)) UserRequestClose(*window);
  });
}

void TrayAction(WindowRef ref, int action) {
  UserAction([&] {
    WindowModel* window = Window(ref);
    if (window == nullptr || window->trayIcon.empty()) return;
    RaiseEvent(*window, "", EventKind::TrayEvent, action);
  });
}

void Minimize(WindowRef ref) {
  UserAction([&] {
    WindowModel* window = Window(ref);
    if (window == nullptr) return;
    window->state = WindowState::Minimized;
    RaiseEvent(*window, "", EventKind::Moved, 0);
  });
}

std::uint64_t Now() { return Current().Now(); }

void AdvanceClock(int ms) { Current().Pump(ms); }

bool WaitIdle() { return Current().WaitIdle(); }

}  // namespace ui::headless
