// Helpers of the start-up, tree and exit tests: preparing a library before the program starts
// and reading tables and the main window back.
#pragma once

#include <string>
#include <vector>

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "snippets/globals.h"
#include "tests/support/program_fixture.h"
#include "ui/headless/headless.h"
#include "ui/model.h"
#include "ui/ui.h"

namespace tree_test {

inline constexpr const char* kDirectoryTableText =
    "CREATE TABLE `目录` (`目录名` VARCHAR(225),`索引` VARCHAR(225),`标记` VARCHAR(225));";
inline constexpr const char* kEntryTableText =
    "CREATE TABLE `内含信息` (`路径` VARCHAR(255),`名称` VARCHAR(255),`使用方法` VARCHAR(255) "
    ",`说明` VARCHAR(255),`图片` VARCHAR(255) ,`例程` VARCHAR(255),`标记` VARCHAR(255));";

using Rows = std::vector<std::vector<Text>>;

// Every row of the query, the given columns as texts.
inline Rows QueryRows(DatabaseUnit& db, const Text& sql, const std::vector<Text>& columns) {
  Rows rows;
  const int set = OdbcQuery(db, sql);
  while (!OdbcIsEof(db, set)) {
    std::vector<Text> row;
    for (const Text& column : columns) row.push_back(OdbcReadField(db, set, column));
    rows.push_back(row);
    OdbcMoveNext(db, set);
  }
  if (set != 0) OdbcCloseRecordSet(db, set);
  return rows;
}

inline Rows DirectoryRows() {
  return QueryRows(LibraryDatabase, "SELECT * FROM `目录`", {"目录名", "索引", "标记"});
}

// Writes the empty template as "\DATA.mdb" and runs the statements on it.
inline void PrepareLibrary(const Text& file, const std::vector<Text>& statements) {
  ASSERT_TRUE(WriteFileBytes(file, EmptyDatabaseTemplate()));
  DatabaseUnit db;
  ASSERT_TRUE(OdbcOpen(db, file));
  for (const Text& sql : statements) ASSERT_TRUE(OdbcExecute(db, sql)) << sql;
  OdbcClose(db);
}

inline Text DirectoryInsert(const Text& name, const Text& parent, const Text& tag) {
  return "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('" + SqlEscape(name) + "','" +
         SqlEscape(parent) + "','" + SqlEscape(tag) + "');";
}

inline Text EntryInsert(const Text& path, const Text& name, const Text& tag) {
  return "INSERT INTO `内含信息`(`路径`,`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) VALUES ('" +
         SqlEscape(path) + "','" + SqlEscape(name) + "','','','','','" + SqlEscape(tag) + "');";
}

// The tree as (text, parent index, item value) in item order.
struct Item {
  Text text;
  int parent;
  int data;
  bool operator==(const Item&) const = default;
};

inline std::vector<Item> TreeItems() {
  std::vector<Item> items;
  const int count = ui::TreeItemCount(MainWindow::DirectoryTree);
  for (int i = 0; i < count; ++i) {
    items.push_back({ui::TreeItemText(MainWindow::DirectoryTree, i),
                     ui::TreeParentItem(MainWindow::DirectoryTree, i),
                     ui::TreeItemData(MainWindow::DirectoryTree, i)});
  }
  return items;
}

inline void PrintTo(const Item& item, std::ostream* os) {
  *os << "{" << item.text << ", " << item.parent << ", " << item.data << "}";
}

inline ui::WindowModel* MainWindowModel() { return ui::FindWindow(MainWindow::Self.name); }

// A snippet program whose library holds both tables and what the test adds.
class LibraryProgramTest : public ProgramFixture {
 protected:
  // A started program over a library with both tables and the given statements run.
  void StartWith(const std::vector<Text>& statements) {
    std::vector<Text> all{kDirectoryTableText, kEntryTableText};
    all.insert(all.end(), statements.begin(), statements.end());
    PrepareLibrary(InProgram("\\DATA.mdb"), all);
    ASSERT_TRUE(StartProgram());
    ui::headless::ClearRecords();
  }
};

}  // namespace tree_test
