// What the program benchmarks share: a program folder of their own beside a temporary folder of
// their own, the waits for a condition or until no worker runs (real windows), and the engine baseline that steps a
// statement to its end reading every column as text.
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "resources/resources.h"
#include "runtime/clock.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/threads.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "ui/ui.h"

namespace bench_program {

// <temp>/snipdock-bench-*/program and tmp; TMPDIR and the run directory point at them until
// the folder is removed with the object.
class ProgramFolder {
 public:
  ProgramFolder() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/snipdock-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) return;
    base_ = pattern;
    std::filesystem::create_directory(base_ / "program");
    std::filesystem::create_directory(base_ / "tmp");
    setenv("TMPDIR", (base_ / "tmp").c_str(), 1);
    SetRunDirectory(PathFromNative((base_ / "program").string()));
  }
  ~ProgramFolder() {
    std::error_code ec;
    if (!base_.empty()) std::filesystem::remove_all(base_, ec);
  }
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;
  bool made() const { return !base_.empty(); }

 private:
  std::filesystem::path base_;
};

// Handles window events until condition holds; false after a minute without it. The events
// are handled as they come, as the program's own loop handles them, rather than in pumps of a
// millisecond, which would add up to one to every figure.
template <typename Condition>
bool PumpUntil(Condition condition) {
  const std::uint64_t end = MonotonicMilliseconds() + 60000;
  while (!condition()) {
    if (MonotonicMilliseconds() > end) return false;
    ui::ProcessEvents();
  }
  ui::ProcessEvents();
  return true;
}

// Handles window events until no worker runs (a minute at most).
inline void PumpUntilNoWorker() {
  PumpUntil([] { return ActiveThreadCount() == 0; });
}

// Steps the UTF-8 statement to its end, every column of every row read as text; the rows.
inline int StepAllRowsAsText(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  int rows = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const unsigned char* volatile text = sqlite3_column_text(stmt, c);
      const volatile int bytes = sqlite3_column_bytes(stmt, c);
      (void)text;
      (void)bytes;
    }
    ++rows;
  }
  sqlite3_finalize(stmt);
  return rows;
}

// An entry's file id from its number: 15 letters.
inline Text EntryFileId(int i) {
  Text id(15, 'A');
  for (int pos = 14; pos >= 0 && i > 0; --pos, i /= 26) id[pos] = static_cast<char>('A' + i % 26);
  return id;
}

// With a backend installed: registers the windows, binds the program's handlers, prepares the
// library and runs the benchmarks (with reporter when given); afterwards waits for the workers
// and closes the library. The exit code.
inline int RunOverProgram(const std::function<bool()>& prepare, benchmark::BenchmarkReporter* reporter,
                          const std::function<void()>& settle) {
  RegisterAllWindowDefinitions();
  BindSnippetHandlers();
  int code = 0;
  if (!prepare()) {
    std::fprintf(stderr, "could not prepare the benchmark library\n");
    code = 1;
  } else if (reporter != nullptr) {
    benchmark::RunSpecifiedBenchmarks(reporter);
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  settle();
  OdbcClose(LibraryDatabase);
  return code;
}

}  // namespace bench_program
