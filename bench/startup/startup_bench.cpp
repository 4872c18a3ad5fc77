// Start-up to an idle message loop, headless: over the large library beside the same start over
// an empty one; over the large library with a quarter of its pages free (the start compacts it)
// beside the engine's own VACUUM of that file; the tree's load beside the engine's SELECT of
// its table; and the save of the large tree. Figures are printed with their baselines and
// ratios, never asserted.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>

#include "bench_library.h"
#include "ratio_report.h"
#include "resources/window_ids.h"
#include "runtime/codepage.h"
#include "snippets/directory_tree.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "snippets/web_links_test_hooks.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

using namespace startup_bench;

Library& EmptyLibrary() {
  static Library library(LibraryKind::kEmpty);
  return library;
}

// The fragmented library stays as made; each run starts on a fresh copy of it.
Library& FragmentedLibrary() {
  static Library library(LibraryKind::kLargeWithFreePages);
  static const bool kept = CopyFileOver(library.DatabaseFile(), library.DatabaseFile() + ".made");
  (void)kept;
  return library;
}

void RestoreFragmented() {
  const Library& library = FragmentedLibrary();
  CopyFileOver(library.DatabaseFile() + ".made", library.DatabaseFile());
}

void StartProgram(const Library& library) {
  ui::headless::Install();
  SetWebServiceLinks({});  // the start of the library is measured, not the network's answers
  SetRunDirectory(library.program);
  StartSnippetProgram();
  ui::headless::WaitIdle();
}

void StopProgram() {
  OdbcClose(LibraryDatabase);
  ui::headless::Uninstall();
}

void RunStartups(benchmark::State& state, const Library& library, int directories,
                 bool fragmented) {
  for (auto _ : state) {
    if (fragmented) {
      state.PauseTiming();
      RestoreFragmented();
      state.ResumeTiming();
    }
    StartProgram(library);
    state.PauseTiming();
    if (ui::TreeItemCount(MainWindow::DirectoryTree) != directories) {
      state.SkipWithError("the tree did not load");
    }
    StopProgram();
    state.ResumeTiming();
  }
  state.counters["directories"] = directories;
  state.counters["library_MB"] = static_cast<double>(library.bytes) / (1024.0 * 1024.0);
}

void BM_StartupToIdle(benchmark::State& state) {
  RunStartups(state, TheLibrary(), kDirectories, false);
}
BENCHMARK(BM_StartupToIdle)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_StartupToIdleEmptyLibrary(benchmark::State& state) {
  RunStartups(state, EmptyLibrary(), 0, false);
}
BENCHMARK(BM_StartupToIdleEmptyLibrary)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_StartupCompactingFreePages(benchmark::State& state) {
  RunStartups(state, FragmentedLibrary(), kDirectories, true);
}
BENCHMARK(BM_StartupCompactingFreePages)->Unit(benchmark::kMillisecond)->Iterations(5);

// The engine alone: open the same fragmented file, VACUUM it, close.
void BM_EngineVacuum(benchmark::State& state) {
  const std::string file = NativePath(FragmentedLibrary().DatabaseFile());
  for (auto _ : state) {
    state.PauseTiming();
    RestoreFragmented();
    state.ResumeTiming();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "VACUUM;", nullptr, nullptr, nullptr) != SQLITE_OK) {
      state.SkipWithError("VACUUM failed");
    }
    sqlite3_close(db);
  }
}
BENCHMARK(BM_EngineVacuum)->Unit(benchmark::kMillisecond)->Iterations(5);

// What the tree of 10,000 directories adds to a start: its load (the table's query, the rows
// read, the tree filled) in a started program, beside the same SELECT through the C API on a
// connection of its own, every column of every row read.
void BM_LoadTree(benchmark::State& state) {
  StartProgram(TheLibrary());
  for (auto _ : state) LoadDirectoryTree();
  if (ui::TreeItemCount(MainWindow::DirectoryTree) != kDirectories) {
    state.SkipWithError("the tree did not load");
  }
  StopProgram();
}
BENCHMARK(BM_LoadTree)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_EngineSelectDirectories(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(NativePath(TheLibrary().DatabaseFile()).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  const std::string sql = ConvertGbkToUtf8("SELECT * FROM `目录`");
  int rows = 0;
  for (auto _ : state) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    for (rows = 0; sqlite3_step(stmt) == SQLITE_ROW; ++rows) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
        benchmark::DoNotOptimize(sqlite3_column_bytes(stmt, c));
      }
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  if (rows != kDirectories) state.SkipWithError("the table was not read");
}
BENCHMARK(BM_EngineSelectDirectories)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_SaveTree(benchmark::State& state) {
  StartProgram(TheLibrary());
  int saved = 0;
  for (auto _ : state) saved = SaveDirectoryTree();
  if (saved != kDirectories) state.SkipWithError("the tree was not saved");
  state.counters["rows"] = saved;
  state.SetItemsProcessed(state.iterations() * saved);
  StopProgram();
}
BENCHMARK(BM_SaveTree)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // The libraries are made before any figure is taken.
  std::printf("libraries: large %.1f MiB, with free pages %.1f MiB, empty %.1f KiB\n",
              TheLibrary().bytes / 1048576.0, FragmentedLibrary().bytes / 1048576.0,
              EmptyLibrary().bytes / 1024.0);
  bench_report::RatioReporter reporter({
      {"BM_StartupToIdle", "BM_StartupToIdleEmptyLibrary", 3.0},
      {"BM_StartupCompactingFreePages", "BM_EngineVacuum", 1.3},
      {"BM_LoadTree", "BM_EngineSelectDirectories", 0},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
