// Start-up with a 5,000-directory tree and a 50 MB library (database rows and stored files),
// headless, and the save of that tree. Figures are printed, never asserted.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/packed_file.h"
#include "snippets/directory_tree.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTopLevel = 500;
constexpr int kChildren = 9;          // 500 x (1 + 9) = 5,000 directories
constexpr int kStoredFiles = 500;
constexpr int kStoredFileBytes = 100 * 1024;  // 500 x 100 KB of content: 50 MB

// One library for the whole run, made on first use and removed at exit.
struct Library {
  fs::path base;
  Text program;

  Library() {
    std::string pattern = (fs::temp_directory_path() / "snipdock-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) abort();
    base = pattern;
    fs::create_directories(base / "program" / "DATA" / "方法");
    fs::create_directories(base / "tmp");
    program = PathFromNative((base / "program").string());
    setenv("TMPDIR", (base / "tmp").c_str(), 1);
    Fill();
  }
  ~Library() {
    std::error_code ec;
    fs::remove_all(base, ec);
  }

  void Fill() {
    const Text file = program + "\\DATA.mdb";
    WriteFileBytes(file, EmptyDatabaseTemplate());
    DatabaseUnit db;
    if (!OdbcOpen(db, file)) abort();
    OdbcExecute(db, "CREATE TABLE `目录` (`目录名` VARCHAR(225),`索引` VARCHAR(225),`标记` VARCHAR(225));");
    OdbcExecute(db,
                "CREATE TABLE `内含信息` (`路径` VARCHAR(255),`名称` VARCHAR(255),`使用方法` "
                "VARCHAR(255) ,`说明` VARCHAR(255),`图片` VARCHAR(255) ,`例程` VARCHAR(255),`标记` "
                "VARCHAR(255));");
    OdbcTransaction(db, [&db] {
      int index = 0;
      for (int top = 0; top < kTopLevel; ++top) {
        const int topIndex = index++;
        OdbcExecute(db, "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('目录" + ToText(top) +
                            "','-1','" + ToText(50 * (topIndex + 1)) + "');");
        for (int child = 0; child < kChildren; ++child) {
          OdbcExecute(db, "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('子目录" +
                              ToText(child) + "','" + ToText(topIndex) + "','" +
                              ToText(50 * (++index)) + "');");
        }
      }
      for (int i = 0; i < kStoredFiles; ++i) {
        const Text usage = "\\DATA\\方法\\" + ToText(i) + ".txt";
        OdbcExecute(db, "INSERT INTO `内含信息`(`路径`,`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) "
                        "VALUES ('/目录" + ToText(i) + "','条目" + ToText(i) + "','" + usage +
                            "','说明','','','" + ToText(50 * (i * 10 + 1)) + "');");
      }
      return true;
    });
    OdbcClose(db);

    // Text-like content with some variety, so the stored files are not trivially small.
    Bytes content(kStoredFileBytes);
    std::uint32_t x = 12345;
    for (int i = 0; i < kStoredFiles; ++i) {
      for (auto& b : content) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(' ' + (x >> 16) % 90);
      }
      WriteFileBytes(program + "\\DATA\\方法\\" + ToText(i) + ".txt", CompressBytes(content));
    }
  }
};

Library& TheLibrary() {
  static Library library;
  return library;
}

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
  TheLibrary();
  for (auto _ : state) {
    StartProgram();
    state.PauseTiming();
    if (ui::TreeItemCount(MainWindow::DirectoryTree) != kTopLevel * (1 + kChildren)) {
      state.SkipWithError("the tree did not load");
    }
    StopProgram();
    state.ResumeTiming();
  }
  state.counters["directories"] = kTopLevel * (1 + kChildren);
}
BENCHMARK(BM_StartupToIdle)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SaveTree(benchmark::State& state) {
  TheLibrary();
  StartProgram();
  int saved = 0;
  for (auto _ : state) saved = SaveDirectoryTree();
  if (saved != kTopLevel * (1 + kChildren)) state.SkipWithError("the tree was not saved");
  state.counters["rows"] = saved;
  state.SetItemsProcessed(state.iterations() * saved);
  StopProgram();
}
BENCHMARK(BM_SaveTree)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
