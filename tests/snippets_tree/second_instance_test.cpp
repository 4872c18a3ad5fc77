// A second program instance starting on the same library while the first one runs: its
// start-up's compaction is skipped, and the first instance's later writes reach the library.
#include "runtime/database.h"
#include "snippets/library.h"
#include "tests/database/other_process.h"
#include "tree_helpers.h"

namespace {

using namespace tree_test;
namespace headless = ui::headless;

class SecondInstanceTest : public ProgramFixture {};

TEST_F(SecondInstanceTest, StartOfASecondInstanceKeepsTheFirstOnItsLibrary) {
  const Text library = InProgram("\\DATA.mdb");
  PrepareLibrary(library, {kDirectoryTableText, kEntryTableText, DirectoryInsert("A", "-1", "50")});
  // Forked before this instance opens the library, so the two share no engine state.
  OtherProcess second([&](OtherProcess::Channel& channel) {
    channel.Await();
    // What the second instance's start-up does with the library.
    const int compaction = CompactDatabaseFile(library, "", false);
    DatabaseUnit unit;
    const bool opened = OdbcOpen(unit, library);
    if (opened) EnsureLibraryTables(unit);
    channel.Tell(compaction == kCompactionSkipped && opened ? 's' : 'x');
    channel.Await();
  });
  ASSERT_TRUE(StartProgram());
  ASSERT_EQ(ui::TreeItemCount(MainWindow::DirectoryTree), 1);
  // Free pages for the second instance's compaction to reclaim.
  ASSERT_TRUE(OdbcTransaction(LibraryDatabase, [] {
    for (int i = 0; i < 300; ++i) {
      if (!OdbcExecute(LibraryDatabase, EntryInsert("/A", Text(200, 'x') + ToText(i), "50"))) return false;
    }
    return true;
  }));
  ASSERT_TRUE(OdbcExecute(LibraryDatabase, "DELETE FROM `内含信息`;"));

  second.Tell('g');
  EXPECT_EQ(second.Await(), 's');

  // The first instance goes on writing: a new directory, saved as the menu saves it.
  headless::ClearRecords();
  headless::AnswerInputBox(Text("B"));
  headless::ChooseMenuItem(MainWindow::Self, "AddRootMenuItem");
  headless::WaitIdle();
  EXPECT_TRUE(headless::MessagesShown().empty() ||
              headless::MessagesShown().back().text.find("失败") == Text::npos);
  second.Finish();

  // A fresh connection on the library's path sees it.
  DatabaseUnit fresh;
  ASSERT_TRUE(OdbcOpen(fresh, library));
  EXPECT_EQ(QueryRows(fresh, "SELECT * FROM `目录`", {"目录名"}), (Rows{{"A"}, {"B"}}));
  OdbcClose(fresh);
}

}  // namespace
