// Which stored paths stay in the data folder: every read and write of an entry's file asks.
#include <gtest/gtest.h>

#include "snippets/library.h"

namespace {

TEST(DataFolderPathTest, OnlyPathsBelowTheDataFolderWithoutUpwardParts) {
  const struct {
    Text path;
    bool inside;
  } kCases[] = {
      {"\\DATA\\方法\\abc.txt", true},
      {"\\DATA\\图片\\x/y.png", true},
      {"\\DATA\\..x\\a", true},
      {"\\DATA\\a\\\x95\\..", true},  // the "\" is a character's second byte, not a separator
      {"\\DATA\\", false},
      {"\\DATA\\..", false},
      {"\\DATA\\a\\..\\..\\DATA.mdb", false},
      {"\\DATA\\a/../b", false},
      {"\\DATA\\a\\..", false},
      {"\\DATA\\C:\\x", false},
      {"\\OTHER\\a.txt", false},
      {"DATA\\a.txt", false},
      {"", false},
  };
  for (const auto& c : kCases) EXPECT_EQ(IsDataFolderPath(c.path), c.inside) << c.path;
}

}  // namespace
