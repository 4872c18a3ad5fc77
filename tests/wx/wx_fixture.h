// A test with the wx backend installed on the X display (once per process) and every window
// definition registered; each test starts with no window and no binding. Without a display the
// test skips. Waits are bounded: a condition that never comes fails the test, it never hangs.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "ui/backend.h"
#include "ui/model.h"
#include "ui/wx/wx_backend.h"
#include "ui/wx/wx_drawn.h"
#include "ui/wx/wx_widgets.h"

class WxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (the test script provides one)";
    static const bool installed = [] {
      static int argc = 1;
      static char name[] = "wx_tests";
      static char* argv[] = {name, nullptr};
      if (!InstallWxBackend(argc, argv)) return false;
      RegisterAllWindowDefinitions();
      return true;
    }();
    ASSERT_TRUE(installed) << "DISPLAY is set but the backend did not start";
    ready_ = true;
    ui::ClearBindings();
  }

  void TearDown() override {
    if (!ready_) return;
    ui::ClearBindings();  // the handlers' counters are gone with the test's body
    for (ui::WindowModel* window : ui::LoadedWindows())
      ui::DestroyProgramWindow(ui::WindowRef{window->def->name});
    PumpUntil([] { return ui::LoadedWindows().empty(); });
    ui::DelayPumping(20);  // the frames' deferred deletion
  }

  // --- helpers, also for the tests' own functions ---
 public:
  // Handles events until done() holds; false when it still does not after ms.
  static bool PumpUntil(const std::function<bool()>& done, int ms = 10000) {
    ui::Backend* backend = ui::CurrentBackend();
    const std::uint64_t until = backend->NowMs() + static_cast<std::uint64_t>(ms);
    while (!done()) {
      if (backend->NowMs() >= until) return false;
      ui::DelayPumping(5);
    }
    return true;
  }

  // Loads the window and lets it be mapped and laid out.
  static ui::WindowModel& Load(ui::WindowRef window) {
    EXPECT_TRUE(ui::LoadWindow(window));
    ui::DelayPumping(50);
    ui::WindowModel* model = ui::FindWindow(window.name);
    if (model == nullptr) throw std::runtime_error(std::string("not loaded: ") + window.name);
    return *model;
  }

  static ui::ControlModel& Control(ui::ControlRef ref) {
    ui::WindowModel* window = ui::FindWindow(ref.window.name);
    ui::ControlModel* control = window ? window->Find(ref.name) : nullptr;
    if (control == nullptr) throw std::runtime_error(std::string("no control ") + ref.name);
    return *control;
  }

  template <typename W>
  static W* Widget(ui::ControlRef ref) {
    return dynamic_cast<W*>(ui::wx::WidgetsOf(Control(ref))->widget);
  }

  static wxFrame* Frame(ui::WindowRef window) {
    ui::WindowModel* model = ui::FindWindow(window.name);
    return model && ui::wx::WidgetsOf(*model) ? ui::wx::WidgetsOf(*model)->frame : nullptr;
  }

  // Answers the next modal dialog from inside its own loop, as a user would: answer gets each
  // modal dialog and returns true once it has ended one. Gives up after ms.
  static void AnswerModal(std::function<bool(wxDialog&)> answer, int ms = 20000) {
    struct Attempt {
      std::function<bool(wxDialog&)> answer;
      std::uint64_t until;
      static void Run(std::shared_ptr<Attempt> attempt) {
        for (wxWindow* window : wxTopLevelWindows) {
          auto* dialog = dynamic_cast<wxDialog*>(window);
          if (dialog != nullptr && dialog->IsModal() && attempt->answer(*dialog)) return;
        }
        if (ui::CurrentBackend()->NowMs() < attempt->until) wxTheApp->CallAfter([attempt] { Run(attempt); });
      }
    };
    auto attempt = std::make_shared<Attempt>(
        Attempt{std::move(answer), ui::CurrentBackend()->NowMs() + static_cast<std::uint64_t>(ms)});
    wxTheApp->CallAfter([attempt] { Attempt::Run(attempt); });
  }

  // What a widget shows, as a GBK text to compare with the model's texts.
  static Text Shown(const wxString& text) { return ui::wx::FromWx(text); }

 private:
  bool ready_ = false;
};

// Counts the events of one kind that a control (or "" for the window) raises.
struct EventCounter {
  int count = 0;
  int lastArg = -1;

  EventCounter(ui::WindowRef window, const char* control, ui::EventKind kind) {
    ui::Bind(window, control, kind, [this](int arg) {
      ++count;
      lastArg = arg;
    });
  }
};
