// The database unit over SQLite: one connection, serialized by a recursive lock, and the
// snapshot record sets its queries open.
#include "runtime/database.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "runtime/codepage.h"
#include "runtime/database_file_lock.h"
#include "runtime/database_test_hooks.h"
#include "runtime/files.h"
#include "runtime/sqlite_connection.h"

namespace {

// A recursive lock that also tells how many threads wait for it. The holder may enter again
// (a transaction's body runs statements on the same unit); every other thread waits.
class UnitLock {
 public:
  void lock() {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(mutex_);
    if (depth_ > 0 && owner_ == self) {
      ++depth_;
      return;
    }
    ++waiting_;
    released_.wait(guard, [this] { return depth_ == 0; });
    --waiting_;
    owner_ = self;
    depth_ = 1;
  }
  void unlock() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (--depth_ == 0) {
      owner_ = std::thread::id();
      released_.notify_one();
    }
  }
  int waiting() {
    std::lock_guard<std::mutex> guard(mutex_);
    return waiting_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  int depth_ = 0;
  int waiting_ = 0;
};

// The values stay as the engine gives them (UTF-8) until a field is read: a listing reads a few
// columns of the rows it shows, so converting every value up front would be wasted.
struct RecordSet {
  std::vector<Text> columns;       // GBK column names, in statement order
  std::string values;              // UTF-8 values of all rows, row by row, back to back
  std::vector<std::size_t> ends;   // end of each value in values; NULL is an empty value
  std::size_t rowCount = 0;
  std::size_t position = 0;        // current row; rowCount is past the end

  std::string_view Value(std::size_t row, std::size_t column) const {
    const std::size_t at = row * columns.size() + column;
    const std::size_t begin = at == 0 ? 0 : ends[at - 1];
    return std::string_view(values).substr(begin, ends[at] - begin);
  }
};

const char kDriverItems[] = ";Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access;";
const char kDbqPrefix[] = "ODBC;DBQ=";
const char kDefaultDirItem[] = ";DefaultDir=";

// The folder part of a path: everything before its last "\" or "/"; "" when there is none.
bool FolderOf(const Text& file, Text& folder) {
  int cut = std::max(FindTextReverse(file, "\\"), FindTextReverse(file, "/"));
  if (cut < 1) return false;
  folder = TextLeft(file, cut - 1);
  return true;
}

}  // namespace

Text OdbcConnectionText(const Text& file) {
  Text text = kDbqPrefix + file;
  Text folder;
  if (FolderOf(file, folder)) text += kDefaultDirItem + folder;
  return text + kDriverItems;
}

// A file name may itself hold ";DefaultDir=", so an item is only taken as the folder item when
// it names the folder of what stands before it.
Text OdbcFileOfConnectionText(const Text& text) {
  const Text prefix = kDbqPrefix, suffix = kDriverItems, dirItem = kDefaultDirItem;
  if (text.size() < prefix.size() + suffix.size() || text.compare(0, prefix.size(), prefix) != 0 ||
      text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return "";
  }
  const Text items = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
  for (std::size_t at = items.find(dirItem); at != Text::npos; at = items.find(dirItem, at + 1)) {
    Text file = items.substr(0, at), folder;
    if (FolderOf(file, folder) && folder == items.substr(at + dirItem.size())) return file;
  }
  return items;
}

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII letters fold; the second byte of a GBK character is compared as it stands.
bool EqualIgnoringAsciiCase(const Text& a, const Text& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (static_cast<unsigned char>(a[i]) >= 0x80) {
      if (a[i] != b[i]) return false;
      if (i + 1 < a.size()) {
        ++i;
        if (a[i] != b[i]) return false;
      }
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

void AppendColumn(sqlite3_stmt* stmt, int column, std::string& values) {
  const char* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  if (value == nullptr) return;
  // A value with a NUL byte (a blob) is cut there, as every Text is.
  const std::size_t size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, column));
  const void* nul = std::memchr(value, '\0', size);
  values.append(value, nul == nullptr ? size : static_cast<const char*>(nul) - value);
}

// ASCII is the same in UTF-8 and GBK; only other values need the converter.
Text ValueAsGbk(std::string_view utf8) {
  for (char c : utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) return ConvertUtf8ToGbk(std::string(utf8));
  }
  return Text(utf8);
}

}  // namespace

struct DatabaseUnit::Impl {
  UnitLock lock;
  DatabaseFileLock inUse;  // declared first: released after the connection closed
  SqliteConnection connection;
  std::map<int, RecordSet> recordSets;
  int lastHandle = 0;

  // A handle no open record set holds; handles count up so a closed one is not soon reused.
  int NewHandle() {
    do {
      lastHandle = lastHandle == INT_MAX ? 1 : lastHandle + 1;
    } while (recordSets.count(lastHandle) != 0);
    return lastHandle;
  }
  RecordSet* Find(int handle) {
    auto it = recordSets.find(handle);
    return it == recordSets.end() ? nullptr : &it->second;
  }
  void Close() {
    recordSets.clear();
    connection.Close();
    inUse.Release();
  }
};

DatabaseUnit::DatabaseUnit() : impl_(std::make_unique<Impl>()) {}
DatabaseUnit::~DatabaseUnit() = default;

bool OdbcOpen(DatabaseUnit& db, const Text& file) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  unit.Close();
  const Text target = OdbcFileOfConnectionText(OdbcConnectionText(file));
  if (target.empty()) return false;
  const std::string native = NativePath(target);
  unit.connection = SqliteConnection::OpenExisting(native);
  if (!unit.connection) return false;
  // Without the mark (a compaction elsewhere outlasted the wait) the connection still works:
  // the engine's own locks keep the file whole, only a compaction could then run beside it.
  DatabaseFileLock::TakeShared(native, DatabaseBusyTimeout(), unit.inUse);
  return true;
}

bool OdbcExecute(DatabaseUnit& db, const Text& sql) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  if (!unit.connection) return false;
  SqliteStatement statement =
      SqliteStatement::PrepareSingle(unit.connection.get(), ConvertGbkToUtf8(sql));
  if (!statement) return false;
  sqlite3_stmt* stmt = statement.get();
  int rc = sqlite3_step(stmt);
  if (sqlite3_stmt_readonly(stmt)) return rc == SQLITE_ROW || rc == SQLITE_DONE;
  while (rc == SQLITE_ROW) rc = sqlite3_step(stmt);
  return rc == SQLITE_DONE;
}

int OdbcQuery(DatabaseUnit& db, const Text& sql) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  if (!unit.connection || sql.empty()) return 0;
  if (unit.recordSets.size() >= static_cast<std::size_t>(kMaxOpenRecordSets)) return 0;
  SqliteStatement statement =
      SqliteStatement::PrepareSingle(unit.connection.get(), ConvertGbkToUtf8(sql));
  // A record set only reads: a statement that would write is refused before it runs.
  if (!statement || !sqlite3_stmt_readonly(statement.get())) return 0;
  sqlite3_stmt* stmt = statement.get();

  RecordSet set;
  const int columns = sqlite3_column_count(stmt);
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(stmt, c);
    set.columns.push_back(name == nullptr ? Text() : ConvertUtf8ToGbk(name));
  }
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      AppendColumn(stmt, c, set.values);
      set.ends.push_back(set.values.size());
    }
    ++set.rowCount;
  }
  // A lock that outlasted the busy timeout, or any error while stepping, fails the query: a
  // caller must not take a part of the rows for all of them.
  if (rc != SQLITE_DONE) return 0;
  const int handle = unit.NewHandle();
  unit.recordSets.emplace(handle, std::move(set));
  return handle;
}

bool OdbcIsEof(DatabaseUnit& db, int recordSet) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  const RecordSet* set = unit.Find(recordSet);
  return set == nullptr || set->position >= set->rowCount;
}

Text OdbcReadField(DatabaseUnit& db, int recordSet, const Text& column) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  const RecordSet* set = unit.Find(recordSet);
  if (set == nullptr || set->position >= set->rowCount) return "";
  const std::size_t count = set->columns.size();
  std::size_t found = count;
  for (std::size_t c = 0; c < count && found == count; ++c) {
    if (set->columns[c] == column) found = c;
  }
  for (std::size_t c = 0; c < count && found == count; ++c) {
    if (EqualIgnoringAsciiCase(set->columns[c], column)) found = c;
  }
  if (found == count) return "";
  return ValueAsGbk(set->Value(set->position, found));
}

void OdbcMoveNext(DatabaseUnit& db, int recordSet) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  RecordSet* set = unit.Find(recordSet);
  if (set != nullptr && set->position < set->rowCount) ++set->position;
}

void OdbcCloseRecordSet(DatabaseUnit& db, int recordSet) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  unit.recordSets.erase(recordSet);
}

void OdbcClose(DatabaseUnit& db) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  unit.Close();
}

bool OdbcIsOpen(DatabaseUnit& db) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  return static_cast<bool>(unit.connection);
}

bool OdbcTransaction(DatabaseUnit& db, const std::function<bool()>& body) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  if (!unit.connection || !body) return false;
  sqlite3* handle = unit.connection.get();
  // Inside a transaction of the same thread the body gets a savepoint of its own, so a nested
  // rollback undoes only its own statements.
  const bool nested = sqlite3_get_autocommit(handle) == 0;
  if (!SqliteRun(handle, nested ? "SAVEPOINT odbc_nested;" : "BEGIN IMMEDIATE;")) return false;

  // The body may have closed or reopened the unit; then no transaction of ours is left.
  auto ours = [&] { return unit.connection && unit.connection.get() == handle; };
  auto undo = [&] {
    if (!ours() || sqlite3_get_autocommit(handle) != 0) return;
    if (nested) {
      SqliteRun(handle, "ROLLBACK TO odbc_nested;");
      SqliteRun(handle, "RELEASE odbc_nested;");
    } else {
      SqliteRun(handle, "ROLLBACK;");
    }
  };
  bool keep;
  try {
    keep = body();
  } catch (...) {
    undo();
    throw;
  }
  if (!ours()) return false;
  if (keep && SqliteRun(handle, nested ? "RELEASE odbc_nested;" : "COMMIT;")) return true;
  undo();
  return false;
}

int OdbcWaitingThreads(DatabaseUnit& db) { return db.impl().lock.waiting(); }

sqlite3* OdbcEngineHandle(DatabaseUnit& db) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  return unit.connection.get();
}
