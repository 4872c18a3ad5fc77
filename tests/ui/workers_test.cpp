// Calls from worker threads: carried to the GUI thread, their results returned to the worker.
#include <atomic>
#include <optional>
#include <string>

#include "runtime/threads.h"
#include "ui/model.h"
#include "ui_fixture.h"

namespace ui_test {
namespace {

using WorkersTest = UiTest;

TEST_F(WorkersTest, WorkersMessageBoxGetsTheScriptedAnswer) {
  const struct {
    const char* name;
    int flags;
    std::optional<int> scripted;
    int answer;
  } cases[] = {
      {"yes", ui::kMbYesNo | ui::kMbIconWarning, ui::kIdYes, ui::kIdYes},
      {"no", ui::kMbYesNo | ui::kMbIconWarning, ui::kIdNo, ui::kIdNo},
      {"question left unanswered", ui::kMbYesNo, std::nullopt, ui::kIdNo},
      {"notice left unanswered", ui::kMbOk, std::nullopt, ui::kIdOk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NewSession();
    if (c.scripted) headless::AnswerMessageBox(*c.scripted);
    std::atomic<int> answer{0};
    ASSERT_TRUE(StartThread([&answer, flags = c.flags](int) {
      answer = ui::ShowMessageBox("是否继续？", flags);
    }));
    // The GUI thread has not handled the call yet, so the worker still waits for its box.
    EXPECT_EQ(answer.load(), 0);

    ASSERT_TRUE(headless::WaitIdle());

    EXPECT_EQ(answer.load(), c.answer);
    ASSERT_EQ(headless::MessagesShown().size(), 1u);
    EXPECT_EQ(headless::MessagesShown()[0].text, "是否继续？");
    EXPECT_EQ(headless::MessagesShown()[0].flags, c.flags);
    EXPECT_EQ(headless::MessagesShown()[0].title, "信息：");
  }
}

TEST_F(WorkersTest, ComponentProgressRunsItsHandlerOnTheGuiThreadBeforeTheWorkerGoesOn) {
  ASSERT_TRUE(ui::LoadWindow(kMain));
  Log seen;
  ui::Bind(kMain, "Zipper", ui::EventKind::Progress, [&seen](int percent) {
    seen.push_back((ui::OnGuiThread() ? "gui " : "worker ") + std::to_string(percent));
  });
  std::atomic<bool> handledFirst{false};
  ASSERT_TRUE(StartThread([&](int) {
    ui::RaiseComponentProgress({kMain, "Zipper"}, 50);
    handledFirst = seen.size() == 1;
    ui::RaiseComponentProgress({kMain, "Zipper"}, 100);
  }));
  ASSERT_TRUE(headless::WaitIdle());
  EXPECT_TRUE(handledFirst.load());
  EXPECT_EQ(seen, (Log{"gui 50", "gui 100"}));

  // Once the window is gone its handler is not run.
  ui::DestroyProgramWindow(kMain);
  ASSERT_TRUE(headless::WaitIdle());
  ui::RaiseComponentProgress({kMain, "Zipper"}, 100);
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(WorkersTest, WorkersSetTextShowsInTheModel) {
  ASSERT_TRUE(ui::LoadWindow(kMain));
  std::atomic<bool> readBack{false};
  ASSERT_TRUE(StartThread([&readBack](int) {
    ui::SetText(kNameBox, "from a worker");
    readBack = ui::GetText(kNameBox) == "from a worker";
  }));

  ASSERT_TRUE(headless::WaitIdle());

  EXPECT_TRUE(readBack.load());
  EXPECT_EQ(ui::GetText(kNameBox), "from a worker");
  EXPECT_EQ(ui::FindWindow(kMain.name)->Find(kNameBox.name)->text, "from a worker");
}

TEST_F(WorkersTest, EventsCausedByAWorkerRunOnTheGuiThread) {
  std::atomic<int> createdOnGui{-1};
  ui::BindWindow(kMain, ui::EventKind::Created, [&createdOnGui](int) { createdOnGui = ui::OnGuiThread(); });
  std::atomic<bool> loaded{false};
  ASSERT_TRUE(StartThread([&loaded](int) { loaded = ui::LoadWindow(kMain); }));

  ASSERT_TRUE(headless::WaitIdle());

  EXPECT_TRUE(loaded.load());
  EXPECT_EQ(createdOnGui.load(), 1);
  EXPECT_TRUE(ui::IsCreated(kMain));
}

TEST_F(WorkersTest, WorkersCallOnAWindowNotLoadedGetsTheEmptyResult) {
  std::atomic<bool> empty{false};
  ASSERT_TRUE(StartThread([&empty](int) {
    ui::SetText(kNameBox, "nowhere");
    empty = ui::GetText(kNameBox).empty() && ui::TreeItemCount(kFolders) == 0 &&
            ui::ListCurrentRow(kRows) == -1;
  }));

  ASSERT_TRUE(headless::WaitIdle());

  EXPECT_TRUE(empty.load());
}

}  // namespace
}  // namespace ui_test
