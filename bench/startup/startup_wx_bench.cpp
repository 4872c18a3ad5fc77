// Start-up with the real windows over the large library (10,000 directories, 100,000 entries),
// beside a bare wx program that fills the same tree from the same table through the engine's
// C API. Measured twice:
// - whole programs: each run starts this binary anew as a child that either runs the snippet
//   program's start (the main window, its tree loaded, the loop idle) or is the bare program
//   (frame, tree, rows, shown), and ends; the time is from the start of the process to its end,
//   toolkit start-up included, as a user waits for it;
// - in one process, the toolkit already up: the start again, beside the bare tree fill.
// Needs an X display (xvfb-run serves); without one it says so and measures nothing. Figures
// are printed with their baselines and ratios, never asserted.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <wx/evtloop.h>
#include <wx/treectrl.h>
#include <wx/wx.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "bench_library.h"
#include "ratio_report.h"
#include "resources/window_ids.h"
#include "runtime/codepage.h"
#include "runtime/random.h"
#include "runtime/threads.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "snippets/web_links_test_hooks.h"
#include "ui/ui.h"
#include "ui/wx/wx_backend.h"

extern char** environ;

namespace {

using namespace startup_bench;

// What a child run is, and the library's program folder it runs over.
constexpr const char* kChildVariable = "SNIPDOCK_BENCH_CHILD";
constexpr const char* kFolderVariable = "SNIPDOCK_BENCH_FOLDER";

bool StartedAndIdle() {
  SetWebServiceLinks({});  // the start of the library is measured, not the network's answers
  return StartSnippetProgram() && bench_program::PumpUntil([] {
           return ActiveThreadCount() == 0 && ui::TreeItemCount(MainWindow::DirectoryTree) == kDirectories;
         });
}

// The bare program's work: a frame of the main window's size holding one tree of the same
// place, style and font, filled with the rows of table `目录` read through the C API, then
// shown. The number of items it made.
template <typename ShowPending>
std::size_t FillBareTree(const std::string& file, ShowPending showPending) {
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  font.SetPixelSize(wxSize(0, 12));
  auto* frame = new wxFrame(nullptr, wxID_ANY, "bare tree", wxPoint(50, 50), wxSize(747, 512));
  auto* tree = new wxTreeCtrl(new wxPanel(frame), wxID_ANY, wxPoint(8, 32), wxSize(210, 448),
                              wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT | wxTR_SINGLE |
                                  wxTR_EDIT_LABELS | wxBORDER_SUNKEN);
  tree->SetFont(font);
  const wxTreeItemId root = tree->AddRoot(wxString());
  std::vector<wxTreeItemId> items;
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  const std::string sql = ConvertGbkToUtf8("SELECT * FROM `目录`");
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  }
  while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
    const char* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    const int parent = sqlite3_column_int(stmt, 1);
    benchmark::DoNotOptimize(sqlite3_column_text(stmt, 2));
    const wxTreeItemId under = parent >= 0 && parent < static_cast<int>(items.size()) ? items[parent] : root;
    items.push_back(tree->AppendItem(under, wxString::FromUTF8(name ? name : "")));
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  frame->Show();
  showPending();
  frame->Destroy();
  return items.size();
}

// A child run; its exit code tells whether it got where it should.
int RunChild(const std::string& kind, int argc, char** argv) {
  const char* folder = getenv(kFolderVariable);
  if (folder == nullptr) return 3;
  if (kind == "program") {
    SetRunDirectory(folder);
    if (!InstallWxBackend(argc, argv)) return 2;
    return StartedAndIdle() ? 0 : 1;
  }
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return 2;
  wxEventLoop loop;
  wxEventLoopActivator active(&loop);
  const std::size_t items =
      FillBareTree(NativePath(Text(folder) + "\\DATA.mdb"), [&loop] { loop.YieldFor(wxEVT_CATEGORY_ALL); });
  return items == static_cast<std::size_t>(kDirectories) ? 0 : 1;
}

std::string SelfPath() {
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  return length > 0 ? std::string(path.data(), length) : std::string();
}

// Starts this binary as a child of that kind over the large library and waits for its end.
void RunChildren(benchmark::State& state, const char* kind) {
  const std::string self = SelfPath();
  setenv(kFolderVariable, NativePath(TheLibrary().program).c_str(), 1);
  setenv(kChildVariable, kind, 1);
  for (auto _ : state) {
    char* argv[] = {const_cast<char*>(self.c_str()), nullptr};
    pid_t child = 0;
    int status = 0;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, environ) != 0 ||
        waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the child run did not get there");
      break;
    }
  }
  unsetenv(kChildVariable);
  state.counters["directories"] = kDirectories;
}

void BM_ProgramStartWx(benchmark::State& state) { RunChildren(state, "program"); }
BENCHMARK(BM_ProgramStartWx)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_BareWxProgram(benchmark::State& state) { RunChildren(state, "bare"); }
BENCHMARK(BM_BareWxProgram)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_StartupToIdleWx(benchmark::State& state) {
  const Library& library = TheLibrary();
  SetRunDirectory(library.program);
  for (auto _ : state) {
    const bool idle = StartedAndIdle();
    state.PauseTiming();
    if (!idle) state.SkipWithError("the tree did not load");
    ui::DestroyProgramWindow(MainWindow::Self);
    bench_program::PumpUntil([] { return !ui::IsCreated(MainWindow::Self); });
    OdbcClose(LibraryDatabase);
    state.ResumeTiming();
  }
  state.counters["directories"] = kDirectories;
  state.counters["library_MB"] = static_cast<double>(library.bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_StartupToIdleWx)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_BareWxTreeFill(benchmark::State& state) {
  const std::string file = NativePath(TheLibrary().DatabaseFile());
  std::size_t filled = 0;
  for (auto _ : state) {
    filled = FillBareTree(file, [] { ui::ProcessEvents(); });
    state.PauseTiming();
    ui::ProcessEvents();  // the frame's deferred deletion
    state.ResumeTiming();
  }
  if (filled != static_cast<std::size_t>(kDirectories)) state.SkipWithError("the bare tree was not filled");
  state.counters["directories"] = static_cast<double>(filled);
}
BENCHMARK(BM_BareWxTreeFill)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  if (const char* kind = getenv(kChildVariable)) {
    const int code = RunChild(kind, argc, argv);
    std::fflush(nullptr);
    std::_Exit(code);  // as the program ends: no clean-up of the toolkit or of workers
  }
  if (getenv("DISPLAY") == nullptr || !InstallWxBackend(argc, argv)) {
    std::printf("startup_wx_bench: no X display, nothing measured (run it under xvfb-run)\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  std::printf("library: %.1f MiB\n", TheLibrary().bytes / 1048576.0);  // made before any figure
  bench_report::RatioReporter reporter({
      {"BM_ProgramStartWx", "BM_BareWxProgram", 1.3},
      {"BM_StartupToIdleWx", "BM_BareWxTreeFill", 0},
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
