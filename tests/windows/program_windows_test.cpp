// Every window of both programs loads from its definition in the headless backend, with the
// state its definition gives.
#include <gtest/gtest.h>

#include <string>

#include "resources/resources.h"
#include "ui/headless/headless.h"
#include "ui/model.h"

namespace {

class ProgramWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::headless::Install();
    RegisterAllWindowDefinitions();
  }
  void TearDown() override { ui::headless::Uninstall(); }
};

TEST_F(ProgramWindows, EachLoadsWithItsDefinedStateAndGoesAgain) {
  for (const ui::WindowDef* def : ui::AllWindowDefinitions()) {
    SCOPED_TRACE(def->name);
    const ui::WindowRef window{def->name};
    ASSERT_TRUE(ui::LoadWindow(window));
    ui::WindowModel* model = ui::FindWindow(def->name);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(ui::GetTitle(window), def->title);
    ASSERT_EQ(model->controls.size(), def->controls.size());
    for (const ui::ControlDef& control : def->controls) {
      if (*control.name == '\0') continue;  // anonymous labels have no identity to ask by
      SCOPED_TRACE(control.name);
      const ui::ControlRef ref{window, control.name};
      EXPECT_EQ(ui::GetLeft(ref), control.left);
      EXPECT_EQ(ui::GetTop(ref), control.top);
      EXPECT_EQ(ui::GetWidth(ref), control.width);
      EXPECT_EQ(ui::GetHeight(ref), control.height);
      EXPECT_EQ(ui::GetVisible(ref), (control.style & ui::kStyleHidden) == 0);
      if (control.kind == ui::ControlKind::Timer) {
        EXPECT_EQ(ui::GetTimerPeriod(ref), control.period);
      }
      if (control.kind == ui::ControlKind::StatusBar) {
        for (std::size_t part = 0; part < control.items.size(); ++part) {
          EXPECT_EQ(ui::StatusBarText(ref, static_cast<int>(part)), control.items[part]);
        }
      } else if (control.kind != ui::ControlKind::ListView && control.kind != ui::ControlKind::TabControl) {
        EXPECT_EQ(ui::GetText(ref), control.caption);
      }
    }
    ui::DestroyProgramWindow(window);
    EXPECT_TRUE(ui::IsCreated(window));  // not before the loop handles the request
    ui::headless::WaitIdle();
    EXPECT_FALSE(ui::IsCreated(window));
  }
}

}  // namespace
