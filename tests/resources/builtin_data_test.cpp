// The built-in data files: the empty library template, the two pictures and the skin block.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <string>

#include "resources/resources.h"
#include "resources/skin.h"
#include "runtime/picture.h"

namespace {

// Runs a one-value query; "" when it fails.
std::string QueryOne(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  std::string value;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    if (text != nullptr) value = reinterpret_cast<const char*>(text);
  }
  sqlite3_finalize(statement);
  return value;
}

TEST(BuiltinDataTest, EmptyDatabaseTemplateIsAnSqliteFileWithoutTables) {
  const Bytes& file = EmptyDatabaseTemplate();
  ASSERT_GE(file.size(), 100u);
  EXPECT_EQ(std::memcmp(file.data(), "SQLite format 3", 16), 0);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(file.size()));
  ASSERT_NE(copy, nullptr);
  std::memcpy(copy, file.data(), file.size());
  ASSERT_EQ(sqlite3_deserialize(db, "main", copy, file.size(), file.size(),
                                SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY),
            SQLITE_OK);
  EXPECT_EQ(QueryOne(db, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(QueryOne(db, "SELECT count(*) FROM sqlite_master"), "0");
  sqlite3_close(db);
}

TEST(BuiltinDataTest, PicturesHaveASize) {
  const std::pair<const char*, const Bytes*> pictures[] = {
      {"tray icon", &TrayIconImage()},
      {"search button", &SearchButtonImage()},
  };
  for (const auto& [name, bytes] : pictures) {
    const PictureSize size = MeasurePicture(*bytes);
    EXPECT_GT(size.width, 0) << name;
    EXPECT_GT(size.height, 0) << name;
  }
}

TEST(BuiltinDataTest, SkinBlockIsIntact) {
  const Bytes& block = SkinImage();
  EXPECT_EQ(block.size(), 41098u);
  SkinTheme theme;
  EXPECT_TRUE(ParseSkinBlock(block.data(), block.size(), theme));
}

}  // namespace
