// The entry list of the selected directory and the preview of the selected entry.
#include <algorithm>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/picture.h"
#include "snippets/entry_list.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "tests/snippets_entries/entries_fixture.h"
#include "tests/support/hostile_pictures.h"
#include "tests/support/stored_bomb.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

using namespace MainWindow;
namespace hl = ui::headless;

const Text kIdA = "AAAAAAAAAAAAAAa";
const Text kIdB = "AAAAAAAAAAAAAAb";
const Text kIdC = "AAAAAAAAAAAAAAc";

class EntryListTest : public EntriesTest {};

TEST_F(EntryListTest, ListsRowsInQueryOrderWithStatusTextsAndTips) {
  const int dir = AddDirectory("代码", 4242);
  const int other = AddDirectory("其他", 77);
  InsertEntry({.name = "快速排序", .description = "排序", .usage = "qsort()"}, 4242, kIdA);
  InsertEntry({.name = "链表", .description = "list", .usage = "next"}, 4242, kIdB);
  InsertEntry({.name = "别处", .description = "x", .usage = "y"}, 77, kIdC);

  SelectDirectory(dir);

  ASSERT_EQ(ui::ListRowCount(EntryListView), 2);
  const Text names[] = {"快速排序", "链表"};
  const Text descriptions[] = {"排序", "list"};
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(ui::ListItemData(EntryListView, row), row + 1);
    EXPECT_EQ(ui::ListCell(EntryListView, row, 0), names[row]);
    EXPECT_EQ(ui::ListCell(EntryListView, row, 1), descriptions[row]);
  }
  ASSERT_EQ(EntryList.size(), 2u);
  EXPECT_EQ(EntryList[1].name, "链表");
  EXPECT_EQ(EntryList[1].usagePath, "\\DATA\\方法\\" + kIdB + ".txt");
  EXPECT_EQ(EntryList[1].picturePath, "\\DATA\\图片\\" + kIdB + ".png");
  EXPECT_EQ(EntryList[1].examplePath, "\\DATA\\例程\\" + kIdB + ".cpp");

  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 0), "选中目录:/代码  标记:4242");
  EXPECT_EQ(ui::StatusBarTip(MainStatusBar, 0), "选中目录:/代码  标记:4242");
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 1), "记录条数:2");
  EXPECT_EQ(ui::StatusBarTip(MainStatusBar, 1), "记录条数:2");

  // A new selection replaces list and records.
  SelectDirectory(other);
  ASSERT_EQ(ui::ListRowCount(EntryListView), 1);
  EXPECT_EQ(ui::ListCell(EntryListView, 0, 0), "别处");
  EXPECT_EQ(EntryList.size(), 1u);
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 1), "记录条数:1");
}

TEST_F(EntryListTest, SameNameAndDescriptionGiveTwoRowsWithTheirOwnRecords) {
  const int dir = AddDirectory("A", 5);
  InsertEntry({.name = "同名", .description = "同说明", .usage = "one"}, 5, kIdA);
  InsertEntry({.name = "同名", .description = "同说明", .usage = "two"}, 5, kIdB);
  SelectDirectory(dir);
  ASSERT_EQ(ui::ListRowCount(EntryListView), 2);
  hl::FocusListRow(EntryListView, 1);
  EXPECT_EQ(ui::GetText(UsageTextBox), "two");
}

TEST_F(EntryListTest, EmptyDirectoryKeepsThePreview) {
  const int full = AddDirectory("满", 11);
  const int empty = AddDirectory("空", 12);
  InsertEntry({.name = "n", .description = "d", .usage = "用法", .picture = MakePng(30, 20)}, 11, kIdA);
  SelectDirectory(full);
  hl::FocusListRow(EntryListView, 0);
  const Bytes shown = ui::GetPicture(PreviewPicture);
  ASSERT_FALSE(shown.empty());

  SelectDirectory(empty);

  EXPECT_EQ(ui::ListRowCount(EntryListView), 0);
  EXPECT_TRUE(EntryList.empty());
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 0), "选中目录:/空  标记:12");
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 1), "记录条数:0");
  EXPECT_EQ(ui::GetPicture(PreviewPicture), shown);
  EXPECT_EQ(ui::GetText(UsageTextBox), "用法");
  EXPECT_EQ(ui::GetWidth(PreviewPicture), 30);
}

TEST_F(EntryListTest, FirstEntryPictureIsShownOrCleared) {
  const int withPicture = AddDirectory("有图", 21);
  const int withoutPicture = AddDirectory("无图", 22);
  const Bytes png = MakePng(64, 48);
  InsertEntry({.name = "a", .description = "", .usage = "u", .picture = png}, 21, kIdA);
  InsertEntry({.name = "b", .description = "", .usage = "u"}, 22, kIdB);
  InsertEntry({.name = "c", .description = "", .usage = "u", .picture = png}, 22, kIdC);

  SelectDirectory(withPicture);
  EXPECT_EQ(ui::GetPicture(PreviewPicture), png);
  // The listing shows the picture but leaves the box's size alone.
  EXPECT_EQ(ui::GetWidth(PreviewPicture), 368);
  EXPECT_EQ(ui::GetHeight(PreviewPicture), 328);

  SelectDirectory(withoutPicture);
  EXPECT_TRUE(ui::GetPicture(PreviewPicture).empty());
}

TEST_F(EntryListTest, NoCurrentDirectoryListsTagZero) {
  ASSERT_EQ(ui::TreeCurrentItem(DirectoryTree), -1);
  ListEntriesOfSelectedDirectory();
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 0), "选中目录:  标记:0");
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 1), "记录条数:0");
  EXPECT_EQ(ui::ListRowCount(EntryListView), 0);
}

TEST_F(EntryListTest, FailedQueryListsNothing) {
  const int dir = AddDirectory("A", 5);
  InsertEntry({.name = "n", .description = "d", .usage = "u"}, 5, kIdA);
  SelectDirectory(dir);
  ASSERT_EQ(ui::ListRowCount(EntryListView), 1);

  OdbcClose(LibraryDatabase);
  ListEntriesOfSelectedDirectory();
  EXPECT_EQ(ui::ListRowCount(EntryListView), 0);
  EXPECT_TRUE(EntryList.empty());
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 1), "记录条数:0");
  EXPECT_TRUE(hl::MessagesShown().empty());
}

TEST_F(EntryListTest, TagWithApostropheIsQuotedNotSpliced) {
  // A directory tag is a number; one that is not still gives a sound statement.
  const int set = OdbcQuery(LibraryDatabase, "SELECT * FROM `内含信息` WHERE  `标记`='" + SqlEscape("1' OR '1'='1") + "';");
  EXPECT_NE(set, 0);
  EXPECT_TRUE(OdbcIsEof(LibraryDatabase, set));
  OdbcCloseRecordSet(LibraryDatabase, set);
}

// --- overlapping listings ---

TEST_F(EntryListTest, SupersededListingStopsAndDoesNotMixRows) {
  InsertEntry({.name = "A1", .description = "", .usage = "u"}, 1, kIdA);
  InsertEntry({.name = "A2", .description = "", .usage = "u"}, 1, kIdB);
  InsertEntry({.name = "B1", .description = "", .usage = "u"}, 2, kIdC);
  const int setA = OdbcQuery(LibraryDatabase, EntryListQuery("1"));
  const int setB = OdbcQuery(LibraryDatabase, EntryListQuery("2"));
  ASSERT_NE(setA, 0);
  ASSERT_NE(setB, 0);

  const unsigned generationA = ClaimListing();
  const unsigned generationB = ClaimListing();
  EXPECT_NE(generationA, generationB);
  ASSERT_TRUE(BeginListing(generationB));
  int counterB = 0;
  EXPECT_TRUE(AppendEntryRows(setB, counterB, generationB));
  EXPECT_EQ(counterB, 1);

  // The older run comes late: it neither empties the list nor adds a row.
  EXPECT_FALSE(BeginListing(generationA));
  int counterA = 0;
  EXPECT_FALSE(AppendEntryRows(setA, counterA, generationA));
  EXPECT_EQ(counterA, 0);
  ASSERT_EQ(ui::ListRowCount(EntryListView), 1);
  EXPECT_EQ(ui::ListCell(EntryListView, 0, 0), "B1");
  ASSERT_EQ(EntryList.size(), 1u);
  EXPECT_EQ(EntryList[0].name, "B1");

  for (int set : {setA, setB}) OdbcCloseRecordSet(LibraryDatabase, set);
}

TEST_F(EntryListTest, TheLaterRequestWinsWhateverOrderItsRunsTake) {
  const int dirA = AddDirectory("A", 1);
  const int dirB = AddDirectory("B", 2);
  InsertEntry({.name = "A1", .description = "", .usage = "u", .picture = MakePng(10, 10)}, 1, kIdA);
  InsertEntry({.name = "B1", .description = "", .usage = "u"}, 2, kIdB);
  const unsigned older = ClaimListing();
  const unsigned newer = ClaimListing();

  ui::SetTreeCurrentItem(DirectoryTree, dirB);
  ListEntriesOfSelectedDirectory(newer);
  ui::SetTreeCurrentItem(DirectoryTree, dirA);
  ListEntriesOfSelectedDirectory(older);

  ASSERT_EQ(ui::ListRowCount(EntryListView), 1);
  EXPECT_EQ(ui::ListCell(EntryListView, 0, 0), "B1");
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 0), "选中目录:/B  标记:2");
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 1), "记录条数:1");
  EXPECT_TRUE(ui::GetPicture(PreviewPicture).empty());
}

TEST_F(EntryListTest, OverlappingSelectionsLeaveOneConsistentListing) {
  const int dirA = AddDirectory("A", 1);
  const int dirB = AddDirectory("B", 2);
  const Text letters = "abcdefghijklmnopqrstuvwxyz";
  for (int i = 0; i < 40; ++i) {
    const Text id = "ZZZZZZZZZZZZZ" + letters.substr(i % 26, 1) + letters.substr(i / 26, 1);
    InsertEntry({.name = (i % 2 ? "B" : "A") + ToText(i), .description = "", .usage = "u"}, i % 2 ? 2 : 1, id);
  }
  hl::SelectTreeItem(DirectoryTree, dirA);
  hl::SelectTreeItem(DirectoryTree, dirB);
  hl::SelectTreeItem(DirectoryTree, dirA);
  hl::WaitIdle();

  const int rows = ui::ListRowCount(EntryListView);
  ASSERT_EQ(rows, 20);
  ASSERT_EQ(EntryList.size(), 20u);
  // The last selection wins, however the three workers were scheduled.
  for (int row = 0; row < rows; ++row) {
    EXPECT_EQ(ui::ListItemData(EntryListView, row), row + 1);
    EXPECT_EQ(ui::ListCell(EntryListView, row, 0), EntryList[row].name);
    EXPECT_EQ(ui::ListCell(EntryListView, row, 0)[0], 'A');
  }
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 0), "选中目录:/A  标记:1");
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 1), "记录条数:20");
}

// --- preview ---

struct ScrollCase {
  const char* kind;
  int width, height;
  int vMaximum, hMaximum;
};

class PreviewScrollTest : public EntriesTest, public ::testing::WithParamInterface<ScrollCase> {};

TEST_P(PreviewScrollTest, PictureSizeSetsTheScrollRanges) {
  const ScrollCase& c = GetParam();
  const Bytes picture = Text(c.kind) == "png" ? MakePng(c.width, c.height) : MakeBmp(c.width, c.height);
  const int dir = AddDirectory("图", 9);
  InsertEntry({.name = "pic", .description = "", .usage = "看图", .picture = picture, .pictureExtension = c.kind},
              9, kIdA);
  SelectDirectory(dir);
  ui::SetLeft(PreviewPicture, -7);
  ui::SetScrollPosition(PreviewHScrollBar, 3);

  hl::FocusListRow(EntryListView, 0);

  EXPECT_EQ(ui::GetText(UsageTextBox), "看图");
  EXPECT_EQ(ui::GetPicture(PreviewPicture), picture);
  // The probe file sits in the instance's own folder inside the temporary folder.
  EXPECT_EQ(PictureProbeFile(), InstanceTempFolder() + "\\图片.ls");
  EXPECT_EQ(PictureProbeFile().compare(0, tempFolder.size(), tempFolder), 0);
  EXPECT_EQ(ReadFileBytes(PictureProbeFile()), picture);
  EXPECT_EQ(ui::GetWidth(PreviewPicture), c.width);
  EXPECT_EQ(ui::GetHeight(PreviewPicture), c.height);
  EXPECT_EQ(ui::GetLeft(PreviewPicture), 0);
  EXPECT_EQ(ui::GetTop(PreviewPicture), 0);
  EXPECT_EQ(ui::GetScrollPosition(PreviewHScrollBar), 0);
  EXPECT_EQ(ui::GetScrollPosition(PreviewVScrollBar), 0);
  EXPECT_EQ(ui::GetScrollMaximum(PreviewVScrollBar), c.vMaximum);
  EXPECT_EQ(ui::GetScrollMaximum(PreviewHScrollBar), c.hMaximum);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PreviewScrollTest,
                         ::testing::Values(ScrollCase{"png", 300, 200, 0, 0},
                                           ScrollCase{"png", 1000, 800, 409, 521},
                                           ScrollCase{"bmp", 479, 391, 0, 0},   // exactly the view
                                           ScrollCase{"bmp", 480, 392, 1, 1}),  // one pixel more
                         [](const auto& info) {
                           return std::string(info.param.kind) + ToText(info.param.width) + "x" +
                                  ToText(info.param.height);
                         });

TEST_F(EntryListTest, ScrollBarsMoveTheLargePicture) {
  const int dir = AddDirectory("图", 9);
  InsertEntry({.name = "big", .description = "", .usage = "u", .picture = MakePng(1000, 800)}, 9, kIdA);
  InsertEntry({.name = "small", .description = "", .usage = "u", .picture = MakePng(10, 10)}, 9, kIdB);
  SelectDirectory(dir);
  hl::FocusListRow(EntryListView, 0);

  hl::Scroll(PreviewHScrollBar, 521);
  EXPECT_EQ(ui::GetLeft(PreviewPicture), -521);
  hl::Scroll(PreviewVScrollBar, 409);
  EXPECT_EQ(ui::GetTop(PreviewPicture), -409);
  hl::Scroll(PreviewHScrollBar, 100);
  EXPECT_EQ(ui::GetLeft(PreviewPicture), -100);

  // The next preview starts at the top left again.
  hl::FocusListRow(EntryListView, 1);
  EXPECT_EQ(ui::GetLeft(PreviewPicture), 0);
  EXPECT_EQ(ui::GetTop(PreviewPicture), 0);
  EXPECT_EQ(ui::GetScrollPosition(PreviewHScrollBar), 0);
  EXPECT_EQ(ui::GetScrollMaximum(PreviewHScrollBar), 0);
}

struct BadStoredCase {
  const char* what;
  bool writeFiles;  // false: the row names files that are missing
  Bytes content;    // written as is (not a stored file) when writeFiles
};

class BadStoredFileTest : public EntriesTest, public ::testing::WithParamInterface<BadStoredCase> {};

TEST_P(BadStoredFileTest, PreviewsAsEmpty) {
  const int dir = AddDirectory("坏", 3);
  InsertEntry({.name = "good", .description = "", .usage = "好", .picture = MakePng(600, 500)}, 3, kIdA);
  ASSERT_TRUE(OdbcExecute(LibraryDatabase,
                          "INSERT INTO `内含信息` (`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) VALUES "
                          "('bad','\\DATA\\方法\\" + kIdB + ".txt','','\\DATA\\图片\\" + kIdB + ".png','','3');"));
  if (GetParam().writeFiles) {
    WriteFileBytes(InProgram("\\DATA\\方法\\" + kIdB + ".txt"), GetParam().content);
    WriteFileBytes(InProgram("\\DATA\\图片\\" + kIdB + ".png"), GetParam().content);
  }
  SelectDirectory(dir);
  hl::FocusListRow(EntryListView, 0);
  ASSERT_EQ(ui::GetScrollMaximum(PreviewHScrollBar), 121);

  hl::FocusListRow(EntryListView, 1);

  EXPECT_EQ(ui::GetText(UsageTextBox), "");
  EXPECT_TRUE(ui::GetPicture(PreviewPicture).empty());
  EXPECT_TRUE(FileExists(PictureProbeFile()));
  EXPECT_TRUE(ReadFileBytes(PictureProbeFile()).empty());
  EXPECT_EQ(ui::GetWidth(PreviewPicture), 0);
  EXPECT_EQ(ui::GetHeight(PreviewPicture), 0);
  EXPECT_EQ(ui::GetScrollMaximum(PreviewHScrollBar), 0);
  EXPECT_EQ(ui::GetScrollMaximum(PreviewVScrollBar), 0);
  EXPECT_TRUE(hl::MessagesShown().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, BadStoredFileTest,
                         ::testing::Values(BadStoredCase{"missing", false, {}},
                                           BadStoredCase{"plain", true, BytesOf("just some text bytes")},
                                           BadStoredCase{"short", true, {0x0D, 0x0F, 0x3E}},
                                           BadStoredCase{"empty", true, {}},
                                           // 2 MB that inflate to 2 GiB, claimed or hidden
                                           BadStoredCase{"bomb", true, MakeStoredBomb(0x80000000u, 2048)},
                                           BadStoredCase{"bombAtTheLimit", true,
                                                         MakeStoredBomb(kMaxStoredFileLength, 2048)}),
                         [](const auto& info) { return std::string(info.param.what); });

// The probe file of the preview lives only as long as the program: its end removes it with the
// instance's folder.
TEST_F(EntryListTest, ProbeFileIsRemovedWhenTheProgramEnds) {
  const int dir = AddDirectory("A", 5);
  InsertEntry({.name = "n", .description = "", .usage = "u", .picture = MakePng(20, 10)}, 5, kIdA);
  SelectDirectory(dir);
  hl::FocusListRow(EntryListView, 0);
  const Text probe = PictureProbeFile();
  const Text folder = InstanceTempFolder();
  ASSERT_TRUE(FileExists(probe));

  hl::AskToClose(MainWindow::Self);
  ASSERT_EQ(hl::EndedWithCode(), std::optional<int>(0));
  EXPECT_FALSE(FileExists(probe));
  EXPECT_FALSE(FileExists(folder));
}

TEST_F(EntryListTest, StoredFileThatIsNoPictureShowsNothing) {
  const int dir = AddDirectory("A", 5);
  const Bytes notPicture = BytesOf("this is not a picture");
  InsertEntry({.name = "n", .description = "", .usage = "u", .picture = notPicture}, 5, kIdA);
  SelectDirectory(dir);
  hl::FocusListRow(EntryListView, 0);
  EXPECT_EQ(ui::GetPicture(PreviewPicture), notPicture);
  EXPECT_EQ(ui::GetWidth(PreviewPicture), 0);
  EXPECT_EQ(ui::GetHeight(PreviewPicture), 0);
  EXPECT_EQ(ui::GetScrollMaximum(PreviewHScrollBar), 0);
}

// A picture that claims a huge size, or whose header is broken, previews as none: size 0 and
// nothing to scroll; the list and the other entries' previews go on working.
TEST_F(EntryListTest, PicturesClaimingHugeSizesPreviewAsNone) {
  const auto cases = hostile::Pictures(ReadFileBytes(TestDataFile("pictures/large.jpg")));
  const int dir = AddDirectory("敌意", 4);
  InsertEntry({.name = "good", .description = "", .usage = "好", .picture = MakePng(600, 500)}, 4, kIdA);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    InsertEntry({.name = cases[i].what, .description = "", .usage = "坏", .picture = cases[i].bytes}, 4,
                "AAAAAAAAAAAAAH" + ToText(static_cast<int>(i)));
  }
  SelectDirectory(dir);
  ASSERT_EQ(ui::ListRowCount(EntryListView), static_cast<int>(cases.size()) + 1);

  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    hl::FocusListRow(EntryListView, 0);
    ASSERT_EQ(ui::GetScrollMaximum(PreviewHScrollBar), 121);
    hl::Scroll(PreviewHScrollBar, 50);

    hl::FocusListRow(EntryListView, static_cast<int>(i) + 1);
    EXPECT_EQ(ui::GetText(UsageTextBox), "坏");
    EXPECT_EQ(ui::GetWidth(PreviewPicture), 0);
    EXPECT_EQ(ui::GetHeight(PreviewPicture), 0);
    EXPECT_EQ(ui::GetLeft(PreviewPicture), 0);
    EXPECT_EQ(ui::GetScrollPosition(PreviewHScrollBar), 0);
    EXPECT_EQ(ui::GetScrollMaximum(PreviewHScrollBar), 0);
    EXPECT_EQ(ui::GetScrollMaximum(PreviewVScrollBar), 0);
    hl::Scroll(PreviewVScrollBar, 10000);  // nothing to scroll
    EXPECT_EQ(ui::GetTop(PreviewPicture), 0);
  }
  EXPECT_TRUE(hl::MessagesShown().empty());
}

TEST(PictureLimitsTest, SizesBeyondEitherLimitOrUnreadableAreRefused) {
  EXPECT_TRUE(PictureWithinLimits({1, 1}));
  EXPECT_TRUE(PictureWithinLimits({4096, 4096}));            // exactly the pixels
  EXPECT_TRUE(PictureWithinLimits({kMaxPictureSide, 1024}));  // exactly the side
  EXPECT_FALSE(PictureWithinLimits({4096, 4097}));
  EXPECT_FALSE(PictureWithinLimits({kMaxPictureSide + 1, 1}));
  EXPECT_FALSE(PictureWithinLimits({1, kMaxPictureSide + 1}));
  EXPECT_FALSE(PictureWithinLimits({0, 0}));
  EXPECT_FALSE(PictureWithinLimits({30000, 30000}));

  // Whole pictures: an icon is also judged by the images inside it.
  EXPECT_TRUE(PictureHeadersWithinLimits(ReadFileBytes(TestDataFile("pictures/icon.ico"))));
  EXPECT_TRUE(PictureHeadersWithinLimits(MakePng(600, 500)));
  EXPECT_FALSE(PictureHeadersWithinLimits(hostile::IconHidingAHugeBitmap()));
  EXPECT_FALSE(PictureHeadersWithinLimits(hostile::HugeGif()));
  EXPECT_FALSE(PictureHeadersWithinLimits(Bytes()));
}

TEST_F(EntryListTest, SkipNextSelectionSwallowsExactlyOneEvent) {
  const int dir = AddDirectory("A", 5);
  InsertEntry({.name = "one", .description = "", .usage = "第一"}, 5, kIdA);
  InsertEntry({.name = "two", .description = "", .usage = "第二"}, 5, kIdB);
  SelectDirectory(dir);
  const Text before = ui::GetText(UsageTextBox);

  SkipNextSelection = 1;
  hl::FocusListRow(EntryListView, 0);
  EXPECT_EQ(SkipNextSelection.load(), 0);
  EXPECT_EQ(ui::GetText(UsageTextBox), before);

  hl::FocusListRow(EntryListView, 1);
  EXPECT_EQ(ui::GetText(UsageTextBox), "第二");
}

TEST_F(EntryListTest, RowValueOutsideTheRecordsChangesNothing) {
  const int dir = AddDirectory("A", 5);
  InsertEntry({.name = "one", .description = "", .usage = "第一"}, 5, kIdA);
  SelectDirectory(dir);
  const int stray = ui::ListAppendRow(EntryListView, 99);
  const int zero = ui::ListAppendRow(EntryListView, 0);
  const Text before = ui::GetText(UsageTextBox);

  hl::FocusListRow(EntryListView, stray);
  hl::FocusListRow(EntryListView, zero);
  hl::FocusListRow(EntryListView, -1);
  EXPECT_EQ(ui::GetText(UsageTextBox), before);
}

TEST_F(EntryListTest, RightClickPopsUpTheListMenu) {
  hl::RightButtonUp(EntryListView);
  const auto& shown = hl::PopupMenusShown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "ListMenu");
}

}  // namespace
