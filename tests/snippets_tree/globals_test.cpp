// The program's globals: their values at start and their release when the program ends.
#include "snippets/globals.h"

#include "snippets/startup.h"
#include "tree_helpers.h"

namespace {

using namespace tree_test;
namespace headless = ui::headless;

class GlobalsTest : public ProgramFixture {
 protected:
  // Every global away from its initial value.
  static void Dirty() {
    {
      std::lock_guard<std::mutex> lock(EntryListLock);
      EntryList.assign(2, EntryRecord{"name", "usage", "description", "picture", "example"});
    }
    ImportPassword = "import";
    TransferDone = 0;
    StartThread([](int) {}, 0, &ExportThread);
    CurrentDirPath = "/path";
    EditMode = 1;
    CurrentDirTag = "150";
    EditOld = {"1", "2", "3", "4", "5"};
    SkipNextSelection = 1;
    ExportPassword = "export";
  }

  // The texts and arrays that ReleaseGlobals frees, all empty.
  static void ExpectTextsEmpty() {
    EXPECT_TRUE(EntryList.empty());
    EXPECT_EQ(ImportPassword, "");
    EXPECT_EQ(CurrentDirPath, "");
    EXPECT_EQ(CurrentDirTag, "");
    for (const Text* old : {&EditOld.name, &EditOld.usagePath, &EditOld.description,
                            &EditOld.picturePath, &EditOld.examplePath}) {
      EXPECT_EQ(*old, "");
    }
    EXPECT_EQ(ExportPassword, "");
  }
};

TEST_F(GlobalsTest, StartSetsInitialValues) {
  PrepareLibrary(InProgram("\\DATA.mdb"), {kDirectoryTableText, kEntryTableText});
  Dirty();
  headless::WaitIdle();

  ASSERT_TRUE(StartProgram());

  ExpectTextsEmpty();
  EXPECT_EQ(TransferDone.load(), 1);
  EXPECT_EQ(ExportThread, nullptr);
  EXPECT_EQ(EditMode, 0);
  EXPECT_EQ(SkipNextSelection.load(), 0);
}

TEST_F(GlobalsTest, EndOfProgramReleasesThem) {
  PrepareLibrary(InProgram("\\DATA.mdb"), {kDirectoryTableText, kEntryTableText});
  ASSERT_TRUE(StartProgram());
  Dirty();
  headless::WaitIdle();

  headless::AskToClose(MainWindow::Self);

  ASSERT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  ExpectTextsEmpty();
}

}  // namespace
