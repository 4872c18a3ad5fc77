// The library database unit: one connection to a database file, shared by every thread.
// Each operation is atomic; a transaction holds the connection until it ends, so statements
// of other threads wait for it instead of joining it. A record set is a snapshot of all its
// rows taken when the query runs; a connection holds at most 30 open record sets.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "runtime/text.h"

class DatabaseUnit {
 public:
  DatabaseUnit();
  ~DatabaseUnit();
  DatabaseUnit(const DatabaseUnit&) = delete;
  DatabaseUnit& operator=(const DatabaseUnit&) = delete;

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

constexpr int kMaxOpenRecordSets = 30;

// Opens an existing database file (never creates or overwrites one); closes a former connection
// of the unit first. The connection text is "ODBC;DBQ=<file>;DefaultDir=<folder>;Driver=...".
// A file whose schema the engine finds damaged does not open and stays untouched. While open,
// the connection marks the file in use (see database_file_lock.h).
bool OdbcOpen(DatabaseUnit& db, const Text& file);
// The connection text OdbcOpen builds for file, and the file its DBQ item names again ("" for a
// text of another form).
Text OdbcConnectionText(const Text& file);
Text OdbcFileOfConnectionText(const Text& connection);
// Exactly one statement; true when it ran without an error. A statement that only reads is
// stepped once: its first row (or its end) tells success, the other rows are never read.
bool OdbcExecute(DatabaseUnit& db, const Text& sql);
// The same, telling how many rows an INSERT, UPDATE or DELETE changed (0 for any other
// statement); -1 when it did not run.
int OdbcExecuteCounted(DatabaseUnit& db, const Text& sql);
// A snapshot record set positioned on its first row; 0 on failure, also when a lock of
// another process outlasts the busy timeout: "no rows" is a record set at its end.
int OdbcQuery(DatabaseUnit& db, const Text& sql);
// True past the last row, and for a record set that is not open (0 included).
bool OdbcIsEof(DatabaseUnit& db, int recordSet);
// The rows from the current one to the end of the snapshot; 0 for a set that is not open.
std::size_t OdbcRowsLeft(DatabaseUnit& db, int recordSet);
// The column of the current row as text; NULL, an unknown column or no row read as "".
Text OdbcReadField(DatabaseUnit& db, int recordSet, const Text& column);
void OdbcMoveNext(DatabaseUnit& db, int recordSet);
// Reads the rows from the current one on as OdbcReadField and OdbcMoveNext would, in one step:
// row gets each row's values of columns, in their order, for at most maxRows rows (it may take
// them: every one is set anew for each row), and the set stands on the row after the last one
// read. Runs under the unit's lock, so row must not wait for another thread.
void OdbcReadRows(DatabaseUnit& db, int recordSet, const std::vector<Text>& columns,
                  const std::function<void(std::vector<Text>& values)>& row,
                  std::size_t maxRows = static_cast<std::size_t>(-1));
void OdbcCloseRecordSet(DatabaseUnit& db, int recordSet);
void OdbcClose(DatabaseUnit& db);
bool OdbcIsOpen(DatabaseUnit& db);
// Runs body in one transaction: committed when body returns true, rolled back otherwise or
// when the commit fails. Statements of other threads wait until it ends.
bool OdbcTransaction(DatabaseUnit& db, const std::function<bool()>& body);

// Compacts the database file in place with the engine's own VACUUM, only when it has free
// pages to reclaim, and never while another connection (of any instance) has it open.
constexpr int kCompacted = 0;             // compacted, or already compact (then nothing written)
constexpr int kCompactionNotStarted = 1;  // missing, no database, or a damaged one
constexpr int kCompactionSkipped = 2;     // in use elsewhere, read-only, or the VACUUM failed
int CompactDatabaseFile(const Text& path, const Text& password, bool sourceHasPassword);
