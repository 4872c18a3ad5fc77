// Opening a database file and running single statements.
#include <gtest/gtest.h>

#include "database_fixture.h"

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

}  // namespace
