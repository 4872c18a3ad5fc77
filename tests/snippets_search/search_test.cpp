// The search: its statements, what each keyword finds, the message with no field checked, what
// it leaves alone, and searches overlapping directory listings.
#include <string>
#include <vector>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "snippets/entry_list.h"
#include "snippets/entry_search.h"
#include "snippets/globals.h"
#include "tests/snippets_entries/entries_fixture.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

using namespace MainWindow;
namespace hl = ui::headless;

const Text kIdA = "SSSSSSSSSSSSSSa";
const Text kIdB = "SSSSSSSSSSSSSSb";
const Text kIdC = "SSSSSSSSSSSSSSc";
const Text kIdD = "SSSSSSSSSSSSSSd";

struct Checks {
  bool name, description, usage;
};

class SearchTest : public EntriesTest {
 protected:
  void Search(const Text& keyword, Checks checks) {
    ui::SetText(SearchBox, keyword);
    ui::SetChecked(SearchNameCheck, checks.name);
    ui::SetChecked(SearchDescriptionCheck, checks.description);
    ui::SetChecked(SearchUsageCheck, checks.usage);
    hl::Click(SearchButton);
    hl::WaitIdle();
  }

  // The names in the list, in row order; every row's value is checked to name its own record.
  std::vector<Text> ListedNames() {
    std::vector<Text> names;
    const int rows = ui::ListRowCount(EntryListView);
    EXPECT_EQ(EntryList.size(), static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) {
      EXPECT_EQ(ui::ListItemData(EntryListView, row), row + 1);
      if (row < static_cast<int>(EntryList.size())) {
        EXPECT_EQ(ui::ListCell(EntryListView, row, 0), EntryList[row].name);
        EXPECT_EQ(ui::ListCell(EntryListView, row, 1), EntryList[row].description);
      }
      names.push_back(ui::ListCell(EntryListView, row, 0));
    }
    return names;
  }
};

TEST(SearchStatementTest, OneStatementPerFieldWithTheBlanksAsWritten) {
  const struct {
    SearchField field;
    const char* keyword;
    const char* statement;
  } cases[] = {
      {SearchField::kName, "abc", "SELECT * FROM 内含信息 WHERE 名称 LIKE '%abc%';"},
      {SearchField::kDescription, "abc", "SELECT * FROM 内含信息 WHERE  说明 LIKE '%abc%';"},
      {SearchField::kUsage, "DATA", "SELECT * FROM 内含信息 WHERE  使用方法 LIKE '%DATA%';"},
      {SearchField::kName, "", "SELECT * FROM 内含信息 WHERE 名称 LIKE '%%';"},
      // "'" is quoted as a value; "%" and "_" are left to the pattern.
      {SearchField::kName, "it's", "SELECT * FROM 内含信息 WHERE 名称 LIKE '%it''s%';"},
      {SearchField::kName, "5%_x", "SELECT * FROM 内含信息 WHERE 名称 LIKE '%5%_x%';"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    EXPECT_EQ(SearchStatement(SearchCondition(c.field, c.keyword)), c.statement);
  }
}

TEST_F(SearchTest, EntryMatchingTwoFieldsIsListedOnceAfterEachStatement) {
  InsertEntry({.name = "abc", .description = "也含abc", .usage = "u"}, 1, kIdA);
  InsertEntry({.name = "其他", .description = "说明abc", .usage = "u"}, 2, kIdB);
  InsertEntry({.name = "无关", .description = "无", .usage = "u"}, 1, kIdC);

  Search("abc", {true, true, true});

  EXPECT_EQ(ListedNames(), (std::vector<Text>{"abc", "abc", "其他"}));
  ASSERT_EQ(EntryList.size(), 3u);
  // Two records of the one entry, each its own copy.
  EXPECT_EQ(EntryList[0].usagePath, "\\DATA\\方法\\" + kIdA + ".txt");
  EXPECT_EQ(EntryList[1].usagePath, EntryList[0].usagePath);
  EXPECT_EQ(EntryList[2].usagePath, "\\DATA\\方法\\" + kIdB + ".txt");
  EXPECT_TRUE(hl::MessagesShown().empty());

  // A row of the second statement previews its own record.
  hl::FocusListRow(EntryListView, 2);
  EXPECT_EQ(ui::GetText(UsageTextBox), "u");
}

struct KeywordCase {
  const char* what;
  Text keyword;
  Checks checks;
  std::vector<Text> names;
};

class SearchKeywordTest : public SearchTest, public ::testing::WithParamInterface<KeywordCase> {};

TEST_P(SearchKeywordTest, FindsWhatThePatternMatches) {
  InsertEntry({.name = "abc", .description = "first", .usage = "u"}, 1, kIdA);
  InsertEntry({.name = "O'Brien", .description = "100%", .usage = "u"}, 2, kIdB);
  // 0x81 0x5F: a GBK character whose second byte is "_"; 0x81 0x60 is its neighbour.
  InsertEntry({.name = "x\x81\x5F" "y", .description = "a\\b", .usage = "u"}, 3, kIdC);
  InsertEntry({.name = "x\x81\x60" "y", .description = "", .usage = "u"}, 3, kIdD);
  // A row without a name: "%%" does not match NULL.
  ASSERT_TRUE(OdbcExecute(LibraryDatabase,
                          "INSERT INTO `内含信息` (`说明`,`使用方法`,`标记`) VALUES ('无名','\\DATA\\方法\\"
                          "NNNNNNNNNNNNNNN.txt','4');"));

  const KeywordCase& c = GetParam();
  Search(c.keyword, c.checks);

  EXPECT_EQ(ListedNames(), c.names);
  EXPECT_TRUE(hl::MessagesShown().empty());
}

const Text kAll[] = {"abc", "O'Brien", "x\x81\x5F" "y", "x\x81\x60" "y"};

INSTANTIATE_TEST_SUITE_P(
    Keywords, SearchKeywordTest,
    ::testing::Values(
        KeywordCase{"EmptyKeywordListsEveryNamedEntry", "", {true, false, false},
                    {kAll[0], kAll[1], kAll[2], kAll[3]}},
        // The usage column holds the path of the usage file, not the usage text.
        KeywordCase{"DataInTheUsageField", "DATA", {false, false, true},
                    {kAll[0], kAll[1], kAll[2], kAll[3], ""}},
        KeywordCase{"UsageTextItselfIsNotSearched", "u", {false, false, true}, {}},
        KeywordCase{"ApostropheIsSearchedFor", "'", {true, false, false}, {"O'Brien"}},
        KeywordCase{"ApostropheInAWord", "O'B", {true, true, true}, {"O'Brien"}},
        KeywordCase{"NoInjection", "x' OR '1'='1", {true, true, true}, {}},
        KeywordCase{"PercentIsAWildcard", "a%c", {true, false, false}, {"abc"}},
        KeywordCase{"PercentAloneMatchesAll", "%", {false, true, false},
                    {kAll[0], kAll[1], kAll[2], kAll[3], ""}},
        KeywordCase{"UnderscoreIsAWildcard", "O_B", {true, false, false}, {"O'Brien"}},
        KeywordCase{"SecondByteUnderscoreIsNoWildcard", "\x81\x5F", {true, false, false}, {kAll[2]}},
        KeywordCase{"LeadByteBeforePercent", "\x81%", {true, true, true}, {}},
        KeywordCase{"LoneLeadByteBeforeApostrophe", "\x81'", {true, true, true}, {}},
        KeywordCase{"BackslashIsPlain", "a\\b", {false, true, false}, {kAll[2]}},
        KeywordCase{"CaseOfAsciiIgnored", "ABC", {true, false, false}, {"abc"}},
        KeywordCase{"TenThousandCharacters", Text(10000, 'q'), {true, true, true}, {}},
        KeywordCase{"TenThousandChineseCharacters", [] {
                      Text t;
                      for (int i = 0; i < 10000; ++i) t += "中";
                      return t;
                    }(), {true, true, true}, {}},
        // Beyond the engine's longest pattern the statements fail: still just an empty list.
        KeywordCase{"PatternLongerThanTheEngineTakes", Text(60000, 'q'), {true, true, true}, {}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(SearchTest, NoBoxCheckedEmptiesTheListThenSays) {
  const int dir = AddDirectory("甲", 1);
  InsertEntry({.name = "abc", .description = "", .usage = "u"}, 1, kIdA);
  SelectDirectory(dir);
  ASSERT_EQ(ui::ListRowCount(EntryListView), 1);

  Search("abc", {false, false, false});

  ASSERT_EQ(hl::MessagesShown().size(), 1u);
  EXPECT_EQ(hl::MessagesShown()[0].text, "至少要选择一项搜素");
  EXPECT_EQ(hl::MessagesShown()[0].title, "信息：");
  EXPECT_EQ(ui::ListRowCount(EntryListView), 0);
  EXPECT_TRUE(EntryList.empty());
}

TEST_F(SearchTest, ShowsTheFirstPictureAndLeavesStatusUsageAndSizeAlone) {
  const int dir = AddDirectory("甲", 1);
  const Bytes listed = MakePng(40, 30);
  const Bytes found = MakePng(20, 10);
  InsertEntry({.name = "listed", .description = "", .usage = "看过", .picture = listed}, 1, kIdA);
  InsertEntry({.name = "found", .description = "", .usage = "u", .picture = found}, 2, kIdB);
  SelectDirectory(dir);
  hl::FocusListRow(EntryListView, 0);
  ui::SetScrollMaximum(PreviewHScrollBar, 7);

  Search("found", {true, false, false});

  EXPECT_EQ(ListedNames(), std::vector<Text>{"found"});
  EXPECT_EQ(ui::GetPicture(PreviewPicture), found);
  EXPECT_EQ(ui::GetWidth(PreviewPicture), 40);
  EXPECT_EQ(ui::GetHeight(PreviewPicture), 30);
  EXPECT_EQ(ui::GetScrollMaximum(PreviewHScrollBar), 7);
  EXPECT_EQ(ui::GetText(UsageTextBox), "看过");
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 0), "选中目录:/甲  标记:1");
  EXPECT_EQ(ui::StatusBarText(MainStatusBar, 1), "记录条数:1");

  // Nothing found: the list is empty and the picture stays.
  Search("nothing at all", {true, true, true});
  EXPECT_EQ(ui::ListRowCount(EntryListView), 0);
  EXPECT_EQ(ui::GetPicture(PreviewPicture), found);
}

TEST_F(SearchTest, WithoutTheDatabaseFindsNothingAndSaysNothing) {
  InsertEntry({.name = "abc", .description = "", .usage = "u"}, 1, kIdA);
  OdbcClose(LibraryDatabase);
  Search("abc", {true, true, true});
  EXPECT_EQ(ui::ListRowCount(EntryListView), 0);
  EXPECT_TRUE(EntryList.empty());
  EXPECT_TRUE(hl::MessagesShown().empty());
}

TEST_F(SearchTest, DeletingTheDirectoryListedBeforeLeavesTheResults) {
  const int dir = AddDirectory("甲", 1);
  InsertEntry({.name = "abc", .description = "", .usage = "u"}, 1, kIdA);
  SelectDirectory(dir);
  Search("abc", {true, false, false});
  ClearListingOfDirectories({1});
  EXPECT_EQ(ListedNames(), std::vector<Text>{"abc"});
}

// --- overlapping searches and listings: the newest request wins ---

TEST_F(SearchTest, SearchOvertakenByAListingWritesNothing) {
  const int dir = AddDirectory("甲", 1);
  InsertEntry({.name = "listed", .description = "", .usage = "u", .picture = MakePng(5, 5)}, 1, kIdA);
  InsertEntry({.name = "found", .description = "", .usage = "u", .picture = MakePng(6, 6)}, 2, kIdB);
  ui::SetText(SearchBox, "found");
  ui::SetChecked(SearchNameCheck, true);
  const unsigned search = ClaimListing();
  const unsigned listing = ClaimListing();

  ui::SetTreeCurrentItem(DirectoryTree, dir);
  ListEntriesOfSelectedDirectory(listing);
  const Bytes picture = ui::GetPicture(PreviewPicture);
  SearchEntries(search);

  EXPECT_EQ(ListedNames(), std::vector<Text>{"listed"});
  EXPECT_EQ(ui::GetPicture(PreviewPicture), picture);
}

TEST_F(SearchTest, ListingOvertakenByASearchWritesNothing) {
  const int dir = AddDirectory("甲", 1);
  InsertEntry({.name = "listed", .description = "", .usage = "u"}, 1, kIdA);
  InsertEntry({.name = "found", .description = "", .usage = "u"}, 2, kIdB);
  ui::SetText(SearchBox, "found");
  ui::SetChecked(SearchNameCheck, true);
  const unsigned listing = ClaimListing();
  const unsigned search = ClaimListing();

  SearchEntries(search);
  ui::SetTreeCurrentItem(DirectoryTree, dir);
  ListEntriesOfSelectedDirectory(listing);

  EXPECT_EQ(ListedNames(), std::vector<Text>{"found"});
}

TEST_F(SearchTest, OvertakenSearchWithNoBoxCheckedSaysNothing) {
  const unsigned search = ClaimListing();
  ClaimListing();
  SearchEntries(search);
  EXPECT_TRUE(hl::MessagesShown().empty());
}

// Many rows, so each run crosses to the GUI thread in several steps; whatever the workers'
// order, the list holds exactly the rows of the request made last.
class OverlapTest : public SearchTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OverlapTest, LastRequestWinsAcrossWorkers) {
  const bool searchLast = GetParam();
  const int dir = AddDirectory("甲", 1);
  const Text letters = "abcdefghijklmnopqrstuvwxyz";
  OdbcTransaction(LibraryDatabase, [&] {
    for (int i = 0; i < 600; ++i) {
      const Text id = "OOOOOOOOOOOOO" + letters.substr(i % 26, 1) + letters.substr(i / 26, 1);
      InsertEntry({.name = (i % 2 ? "found" : "listed") + ToText(i), .description = "", .usage = "u"},
                  i % 2 ? 2 : 1, id);
    }
    return true;
  });
  ui::SetText(SearchBox, "found");
  ui::SetChecked(SearchNameCheck, true);
  ui::SetChecked(SearchDescriptionCheck, true);

  if (searchLast) {
    hl::SelectTreeItem(DirectoryTree, dir);
    hl::Click(SearchButton);
  } else {
    hl::Click(SearchButton);
    hl::SelectTreeItem(DirectoryTree, dir);
  }
  hl::WaitIdle();

  const std::vector<Text> names = ListedNames();
  ASSERT_EQ(names.size(), 300u);
  const Text winner = searchLast ? "found" : "listed";
  for (const Text& name : names) EXPECT_EQ(name.compare(0, winner.size(), winner), 0) << name;
}

INSTANTIATE_TEST_SUITE_P(Orders, OverlapTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "SearchLast" : "ListingLast"; });

}  // namespace
