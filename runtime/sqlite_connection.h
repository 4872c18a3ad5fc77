// Move-only owners of SQLite handles, shared by the database unit and the compaction. The C
// header stays in the .cpp files.
#pragma once

#include <string>

struct sqlite3;
struct sqlite3_stmt;

class SqliteConnection {
 public:
  SqliteConnection() = default;
  ~SqliteConnection();
  SqliteConnection(SqliteConnection&& other) noexcept;
  SqliteConnection& operator=(SqliteConnection&& other) noexcept;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  // Opens an existing database file for reading and writing, never creating one, and checks
  // that it really is a database with an intact schema; any other file is left untouched.
  static SqliteConnection OpenExisting(const std::string& nativePath);

  explicit operator bool() const { return db_ != nullptr; }
  sqlite3* get() const { return db_; }
  void Close();

 private:
  explicit SqliteConnection(sqlite3* db) : db_(db) {}
  sqlite3* db_ = nullptr;
};

class SqliteStatement {
 public:
  SqliteStatement() = default;
  explicit SqliteStatement(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Prepares exactly one statement of utf8; an empty result when the text holds none, holds an
  // error, or holds anything but blanks, semicolons and comments after the first statement.
  static SqliteStatement PrepareSingle(sqlite3* db, const std::string& utf8);

  explicit operator bool() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Runs a statement that returns no rows of interest; true when it ran to its end.
bool SqliteRun(sqlite3* db, const std::string& utf8);
// The first column of the first row of a statement; false when it gives no row.
bool SqliteQueryText(sqlite3* db, const std::string& utf8, std::string& value);
// False for a file whose schema the engine reports damaged (see the .cpp for what is checked).
bool SchemaIntact(sqlite3* db);

// How long a statement of a connection opened later waits for a lock another process holds.
constexpr int kDatabaseBusyTimeoutMs = 5000;
int DatabaseBusyTimeout();
