// Start-up to an idle message loop over the large library, and the save of its 5,000-directory
// tree, headless. Figures are printed, never asserted.
#include <benchmark/benchmark.h>

#include "bench_library.h"
#include "resources/window_ids.h"
#include "snippets/directory_tree.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

using namespace startup_bench;

void StartProgram() {
  ui::headless::Install();
  SetRunDirectory(TheLibrary().program);
  StartSnippetProgram();
  ui::headless::WaitIdle();
}

void StopProgram() {
  OdbcClose(LibraryDatabase);
  ui::headless::Uninstall();
}

void BM_StartupToIdle(benchmark::State& state) {
  const Library& library = TheLibrary();
  for (auto _ : state) {
    StartProgram();
    state.PauseTiming();
    if (ui::TreeItemCount(MainWindow::DirectoryTree) != kDirectories) {
      state.SkipWithError("the tree did not load");
    }
    StopProgram();
    state.ResumeTiming();
  }
  state.counters["directories"] = kDirectories;
  state.counters["library_MB"] = static_cast<double>(library.bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_StartupToIdle)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SaveTree(benchmark::State& state) {
  TheLibrary();
  StartProgram();
  int saved = 0;
  for (auto _ : state) saved = SaveDirectoryTree();
  if (saved != kDirectories) state.SkipWithError("the tree was not saved");
  state.counters["rows"] = saved;
  state.SetItemsProcessed(state.iterations() * saved);
  StopProgram();
}
BENCHMARK(BM_SaveTree)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
