// Opening a database file and running single statements.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "database_fixture.h"
#include "runtime/database_test_hooks.h"

namespace {

const Text kDriver = ";Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access;";

TEST(ConnectionText, NamesTheFileAndItsFolderAndGivesTheFileBack) {
  struct Case {
    Text file, connection;
  };
  const Case cases[] = {
      {"C:\\程序\\DATA.mdb", "ODBC;DBQ=C:\\程序\\DATA.mdb;DefaultDir=C:\\程序" + kDriver},
      {"/home/u/snip/DATA.mdb", "ODBC;DBQ=/home/u/snip/DATA.mdb;DefaultDir=/home/u/snip" + kDriver},
      {"a\\b/c.mdb", "ODBC;DBQ=a\\b/c.mdb;DefaultDir=a\\b" + kDriver},
      {"\\DATA.mdb", "ODBC;DBQ=\\DATA.mdb;DefaultDir=" + kDriver},
      {"DATA.mdb", "ODBC;DBQ=DATA.mdb" + kDriver},  // no folder: the item is left out
      // The second byte of this character is a "\" but no separator.
      {"x/\xB0\x5C.mdb", "ODBC;DBQ=x/\xB0\x5C.mdb;DefaultDir=x" + kDriver},
      {"d;DefaultDir=e/f.mdb", "ODBC;DBQ=d;DefaultDir=e/f.mdb;DefaultDir=d;DefaultDir=e" + kDriver},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OdbcConnectionText(c.file), c.connection) << c.file;
    EXPECT_EQ(OdbcFileOfConnectionText(c.connection), c.file) << c.file;
  }
  for (const Text& other : {Text(), Text("DBQ=x.mdb"), Text("ODBC;DBQ=x.mdb;")}) {
    EXPECT_EQ(OdbcFileOfConnectionText(other), "") << other;
  }
}

using OpenTest = DatabaseFixture;

TEST_F(OpenTest, OpensAnExistingDatabaseAndClosesIt) {
  DatabaseUnit db;
  EXPECT_FALSE(OdbcIsOpen(db));
  OpenNew(db);
  EXPECT_TRUE(OdbcIsOpen(db));
  OdbcClose(db);
  EXPECT_FALSE(OdbcIsOpen(db));
  EXPECT_FALSE(OdbcExecute(db, "SELECT 1;"));
}

TEST_F(OpenTest, OpensAFileWithAChineseNameInAChineseFolder) {
  ASSERT_TRUE(MakeDirectory(PathOf("导入临时目录")));
  const Text file = NewDatabaseFile("导入临时目录\\临时数据库.mdb");
  EXPECT_TRUE(std::filesystem::exists(folder_ / u8"导入临时目录" / u8"临时数据库.mdb"));
  DatabaseUnit db;
  ASSERT_TRUE(OdbcOpen(db, file));
  EXPECT_TRUE(OdbcExecute(db, "CREATE TABLE t (a);"));
}

TEST_F(OpenTest, MissingFileFailsAndIsNotCreated) {
  DatabaseUnit db;
  const Text cases[] = {PathOf("missing.mdb"), PathOf("no folder/DATA.mdb"), "", "DATA-nowhere.mdb"};
  for (const Text& file : cases) {
    EXPECT_FALSE(OdbcOpen(db, file)) << file;
    EXPECT_FALSE(OdbcIsOpen(db));
    if (!file.empty()) {
      EXPECT_FALSE(FileExists(file)) << file;
    }
  }
}

TEST_F(OpenTest, FileThatIsNoDatabaseFailsAndStaysByteForByte) {
  struct Case {
    const char* name;
    Text content;
  };
  const Case cases[] = {
      {"short.mdb", "not a database"},
      {"text.mdb", Text(4096, 'x')},
      {"access.mdb", Text("\x00\x01\x00\x00Standard Jet DB\x00", 20) + Text(2048, '\x00')},
  };
  for (const Case& c : cases) {
    const Text path = PathOf(c.name);
    const Bytes before(c.content.begin(), c.content.end());
    ASSERT_TRUE(WriteFileBytes(path, before));
    DatabaseUnit db;
    EXPECT_FALSE(OdbcOpen(db, path)) << c.name;
    EXPECT_FALSE(OdbcIsOpen(db));
    EXPECT_EQ(ReadFileBytes(path), before) << c.name;
    EXPECT_FALSE(FileExists(path + "-journal")) << c.name;
  }
}

// A library whose schema page lost a few bytes would read as an empty library, and the tables
// created then and the first save would write over what is left: it does not open, and stays as
// it is.
TEST_F(OpenTest, LibraryWithADamagedSchemaPageFailsAndStaysByteForByte) {
  const Text library = NewDatabaseFile("DATA.mdb");
  {
    DatabaseUnit db;
    ASSERT_TRUE(OdbcOpen(db, library));
    ASSERT_TRUE(OdbcExecute(db, "CREATE TABLE `目录` (`目录名` VARCHAR(225),`索引` VARCHAR(225),"
                                "`标记` VARCHAR(225));"));
    ASSERT_TRUE(OdbcExecute(db, "CREATE TABLE `内含信息` (`名称` VARCHAR(255),`标记` VARCHAR(255));"));
    ASSERT_TRUE(OdbcTransaction(db, [&] {
      for (int i = 0; i < 500; ++i) {
        if (!OdbcExecute(db, "INSERT INTO `内含信息` VALUES ('条目" + ToText(i) + "','1');")) return false;
      }
      return true;
    }));
  }
  const Bytes intact = ReadFileBytes(library);
  const std::string text(intact.begin(), intact.end());
  const std::size_t sql = text.find("CREATE TABLE");
  ASSERT_NE(sql, std::string::npos);
  struct Case {
    const char* damage;
    std::size_t offset;
    Bytes bytes;
  };
  // Page 1 holds the file header (100 bytes), then the schema's b-tree page header.
  const Case cases[] = {
      {"no schema entry left", 103, {0, 0}},
      {"one table of two left", 103, {0, 1}},
      {"page kind", 100, {0x02}},
      {"cell pointer", 108, {0x0F, 0xFF}},
      {"schema text", sql, {'X', 'X', 'X', 'X'}},
      {"first free block", 101, {0x0F, 0xF0}},
  };
  for (const Case& c : cases) {
    Bytes damaged = intact;
    std::copy(c.bytes.begin(), c.bytes.end(), damaged.begin() + static_cast<long>(c.offset));
    ASSERT_TRUE(WriteFileBytes(library, damaged));
    DatabaseUnit db;
    EXPECT_FALSE(OdbcOpen(db, library)) << c.damage;
    EXPECT_FALSE(OdbcIsOpen(db)) << c.damage;
    EXPECT_EQ(ReadFileBytes(library), damaged) << c.damage;
    EXPECT_FALSE(FileExists(library + "-journal")) << c.damage;
  }
  // The same file undamaged opens with all its rows.
  ASSERT_TRUE(WriteFileBytes(library, intact));
  DatabaseUnit db;
  ASSERT_TRUE(OdbcOpen(db, library));
  EXPECT_EQ(QueryColumn(db, "SELECT * FROM `内含信息`", "名称").size(), 500u);
}

TEST_F(OpenTest, AFolderIsNoDatabase) {
  ASSERT_TRUE(MakeDirectory(PathOf("folder.mdb")));
  DatabaseUnit db;
  EXPECT_FALSE(OdbcOpen(db, PathOf("folder.mdb")));
}

TEST_F(OpenTest, OpeningAgainClosesTheFormerConnectionFirst) {
  DatabaseUnit db;
  OpenNew(db, "first.mdb");
  ASSERT_TRUE(OdbcExecute(db, "CREATE TABLE first_only (a);"));
  ASSERT_NE(OdbcQuery(db, "SELECT 1 AS one;"), 0);
  OpenNew(db, "second.mdb");
  EXPECT_FALSE(OdbcExecute(db, "SELECT * FROM first_only;"));
  // A failed open leaves no connection at all, not the former one.
  EXPECT_FALSE(OdbcOpen(db, PathOf("missing.mdb")));
  EXPECT_FALSE(OdbcIsOpen(db));
}

TEST_F(OpenTest, PathWithSeparatorsOfBothKindsOpens) {
  ASSERT_TRUE(MakeDirectory(PathOf("sub")));
  NewDatabaseFile("sub/DATA.mdb");
  DatabaseUnit db;
  EXPECT_TRUE(OdbcOpen(db, PathOf("sub\\DATA.mdb")));
  EXPECT_TRUE(OdbcOpen(db, PathOf("sub/DATA.mdb")));
}

class ExecuteTest : public DatabaseFixture {
 protected:
  void SetUp() override {
    DatabaseFixture::SetUp();
    OpenNew(db_);
    ASSERT_TRUE(OdbcExecute(db_, "CREATE TABLE t (a VARCHAR(255));"));
  }
  int Rows() { return static_cast<int>(QueryColumn(db_, "SELECT * FROM t", "a").size()); }
  DatabaseUnit db_;
};

TEST_F(ExecuteTest, OneStatementWithBlanksSemicolonsOrCommentsAfterItRuns) {
  const Text cases[] = {
      "INSERT INTO t VALUES ('1')",
      "INSERT INTO t VALUES ('2');",
      "  INSERT INTO t VALUES ('3') ; ; \r\n\t",
      "INSERT INTO t VALUES ('4'); -- a note",
      "INSERT INTO t VALUES ('5'); /* a note */ ;",
      "INSERT INTO t VALUES ('6'); /* unterminated",
  };
  int expected = 0;
  for (const Text& sql : cases) {
    EXPECT_TRUE(OdbcExecute(db_, sql)) << sql;
    EXPECT_EQ(Rows(), ++expected) << sql;
  }
}

TEST_F(ExecuteTest, SecondStatementIsRefusedAndNothingRuns) {
  const Text cases[] = {
      "INSERT INTO t VALUES ('1'); INSERT INTO t VALUES ('2');",
      "INSERT INTO t VALUES ('1');DELETE FROM t",
      "INSERT INTO t VALUES ('1'); -- note\nDROP TABLE t;",
      "INSERT INTO t VALUES ('1'); garbage",
  };
  for (const Text& sql : cases) {
    EXPECT_FALSE(OdbcExecute(db_, sql)) << sql;
    EXPECT_EQ(Rows(), 0) << sql;
  }
}

TEST_F(ExecuteTest, FailingStatementsGiveFalse) {
  const Text cases[] = {
      "",
      "   ",
      ";",
      "-- only a comment",
      "SELECT * FROM missing;",
      "INSERT INTO missing VALUES (1);",
      "INSERT INTO t VALUES (1, 2);",
      "SELEKT * FROM t;",
  };
  for (const Text& sql : cases) EXPECT_FALSE(OdbcExecute(db_, sql)) << "[" << sql << "]";
}

TEST_F(ExecuteTest, SelectRowsAreDiscarded) {
  ASSERT_TRUE(OdbcExecute(db_, "INSERT INTO t VALUES ('x');"));
  EXPECT_TRUE(OdbcExecute(db_, "SELECT * FROM t;"));
  EXPECT_EQ(Rows(), 1);
}

int CountRow(unsigned kind, void* rows, void*, void*) {
  if (kind == SQLITE_TRACE_ROW) ++*static_cast<int*>(rows);
  return 0;
}

// The start-up's table tests only need to know that the statement runs: a statement that only
// reads gives its first row and no more, however large the table. A statement that writes runs
// to its end.
TEST_F(ExecuteTest, ReadingStatementStepsOnceAndAWritingOneToItsEnd) {
  ASSERT_TRUE(OdbcExecute(db_, "CREATE TABLE `目录` (`目录名` VARCHAR(225),`索引` VARCHAR(225),"
                               "`标记` VARCHAR(225));"));
  ASSERT_TRUE(OdbcExecute(db_, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < 10000) INSERT INTO `目录` SELECT 'x', i, i FROM n;"));
  int rows = 0;
  sqlite3_trace_v2(OdbcEngineHandle(db_), SQLITE_TRACE_ROW, CountRow, &rows);
  EXPECT_TRUE(OdbcExecute(db_, "select * from `目录`;"));
  EXPECT_EQ(rows, 1);

  rows = 0;
  EXPECT_TRUE(OdbcExecute(db_, "SELECT * FROM t;"));  // no rows: success all the same
  EXPECT_EQ(rows, 0);

  rows = 0;
  EXPECT_TRUE(OdbcExecute(db_, "INSERT INTO t SELECT `目录名` FROM `目录` WHERE CAST(`索引` AS INTEGER) <= 3 "
                               "RETURNING a;"));
  EXPECT_EQ(rows, 3);
  sqlite3_trace_v2(OdbcEngineHandle(db_), 0, nullptr, nullptr);
  EXPECT_EQ(Rows(), 3);
}

}  // namespace
