// Start-up to an idle message loop, headless: over the large library beside the same start over
// an empty one; over the large library with a quarter of its pages free (the start compacts it)
// beside the engine's own VACUUM of that file; and the save of the large tree. Figures are
// printed with their baselines and ratios, never asserted.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>

#include "bench_library.h"
#include "ratio_report.h"
#include "resources/window_ids.h"
#include "snippets/directory_tree.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
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
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
