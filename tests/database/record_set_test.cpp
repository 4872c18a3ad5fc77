// Record sets: snapshots positioned on their first row, read by column name, at most 30 open.
#include <gtest/gtest.h>

#include <set>

#include "database_fixture.h"

namespace {

class RecordSetTest : public DatabaseFixture {
 protected:
  void SetUp() override {
    DatabaseFixture::SetUp();
    OpenNew(db_);
    ASSERT_TRUE(OdbcExecute(db_, "CREATE TABLE `内含信息` (`名称` VARCHAR(255),`说明` VARCHAR(255),"
                                 "`标记` VARCHAR(255));"));
  }
  void Insert(int count) {
    for (int i = 1; i <= count; ++i) {
      ASSERT_TRUE(OdbcExecute(db_, "INSERT INTO `内含信息` (`名称`,`说明`,`标记`) VALUES ('名" +
                                       ToText(i) + "','说明" + ToText(i) + "','1');"));
    }
  }
  DatabaseUnit db_;
};

TEST_F(RecordSetTest, WalksRowsFromTheFirstToPastTheLast) {
  Insert(3);
  const int rs = OdbcQuery(db_, "SELECT * FROM `内含信息`");
  ASSERT_GT(rs, 0);
  EXPECT_EQ(OdbcReadField(db_, rs, "名称"), "名1");
  EXPECT_EQ(ReadColumn(db_, rs, "说明"), (std::vector<Text>{"说明1", "说明2", "说明3"}));
}

TEST_F(RecordSetTest, EmptyResultIsEofAtOnceAndReadsEmpty) {
  const int rs = OdbcQuery(db_, "SELECT * FROM `内含信息`");
  ASSERT_GT(rs, 0);
  EXPECT_TRUE(OdbcIsEof(db_, rs));
  EXPECT_EQ(OdbcReadField(db_, rs, "名称"), "");
  OdbcMoveNext(db_, rs);  // past the end stays past the end
  EXPECT_TRUE(OdbcIsEof(db_, rs));
  OdbcCloseRecordSet(db_, rs);
}

TEST_F(RecordSetTest, NullUnknownColumnAndNoRowReadAsEmptyText) {
  ASSERT_TRUE(OdbcExecute(db_, "INSERT INTO `内含信息` (`名称`) VALUES ('只有名称');"));
  const int rs = OdbcQuery(db_, "SELECT * FROM `内含信息`");
  ASSERT_GT(rs, 0);
  EXPECT_EQ(OdbcReadField(db_, rs, "名称"), "只有名称");
  EXPECT_EQ(OdbcReadField(db_, rs, "说明"), "");
  EXPECT_EQ(OdbcReadField(db_, rs, "没有这列"), "");
  EXPECT_EQ(OdbcReadField(db_, rs, ""), "");
  OdbcMoveNext(db_, rs);
  EXPECT_TRUE(OdbcIsEof(db_, rs));
  EXPECT_EQ(OdbcReadField(db_, rs, "名称"), "");
  OdbcCloseRecordSet(db_, rs);
}

TEST_F(RecordSetTest, ColumnNamesMatchExactlyFirstThenIgnoringAsciiCase) {
  const int rs = OdbcQuery(db_, "SELECT 'lower' AS name, 'upper' AS NAME, 'mixed' AS Other, 42 AS n, "
                                "1.5 AS f, x'414243' AS b;");
  ASSERT_GT(rs, 0);
  struct Case {
    Text column, value;
  };
  const Case cases[] = {
      {"name", "lower"}, {"NAME", "upper"}, {"Name", "lower"}, {"other", "mixed"},
      {"OTHER", "mixed"}, {"n", "42"}, {"f", "1.5"}, {"b", "ABC"}, {"nam", ""}, {"names", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(OdbcReadField(db_, rs, c.column), c.value) << c.column;
  OdbcCloseRecordSet(db_, rs);
}

// The second byte of a GBK character is no letter to fold: 81 41 and 81 61 are two characters.
TEST_F(RecordSetTest, CaseFoldingLeavesSecondBytesOfGbkCharactersAlone) {
  const Text upper("\x81\x41"), lower("\x81\x61");
  const int rs = OdbcQuery(db_, "SELECT 'v' AS `" + upper + "`;");
  ASSERT_GT(rs, 0);
  EXPECT_EQ(OdbcReadField(db_, rs, upper), "v");
  EXPECT_EQ(OdbcReadField(db_, rs, lower), "");
  OdbcCloseRecordSet(db_, rs);
}

TEST_F(RecordSetTest, SnapshotSurvivesLaterWrites) {
  Insert(3);
  const int rs = OdbcQuery(db_, "SELECT * FROM `内含信息`");
  ASSERT_GT(rs, 0);
  ASSERT_TRUE(OdbcExecute(db_, "DELETE FROM `内含信息`;"));
  ASSERT_TRUE(OdbcExecute(db_, "INSERT INTO `内含信息` (`名称`) VALUES ('新');"));
  ASSERT_TRUE(OdbcExecute(db_, "DROP TABLE `内含信息`;"));
  EXPECT_EQ(ReadColumn(db_, rs, "名称"), (std::vector<Text>{"名1", "名2", "名3"}));
}

TEST_F(RecordSetTest, ThirtyOneOpenRecordSetsFailAndClosingOneFreesASlot) {
  Insert(1);
  std::vector<int> handles;
  for (int i = 0; i < kMaxOpenRecordSets; ++i) {
    const int rs = OdbcQuery(db_, "SELECT * FROM `内含信息`");
    ASSERT_GT(rs, 0) << i;
    handles.push_back(rs);
  }
  EXPECT_EQ(std::set<int>(handles.begin(), handles.end()).size(), handles.size());
  EXPECT_EQ(OdbcQuery(db_, "SELECT * FROM `内含信息`"), 0);
  // Statements still run while the record sets are all taken.
  EXPECT_TRUE(OdbcExecute(db_, "SELECT * FROM `内含信息`;"));

  OdbcCloseRecordSet(db_, handles[7]);
  EXPECT_TRUE(OdbcIsEof(db_, handles[7]));
  const int again = OdbcQuery(db_, "SELECT * FROM `内含信息`");
  ASSERT_GT(again, 0);
  for (int rs : handles) {
    if (rs != handles[7]) {
      EXPECT_NE(again, rs);
    }
  }
  EXPECT_EQ(OdbcReadField(db_, again, "名称"), "名1");
  EXPECT_EQ(OdbcQuery(db_, "SELECT * FROM `内含信息`"), 0);
}

TEST_F(RecordSetTest, ClosingTheConnectionClosesItsRecordSets) {
  Insert(1);
  const int rs = OdbcQuery(db_, "SELECT * FROM `内含信息`");
  ASSERT_GT(rs, 0);
  OdbcClose(db_);
  EXPECT_TRUE(OdbcIsEof(db_, rs));
  EXPECT_EQ(OdbcReadField(db_, rs, "名称"), "");
}

TEST_F(RecordSetTest, HandlesThatNameNoRecordSetAreHarmless) {
  for (int handle : {0, -1, 1, 12345}) {
    EXPECT_TRUE(OdbcIsEof(db_, handle)) << handle;
    EXPECT_EQ(OdbcReadField(db_, handle, "名称"), "") << handle;
    OdbcMoveNext(db_, handle);
    OdbcCloseRecordSet(db_, handle);
  }
}

TEST_F(RecordSetTest, FailingQueriesGiveZero) {
  Insert(1);
  const Text cases[] = {
      "",
      "   ",
      "SELECT * FROM missing",
      "SELEKT 1",
      "SELECT 1; SELECT 2",
      // A record set only reads: a statement that writes is refused before it runs.
      "DELETE FROM `内含信息`",
      "INSERT INTO `内含信息` (`名称`) VALUES ('x')",
  };
  for (const Text& sql : cases) EXPECT_EQ(OdbcQuery(db_, sql), 0) << "[" << sql << "]";
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `内含信息`", "名称"), (std::vector<Text>{"名1"}));

  DatabaseUnit closed;
  EXPECT_EQ(OdbcQuery(closed, "SELECT 1"), 0);
}

}  // namespace
