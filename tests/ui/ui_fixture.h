// Small windows of the tests' own and a fixture that runs each test in a fresh headless session.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/headless/headless.h"
#include "ui/ui.h"
#include "ui/window_def.h"

namespace ui_test {

namespace headless = ui::headless;
using Log = std::vector<std::string>;

// A window with one control of each kind the tests drive and a one-second timer.
inline constexpr ui::WindowRef kMain{"UiTestMain"};
inline constexpr ui::ControlRef kNameBox{kMain, "NameBox"};
inline constexpr ui::ControlRef kGoButton{kMain, "GoButton"};
inline constexpr ui::ControlRef kTick{kMain, "Tick"};
inline constexpr ui::ControlRef kRows{kMain, "Rows"};
inline constexpr ui::ControlRef kFolders{kMain, "Folders"};
inline constexpr const char* kEditMenu = "EditMenu";
// A second window with a faster timer.
inline constexpr ui::WindowRef kOther{"UiTestOther"};
inline constexpr ui::ControlRef kBeat{kOther, "Beat"};
// A window the tests load with kMain as its parent.
inline constexpr ui::WindowRef kChild{"UiTestChild"};

inline void RegisterTestWindows() {
  using ui::ControlKind;
  ui::WindowDef main;
  main.name = kMain.name;
  main.title = "Main title";
  main.width = 400;
  main.height = 300;
  main.controls = {
      {.name = "NameBox", .kind = ControlKind::EditBox, .caption = "initial",
       .width = 100, .height = 20},
      {.name = "GoButton", .kind = ControlKind::Button, .caption = "Go", .top = 30, .width = 60, .height = 20},
      {.name = "Tick", .kind = ControlKind::Timer, .period = 1000},
      {.name = "Rows", .kind = ControlKind::ListView, .top = 60, .width = 200, .height = 100,
       .items = {"Name", "Description"}, .widths = {100, 100}},
      {.name = "Folders", .kind = ControlKind::TreeView, .top = 170, .width = 200, .height = 100},
  };
  main.popupMenus = {{.name = kEditMenu,
                      .items = {{.name = "CopyItem", .caption = "Copy"},
                                {.name = "PasteItem", .caption = "Paste"}}}};
  ui::RegisterWindowDefinition(main);

  ui::WindowDef other;
  other.name = kOther.name;
  other.title = "Other title";
  other.controls = {{.name = "Beat", .kind = ControlKind::Timer, .period = 300}};
  ui::RegisterWindowDefinition(other);

  ui::WindowDef child;
  child.name = kChild.name;
  child.title = "Child title";
  child.controls = {{.name = "ChildBox", .kind = ControlKind::EditBox}};
  ui::RegisterWindowDefinition(child);
}

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterTestWindows();
    headless::Install();
  }
  void TearDown() override { headless::Uninstall(); }

  // Starts over: a fresh session with no window, binding, script or record.
  void NewSession() {
    headless::Uninstall();
    headless::Install();
    log.clear();
  }

  // Appends label to the log each time the window's event is raised.
  void Record(ui::WindowRef window, ui::EventKind kind, std::string label) {
    ui::BindWindow(window, kind, [this, label](int) { log.push_back(label); });
  }

  // Events in the order they ran; touched on the GUI thread only.
  Log log;
};

}  // namespace ui_test
