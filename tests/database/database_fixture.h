// A temporary folder per test with fresh database files in it, and small readers of results.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/text.h"

class DatabaseFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("snipdock_db_") + info->test_suite_name() + "_" + info->name() +
                       "_" + std::to_string(::getpid());
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    folder_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(folder_, ignored);
  }

  // A GBK path of a file in the test's folder (the folder's own name is ASCII).
  Text PathOf(const Text& name) const { return folder_.string() + "/" + name; }

  // A new, empty database file: an empty file is an empty SQLite database.
  Text NewDatabaseFile(const Text& name = "DATA.mdb") {
    Text path = PathOf(name);
    EXPECT_TRUE(WriteFileBytes(path, Bytes()));
    return path;
  }

  // The unit opened on a new database file.
  void OpenNew(DatabaseUnit& db, const Text& name = "DATA.mdb") {
    ASSERT_TRUE(OdbcOpen(db, NewDatabaseFile(name)));
  }

  std::filesystem::path folder_;
};

// Every value of one column from the current row to the end; the record set is closed.
inline std::vector<Text> ReadColumn(DatabaseUnit& db, int recordSet, const Text& column) {
  std::vector<Text> values;
  for (; !OdbcIsEof(db, recordSet); OdbcMoveNext(db, recordSet)) {
    values.push_back(OdbcReadField(db, recordSet, column));
  }
  OdbcCloseRecordSet(db, recordSet);
  return values;
}

inline std::vector<Text> QueryColumn(DatabaseUnit& db, const Text& sql, const Text& column) {
  const int recordSet = OdbcQuery(db, sql);
  EXPECT_NE(recordSet, 0) << sql;
  return ReadColumn(db, recordSet, column);
}
