// Inserting 100,000 entries and the two listing queries on them; opening that library (with
// its schema check) beside the engine's bare open and its full quick_check.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench/startup/ratio_report.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace {

constexpr int kRows = 100000;
constexpr int kTags = 100;

const Text kCreateEntryTable =
    "CREATE TABLE `内含信息` (`路径` VARCHAR(255),`名称` VARCHAR(255),`使用方法` VARCHAR(255) "
    ",`说明` VARCHAR(255),`图片` VARCHAR(255) ,`例程` VARCHAR(255),`标记` VARCHAR(255));";

// One entry as the editor writes it; every tenth name holds an "x".
Text InsertEntry(int i) {
  const Text id = ToText(i);
  const Text name = (i % 10 == 0 ? "函数x" : "函数") + id;
  return "INSERT INTO `内含信息`  (`路径`, `名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`)  VALUES ('/常用/"
         "字符串','" + name + "' , '\\DATA\\方法\\" + id + ".txt', '取出文本中间的一段，按位置和长度" +
         "','\\DATA\\图片\\" + id + ".jpg','\\DATA\\例程\\" + id + ".zip' ,'" + ToText(i % kTags) +
         "');";
}

class BenchFolder {
 public:
  BenchFolder() {
    path_ = std::filesystem::temp_directory_path() / ("snipdock_db_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(path_);
  }
  ~BenchFolder() { std::filesystem::remove_all(path_); }
  Text NewDatabase(const std::string& name) {
    const Text file = (path_ / name).string();
    RemoveFile(file);
    WriteFileBytes(file, Bytes());
    return file;
  }

 private:
  std::filesystem::path path_;
};

BenchFolder& Folder() {
  static BenchFolder folder;
  return folder;
}

bool FillTable(DatabaseUnit& db, int rows) {
  return OdbcTransaction(db, [&] {
    for (int i = 0; i < rows; ++i) {
      if (!OdbcExecute(db, InsertEntry(i))) return false;
    }
    return true;
  });
}

Text& FullLibraryFile() {
  static Text file = Folder().NewDatabase("full.mdb");
  return file;
}

// The full table, built once for the query benchmarks.
DatabaseUnit& FullLibrary() {
  static DatabaseUnit db;
  static bool ready = [] {
    return OdbcOpen(db, FullLibraryFile()) && OdbcExecute(db, kCreateEntryTable) &&
           FillTable(db, kRows);
  }();
  (void)ready;
  return db;
}

void BM_InsertAllRowsInOneTransaction(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    DatabaseUnit db;
    if (!OdbcOpen(db, Folder().NewDatabase("insert.mdb")) || !OdbcExecute(db, kCreateEntryTable)) {
      state.SkipWithError("no database");
      return;
    }
    state.ResumeTiming();
    if (!FillTable(db, kRows)) state.SkipWithError("insert failed");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_InsertAllRowsInOneTransaction)->Unit(benchmark::kMillisecond)->Iterations(3);

// Each INSERT its own transaction, as a save without one writes: the per-statement figure.
void BM_InsertOneStatementEach(benchmark::State& state) {
  DatabaseUnit db;
  if (!OdbcOpen(db, Folder().NewDatabase("single.mdb")) || !OdbcExecute(db, kCreateEntryTable)) {
    state.SkipWithError("no database");
    return;
  }
  int i = 0;
  for (auto _ : state) {
    if (!OdbcExecute(db, InsertEntry(i++))) state.SkipWithError("insert failed");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InsertOneStatementEach)->Unit(benchmark::kMicrosecond)->Iterations(500);

void RunQuery(benchmark::State& state, const Text& sql) {
  DatabaseUnit& db = FullLibrary();
  std::size_t rows = 0;
  for (auto _ : state) {
    const int rs = OdbcQuery(db, sql);
    if (rs == 0) {
      state.SkipWithError("query failed");
      return;
    }
    rows = 0;
    for (; !OdbcIsEof(db, rs); OdbcMoveNext(db, rs)) {
      benchmark::DoNotOptimize(OdbcReadField(db, rs, "名称"));
      ++rows;
    }
    OdbcCloseRecordSet(db, rs);
  }
  state.counters["rows"] = static_cast<double>(rows);
}

void BM_SearchNameLike(benchmark::State& state) {
  RunQuery(state, "SELECT * FROM 内含信息 WHERE 名称 LIKE '%x%';");
}
BENCHMARK(BM_SearchNameLike)->Unit(benchmark::kMillisecond);

void BM_ListDirectoryByTag(benchmark::State& state) {
  RunQuery(state, "SELECT * FROM `内含信息` WHERE  `标记`='42';");
}
BENCHMARK(BM_ListDirectoryByTag)->Unit(benchmark::kMillisecond);

// The open the start-up makes: the file's schema checked and the in-use mark taken.
void BM_OpenLargeLibrary(benchmark::State& state) {
  FullLibrary();
  DatabaseUnit db;
  for (auto _ : state) {
    if (!OdbcOpen(db, FullLibraryFile())) state.SkipWithError("no open");
    OdbcClose(db);
  }
}
BENCHMARK(BM_OpenLargeLibrary)->Unit(benchmark::kMicrosecond);

// The engine's own open, made real by reading the schema.
void BM_EngineOpen(benchmark::State& state) {
  FullLibrary();
  const std::string file = NativePath(FullLibraryFile());
  for (auto _ : state) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "PRAGMA schema_version;", nullptr, nullptr, nullptr) != SQLITE_OK) {
      state.SkipWithError("no open");
    }
    sqlite3_close(db);
  }
}
BENCHMARK(BM_EngineOpen)->Unit(benchmark::kMicrosecond);

// What a check of every page would cost at each start instead.
void BM_EngineOpenWithFullQuickCheck(benchmark::State& state) {
  FullLibrary();
  const std::string file = NativePath(FullLibraryFile());
  for (auto _ : state) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "PRAGMA quick_check;", nullptr, nullptr, nullptr) != SQLITE_OK) {
      state.SkipWithError("no check");
    }
    sqlite3_close(db);
  }
  state.counters["library_MB"] =
      static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
}
BENCHMARK(BM_EngineOpenWithFullQuickCheck)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench_report::RatioReporter reporter({
      {"BM_OpenLargeLibrary", "BM_EngineOpen", 0},
      {"BM_EngineOpenWithFullQuickCheck", "BM_EngineOpen", 0},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
