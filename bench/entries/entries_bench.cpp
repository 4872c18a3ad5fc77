// Benchmarks of the entry list: a directory of 10,000 entries in a library of 100,000 from
// query to full list, and the preview of a 4,000 x 3,000 JPEG. Runs the real program in a
// folder of its own: headless, beside the same SELECT through the engine's C API; or with the
// real windows when built as entries_wx_bench (under an X display), beside the same SELECT
// into a bare virtual wxListCtrl, each listing until the list is painted (the picture is then
// decoded and shown too).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <jpeglib.h>

#include "bench/startup/ratio_report.h"
#include "runtime/codepage.h"

#include "bench/bench_program.h"
#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/packed_file.h"
#include "runtime/random.h"
#include "runtime/threads.h"
#include "snippets/entry_editor.h"
#include "snippets/entry_list.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "snippets/web_links_test_hooks.h"
#include "ui/model.h"
#include "ui/ui.h"
#ifdef ENTRIES_BENCH_WX
#include <wx/listctrl.h>

#include "ui/wx/wx_backend.h"
#include "ui/wx/wx_widgets.h"
#else
#include "ui/headless/headless.h"
#endif

namespace {

constexpr int kListedEntries = 10000;
constexpr int kListTag = 1111;
constexpr int kPictureTag = 2222;
// Entries of other directories: the listing scans a library of 100,000 entries.
constexpr int kOtherEntries = 90000;

int listDirectory = -1;
int pictureDirectory = -1;

#ifdef ENTRIES_BENCH_WX
// Lets the windows handle what waits, painting included.
void ShowOnScreen() { ui::ProcessEvents(); }

void Settle() { bench_program::PumpUntilNoWorker(); }

// What a click on the tree item or the list row does: the control's state, then its event.
void UserSelectsDirectory(int index) {
  ui::SetTreeCurrentItem(MainWindow::DirectoryTree, index);
  MainWindow_DirectoryTree_OnSelectionChanged();
}

void UserFocusesRow(int row) {
  ui::WindowModel* window = ui::FindWindow(MainWindow::Self.name);
  window->Find(MainWindow::EntryListView.name)->list.current = row;
  MainWindow_EntryListView_OnSelectionChanged();
  ui::ProcessEvents();  // the picture is shown
}
#else
void ShowOnScreen() {}
void Settle() { ui::headless::WaitIdle(); }
void UserSelectsDirectory(int index) {
  ui::SetTreeCurrentItem(MainWindow::DirectoryTree, -1);
  ui::headless::SelectTreeItem(MainWindow::DirectoryTree, index);
}
void UserFocusesRow(int row) { ui::headless::FocusListRow(MainWindow::EntryListView, row); }
#endif

Bytes MakeJpeg(int width, int height) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 85, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < width; ++x) {
      row[x * 3] = static_cast<JSAMPLE>(x * 255 / width);
      row[x * 3 + 1] = static_cast<JSAMPLE>(y * 255 / height);
      row[x * 3 + 2] = static_cast<JSAMPLE>((x ^ y) & 0xFF);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  Bytes jpeg(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  free(buffer);
  return jpeg;
}

bool InsertEntry(int i, int tag, const Text& pictureExtension) {
  const Text id = bench_program::EntryFileId(i);
  return OdbcExecute(LibraryDatabase,
                     "INSERT INTO `内含信息` (`路径`,`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) VALUES ('/b','条目" +
                         ToText(i) + "','\\DATA\\方法\\" + id + ".txt','说明" + ToText(i) + "','\\DATA\\图片\\" + id +
                         "." + pictureExtension + "','\\DATA\\例程\\" + id + ".','" + ToText(tag) + "');");
}

bool PrepareLibrary() {
  // A library file from the start: its absence would ask the user first.
  if (!WriteFileBytes(GetRunDirectory() + "\\DATA.mdb", EmptyDatabaseTemplate())) return false;
  SetWebServiceLinks({});  // the listing is measured, not the network's answers
  if (!StartSnippetProgram()) return false;
  Settle();
  EnsureDataFolders();
  bool inserted = OdbcTransaction(LibraryDatabase, [] {
    for (int i = 0; i < kListedEntries; ++i) {
      if (!InsertEntry(i, kListTag, "")) return false;
    }
    return true;
  });
  inserted = inserted && OdbcTransaction(LibraryDatabase, [] {
    for (int i = 0; i < kOtherEntries; ++i) {
      if (!InsertEntry(kListedEntries + 2 + i, 3000 + i % 9000, "")) return false;
    }
    return true;
  });
  const Bytes jpeg = MakeJpeg(4000, 3000);
  std::printf("preview picture: 4000 x 3000 JPEG, %zu bytes\n", jpeg.size());
  for (int i = kListedEntries; i < kListedEntries + 2 && inserted; ++i) {
    inserted = InsertEntry(i, kPictureTag, "jpg") &&
               WriteFileBytes(GetRunDirectory() + "\\DATA\\图片\\" + bench_program::EntryFileId(i) + ".jpg", CompressBytes(jpeg)) &&
               WriteFileBytes(GetRunDirectory() + "\\DATA\\方法\\" + bench_program::EntryFileId(i) + ".txt",
                              CompressBytes(ToByteSet("usage")));
  }
  listDirectory = ui::TreeAddItem(MainWindow::DirectoryTree, -1, "大目录", kListTag);
  pictureDirectory = ui::TreeAddItem(MainWindow::DirectoryTree, -1, "大图", kPictureTag);
  return inserted;
}

void BM_ListDirectoryOnGuiThread(benchmark::State& state) {
  ui::SetTreeCurrentItem(MainWindow::DirectoryTree, listDirectory);
  for (auto _ : state) {
    ListEntriesOfSelectedDirectory();
    ShowOnScreen();
  }
  state.counters["rows"] = ui::ListRowCount(MainWindow::EntryListView);
  state.SetItemsProcessed(state.iterations() * kListedEntries);
}
BENCHMARK(BM_ListDirectoryOnGuiThread)->Unit(benchmark::kMillisecond);

#ifdef ENTRIES_BENCH_WX
// A bare virtual list over rows of its own, in a frame of the main window's size.
class BareList : public wxListCtrl {
 public:
  explicit BareList(wxWindow* parent)
      : wxListCtrl(parent, wxID_ANY, wxPoint(6, 27), wxSize(493, 192), wxLC_REPORT | wxLC_VIRTUAL) {
    AppendColumn(L"名称", wxLIST_FORMAT_LEFT, 200);
    AppendColumn(L"说明", wxLIST_FORMAT_LEFT, 200);
  }
  wxString OnGetItemText(long item, long column) const override {
    return wxString::FromUTF8(column == 0 ? rows[item].first : rows[item].second);
  }
  std::vector<std::pair<std::string, std::string>> rows;
};

// The baseline: the listing's SELECT through the engine's C API into the bare list, every
// column of every row read, name and description kept, until the list is painted.
void BM_ListDirectoryBareVirtualList(benchmark::State& state) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(NativePath(GetRunDirectory() + "\\DATA.mdb").c_str(), &db, SQLITE_OPEN_READWRITE,
                      nullptr) != SQLITE_OK) {
    state.SkipWithError("no database");
  }
  auto* frame = new wxFrame(nullptr, wxID_ANY, "bare list", wxDefaultPosition, wxSize(747, 560));
  auto* list = new BareList(new wxPanel(frame));
  frame->Show();
  ui::ProcessEvents();
  const std::string sql = ConvertGbkToUtf8(EntryListQuery(ToText(kListTag)));
  for (auto _ : state) {
    list->rows.clear();
    list->SetItemCount(0);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    const int name = 1, description = 3;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
      }
      list->rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, name)),
                              reinterpret_cast<const char*>(sqlite3_column_text(stmt, description)));
    }
    sqlite3_finalize(stmt);
    list->SetItemCount(static_cast<long>(list->rows.size()));
    ShowOnScreen();
  }
  state.counters["rows"] = static_cast<double>(list->rows.size());
  state.SetItemsProcessed(state.iterations() * kListedEntries);
  frame->Destroy();
  ui::ProcessEvents();
  sqlite3_close(db);
}
BENCHMARK(BM_ListDirectoryBareVirtualList)->Unit(benchmark::kMillisecond);
#else
// The baseline: the listing's SELECT through the engine's C API on a connection of its own,
// every column of every row read as text.
void BM_ListDirectoryEngineOnly(benchmark::State& state) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(NativePath(GetRunDirectory() + "\\DATA.mdb").c_str(), &db, SQLITE_OPEN_READWRITE,
                      nullptr) != SQLITE_OK) {
    state.SkipWithError("no database");
  }
  const std::string sql = ConvertGbkToUtf8(EntryListQuery(ToText(kListTag)));
  int rows = 0;
  for (auto _ : state) rows = bench_program::StepAllRowsAsText(db, sql);
  sqlite3_close(db);
  state.counters["rows"] = rows;
  state.SetItemsProcessed(state.iterations() * kListedEntries);
}
BENCHMARK(BM_ListDirectoryEngineOnly)->Unit(benchmark::kMillisecond);
#endif

// As a tree selection runs it: on a worker, its rows crossing to the GUI thread in batches.
void BM_ListDirectoryByWorker(benchmark::State& state) {
  for (auto _ : state) {
    UserSelectsDirectory(listDirectory);
    Settle();
  }
  state.counters["rows"] = ui::ListRowCount(MainWindow::EntryListView);
  state.SetItemsProcessed(state.iterations() * kListedEntries);
}
BENCHMARK(BM_ListDirectoryByWorker)->Unit(benchmark::kMillisecond);

void BM_PreviewLargeJpeg(benchmark::State& state) {
  UserSelectsDirectory(pictureDirectory);
  Settle();
  int row = 0;
  for (auto _ : state) {
    row = 1 - row;  // the event comes only when a row newly gets the focus
    UserFocusesRow(row);
  }
  state.counters["width"] = ui::GetWidth(MainWindow::PreviewPicture);
  state.counters["height"] = ui::GetHeight(MainWindow::PreviewPicture);
}
BENCHMARK(BM_PreviewLargeJpeg)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const bench_program::ProgramFolder folder;
  if (!folder.made()) return 1;
#ifdef ENTRIES_BENCH_WX
  if (getenv("DISPLAY") == nullptr || !InstallWxBackend(argc, argv)) {
    std::printf("entries_wx_bench: no X display, nothing measured (run it under xvfb-run)\n");
    return 0;
  }
  bench_report::RatioReporter reporter({
      {"BM_ListDirectoryOnGuiThread", "BM_ListDirectoryBareVirtualList", 2.0},
      {"BM_ListDirectoryByWorker", "BM_ListDirectoryBareVirtualList", 2.0},
  });
  const int code = bench_program::RunOverProgram(PrepareLibrary, &reporter, Settle);
#else
  ui::headless::Install();
  bench_report::RatioReporter reporter({
      {"BM_ListDirectoryOnGuiThread", "BM_ListDirectoryEngineOnly", 2.0},
      {"BM_ListDirectoryByWorker", "BM_ListDirectoryEngineOnly", 2.0},
  });
  const int code = bench_program::RunOverProgram(PrepareLibrary, &reporter, Settle);
  ui::headless::Uninstall();
#endif
  benchmark::Shutdown();
  return code;
}
