// The exact statement texts of the listing and of the editor's save, with values quoted.
#include <gtest/gtest.h>

#include "snippets/entry_editor.h"
#include "snippets/entry_list.h"

namespace {

struct ListQueryCase {
  const char* tag;
  const char* sql;
};

TEST(StatementTextsTest, ListQuery) {
  const ListQueryCase cases[] = {
      {"4242", "SELECT * FROM `内含信息` WHERE  `标记`='4242';"},
      {"0", "SELECT * FROM `内含信息` WHERE  `标记`='0';"},
      {"1' OR '1'='1", "SELECT * FROM `内含信息` WHERE  `标记`='1'' OR ''1''=''1';"},
  };
  for (const ListQueryCase& c : cases) EXPECT_EQ(EntryListQuery(c.tag), c.sql) << c.tag;
}

struct SaveCase {
  const char* what;
  Text name, description, pictureExtension, exampleExtension;
  Text insert, update;
};

TEST(StatementTextsTest, InsertAndUpdate) {
  const Text id = "AbCdEfGhIjKlMnO";
  const EntryRecord old{"旧名", "\\DATA\\方法\\ZyXwVuTsRqPoNmL.txt", "旧说明",
                        "\\DATA\\图片\\ZyXwVuTsRqPoNmL.png", "\\DATA\\例程\\ZyXwVuTsRqPoNmL.cpp"};
  const SaveCase cases[] = {
      {"Plain", "快排", "排序", "png", "cpp",
       "INSERT INTO `内含信息`  (`路径`, `名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`)  VALUES ('/代码/算法',"
       "'快排' , '\\DATA\\方法\\AbCdEfGhIjKlMnO.txt', '排序','\\DATA\\图片\\AbCdEfGhIjKlMnO.png',"
       "'\\DATA\\例程\\AbCdEfGhIjKlMnO.cpp' ,'3150');",
       "UPDATE  `内含信息`  SET `名称` = '快排',`使用方法` = '\\DATA\\方法\\AbCdEfGhIjKlMnO.txt',`说明`='排序',"
       "`图片`='\\DATA\\图片\\AbCdEfGhIjKlMnO.png',`例程`='\\DATA\\例程\\AbCdEfGhIjKlMnO.cpp'  WHERE `名称` = '旧名'"
       "  AND `说明` = '旧说明'  AND `使用方法`='\\DATA\\方法\\ZyXwVuTsRqPoNmL.txt';"},
      {"NoExtensions", "n", "", "", "",
       "INSERT INTO `内含信息`  (`路径`, `名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`)  VALUES ('/代码/算法',"
       "'n' , '\\DATA\\方法\\AbCdEfGhIjKlMnO.txt', '','\\DATA\\图片\\AbCdEfGhIjKlMnO.',"
       "'\\DATA\\例程\\AbCdEfGhIjKlMnO.' ,'3150');",
       "UPDATE  `内含信息`  SET `名称` = 'n',`使用方法` = '\\DATA\\方法\\AbCdEfGhIjKlMnO.txt',`说明`='',"
       "`图片`='\\DATA\\图片\\AbCdEfGhIjKlMnO.',`例程`='\\DATA\\例程\\AbCdEfGhIjKlMnO.'  WHERE `名称` = '旧名'"
       "  AND `说明` = '旧说明'  AND `使用方法`='\\DATA\\方法\\ZyXwVuTsRqPoNmL.txt';"},
      {"Apostrophes", "it's", "a'); DROP TABLE x; --", "jpg", "h",
       "INSERT INTO `内含信息`  (`路径`, `名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`)  VALUES ('/代码/算法',"
       "'it''s' , '\\DATA\\方法\\AbCdEfGhIjKlMnO.txt', 'a''); DROP TABLE x; --',"
       "'\\DATA\\图片\\AbCdEfGhIjKlMnO.jpg','\\DATA\\例程\\AbCdEfGhIjKlMnO.h' ,'3150');",
       "UPDATE  `内含信息`  SET `名称` = 'it''s',`使用方法` = '\\DATA\\方法\\AbCdEfGhIjKlMnO.txt',"
       "`说明`='a''); DROP TABLE x; --',`图片`='\\DATA\\图片\\AbCdEfGhIjKlMnO.jpg',"
       "`例程`='\\DATA\\例程\\AbCdEfGhIjKlMnO.h'  WHERE `名称` = '旧名'  AND `说明` = '旧说明'"
       "  AND `使用方法`='\\DATA\\方法\\ZyXwVuTsRqPoNmL.txt';"},
  };
  for (const SaveCase& c : cases) {
    EXPECT_EQ(EntryInsertStatement("/代码/算法", c.name, id, c.description, c.pictureExtension,
                                   c.exampleExtension, "3150"),
              c.insert)
        << c.what;
    EXPECT_EQ(EntryUpdateStatement(c.name, id, c.description, c.pictureExtension, c.exampleExtension, old),
              c.update)
        << c.what;
  }

  // The old values that find the row are quoted too.
  const EntryRecord quotedOld{"it's", "\\DATA\\方法\\x.txt", "'", "", ""};
  const Text update = EntryUpdateStatement("n", id, "", "", "", quotedOld);
  EXPECT_NE(update.find("WHERE `名称` = 'it''s'  AND `说明` = ''''  AND `使用方法`='\\DATA\\方法\\x.txt';"),
            Text::npos)
      << update;
}

}  // namespace
