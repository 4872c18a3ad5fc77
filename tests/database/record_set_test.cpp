// Record sets: snapshots positioned on their first row, read by column name, at most 30 open.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>

#include "database_fixture.h"
#include "other_process.h"
#include "runtime/codepage.h"
#include "runtime/database_test_hooks.h"
#include "runtime/sqlite_connection.h"

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

// The rows read in one step are those the field-by-field walk gives: from the current row on,
// the columns in the order asked, an unknown one empty, names matched as OdbcReadField does.
TEST_F(RecordSetTest, ReadRowsGivesWhatTheWalkGivesFromTheCurrentRow) {
  Insert(4);
  ASSERT_TRUE(OdbcExecute(db_, "UPDATE `内含信息` SET `说明`=NULL WHERE `名称`='名3';"));
  const int rs = OdbcQuery(db_, "SELECT * FROM `内含信息`");
  ASSERT_GT(rs, 0);
  OdbcMoveNext(db_, rs);
  EXPECT_EQ(OdbcRowsLeft(db_, rs), 3u);
  std::vector<std::vector<Text>> rows;
  OdbcReadRows(db_, rs, {"说明", "没有这列", "名称"}, [&rows](std::vector<Text>& values) { rows.push_back(values); });
  EXPECT_EQ(rows, (std::vector<std::vector<Text>>{
                      {"说明2", "", "名2"}, {"", "", "名3"}, {"说明4", "", "名4"}}));
  EXPECT_TRUE(OdbcIsEof(db_, rs));
  EXPECT_EQ(OdbcRowsLeft(db_, rs), 0u);
  OdbcCloseRecordSet(db_, rs);
  OdbcReadRows(db_, rs, {"名称"}, [&rows](std::vector<Text>&) { rows.clear(); });  // closed: no rows
  EXPECT_EQ(rows.size(), 3u);
  EXPECT_EQ(OdbcRowsLeft(db_, rs), 0u);
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

// The values stay UTF-8 in the record set until read; each read gives the GBK text that was
// written, whatever the column, row or order of reading, and the file holds UTF-8 as before.
TEST_F(RecordSetTest, FieldsReadBackAsTheGbkTextsThatWereWritten) {
  const Text values[] = {
      "名称",
      "plain ascii",
      "",
      "混合 mixed 文本 123",
      "\xB0\x5C\xB1\x7C",  // second bytes that are "\" and "|"
      "\\DATA\\方法\\abcdefghijklmno.txt",
      "，。、；：？！“”（）",
      Text(255, 'x'),
      Text(120, '\xB0'),
  };
  for (const Text& value : values) {
    ASSERT_TRUE(OdbcExecute(db_, "INSERT INTO `内含信息` (`名称`,`说明`,`标记`) VALUES ('" + value +
                                     "','" + value + value + "','1');"));
  }
  for (int pass = 0; pass < 2; ++pass) {
    const int rs = OdbcQuery(db_, "SELECT * FROM `内含信息` ORDER BY rowid");
    ASSERT_GT(rs, 0);
    for (const Text& value : values) {
      ASSERT_FALSE(OdbcIsEof(db_, rs));
      // Read in another order in each pass, and one field twice.
      if (pass == 0) {
        EXPECT_EQ(OdbcReadField(db_, rs, "名称"), value);
        EXPECT_EQ(OdbcReadField(db_, rs, "说明"), value + value);
      } else {
        EXPECT_EQ(OdbcReadField(db_, rs, "说明"), value + value);
        EXPECT_EQ(OdbcReadField(db_, rs, "名称"), value);
        EXPECT_EQ(OdbcReadField(db_, rs, "名称"), value);
      }
      EXPECT_EQ(OdbcReadField(db_, rs, "标记"), "1");
      OdbcMoveNext(db_, rs);
    }
    EXPECT_TRUE(OdbcIsEof(db_, rs));
    OdbcCloseRecordSet(db_, rs);
  }
  // What the file holds is the UTF-8 form of each text.
  sqlite3_stmt* stmt = nullptr;
  const std::string stored = ConvertGbkToUtf8("SELECT `名称` FROM `内含信息` ORDER BY rowid");
  ASSERT_EQ(sqlite3_prepare_v2(OdbcEngineHandle(db_), stored.c_str(), -1, &stmt, nullptr), SQLITE_OK);
  for (const Text& value : values) {
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), ConvertGbkToUtf8(value));
  }
  sqlite3_finalize(stmt);
}

// A library written by another program may hold any UTF-8 (or none): each value reads as the
// converter makes it of the whole value, whichever way the record set takes to it.
TEST_F(RecordSetTest, ValuesWrittenByAnotherProgramReadAsTheConverterGivesThem) {
  const std::string values[] = {
      "caf\xC3\xA9",                     // é, in GBK
      "\xE2\x82\xAC 5",                  // the euro sign, one byte in code page 936
      "\xC4\x80\xE4\xB8\xAD",           // U+0100 and a CJK character
      "\xE0\xB8\x81",                    // Thai: not in GBK
      "\xF0\x9F\x98\x80 smile",          // four bytes
      "broken \xC3 end",
      "\xE4\xB8",                          // cut short
      "\xE0\x80\x80 overlong",
      "\xED\xA0\x80 surrogate",
      "\xEF\xBF\xBD",                      // the replacement character itself
  };
  sqlite3* engine = OdbcEngineHandle(db_);
  sqlite3_stmt* insert = nullptr;
  const std::string sql = ConvertGbkToUtf8("INSERT INTO `内含信息` (`名称`) VALUES (?1)");
  ASSERT_EQ(sqlite3_prepare_v2(engine, sql.c_str(), -1, &insert, nullptr), SQLITE_OK);
  for (const std::string& value : values) {
    sqlite3_bind_text(insert, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  std::vector<Text> expected;
  for (const std::string& value : values) expected.push_back(ConvertUtf8ToGbk(value));
  // Twice: the second time the characters met are known already.
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `内含信息` ORDER BY rowid", "名称"), expected);
  }
  EXPECT_EQ(expected[0], "caf\xA8\xA6");
  EXPECT_EQ(expected[1], "\x80 5");
}

// Another process holds the engine's exclusive lock past the busy timeout: queries and
// statements fail, so a caller tells "failed" from "no rows". The schema was read before, so the
// statement prepares and meets the lock when it is stepped.
class LockedLibraryTest : public RecordSetTest {
 protected:
  void SetUp() override {
    SetDatabaseBusyTimeout(50);
    RecordSetTest::SetUp();
  }
  void TearDown() override {
    SetDatabaseBusyTimeout(kDatabaseBusyTimeoutMs);
    RecordSetTest::TearDown();
  }
};

TEST_F(LockedLibraryTest, QueriesFailWhileAnotherProcessHoldsTheWriteLock) {
  Insert(3);
  ASSERT_EQ(QueryColumn(db_, "SELECT * FROM `内含信息`", "名称").size(), 3u);
  const Text library = PathOf("DATA.mdb");
  OtherProcess writer([&](OtherProcess::Channel& channel) {
    sqlite3* engine = nullptr;
    const bool locked =
        sqlite3_open_v2(NativePath(library).c_str(), &engine, SQLITE_OPEN_READWRITE, nullptr) ==
            SQLITE_OK &&
        sqlite3_exec(engine, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr) == SQLITE_OK;
    channel.Tell(locked ? 'l' : 'f');
    channel.Await();
    sqlite3_close(engine);
  });
  ASSERT_EQ(writer.Await(), 'l');
  const Text queries[] = {
      "SELECT * FROM `内含信息`",
      "SELECT * FROM `内含信息` WHERE `标记`='no such tag'",
      "SELECT * FROM `目录`",  // even one that would fail anyway
  };
  for (const Text& sql : queries) EXPECT_EQ(OdbcQuery(db_, sql), 0) << sql;
  EXPECT_FALSE(OdbcExecute(db_, "select * from `内含信息`;"));
  EXPECT_FALSE(OdbcExecute(db_, "INSERT INTO `内含信息` (`名称`) VALUES ('x');"));

  writer.Finish();
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `内含信息`", "名称").size(), 3u);
  const int none = OdbcQuery(db_, "SELECT * FROM `内含信息` WHERE `标记`='no such tag'");
  ASSERT_GT(none, 0);
  EXPECT_TRUE(OdbcIsEof(db_, none));
  OdbcCloseRecordSet(db_, none);
}

}  // namespace
