// Benchmark of the search: 100,000 entries, the keyword in the names of 0.5 % and in the
// descriptions of another 0.5 %, all three fields checked. The figure runs from the click to the
// last row in the list; the baseline runs the same three statements through the engine's C API
// on a connection of its own, every column of every row read as text. Headless, or with the real
// windows when built as search_wx_bench (run it under xvfb-run); both print the engine baseline
// and the ratio.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "bench/bench_program.h"
#include "bench/startup/ratio_report.h"
#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/codepage.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "snippets/entry_editor.h"
#include "snippets/entry_list.h"
#include "snippets/entry_search.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "ui/ui.h"
#ifdef SEARCH_BENCH_WX
#include "ui/wx/wx_backend.h"
#else
#include "ui/headless/headless.h"
#endif

namespace {

constexpr int kEntries = 100000;
constexpr int kMatchEvery = 200;  // one name and one description match in every 200 entries
const Text kKeyword = "匹配词";

#ifdef SEARCH_BENCH_WX
void Settle() { bench_program::PumpUntilNoWorker(); }
void UserClicksSearch() { MainWindow_SearchButton_OnClick(); }
#else
void Settle() { ui::headless::WaitIdle(); }
void UserClicksSearch() { ui::headless::Click(MainWindow::SearchButton); }
#endif

bool InsertEntry(int i) {
  const Text id = bench_program::EntryFileId(i);
  const Text name = "条目" + ToText(i) + (i % kMatchEvery == 0 ? kKeyword : Text());
  const Text description = "说明" + ToText(i) + (i % kMatchEvery == kMatchEvery / 2 ? kKeyword : Text());
  return OdbcExecute(LibraryDatabase,
                     "INSERT INTO `内含信息` (`路径`,`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) VALUES ('/b','" +
                         name + "','\\DATA\\方法\\" + id + ".txt','" + description + "','\\DATA\\图片\\" + id +
                         ".jpg','\\DATA\\例程\\" + id + ".cpp','" + ToText(3000 + i % 9000) + "');");
}

bool PrepareLibrary() {
  // A library file from the start: its absence would ask the user first.
  if (!WriteFileBytes(GetRunDirectory() + "\\DATA.mdb", EmptyDatabaseTemplate())) return false;
  if (!StartSnippetProgram()) return false;
  Settle();
  EnsureDataFolders();
  if (!OdbcTransaction(LibraryDatabase, [] {
        for (int i = 0; i < kEntries; ++i) {
          if (!InsertEntry(i)) return false;
        }
        return true;
      })) {
    return false;
  }
  ui::SetText(MainWindow::SearchBox, kKeyword);
  for (ui::ControlRef check : {MainWindow::SearchNameCheck, MainWindow::SearchDescriptionCheck,
                               MainWindow::SearchUsageCheck}) {
    ui::SetChecked(check, true);
  }
  return true;
}

void BM_SearchThreeFields(benchmark::State& state) {
  for (auto _ : state) {
    UserClicksSearch();
    Settle();
  }
  state.counters["rows"] = ui::ListRowCount(MainWindow::EntryListView);
}
BENCHMARK(BM_SearchThreeFields)->Unit(benchmark::kMillisecond);

void BM_SearchStatementsEngineOnly(benchmark::State& state) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(NativePath(GetRunDirectory() + "\\DATA.mdb").c_str(), &db, SQLITE_OPEN_READWRITE,
                      nullptr) != SQLITE_OK) {
    state.SkipWithError("no database");
  }
  std::string statements[3];
  const SearchField fields[] = {SearchField::kName, SearchField::kDescription, SearchField::kUsage};
  for (int f = 0; f < 3; ++f) statements[f] = ConvertGbkToUtf8(SearchStatement(SearchCondition(fields[f], kKeyword)));
  int rows = 0;
  for (auto _ : state) {
    rows = 0;
    for (const std::string& sql : statements) rows += bench_program::StepAllRowsAsText(db, sql);
  }
  sqlite3_close(db);
  state.counters["rows"] = rows;
}
BENCHMARK(BM_SearchStatementsEngineOnly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const bench_program::ProgramFolder folder;
  if (!folder.made()) return 1;
#ifdef SEARCH_BENCH_WX
  if (getenv("DISPLAY") == nullptr || !InstallWxBackend(argc, argv)) {
    std::printf("search_wx_bench: no X display, nothing measured (run it under xvfb-run)\n");
    return 0;
  }
#else
  ui::headless::Install();
#endif
  bench_report::RatioReporter reporter({
      {"BM_SearchThreeFields", "BM_SearchStatementsEngineOnly", 2.0},
  });
  const int code = bench_program::RunOverProgram(PrepareLibrary, &reporter, Settle);
#ifndef SEARCH_BENCH_WX
  ui::headless::Uninstall();
#endif
  benchmark::Shutdown();
  return code;
}
