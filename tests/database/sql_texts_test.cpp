// The program's own SQL texts run unchanged, GBK in and GBK out.
#include <gtest/gtest.h>

#include "database_fixture.h"
#include "runtime/codepage.h"

namespace {

const Text kDirectoryTableText =
    "CREATE TABLE `目录` (`目录名` VARCHAR(225),`索引` VARCHAR(225),`标记` VARCHAR(225));";
const Text kEntryTableText =
    "CREATE TABLE `内含信息` (`路径` VARCHAR(255),`名称` VARCHAR(255),`使用方法` VARCHAR(255) "
    ",`说明` VARCHAR(255),`图片` VARCHAR(255) ,`例程` VARCHAR(255),`标记` VARCHAR(255));";

Text InsertDirectory(const Text& name, const Text& parent, const Text& tag) {
  return "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('" + name + "','" + parent + "','" +
         tag + "');";
}

Text InsertEntry(const Text& path, const Text& name, const Text& id, const Text& description,
                 const Text& tag) {
  return "INSERT INTO `内含信息`  (`路径`, `名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`)  VALUES ('" +
         path + "','" + name + "' , '\\DATA\\方法\\" + id + ".txt', '" + description +
         "','\\DATA\\图片\\" + id + ".jpg','\\DATA\\例程\\" + id + ".zip' ,'" + tag + "');";
}

class SqlTextsTest : public DatabaseFixture {
 protected:
  void SetUp() override {
    DatabaseFixture::SetUp();
    OpenNew(db_);
  }
  void CreateTables() {
    ASSERT_TRUE(OdbcExecute(db_, kDirectoryTableText));
    ASSERT_TRUE(OdbcExecute(db_, kEntryTableText));
  }
  DatabaseUnit db_;
};

TEST_F(SqlTextsTest, TableTestsFailUntilTheCreateTextsRan) {
  EXPECT_FALSE(OdbcExecute(db_, "select * from `目录`;"));
  EXPECT_FALSE(OdbcExecute(db_, "select * from `内含信息`;"));
  CreateTables();
  EXPECT_TRUE(OdbcExecute(db_, "select * from `目录`;"));
  EXPECT_TRUE(OdbcExecute(db_, "select * from `内含信息`;"));
  // Creating a table that exists is an error the start-up ignores.
  EXPECT_FALSE(OdbcExecute(db_, kDirectoryTableText));
}

TEST_F(SqlTextsTest, DirectoryRowsComeBackInInsertOrder) {
  CreateTables();
  ASSERT_TRUE(OdbcExecute(db_, "delete from `目录`;"));
  ASSERT_TRUE(OdbcExecute(db_, InsertDirectory("常用函数", "-1", "1001")));
  ASSERT_TRUE(OdbcExecute(db_, InsertDirectory("字符串", "0", "1002")));
  ASSERT_TRUE(OdbcExecute(db_, InsertDirectory("文件", "0", "1003")));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `目录`", "目录名"),
            (std::vector<Text>{"常用函数", "字符串", "文件"}));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `目录`", "索引"), (std::vector<Text>{"-1", "0", "0"}));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `目录`", "标记"),
            (std::vector<Text>{"1001", "1002", "1003"}));
}

TEST_F(SqlTextsTest, EntryStatementsOfListingSearchEditAndDelete) {
  CreateTables();
  ASSERT_TRUE(OdbcExecute(db_, InsertEntry("/常用函数", "取文本中间", "a1", "取出中间的文本", "1001")));
  ASSERT_TRUE(OdbcExecute(db_, InsertEntry("/常用函数", "Split", "a2", "分割文本", "1001")));
  ASSERT_TRUE(OdbcExecute(db_, InsertEntry("/文件", "读文件", "a3", "读入整个文件", "1003")));

  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `内含信息` WHERE  `标记`='1001';", "名称"),
            (std::vector<Text>{"取文本中间", "Split"}));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `内含信息` WHERE  `标记`='1003';", "使用方法"),
            (std::vector<Text>{"\\DATA\\方法\\a3.txt"}));

  struct Search {
    Text sql;
    std::vector<Text> names;
  };
  const Search searches[] = {
      {"SELECT * FROM 内含信息 WHERE 名称 LIKE '%文%';", {"取文本中间", "读文件"}},
      {"SELECT * FROM 内含信息 WHERE 名称 LIKE '%split%';", {"Split"}},  // ASCII folds
      {"SELECT * FROM 内含信息 WHERE  说明 LIKE '%文本%';", {"取文本中间", "Split"}},
      {"SELECT * FROM 内含信息 WHERE  使用方法 LIKE '%a3%';", {"读文件"}},
      {"SELECT * FROM 内含信息 WHERE 名称 LIKE '%%';", {"取文本中间", "Split", "读文件"}},
      {"SELECT * FROM 内含信息 WHERE 名称 LIKE '%没有%';", {}},
  };
  for (const Search& search : searches) {
    EXPECT_EQ(QueryColumn(db_, search.sql, "名称"), search.names) << search.sql;
  }

  const Text update =
      "UPDATE  `内含信息`  SET `名称` = '读文本文件',`使用方法` = '\\DATA\\方法\\b3.txt',`说明`='读入"
      "全部',`图片`='\\DATA\\图片\\b3.png',`例程`='\\DATA\\例程\\b3.'  WHERE `名称` = '读文件'  AND "
      "`说明` = '读入整个文件'  AND `使用方法`='\\DATA\\方法\\a3.txt';";
  ASSERT_TRUE(OdbcExecute(db_, update));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `内含信息` WHERE  `标记`='1003';", "名称"),
            (std::vector<Text>{"读文本文件"}));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `内含信息` WHERE  `标记`='1003';", "例程"),
            (std::vector<Text>{"\\DATA\\例程\\b3."}));

  ASSERT_TRUE(OdbcExecute(db_, "DELETE FROM `内含信息`  WHERE `名称` = 'Split' AND `说明`='分割文本'"));
  ASSERT_TRUE(OdbcExecute(db_, "DELETE FROM `内含信息` WHERE `路径` = '/文件' AND `标记`='1003'"));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `内含信息`", "名称"), (std::vector<Text>{"取文本中间"}));
}

// In GBK the second byte of "中" and the first of "文" spell "形"; the search compares
// characters, so "形" does not match "中文".
TEST_F(SqlTextsTest, LikeMatchesWholeCharactersNotGbkBytes) {
  ASSERT_EQ(Text("中文").substr(1, 2), Text("形"));
  CreateTables();
  ASSERT_TRUE(OdbcExecute(db_, InsertEntry("/a", "中文", "c1", "", "1")));
  ASSERT_TRUE(OdbcExecute(db_, InsertEntry("/a", "形状", "c2", "", "1")));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM 内含信息 WHERE 名称 LIKE '%形%';", "名称"),
            (std::vector<Text>{"形状"}));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM 内含信息 WHERE 名称 LIKE '%中%';", "名称"),
            (std::vector<Text>{"中文"}));
}

TEST_F(SqlTextsTest, GbkValuesAndEscapedApostrophesRoundTrip) {
  CreateTables();
  const Text values[] = {"中文目录", "O'Brien's 代码", "''", "100% 完成", "\\DATA\\方法\\", "全角１２３"};
  for (const Text& value : values) {
    ASSERT_TRUE(OdbcExecute(db_, InsertDirectory(SqlEscape(value), "-1", "7"))) << value;
  }
  std::vector<Text> expected(std::begin(values), std::end(values));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `目录`", "目录名"), expected);
  // The escaped value also finds its row again.
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `目录` WHERE `目录名`='" + SqlEscape("O'Brien's 代码") + "'",
                        "目录名"),
            (std::vector<Text>{"O'Brien's 代码"}));
  // The database itself holds UTF-8, which other tools read as such.
  EXPECT_EQ(QueryColumn(db_, "SELECT hex(`目录名`) AS h FROM `目录` WHERE `标记`='7' LIMIT 1", "h"),
            (std::vector<Text>{"E4B8ADE69687E79BAEE5BD95"}));
}

// A value that ends the statement early is refused whole: nothing of it runs.
TEST_F(SqlTextsTest, UnescapedApostropheNeverRunsASecondStatement) {
  CreateTables();
  ASSERT_TRUE(OdbcExecute(db_, InsertDirectory("保留", "-1", "1")));
  EXPECT_FALSE(OdbcExecute(db_, InsertDirectory("x','-1','2'); DELETE FROM `目录`; --", "-1", "1")));
  EXPECT_FALSE(OdbcExecute(db_, InsertDirectory("it's", "-1", "1")));
  EXPECT_EQ(QueryColumn(db_, "SELECT * FROM `目录`", "目录名"), (std::vector<Text>{"保留"}));
}

}  // namespace
