// The entry list's delete, open-example and save-as items, over real rows and stored files.
#include <functional>
#include <optional>
#include <string>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/packed_file.h"
#include "snippets/entry_actions.h"
#include "snippets/globals.h"
#include "tests/snippets_entries/entries_fixture.h"
#include "tests/support/write_fault.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

using namespace MainWindow;
namespace hl = ui::headless;

const Text kIdA = "DDDDDDDDDDDDDDa";
const Text kIdB = "DDDDDDDDDDDDDDb";

Text UsagePath(const Text& id) { return "\\DATA\\方法\\" + id + ".txt"; }
Text PicturePath(const Text& id) { return "\\DATA\\图片\\" + id + ".png"; }
Text ExamplePath(const Text& id) { return "\\DATA\\例程\\" + id + ".cpp"; }

class EntryActionsTest : public EntriesTest {
 protected:
  // A directory with one entry that has every file.
  void ListOneFullEntry(const Text& name = "快速排序", const Text& description = "排序") {
    const int dir = AddDirectory("甲", 1);
    InsertEntry({.name = name, .description = description, .usage = "用法", .picture = MakePng(8, 8),
                 .example = BytesOf("int main() {}")},
                1, kIdA);
    SelectDirectory(dir);
  }
  void Choose(const char* item, int row = 0) {
    hl::FocusListRow(EntryListView, row);
    hl::ChooseMenuItem(Self, item);
  }
  bool AllFilesOf(const Text& id) {
    return StoredExists(UsagePath(id)) && StoredExists(PicturePath(id)) && StoredExists(ExamplePath(id));
  }
  bool NoFileOf(const Text& id) {
    return !StoredExists(UsagePath(id)) && !StoredExists(PicturePath(id)) && !StoredExists(ExamplePath(id));
  }
  std::vector<Text> MessageTexts() {
    std::vector<Text> texts;
    for (const auto& shown : hl::MessagesShown()) texts.push_back(shown.text);
    return texts;
  }
};

// --- delete ---

TEST_F(EntryActionsTest, DeletingTheOnlyRowKeepsTheCountAndSkipsOneSelection) {
  ListOneFullEntry();
  const int other = AddDirectory("乙", 2);
  InsertEntry({.name = "other", .description = "", .usage = "另一个"}, 2, kIdB);

  Choose("DeleteEntryMenuItem");

  EXPECT_TRUE(NoFileOf(kIdA));
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "other");
  EXPECT_EQ(ui::ListRowCount(EntryListView), 0);
  EXPECT_EQ(EntryList.size(), 1u);  // the record stays behind its removed row
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 1), "记录条数:1");
  EXPECT_EQ(SkipNextSelection.load(), 1);
  EXPECT_TRUE(hl::MessagesShown().empty());

  // The next selection event is passed over once, the one after previews.
  SelectDirectory(other);
  const Text before = ui::GetText(UsageTextBox);
  hl::FocusListRow(EntryListView, 0);
  EXPECT_EQ(ui::GetText(UsageTextBox), before);
  EXPECT_EQ(SkipNextSelection.load(), 0);
  hl::FocusListRow(EntryListView, -1);
  hl::FocusListRow(EntryListView, 0);
  EXPECT_EQ(ui::GetText(UsageTextBox), "另一个");
}

TEST_F(EntryActionsTest, SameNamedEntryOfAnotherDirectoryKeepsItsRowAndFiles) {
  const int dirA = AddDirectory("甲", 1);
  AddDirectory("乙", 2);
  const TestEntry twin{.name = "同名", .description = "同说明", .usage = "u", .picture = MakePng(4, 4),
                       .example = BytesOf("x")};
  InsertEntry(twin, 1, kIdA);
  InsertEntry(twin, 2, kIdB);
  SelectDirectory(dirA);

  Choose("DeleteEntryMenuItem");

  EXPECT_TRUE(NoFileOf(kIdA));
  EXPECT_TRUE(AllFilesOf(kIdB));
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].tag, "2");
  EXPECT_EQ(rows[0].usage, UsagePath(kIdB));
}

TEST_F(EntryActionsTest, NameWithApostropheIsDeleted) {
  ListOneFullEntry("it's", "O'Brien's");
  Choose("DeleteEntryMenuItem");
  EXPECT_TRUE(ReadRows().empty());
  EXPECT_TRUE(NoFileOf(kIdA));
  EXPECT_TRUE(hl::MessagesShown().empty());
}

struct DeleteFaultCase {
  const char* what;
  std::function<void(DatabaseUnit&)> fault;
  size_t rowsAfter;
};

class DeleteFaultTest : public EntryActionsTest, public ::testing::WithParamInterface<DeleteFaultCase> {};

TEST_P(DeleteFaultTest, FailedDeleteKeepsRowFilesAndListAndSays) {
  ListOneFullEntry();
  GetParam().fault(LibraryDatabase);

  Choose("DeleteEntryMenuItem");

  EXPECT_EQ(MessageTexts(), std::vector<Text>{"删除失败!!"});
  EXPECT_TRUE(AllFilesOf(kIdA));
  EXPECT_EQ(ui::ListRowCount(EntryListView), 1);
  EXPECT_EQ(SkipNextSelection.load(), 0);
  if (!OdbcIsOpen(LibraryDatabase)) {
    ASSERT_TRUE(OdbcOpen(LibraryDatabase, InProgram("\\DATA.mdb")));
  }
  EXPECT_EQ(ReadRows().size(), GetParam().rowsAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DeleteFaultTest,
    ::testing::Values(
        DeleteFaultCase{"DatabaseGone", [](DatabaseUnit& db) { OdbcClose(db); }, 1},
        // Another instance deleted the row meanwhile: nothing was deleted here, so no success.
        DeleteFaultCase{"RowAlreadyGone",
                        [](DatabaseUnit& db) { ASSERT_TRUE(OdbcExecute(db, "DELETE FROM `内含信息`;")); }, 0},
        // The row was modified meanwhile: its new usage file is another one.
        DeleteFaultCase{"RowChangedMeanwhile",
                        [](DatabaseUnit& db) {
                          ASSERT_TRUE(OdbcExecute(db, "UPDATE `内含信息` SET `使用方法`='\\DATA\\方法\\new.txt';"));
                        },
                        1}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(EntryActionsTest, DeleteWithoutARowOrItsRecordDoesNothing) {
  ListOneFullEntry();
  hl::FocusListRow(EntryListView, -1);
  hl::ChooseMenuItem(Self, "DeleteEntryMenuItem");
  // A row whose value names no record: its entry is unknown, so nothing is deleted.
  const int stray = ui::ListAppendRow(EntryListView, 99);
  ui::ListSetCell(EntryListView, stray, 0, "快速排序");
  ui::ListSetCell(EntryListView, stray, 1, "排序");
  Choose("DeleteEntryMenuItem", stray);

  EXPECT_EQ(ReadRows().size(), 1u);
  EXPECT_TRUE(AllFilesOf(kIdA));
  EXPECT_EQ(ui::ListRowCount(EntryListView), 2);
  EXPECT_TRUE(hl::MessagesShown().empty());
}

// --- open the example ---

TEST_F(EntryActionsTest, OpenExampleWritesTheInstancesCopyAndOpensIt) {
  // What another instance (or an older version) left in the shared temporary folder.
  const Text foreign = WriteTempFile("临时.cpp", BytesOf("another instance's copy"));
  ListOneFullEntry();

  Choose("OpenExampleMenuItem");

  const Text copy = InstanceTempFolder() + "\\临时.cpp";
  EXPECT_EQ(ExampleOpenCopyPath(ExamplePath(kIdA)), copy);
  EXPECT_EQ(ReadFileBytes(copy), BytesOf("int main() {}"));
  EXPECT_EQ(hl::ShellOpened(), std::vector<Text>{copy});
  EXPECT_TRUE(hl::MessagesShown().empty());
  EXPECT_EQ(ReadFileBytes(foreign), BytesOf("another instance's copy"));
  EXPECT_NE(NativePath(InstanceTempFolder()), NativePath(tempFolder + "/"));
}

TEST_F(EntryActionsTest, OpeningTwoExamplesOfOneTypeOverwritesTheOneCopy) {
  const int dir = AddDirectory("甲", 1);
  InsertEntry({.name = "one", .description = "", .usage = "u", .example = BytesOf("first")}, 1, kIdA);
  InsertEntry({.name = "two", .description = "", .usage = "u", .example = BytesOf("second")}, 1, kIdB);
  SelectDirectory(dir);

  Choose("OpenExampleMenuItem", 0);
  Choose("OpenExampleMenuItem", 1);

  const Text copy = InstanceTempFolder() + "\\临时.cpp";
  EXPECT_EQ(hl::ShellOpened(), (std::vector<Text>{copy, copy}));
  EXPECT_EQ(ReadFileBytes(copy), BytesOf("second"));
}

TEST_F(EntryActionsTest, CopyNameTakesTheExtensionOfTheFileNameOnly) {
  const Text folder = InstanceTempFolder();
  const struct {
    const char* stored;
    const char* copy;
  } cases[] = {
      {"\\DATA\\例程\\abc.cpp", "\\临时.cpp"},
      {"\\DATA\\例程\\abc.tar.gz", "\\临时.gz"},
      {"\\DATA\\例程\\abc.", "\\临时."},
      {"\\DATA\\例.程\\abc", "\\临时."},          // a "." of a folder never counts
      {"\\DATA\\例程\\a.b/c/d", "\\临时."},       // nor one before a "/"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(ExampleOpenCopyPath(c.stored), folder + c.copy);
  }
}

struct OpenCase {
  const char* what;
  bool writeExample;         // a file at the example path
  Bytes content;             // written as is
  Text examplePath;          // the row's example path ("" = the entry's usual one)
  const char* message;
};

class OpenExampleTest : public EntryActionsTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenExampleTest, NothingIsWrittenOrOpenedAndTheUserIsTold) {
  const OpenCase& c = GetParam();
  const int dir = AddDirectory("甲", 1);
  const Text examplePath = c.examplePath.empty() ? ExamplePath(kIdA) : c.examplePath;
  ASSERT_TRUE(WriteFileBytes(InProgram(UsagePath(kIdA)), CompressBytes(BytesOf("u"))));
  if (c.writeExample) {
    ASSERT_TRUE(WriteFileBytes(InProgram(examplePath), c.content));
  }
  ASSERT_TRUE(OdbcExecute(LibraryDatabase, "INSERT INTO `内含信息` (`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) "
                                           "VALUES ('n','" + UsagePath(kIdA) + "','d','','" +
                                               SqlEscape(examplePath) + "','1');"));
  SelectDirectory(dir);

  Choose("OpenExampleMenuItem");

  EXPECT_EQ(MessageTexts(), std::vector<Text>{c.message});
  EXPECT_TRUE(hl::ShellOpened().empty());
  EXPECT_FALSE(FileExists(ExampleOpenCopyPath(examplePath)));
}

Bytes Bomb() {
  // A true stored head that claims more than the stored-file limit.
  Bytes stored = CompressBytes(BytesOf("small"));
  const std::uint32_t claimed = static_cast<std::uint32_t>(kMaxStoredFileLength + 1);
  for (int i = 0; i < 4; ++i) stored[4 + i] = static_cast<std::uint8_t>(claimed >> (8 * i));
  return stored;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenExampleTest,
    ::testing::Values(
        OpenCase{"SavedWithoutExample", false, {}, "\\DATA\\例程\\DDDDDDDDDDDDDDa.", "此代码未加入例程！！"},
        OpenCase{"EmptyPathNamesTheProgramFolder", false, {}, "\\DATA\\例程", "此代码未加入例程！！"},
        OpenCase{"PathLeavesTheDataFolder", true, CompressBytes(BytesOf("x")), "\\DATA\\例程\\..\\..\\x.cpp",
                 "此代码未加入例程！！"},
        OpenCase{"NotAStoredFile", true, BytesOf("plain text, no head"), "", "例程文件已损坏，无法读取！！"},
        OpenCase{"CutOffStream", true,
                 [] {
                   Bytes b = CompressBytes(Bytes(5000, 'a'));
                   b.resize(b.size() / 2);
                   return b;
                 }(),
                 "", "例程文件已损坏，无法读取！！"},
        OpenCase{"HeadOverTheLimit", true, Bomb(), "", "例程文件已损坏，无法读取！！"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(EntryActionsTest, OpenExampleWhoseCopyCannotBeWrittenSaysSo) {
  ListOneFullEntry();
  const WriteFault fault(NativePath(InstanceTempFolder()), WriteOutcome::kIncomplete);

  Choose("OpenExampleMenuItem");

  EXPECT_EQ(MessageTexts(), std::vector<Text>{"例程临时文件写入失败，无法打开例程！！"});
  EXPECT_TRUE(hl::ShellOpened().empty());
  EXPECT_FALSE(FileExists(ExampleOpenCopyPath(ExamplePath(kIdA))));
}

TEST_F(EntryActionsTest, StoredEmptyExampleOpensAsAnEmptyFile) {
  const int dir = AddDirectory("甲", 1);
  InsertEntry({.name = "n", .description = "", .usage = "u"}, 1, kIdA);
  ASSERT_TRUE(WriteFileBytes(InProgram(ExamplePath(kIdA)), CompressBytes(Bytes())));
  SelectDirectory(dir);
  Choose("OpenExampleMenuItem");
  EXPECT_TRUE(hl::MessagesShown().empty());
  ASSERT_EQ(hl::ShellOpened().size(), 1u);
  Bytes copy{'x'};
  EXPECT_TRUE(ReadFileBytes(hl::ShellOpened()[0], copy));
  EXPECT_TRUE(copy.empty());
}

// --- save as ---

struct SaveCase {
  const char* what;
  const char* item;
  bool hasFile;                  // the entry has the stored file
  std::optional<Text> target;    // relative to the test's temporary folder; nullopt = cancel
  const char* message;           // "" = none
  bool written;                  // the target holds the content afterwards
};

class SaveAsTest : public EntryActionsTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveAsTest, WritesTheUnpackedFileOrSaysWhyNot) {
  const SaveCase& c = GetParam();
  const bool picture = Text(c.item) == "SavePictureAsMenuItem";
  const Bytes content = picture ? MakePng(9, 9) : BytesOf("int main() {}");
  const int dir = AddDirectory("甲", 1);
  InsertEntry({.name = "n", .description = "", .usage = "u", .picture = picture && c.hasFile ? content : Bytes(),
               .example = !picture && c.hasFile ? content : Bytes()},
              1, kIdA);
  ASSERT_TRUE(MakeDirectory(tempFolder + "/out"));
  const Text target = c.target ? tempFolder + *c.target : Text();
  hl::AnswerFileDialog(c.target ? std::optional<Text>(target) : std::nullopt);
  SelectDirectory(dir);

  Choose(c.item);

  EXPECT_EQ(MessageTexts(), *c.message ? std::vector<Text>{c.message} : std::vector<Text>{});
  if (c.hasFile) {
    EXPECT_EQ(hl::FileDialogsShown(), std::vector<std::string>{"SaveAsDialog"});
    if (!c.target) {
      // The stored file's own name was preset.
      EXPECT_EQ(ui::GetDialogFileName(SaveAsDialog), kIdA + (picture ? ".png" : ".cpp"));
    }
  } else {
    EXPECT_TRUE(hl::FileDialogsShown().empty());
  }
  if (c.written) {
    EXPECT_EQ(ReadFileBytes(target), content);
  } else if (c.target && !IsFolder(target)) {
    EXPECT_FALSE(FileExists(target));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveAsTest,
    ::testing::Values(
        SaveCase{"ExampleSaved", "SaveExampleAsMenuItem", true, Text("/out/copy.cpp"), "", true},
        SaveCase{"PictureSaved", "SavePictureAsMenuItem", true, Text("/out/图.png"), "", true},
        SaveCase{"ExampleCancelled", "SaveExampleAsMenuItem", true, std::nullopt, "", false},
        SaveCase{"PictureCancelled", "SavePictureAsMenuItem", true, std::nullopt, "", false},
        SaveCase{"NoExample", "SaveExampleAsMenuItem", false, std::nullopt, "此代码未加入例程！！", false},
        SaveCase{"NoPicture", "SavePictureAsMenuItem", false, std::nullopt, "此代码未加入图片！！", false},
        SaveCase{"TargetFolderMissing", "SaveExampleAsMenuItem", true, Text("/missing/copy.cpp"),
                 "文件保存失败！！请检查保存位置是否可以写入！", false},
        SaveCase{"TargetIsAFolder", "SavePictureAsMenuItem", true, Text("/out"),
                 "文件保存失败！！请检查保存位置是否可以写入！", false}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(EntryActionsTest, SaveAsOnAFullDiskLeavesNoPartialFileAndSays) {
  ListOneFullEntry();
  ASSERT_TRUE(MakeDirectory(tempFolder + "/full"));
  const Text target = tempFolder + "/full/copy.cpp";
  const WriteFault fault(NativePath(tempFolder + "/full"), WriteOutcome::kIncomplete);
  hl::AnswerFileDialog(target);

  Choose("SaveExampleAsMenuItem");

  EXPECT_EQ(MessageTexts(), std::vector<Text>{"文件保存失败！！请检查保存位置是否可以写入！"});
  EXPECT_FALSE(FileExists(target));
}

TEST_F(EntryActionsTest, DamagedStoredPictureIsNotSavedEmpty) {
  const int dir = AddDirectory("甲", 1);
  InsertEntry({.name = "n", .description = "", .usage = "u"}, 1, kIdA);
  ASSERT_TRUE(WriteFileBytes(InProgram(PicturePath(kIdA)), Bomb()));
  const Text target = tempFolder + "/pic.png";
  hl::AnswerFileDialog(target);
  SelectDirectory(dir);

  Choose("SavePictureAsMenuItem");

  EXPECT_EQ(MessageTexts(), std::vector<Text>{"图片文件已损坏，无法读取！！"});
  EXPECT_FALSE(FileExists(target));
}

TEST_F(EntryActionsTest, ItemsWithoutARecordDoNothing) {
  ListOneFullEntry();
  const int stray = ui::ListAppendRow(EntryListView, 99);
  for (const char* item : {"OpenExampleMenuItem", "SaveExampleAsMenuItem", "SavePictureAsMenuItem"}) {
    SCOPED_TRACE(item);
    Choose(item, stray);
    hl::FocusListRow(EntryListView, -1);
    hl::ChooseMenuItem(Self, item);
  }
  EXPECT_TRUE(hl::MessagesShown().empty());
  EXPECT_TRUE(hl::FileDialogsShown().empty());
  EXPECT_TRUE(hl::ShellOpened().empty());
}

}  // namespace
