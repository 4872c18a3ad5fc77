// Owners of SQLite handles and the single-statement preparation.
#include "runtime/sqlite_connection.h"

#include "runtime/database_test_hooks.h"

#include <sqlite3.h>

#include <atomic>
#include <utility>

namespace {

// How long a statement waits for a lock that another process holds on the same file.
std::atomic<int> busyTimeoutMs{kDatabaseBusyTimeoutMs};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// True when [p, end) holds nothing but blanks, semicolons and comments.
bool OnlyBlanksLeft(const char* p, const char* end) {
  while (p < end) {
    if (IsBlank(*p) || *p == ';') {
      ++p;
    } else if (*p == '-' && p + 1 < end && p[1] == '-') {
      while (p < end && *p != '\n') ++p;
    } else if (*p == '/' && p + 1 < end && p[1] == '*') {
      p += 2;
      while (p < end && !(*p == '*' && p + 1 < end && p[1] == '/')) ++p;
      p = p < end ? p + 2 : end;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

SqliteConnection::~SqliteConnection() { Close(); }

SqliteConnection::SqliteConnection(SqliteConnection&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)) {}

SqliteConnection& SqliteConnection::operator=(SqliteConnection&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

void SqliteConnection::Close() {
  // sqlite3_close_v2 frees the handle even while a statement is still unfinalized.
  if (db_ != nullptr) sqlite3_close_v2(std::exchange(db_, nullptr));
}

SqliteConnection SqliteConnection::OpenExisting(const std::string& nativePath) {
  if (nativePath.empty()) return {};
  sqlite3* raw = nullptr;
  // One thread at a time uses a connection (the database unit serializes its users), so the
  // engine's own lock around every call, a listing's hundreds of thousands, is left out.
  int rc = sqlite3_open_v2(nativePath.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  SqliteConnection connection(raw);  // owns the handle even when the open failed
  if (rc != SQLITE_OK) return {};
  sqlite3_busy_timeout(raw, busyTimeoutMs.load());
  // Opening is lazy: only reading the schema tells a database from any other file.
  if (!SqliteRun(raw, "PRAGMA schema_version;") || !SchemaIntact(raw)) return {};
  return connection;
}

// The schema's own pages are checked (cell layout, free space, order: a few pages however large
// the file), and a schema that lists nothing while the file holds pages in use has lost its
// entries. Either way the file would read as an empty library, and the next save would write
// over what is left of it. A full check would read every page of the file.
bool SchemaIntact(sqlite3* db) {
  std::string check;
  if (!SqliteQueryText(db, "PRAGMA quick_check(sqlite_schema);", check) || check != "ok") {
    return false;
  }
  std::string entries, pages, freePages, autoVacuum;
  if (!SqliteQueryText(db, "SELECT count(*) FROM sqlite_schema;", entries) ||
      !SqliteQueryText(db, "PRAGMA page_count;", pages) ||
      !SqliteQueryText(db, "PRAGMA freelist_count;", freePages) ||
      !SqliteQueryText(db, "PRAGMA auto_vacuum;", autoVacuum)) {
    return false;
  }
  if (std::stoll(entries) > 0) return true;
  // Page 1 holds the schema; with auto-vacuum a pointer-map page follows it.
  const long long bookkeeping = autoVacuum == "0" ? 1 : 2;
  return std::stoll(pages) - std::stoll(freePages) <= bookkeeping;
}

SqliteStatement::~SqliteStatement() {
  if (stmt_ != nullptr) sqlite3_finalize(stmt_);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    if (stmt_ != nullptr) sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
  }
  return *this;
}

SqliteStatement SqliteStatement::PrepareSingle(sqlite3* db, const std::string& utf8) {
  if (db == nullptr || utf8.empty()) return {};
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db, utf8.data(), static_cast<int>(utf8.size()), &raw, &tail);
  SqliteStatement statement(raw);
  if (rc != SQLITE_OK || raw == nullptr) return {};
  // A second statement is refused whole, so no value can smuggle one in after the first.
  if (!OnlyBlanksLeft(tail, utf8.data() + utf8.size())) return {};
  return statement;
}

bool SqliteRun(sqlite3* db, const std::string& utf8) {
  SqliteStatement statement = SqliteStatement::PrepareSingle(db, utf8);
  if (!statement) return false;
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
  }
  return rc == SQLITE_DONE;
}

bool SqliteQueryText(sqlite3* db, const std::string& utf8, std::string& value) {
  SqliteStatement statement = SqliteStatement::PrepareSingle(db, utf8);
  if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) return false;
  const unsigned char* text = sqlite3_column_text(statement.get(), 0);
  value = text == nullptr ? std::string() : reinterpret_cast<const char*>(text);
  return true;
}

void SetDatabaseBusyTimeout(int milliseconds) { busyTimeoutMs.store(milliseconds); }
int DatabaseBusyTimeout() { return busyTimeoutMs.load(); }
