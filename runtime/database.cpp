// The database unit over SQLite: one connection, serialized by a recursive lock, and the
// snapshot record sets its queries open.
#include "runtime/database.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>
#include <vector>

#include "runtime/codepage.h"
#include "runtime/database_file_lock.h"
#include "runtime/database_test_hooks.h"
#include "runtime/files.h"
#include "runtime/sqlite_connection.h"

namespace {

// A recursive lock that also tells how many threads wait for it. The holder may enter again
// (a transaction's body runs statements on the same unit); every other thread waits. Every
// operation takes it, a listing tens of thousands of times, so the free case is one try_lock.
class UnitLock {
 public:
  void lock() {
    if (mutex_.try_lock()) return;
    waiting_.fetch_add(1);
    mutex_.lock();
    waiting_.fetch_sub(1);
  }
  void unlock() { mutex_.unlock(); }
  int waiting() const { return waiting_.load(); }

 private:
  std::recursive_mutex mutex_;
  std::atomic<int> waiting_{0};
};

// The values stay as the engine gives them (UTF-8) until a field is read: a listing reads a few
// columns of the rows it shows, so converting every value up front would be wasted. They are
// kept in blocks of fixed size, so a large result grows without copying what it holds.
class RecordSet {
 public:
  explicit RecordSet(std::vector<Text> columns) : columns_(std::move(columns)) {}

  const std::vector<Text>& columns() const { return columns_; }
  std::size_t rowCount() const { return rowCount_; }
  std::size_t position = 0;  // current row; rowCount() is past the end

  void AppendValue(const char* value, std::size_t size) {
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < size) {
      blocks_.emplace_back();
      blocks_.back().reserve(std::max(kBlockBytes, size));
    }
    std::string& block = blocks_.back();
    if (cells_.empty() || cells_.back().size() == kCellsPerChunk) {
      cells_.emplace_back();
      cells_.back().reserve(kCellsPerChunk);
    }
    cells_.back().push_back({static_cast<std::uint32_t>(blocks_.size() - 1),
                             static_cast<std::uint32_t>(block.size()),
                             static_cast<std::uint32_t>(size)});
    block.append(value, size);
  }
  void EndRow() { ++rowCount_; }

  std::string_view Value(std::size_t row, std::size_t column) const {
    const std::size_t at = row * columns_.size() + column;
    const Cell& cell = cells_[at / kCellsPerChunk][at % kCellsPerChunk];
    return std::string_view(blocks_[cell.block]).substr(cell.offset, cell.size);
  }

 private:
  // Below the allocator's threshold for a mapping of its own, so blocks are reused.
  static constexpr std::size_t kBlockBytes = 64 * 1024;
  static constexpr std::size_t kCellsPerChunk = 4096;
  struct Cell {
    std::uint32_t block, offset, size;  // NULL is an empty value
  };

  std::vector<Text> columns_;  // GBK column names, in statement order
  std::vector<std::string> blocks_;
  std::vector<std::vector<Cell>> cells_;
  std::size_t rowCount_ = 0;
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

void AppendColumn(sqlite3_stmt* stmt, int column, RecordSet& set) {
  const char* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  if (value == nullptr) {
    set.AppendValue("", 0);
    return;
  }
  // A value with a NUL byte (a blob) is cut there, as every Text is.
  const std::size_t size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, column));
  const void* nul = std::memchr(value, '\0', size);
  set.AppendValue(value, nul == nullptr ? size : static_cast<const char*>(nul) - value);
}

// The GBK form of each character of the Basic Multilingual Plane met so far, learnt from the
// converter one character at a time: 0 not yet known, kNoGbk none, else the GBK bytes (one byte
// below 0x100, two bytes above). Shared by all threads; a race only converts a character twice.
constexpr std::uint16_t kNoGbk = 0xFFFF;
std::atomic<std::uint16_t> gbkOfCharacter[0x10000];

std::uint16_t GbkOfCharacter(std::uint32_t character, std::string_view utf8) {
  std::uint16_t known = gbkOfCharacter[character].load(std::memory_order_relaxed);
  if (known != 0) return known;
  const Text gbk = ConvertUtf8ToGbk(std::string(utf8));
  known = kNoGbk;
  if (gbk.size() == 1 && gbk != "?") {
    known = static_cast<unsigned char>(gbk[0]);
  } else if (gbk.size() == 2) {
    known = static_cast<std::uint16_t>(static_cast<unsigned char>(gbk[0]) << 8 |
                                       static_cast<unsigned char>(gbk[1]));
  }
  gbkOfCharacter[character].store(known, std::memory_order_relaxed);
  return known;
}

// ASCII is the same in UTF-8 and GBK, and well-formed two- and three-byte characters that GBK
// holds come from the table; anything else (a character GBK lacks, a broken sequence, one of
// four bytes) goes through the converter whole, so the result is the converter's in every case.
Text ValueAsGbk(std::string_view utf8) {
  Text gbk;
  gbk.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      // ASCII stands as it is, a run at a time.
      const auto* run = p;
      while (p < end && *p < 0x80) ++p;
      gbk.append(reinterpret_cast<const char*>(run), p - run);
      continue;
    }
    std::uint32_t character;
    std::size_t length;
    if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
      character = (c & 0x1Fu) << 6 | (p[1] & 0x3Fu);
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF && end - p >= 3 && (p[1] & 0xC0) == 0x80 &&
               (p[2] & 0xC0) == 0x80) {
      character = (c & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      length = 3;
      // Overlong forms and surrogates are broken sequences.
      if (character < 0x800 || (character >= 0xD800 && character <= 0xDFFF)) {
        return ConvertUtf8ToGbk(std::string(utf8));
      }
    } else {
      return ConvertUtf8ToGbk(std::string(utf8));
    }
    const std::uint16_t known =
        GbkOfCharacter(character, std::string_view(reinterpret_cast<const char*>(p), length));
    if (known == kNoGbk) return ConvertUtf8ToGbk(std::string(utf8));
    if (known >= 0x100) gbk.push_back(static_cast<char>(known >> 8));
    gbk.push_back(static_cast<char>(known & 0xFF));
    p += length;
  }
  return gbk;
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

int OdbcExecuteCounted(DatabaseUnit& db, const Text& sql) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  if (!unit.connection) return -1;
  sqlite3* handle = unit.connection.get();
  SqliteStatement statement = SqliteStatement::PrepareSingle(handle, ConvertGbkToUtf8(sql));
  if (!statement) return -1;
  sqlite3_stmt* stmt = statement.get();
  const long long before = sqlite3_total_changes64(handle);
  int rc = sqlite3_step(stmt);
  // A reading statement has shown that it runs once it gave its first row.
  if (sqlite3_stmt_readonly(stmt)) return (rc == SQLITE_ROW || rc == SQLITE_DONE) ? 0 : -1;
  while (rc == SQLITE_ROW) rc = sqlite3_step(stmt);
  if (rc != SQLITE_DONE) return -1;
  return static_cast<int>(sqlite3_total_changes64(handle) - before);
}

bool OdbcExecute(DatabaseUnit& db, const Text& sql) { return OdbcExecuteCounted(db, sql) >= 0; }

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

  const int columns = sqlite3_column_count(stmt);
  std::vector<Text> names;
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(stmt, c);
    names.push_back(name == nullptr ? Text() : ConvertUtf8ToGbk(name));
  }
  RecordSet set(std::move(names));
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) AppendColumn(stmt, c, set);
    set.EndRow();
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
  return set == nullptr || set->position >= set->rowCount();
}

namespace {

// The position of column in the set's columns: exactly as named, else ignoring ASCII case;
// the column count for none.
std::size_t ColumnIndex(const RecordSet& set, const Text& column) {
  const std::vector<Text>& columns = set.columns();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (columns[c] == column) return c;
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (EqualIgnoringAsciiCase(columns[c], column)) return c;
  }
  return columns.size();
}

}  // namespace

std::size_t OdbcRowsLeft(DatabaseUnit& db, int recordSet) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  const RecordSet* set = unit.Find(recordSet);
  return set == nullptr ? 0 : set->rowCount() - set->position;
}

Text OdbcReadField(DatabaseUnit& db, int recordSet, const Text& column) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  const RecordSet* set = unit.Find(recordSet);
  if (set == nullptr || set->position >= set->rowCount()) return "";
  const std::size_t found = ColumnIndex(*set, column);
  if (found == set->columns().size()) return "";
  return ValueAsGbk(set->Value(set->position, found));
}

void OdbcReadRows(DatabaseUnit& db, int recordSet, const std::vector<Text>& columns,
                  const std::function<void(std::vector<Text>& values)>& row, std::size_t maxRows) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  RecordSet* set = unit.Find(recordSet);
  if (set == nullptr) return;
  std::vector<std::size_t> found;
  for (const Text& column : columns) found.push_back(ColumnIndex(*set, column));
  std::vector<Text> values(columns.size());
  for (std::size_t read = 0; read < maxRows && set->position < set->rowCount(); ++read, ++set->position) {
    for (std::size_t c = 0; c < found.size(); ++c) {
      const bool known = found[c] < set->columns().size();
      values[c] = known ? ValueAsGbk(set->Value(set->position, found[c])) : Text();
    }
    row(values);
  }
}

void OdbcMoveNext(DatabaseUnit& db, int recordSet) {
  DatabaseUnit::Impl& unit = db.impl();
  std::lock_guard<UnitLock> hold(unit.lock);
  RecordSet* set = unit.Find(recordSet);
  if (set != nullptr && set->position < set->rowCount()) ++set->position;
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
