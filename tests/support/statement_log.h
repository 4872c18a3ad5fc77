// What a database unit hands to the engine, for tests that pin the exact statements.
#pragma once

#include <sqlite3.h>

#include <mutex>
#include <vector>

#include "runtime/codepage.h"
#include "runtime/database.h"
#include "runtime/database_test_hooks.h"
#include "runtime/text.h"

// Every statement the unit hands to the engine, as the program wrote it (GBK).
class StatementLog {
 public:
  explicit StatementLog(DatabaseUnit& db) : db_(OdbcEngineHandle(db)) {
    sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, &StatementLog::Trace, this);
  }
  ~StatementLog() { sqlite3_trace_v2(db_, 0, nullptr, nullptr); }
  std::vector<Text> Taken() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Text> taken;
    taken.swap(statements_);
    return taken;
  }

 private:
  static int Trace(unsigned, void* self, void* statement, void*) {
    auto* log = static_cast<StatementLog*>(self);
    const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
    std::lock_guard<std::mutex> lock(log->mutex_);
    if (sql != nullptr) log->statements_.push_back(ConvertUtf8ToGbk(sql));
    return 0;
  }
  sqlite3* db_;
  std::mutex mutex_;
  std::vector<Text> statements_;
};
