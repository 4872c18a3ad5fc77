// Export and import of a library of 5,000 entries and about 200 MB of stored files, run through
// the two windows on the headless backend with the status pauses set to 0, each beside a
// baseline run on the same files in the same process: raw deflate at level 8 of every stored
// file (export) or inflate of those streams (import), plus a copy of the library's 15,000
// stored files into a fresh folder with plain POSIX calls, as both transfers create that many
// files. The import and its baseline run in rounds, in turns, once the disk has let the files
// the export removed age, and their medians are set side by side. Removing many files in the
// minutes before a run (another run's folder, say) slows whichever run comes first. The ratio figure / baseline
// is what counts; the peak memory of each run is set against the package size.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/clock.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/packed_file.h"
#include "runtime/random.h"
#include "runtime/zip.h"
#include "snippets/directory_tree.h"
#include "snippets/entry_editor.h"
#include "snippets/export_window.h"
#include "snippets/globals.h"
#include "snippets/package_cipher.h"
#include "snippets/startup.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace fs = std::filesystem;
namespace hl = ui::headless;

namespace {

constexpr int kEntries = 5000;
constexpr std::size_t kPictureBytes = 36000;  // incompressible, as pictures are
constexpr std::size_t kExampleBytes = 14000;  // source text
constexpr std::size_t kUsageBytes = 4000;
const Text kPassword = "package password";
constexpr int kImportRounds = 5;
constexpr int kSettleSeconds = 65;

// Kilobytes of a line of /proc/self/status ("VmHWM", "VmRSS").
long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size() + 1);
  }
  return -1;
}

// From here on VmHWM is the peak since now.
void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

Bytes TextLike(std::size_t n, unsigned& seed) {
  static const char kWords[][8] = {"int ", "for ", "(i=0;", "i<n;", "++i)", "{\n", "}\n", "return ", "x", "y"};
  Bytes out;
  while (out.size() < n) {
    seed = seed * 214013u + 2531011u;
    const char* w = kWords[(seed >> 16) % 10];
    out.insert(out.end(), w, w + std::char_traits<char>::length(w));
  }
  out.resize(n);
  return out;
}

Bytes Noise(std::size_t n, unsigned& seed) {
  Bytes out(n);
  for (auto& b : out) {
    seed = seed * 214013u + 2531011u;
    b = static_cast<std::uint8_t>(seed >> 16);
  }
  return out;
}

void StartProgram() {
  hl::Install();
  RegisterAllWindowDefinitions();
  BindSnippetHandlers();
  StartSnippetProgram();
  hl::WaitIdle();
  EnsureDataFolders();
  hl::ClearRecords();
}

void StopProgram() {
  hl::WaitIdle();
  OdbcClose(LibraryDatabase);
  hl::Uninstall();
}

struct Library {
  std::vector<Bytes> stored;       // the stored files' bytes, in file order
  std::vector<std::string> paths;  // their native paths
};

// Writes the library; its stored files for the baselines.
Library MakeLibrary() {
  Library library;
  std::vector<Bytes>& stored = library.stored;
  std::vector<Text> rows;
  unsigned seed = 12345;
  ui::TreeAddItem(MainWindow::DirectoryTree, -1, "基准", 5000);
  SaveDirectoryTree();
  for (int k = 0; k < kEntries; ++k) {
    const Text id = MakeRandomLetters(15, 3);
    const struct {
      Text path;
      Bytes content;
    } files[] = {{"\\DATA\\方法\\" + id + ".txt", TextLike(kUsageBytes, seed)},
                 {"\\DATA\\图片\\" + id + ".jpg", Noise(kPictureBytes, seed)},
                 {"\\DATA\\例程\\" + id + ".cpp", TextLike(kExampleBytes, seed)}};
    for (const auto& f : files) {
      stored.push_back(CompressBytes(f.content));
      WriteFileBytes(ProgramFilePath(f.path), stored.back());
      library.paths.push_back(NativePath(ProgramFilePath(f.path)));
    }
    rows.push_back("INSERT INTO `内含信息` VALUES ('/基准','条目" + ToText(k) + "','" + files[0].path +
                   "','说明','" + files[1].path + "','" + files[2].path + "','5000');");
  }
  OdbcTransaction(LibraryDatabase, [&] {
    for (const Text& sql : rows) {
      if (!OdbcExecute(LibraryDatabase, sql)) return false;
    }
    return true;
  });
  return library;
}

// The files copied into folder (made fresh, with one sub-folder per source folder, as the data
// folder has) by open / read / write / close; the bytes copied.
std::size_t CopyFilesPosix(const std::vector<std::string>& paths, const std::string& folder) {
  mkdir(folder.c_str(), 0777);
  std::vector<std::string> made;
  std::vector<char> buffer(1u << 20);
  std::size_t total = 0;
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const std::string& from = paths[k];
    const std::string parent = fs::path(from).parent_path().filename().string();
    const std::string sub = folder + "/" + parent;
    if (std::find(made.begin(), made.end(), sub) == made.end()) {
      mkdir(sub.c_str(), 0777);
      made.push_back(sub);
    }
    const int in = open(from.c_str(), O_RDONLY);
    const int out = open((sub + "/" + fs::path(from).filename().string()).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    for (ssize_t n; in >= 0 && out >= 0 && (n = read(in, buffer.data(), buffer.size())) > 0;) {
      total += static_cast<std::size_t>(write(out, buffer.data(), static_cast<std::size_t>(n)));
    }
    if (in >= 0) close(in);
    if (out >= 0) close(out);
  }
  return total;
}

std::vector<Bytes> DeflateAll(const std::vector<Bytes>& files) {
  std::vector<Bytes> out;
  out.reserve(files.size());
  for (const Bytes& f : files) {
    z_stream z{};
    deflateInit2(&z, 8, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes d(deflateBound(&z, static_cast<uLong>(f.size())));
    z.next_in = const_cast<Bytef*>(f.data());
    z.avail_in = static_cast<uInt>(f.size());
    z.next_out = d.data();
    z.avail_out = static_cast<uInt>(d.size());
    deflate(&z, Z_FINISH);
    d.resize(d.size() - z.avail_out);
    deflateEnd(&z);
    out.push_back(std::move(d));
  }
  return out;
}

std::size_t InflateAll(const std::vector<Bytes>& streams, const std::vector<Bytes>& files) {
  std::size_t total = 0;
  for (std::size_t k = 0; k < streams.size(); ++k) {
    Bytes out(files[k].size());
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = const_cast<Bytef*>(streams[k].data());
    z.avail_in = static_cast<uInt>(streams[k].size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    total += out.size() - z.avail_out;
    inflateEnd(&z);
  }
  return total;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void PrintRow(const char* figure, double ms, const char* baseline, double baseMs, long peakKb,
              std::uintmax_t packageBytes) {
  std::printf("%-22s %10.0f ms   %-36s %10.0f ms   ratio %5.2fx (goal 1.5x)   peak %6.0f MB = %4.2fx package (goal 3x)\n",
              figure, ms, baseline, baseMs, ms / baseMs, peakKb / 1024.0,
              peakKb * 1024.0 / static_cast<double>(packageBytes));
}

}  // namespace

int main() {
  std::string base = (getenv("TMPDIR") && *getenv("TMPDIR") ? std::string(getenv("TMPDIR")) : "/tmp") +
                     "/snipdock-bench-XXXXXX";
  if (mkdtemp(base.data()) == nullptr) return 1;
  fs::create_directory(base + "/program");
  fs::create_directory(base + "/tmp");
  setenv("TMPDIR", (base + "/tmp").c_str(), 1);
  SetRunDirectory(PathFromNative(base + "/program"));
  const Text package = PathFromNative(base + "/library.yrd");
  SetTransferPause(0);

  StartProgram();
  std::printf("making the library...\n");
  std::fflush(stdout);
  const Library library = MakeLibrary();
  const std::vector<Bytes>& files = library.stored;
  std::uintmax_t libraryBytes = 0;
  for (const Bytes& f : files) libraryBytes += f.size();

  // Export through the window, from the start press to the thread's end.
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::ExportMenuItem.name);
  hl::AnswerFileDialog(package);
  hl::Click(ExportWindow::SaveToButton);
  hl::TypeText(ExportWindow::PasswordBox, kPassword);
  hl::Click(ExportWindow::SetPasswordButton);
  long rss = StatusKb("VmRSS");
  ResetPeak();
  std::uint64_t start = MonotonicMilliseconds();
  hl::Click(ExportWindow::StartButton);
  hl::WaitIdle();
  const double exportMs = static_cast<double>(MonotonicMilliseconds() - start);
  const long exportPeak = StatusKb("VmHWM") - rss;
  const Text exportStatus = ui::GetText(ExportWindow::StatusLabel);
  std::error_code ec;
  const std::uintmax_t packageBytes = fs::file_size(NativePath(package), ec);

  // The copies stay until the end: ext4 without a journal passes over inodes freed in the last
  // minute (in the last six while their table is not yet written back) when it creates a file,
  // so files removed between the runs would slow down whichever run comes next.
  start = MonotonicMilliseconds();
  const std::vector<Bytes> streams = DeflateAll(files);
  std::size_t copied = CopyFilesPosix(library.paths, base + "/copies-export");
  const double deflateMs = static_cast<double>(MonotonicMilliseconds() - start);

  // The export removed its work folder of 15,000 files: the imports and their baselines start
  // once those inodes are written back and a minute old. Then rounds of both, in turns, each
  // import into the empty library of a program folder of its own, so nothing is removed
  // before any of them either.
  StopProgram();
  std::printf("waiting %d s for the export's removed files to age...\n", kSettleSeconds);
  std::fflush(stdout);
  sync();
  sleep(kSettleSeconds);
  std::vector<double> importMs, inflateMs;
  long importPeak = 0;
  std::size_t inflated = 0;
  Text importStatus;
  int rows = 0;
  for (int round = 0; round < kImportRounds; ++round) {
    const auto baseline = [&] {
      sync();  // each run starts with no other run's writes still going to the disk
      start = MonotonicMilliseconds();
      inflated = InflateAll(streams, files);
      copied = CopyFilesPosix(library.paths, base + "/copies-import" + std::to_string(round));
      inflateMs.push_back(static_cast<double>(MonotonicMilliseconds() - start));
    };
    if (round % 2 == 1) baseline();
    const std::string program = base + "/program-import" + std::to_string(round);
    fs::create_directory(program);
    SetRunDirectory(PathFromNative(program));
    StartProgram();
    hl::ChooseMenuItem(MainWindow::Self, MainWindow::ImportMenuItem.name);
    hl::AnswerFileDialog(package);
    hl::Click(ImportWindow::OpenButton);
    hl::TypeText(ImportWindow::PasswordBox, kPassword);
    hl::Click(ImportWindow::ConfirmPasswordButton);
    rss = StatusKb("VmRSS");
    ResetPeak();
    sync();
    start = MonotonicMilliseconds();
    hl::Click(ImportWindow::StartButton);
    hl::WaitIdle();
    importMs.push_back(static_cast<double>(MonotonicMilliseconds() - start));
    importPeak = std::max(importPeak, StatusKb("VmHWM") - rss);
    importStatus = ui::GetText(ImportWindow::StatusLabel);
    rows = 0;
    const int set = OdbcQuery(LibraryDatabase, "SELECT * FROM `内含信息`");
    for (; !OdbcIsEof(LibraryDatabase, set); OdbcMoveNext(LibraryDatabase, set)) ++rows;
    OdbcCloseRecordSet(LibraryDatabase, set);
    StopProgram();
    if (round % 2 == 0) baseline();
  }
  StartProgram();

  // For scale, not as the baseline: unpacking the package's archive with the zip component,
  // which creates every file of the library once (the import also deciphers the package, moves
  // the files and inserts the rows).
  double unzipMs = 0;
  {
    Bytes archive = ReadFileBytes(package);
    EncryptedFile(kPassword, kPackagePlainPrefix)
        .CipherFileBlocks(0, archive.data(), static_cast<std::int64_t>(archive.size()), CipherCopy::Reading);
    const Text zip = PathFromNative(base + "/tmp/archive.zip");
    WriteFileBytes(zip, Bytes(archive.begin() + 10, archive.end() - 17));
    Bytes().swap(archive);
    start = MonotonicMilliseconds();
    ZipExtract(zip, PathFromNative(base + "/tmp/unpacked"));
    unzipMs = static_cast<double>(MonotonicMilliseconds() - start);
  }

  std::printf("library: %d entries, %.1f MB of stored files; package %.1f MB (enciphered)\n", kEntries,
              libraryBytes / 1e6, packageBytes / 1e6);
  std::printf("export ended %s; import ended %s with %d rows; baseline inflated %.1f MB, copied %zu files, %.1f MB\n",
              exportStatus == "生成完毕，可以去分享给好友了，嘻嘻" ? "done" : "NOT done",
              importStatus == "完成！！" ? "done" : "NOT done", rows, inflated / 1e6, library.paths.size(),
              copied / 1e6);
  PrintRow("export", exportMs, "deflate level 8 + file copy", deflateMs, exportPeak, packageBytes);
  std::printf("import, %d rounds (ms):", kImportRounds);
  for (double ms : importMs) std::printf(" %.0f", ms);
  std::printf("; baseline:");
  for (double ms : inflateMs) std::printf(" %.0f", ms);
  std::printf("\n");
  PrintRow("import (median)", Median(importMs), "inflate + file copy (median)", Median(inflateMs), importPeak,
           packageBytes);
  std::printf("for scale: ZipExtract of the package's archive alone %.0f ms (import / that %.2fx)\n", unzipMs,
              Median(importMs) / unzipMs);

  StopProgram();
  fs::remove_all(base, ec);
  return 0;
}
