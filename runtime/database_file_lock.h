// The "in use" mark of a database file, across processes: every open library connection holds
// a shared mark for its lifetime, and the compaction runs only under the exclusive one, so it
// never rewrites a file that another instance (or another unit of this one) has open. The
// engine's own locks are held only during a statement; this mark covers an idle connection too.
#pragma once

#include <string>

class DatabaseFileLock {
 public:
  enum class Result {
    kTaken,
    kInUse,       // another holder has the file (for exclusive: any other connection)
    kReadOnly,    // the file may not be written, or has no write permission bit (exclusive only)
    kNotOpened,   // missing, a folder, or not openable
  };

  DatabaseFileLock() = default;
  ~DatabaseFileLock();
  DatabaseFileLock(DatabaseFileLock&& other) noexcept;
  DatabaseFileLock& operator=(DatabaseFileLock&& other) noexcept;
  DatabaseFileLock(const DatabaseFileLock&) = delete;
  DatabaseFileLock& operator=(const DatabaseFileLock&) = delete;

  // A shared mark; waits up to waitMs while an exclusive holder (a compaction) has the file.
  static Result TakeShared(const std::string& nativePath, int waitMs, DatabaseFileLock& lock);
  // The exclusive mark; never waits.
  static Result TakeExclusive(const std::string& nativePath, DatabaseFileLock& lock);

  explicit operator bool() const { return entry_ != nullptr; }
  void Release();

  struct Entry;

 private:
  Entry* entry_ = nullptr;
};
