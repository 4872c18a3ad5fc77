// Start-up to an idle message loop over the large library with the real windows: the main
// window and its 5,000 tree items realized as widgets. Needs an X display (xvfb-run serves);
// without one it says so and measures nothing. Figures are printed, never asserted.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>

#include "bench_library.h"
#include "resources/window_ids.h"
#include "runtime/random.h"
#include "runtime/threads.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "ui/ui.h"
#include "ui/wx/wx_backend.h"

namespace {

using namespace startup_bench;

// Handles window events until condition holds; false after a minute without it.
template <typename Condition>
bool PumpUntil(Condition condition) {
  const std::uint64_t end = MonotonicMilliseconds() + 60000;
  while (!condition()) {
    if (MonotonicMilliseconds() > end) return false;
    ui::DelayPumping(1);
  }
  ui::ProcessEvents();
  return true;
}

void BM_StartupToIdleWx(benchmark::State& state) {
  const Library& library = TheLibrary();
  SetRunDirectory(library.program);
  for (auto _ : state) {
    StartSnippetProgram();
    const bool idle = PumpUntil([] {
      return ActiveThreadCount() == 0 &&
             ui::TreeItemCount(MainWindow::DirectoryTree) == kDirectories;
    });
    state.PauseTiming();
    if (!idle) state.SkipWithError("the tree did not load");
    ui::DestroyProgramWindow(MainWindow::Self);
    PumpUntil([] { return !ui::IsCreated(MainWindow::Self); });
    OdbcClose(LibraryDatabase);
    state.ResumeTiming();
  }
  state.counters["directories"] = kDirectories;
  state.counters["library_MB"] = static_cast<double>(library.bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_StartupToIdleWx)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (getenv("DISPLAY") == nullptr || !InstallWxBackend(argc, argv)) {
    std::printf("startup_wx_bench: no X display, nothing measured (run it under xvfb-run)\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
