// CompactDatabaseFile: the library is compacted in place by the engine's own VACUUM, a
// transaction like any other write, so the file keeps its identity (a symlink stays a symlink,
// an open connection of another instance keeps reading the same file) and an interrupted run is
// rolled back from its journal at the next open. Nothing is written to the temporary folder.
#include <sqlite3.h>

#include "runtime/database.h"
#include "runtime/database_file_lock.h"
#include "runtime/files.h"
#include "runtime/sqlite_connection.h"

// An SQLite file carries no password, so password and sourceHasPassword are accepted for the
// callers' sake and not used.
int CompactDatabaseFile(const Text& path, const Text& password, bool sourceHasPassword) {
  (void)password;
  (void)sourceHasPassword;
  const std::string native = path.empty() ? std::string() : NativePath(path);
  // Declared before the connection, so the connection closes first and the mark after it.
  DatabaseFileLock exclusive;
  switch (DatabaseFileLock::TakeExclusive(native, exclusive)) {
    case DatabaseFileLock::Result::kTaken: break;
    case DatabaseFileLock::Result::kNotOpened: return kCompactionNotStarted;
    case DatabaseFileLock::Result::kInUse:
    case DatabaseFileLock::Result::kReadOnly: return kCompactionSkipped;
  }

  SqliteConnection connection = SqliteConnection::OpenExisting(native);
  if (!connection) return kCompactionNotStarted;
  // A connection of another program that holds the engine's lock is not waited for either.
  sqlite3_busy_timeout(connection.get(), 0);
  std::string freePages;
  if (!SqliteQueryText(connection.get(), "PRAGMA freelist_count;", freePages)) {
    return kCompactionSkipped;
  }
  if (freePages == "0") return kCompacted;  // already compact: nothing is written
  return SqliteRun(connection.get(), "VACUUM;") ? kCompacted : kCompactionSkipped;
}
