// Loading, destroying and closing windows: when Created, CanClose, Destroying and Closed run.
#include <functional>

#include "ui_fixture.h"

namespace ui_test {
namespace {

using ui::EventKind;
using WindowsTest = UiTest;

TEST_F(WindowsTest, CreatedRunsDuringTheLoadWithTheControlsInPlace) {
  bool openDuringCreated = false;
  ui::BindWindow(kMain, EventKind::Created, [&](int) {
    log.push_back("created");
    openDuringCreated = ui::IsCreated(kMain);
    ui::SetText(kNameBox, ui::GetText(kNameBox) + " and set by created");
  });
  EXPECT_FALSE(ui::IsCreated(kMain));

  ASSERT_TRUE(ui::LoadWindow(kMain));

  EXPECT_EQ(log, Log{"created"});
  EXPECT_TRUE(openDuringCreated);
  EXPECT_EQ(ui::GetText(kNameBox), "initial and set by created");
  EXPECT_EQ(ui::GetTitle(kMain), "Main title");
  EXPECT_EQ(ui::GetWindowState(kMain), ui::WindowState::Normal);
}

TEST_F(WindowsTest, WindowWithoutDefinitionDoesNotLoad) {
  EXPECT_FALSE(ui::LoadWindow(ui::WindowRef{"NoSuchWindow"}));
  EXPECT_FALSE(ui::IsCreated(ui::WindowRef{"NoSuchWindow"}));
}

TEST_F(WindowsTest, LoadingAnOpenWindowBringsItToTheFrontRestoredAndUnchanged) {
  Record(kMain, EventKind::Created, "created");
  ASSERT_TRUE(ui::LoadWindow(kMain));
  headless::TypeText(kNameBox, "typed by the user");
  ui::TreeAddItem(kFolders, -1, "kept", 1);
  headless::Minimize(kMain);
  ASSERT_EQ(ui::GetWindowState(kMain), ui::WindowState::Minimized);

  ASSERT_TRUE(ui::LoadWindow(kMain));

  EXPECT_EQ(log, Log{"created"});
  EXPECT_EQ(headless::WindowsBroughtToFront(), std::vector<std::string>{kMain.name});
  EXPECT_EQ(ui::GetWindowState(kMain), ui::WindowState::Normal);
  EXPECT_EQ(ui::GetText(kNameBox), "typed by the user");
  EXPECT_EQ(ui::TreeItemText(kFolders, 0), "kept");
}

TEST_F(WindowsTest, DestroyFromAHandlerWaitsForTheHandlerAndRaisesNoCanClose) {
  ASSERT_TRUE(ui::LoadWindow(kMain));
  ui::BindCanClose(kMain, [this] {
    log.push_back("can close");
    return true;
  });
  Record(kMain, EventKind::Destroying, "destroying");
  Record(kMain, EventKind::Closed, "closed");
  ui::Bind(kMain, kGoButton.name, EventKind::Click, [this](int) {
    ui::DestroyProgramWindow(kMain);
    log.push_back(ui::IsCreated(kMain) ? "open until the handler returns" : "gone inside the handler");
    log.push_back("read in handler: " + ui::GetText(kNameBox));
  });

  headless::Click(kGoButton);

  EXPECT_EQ(log, (Log{"open until the handler returns", "read in handler: initial", "destroying", "closed"}));
  EXPECT_FALSE(ui::IsCreated(kMain));
}

TEST_F(WindowsTest, LoadingAWindowDueForDestructionMakesAFreshOne) {
  Record(kMain, EventKind::Created, "created");
  ASSERT_TRUE(ui::LoadWindow(kMain));
  headless::TypeText(kNameBox, "old content");
  ui::Bind(kMain, kGoButton.name, EventKind::Click, [](int) {
    ui::DestroyProgramWindow(kMain);
    ui::LoadWindow(kMain);
  });

  headless::Click(kGoButton);
  ASSERT_TRUE(headless::WaitIdle());

  // The destruction asked for before the load must not take the new window.
  EXPECT_TRUE(ui::IsCreated(kMain));
  EXPECT_EQ(log, (Log{"created", "created"}));
  EXPECT_EQ(ui::GetText(kNameBox), "initial");
}

TEST_F(WindowsTest, CloseBoxAsksCanClose) {
  const struct {
    const char* name;
    bool allow;
    bool openAfter;
    Log log;
  } cases[] = {
      {"refused", false, true, {"can close"}},
      {"allowed", true, false, {"can close", "destroying", "closed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NewSession();
    ASSERT_TRUE(ui::LoadWindow(kMain));
    ui::BindCanClose(kMain, [this, allow = c.allow] {
      log.push_back("can close");
      return allow;
    });
    Record(kMain, EventKind::Destroying, "destroying");
    Record(kMain, EventKind::Closed, "closed");

    headless::AskToClose(kMain);

    EXPECT_EQ(ui::IsCreated(kMain), c.openAfter);
    EXPECT_EQ(log, c.log);
  }
}

TEST_F(WindowsTest, ChildrenGoWithTheirParent) {
  const struct {
    const char* name;
    std::function<void()> closeParent;
  } ways[] = {
      {"close box", [] { headless::AskToClose(kMain); }},
      {"destroyed by code", [] {
         ui::DestroyProgramWindow(kMain);
         ASSERT_TRUE(headless::WaitIdle());
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    NewSession();
    ASSERT_TRUE(ui::LoadWindow(kMain));
    ASSERT_TRUE(ui::LoadWindow(kChild, &kMain));
    ASSERT_TRUE(ui::LoadWindow(kOther));
    ui::BindCanClose(kChild, [this] {
      log.push_back("child can close");
      return false;
    });
    Record(kMain, EventKind::Destroying, "parent destroying");
    Record(kMain, EventKind::Closed, "parent closed");
    Record(kChild, EventKind::Destroying, "child destroying");
    Record(kChild, EventKind::Closed, "child closed");
    Record(kOther, EventKind::Closed, "unrelated closed");

    way.closeParent();

    EXPECT_FALSE(ui::IsCreated(kMain));
    EXPECT_FALSE(ui::IsCreated(kChild));
    EXPECT_TRUE(ui::IsCreated(kOther));
    EXPECT_EQ(log, (Log{"parent destroying", "child destroying", "child closed", "parent closed"}));
  }
}

}  // namespace
}  // namespace ui_test
